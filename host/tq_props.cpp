#include "tq_props.h"

#include "tq_executive.h"
#include "tq_matrix.h"

// Each parameter kind holds an initial value of its own kind, so that a
// property read before any assignment gives 0, 0.0, "" or false.

#define TQ_PROPERTY_SPECIALS(Class, Base)       \
  Class::Class(const Class& other) = default;   \
  Class& Class::operator=(const Class& other) { \
    Base::operator=(other);                     \
    return *this;                               \
  }                                             \
  Class::~Class() = default;

TQ_REALPARAMETER::TQ_REALPARAMETER(bool init) : TQ_VarParam(0.0) {
  if (init) InitializeSystemAttributes();
}
TQ_PROPERTY_SPECIALS(TQ_REALPARAMETER, TQ_VarParam)
const char* TQ_REALPARAMETER::TQ_ContainerId() { return "Parameter REALPARAMETER\tV7.1"; }
TQ_ValueKind TQ_REALPARAMETER::ValueKind() const { return TQ_ValueKind::Real; }

TQ_INTEGERPARAMETER::TQ_INTEGERPARAMETER(bool init) : TQ_VarParam(0) {
  if (init) InitializeSystemAttributes();
}
TQ_PROPERTY_SPECIALS(TQ_INTEGERPARAMETER, TQ_VarParam)
const char* TQ_INTEGERPARAMETER::TQ_ContainerId() { return "Parameter INTEGERPARAMETER\tV7.1"; }
TQ_ValueKind TQ_INTEGERPARAMETER::ValueKind() const { return TQ_ValueKind::Integer; }

TQ_STRINGPARAMETER::TQ_STRINGPARAMETER(bool init) : TQ_VarParam("") {
  if (init) InitializeSystemAttributes();
}
TQ_PROPERTY_SPECIALS(TQ_STRINGPARAMETER, TQ_VarParam)
const char* TQ_STRINGPARAMETER::TQ_ContainerId() { return "Parameter STRINGPARAMETER\tV7.1"; }
TQ_ValueKind TQ_STRINGPARAMETER::ValueKind() const { return TQ_ValueKind::Text; }

TQ_FalseLOGICALPARAMETER::TQ_FalseLOGICALPARAMETER(bool init) : TQ_VarParam(0) {
  if (init) InitializeSystemAttributes();
}
TQ_PROPERTY_SPECIALS(TQ_FalseLOGICALPARAMETER, TQ_VarParam)
TQ_ValueKind TQ_FalseLOGICALPARAMETER::ValueKind() const { return TQ_ValueKind::Integer; }

TQ_REALVARIABLE::TQ_REALVARIABLE(bool init) : TQ_VarParam(0.0) {
  if (init) InitializeSystemAttributes();
}
TQ_PROPERTY_SPECIALS(TQ_REALVARIABLE, TQ_VarParam)
bool TQ_REALVARIABLE::IsSolverVariable() const { return !IsFixed(); }
TQ_ValueKind TQ_REALVARIABLE::ValueKind() const { return TQ_ValueKind::Real; }

TQ_PARTIALDERIVATIVE::TQ_PARTIALDERIVATIVE(bool init) : TQ_REALVARIABLE(init) {}
TQ_PROPERTY_SPECIALS(TQ_PARTIALDERIVATIVE, TQ_REALVARIABLE)

TQ_Set::TQ_Set(unsigned short type) : m_empty(type) {}
TQ_Set::TQ_Set(const TQ_Set& other) = default;
TQ_Set& TQ_Set::operator=(const TQ_Set& other) {
  TQ_Type::operator=(other);
  return *this;
}

// A model declares an array just before the index set that dimensions it, so
// the set goes first when the model is destroyed; an array may also be
// dimensioned by another object's set. The arrays that still depend on it
// forget it now, rather than reach it after it is gone.
TQ_Set::~TQ_Set() {
  while (DependentCount() > 0) {
    TQ_Containable* dependent = DependentAt(DependentCount() - 1);
    if (auto* array = dynamic_cast<TQ_Matrix*>(dependent)) array->ForgetDeclaredSet(this);
    RemoveDependent(dependent);  // whatever the array did not withdraw
  }
}

const TQ_SetValue& TQ_Set::v() const { return m_hasValue ? m_value.Set() : m_empty; }
TQ_ValueKind TQ_Set::ValueKind() const { return TQ_ValueKind::Set; }

TQ_Value TQ_Set::Normalised(const TQ_Value& value) const {
  // A text given to a string set stands for its members, each followed by a
  // double quote ("None", "idx\"idy\"").
  if (value.Kind() == TQ_ValueKind::Text && m_empty.Type() != TQ_SET_INTEGER)
    return TQ_Value(TQ_StrSetValue(value.Text()), value.Pass(), value.Level(), value.Number());
  return value;
}

bool TQ_Set::Accepts(const TQ_Value& given, std::string* why) const {
  // A text stands for a set of texts (Normalised), which a set of integers does not take; the set
  // itself is not made here.
  const bool text = given.Kind() == TQ_ValueKind::Text && m_empty.Type() != TQ_SET_INTEGER;
  if (given.Kind() != TQ_ValueKind::Set && !text) {
    if (why) *why = "a value that is not a set";
    return false;
  }
  const TQ_SetValue& set = given.Set();
  bool kindFits = text || set.SetSize() == 0 || m_empty.Type() == TQ_SET_ANY ||
                  (m_empty.Type() == TQ_SET_STRING) == set.HoldsStrings();
  if (!kindFits && why)
    *why = m_empty.Type() == TQ_SET_STRING ? "a set of integers where strings belong"
                                           : "a set of strings where integers belong";
  return kindFits;
}

void TQ_Set::StoreSetValue(const TQ_Value& value) {
  if (Normalised(value).Kind() == TQ_ValueKind::Set) StoreValue(value);
}

TQ_INTEGERSET::TQ_INTEGERSET() : TQ_Set(TQ_SET_INTEGER) {}
TQ_PROPERTY_SPECIALS(TQ_INTEGERSET, TQ_Set)

TQ_STRINGSET::TQ_STRINGSET(bool) : TQ_Set(TQ_SET_STRING) {}
TQ_PROPERTY_SPECIALS(TQ_STRINGSET, TQ_Set)

TQ_COMPONENTLISTNAME::TQ_COMPONENTLISTNAME() = default;
TQ_PROPERTY_SPECIALS(TQ_COMPONENTLISTNAME, TQ_Type)
const char* TQ_COMPONENTLISTNAME::v() const { return m_hasValue ? m_value.Text() : ""; }
TQ_ValueKind TQ_COMPONENTLISTNAME::ValueKind() const { return TQ_ValueKind::Text; }

void TQ_COMPONENTLISTNAME::BeginPropertiesCall() {
  ++m_openCalls;
  ++m_callCount;
}

void TQ_COMPONENTLISTNAME::EndPropertiesCall() {
  if (m_openCalls <= 0) {
    TQ_Executive& host = TQ_Executive::Instance();
    host.ReportError(host.PathOf(this) + ": EndPropertiesCall without an open BeginPropertiesCall; ignored");
    return;
  }
  --m_openCalls;
}
