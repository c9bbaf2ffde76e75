#include "tq_object.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>

#include "tq_executive.h"
#include "tq_props.h"

// ---- TQ_PtrVectorObject -------------------------------------------------------

void* TQ_PtrVectorObject::operator new(std::size_t size) noexcept {
  if (size > 0xFFFFFFFFu) return nullptr;
  return MyAllocate(static_cast<unsigned int>(size));
}

void TQ_PtrVectorObject::operator delete(void* pointer) noexcept { MyFree(pointer); }

TQ_PtrVectorObject::TQ_PtrVectorObject() : m_refs(0) {}
TQ_PtrVectorObject::TQ_PtrVectorObject(const TQ_PtrVectorObject&) : m_refs(0) {}
TQ_PtrVectorObject& TQ_PtrVectorObject::operator=(const TQ_PtrVectorObject&) { return *this; }
TQ_PtrVectorObject::~TQ_PtrVectorObject() = default;

long TQ_PtrVectorObject::AddRef() { return ++m_refs; }

long TQ_PtrVectorObject::Release() {
  long left = --m_refs;
  if (left <= 0) {
    m_refs = 0;
    delete this;
    return 0;
  }
  return left;
}

TQ_Update::TQ_Update() = default;
TQ_Update::TQ_Update(const TQ_Update& other) = default;
TQ_Update& TQ_Update::operator=(const TQ_Update& other) = default;
TQ_Update::~TQ_Update() = default;

// ---- TQ_Containable ------------------------------------------------------------

TQ_Containable::TQ_Containable()
    : m_owner(nullptr),
      m_name(),
      m_description(nullptr),
      m_properties(nullptr),
      m_direction(0),
      m_hostPortType(0),
      m_toBeExported(true) {}

TQ_Containable::TQ_Containable(const TQ_Containable& other)
    : TQ_Update(other),
      m_owner(nullptr),
      m_name(),
      m_description(nullptr),
      m_properties(nullptr),
      m_direction(other.m_direction),
      m_hostPortType(other.m_hostPortType),
      m_toBeExported(other.m_toBeExported) {}

TQ_Containable& TQ_Containable::operator=(const TQ_Containable& other) {
  if (this != &other) {
    TQ_Update::operator=(other);
    m_direction = other.m_direction;
    m_toBeExported = other.m_toBeExported;
    m_hostPortType = other.m_hostPortType;
  }
  return *this;
}

TQ_Containable::~TQ_Containable() {
  TQ_DeleteHeld(m_description);
  TQ_DeleteHeld(m_properties);
}

const char* TQ_Containable::Name() const { return m_name.c_str(); }
const char* TQ_Containable::Description() const { return m_description ? m_description->c_str() : nullptr; }

void TQ_Containable::SetObjectName(const char* name) { m_name = name ? name : ""; }

// The list of properties is made when the first one is registered: most
// objects (array elements, parameters) own none.
int TQ_Containable::PropertyCount() const { return m_properties ? static_cast<int>(m_properties->size()) : 0; }

const TQ_PropertyRecord& TQ_Containable::PropertyAt(int index) const {
  return (*m_properties)[static_cast<std::size_t>(index)];
}

TQ_Containable* TQ_Containable::FindProperty(const char* name) const {
  if (m_properties == nullptr) return nullptr;
  for (const TQ_PropertyRecord& record : *m_properties)
    if (SUValue::CompareCI(record.name, name) == 0) return record.property;
  return nullptr;
}

void TQ_Containable::RegisterWith(
    TQ_Containable* owner, const char* name, const char* description, int direction, bool flag) {
  m_name = name ? name : "";
  TQ_DeleteHeld(m_description);
  m_description = nullptr;
  if (description != nullptr) m_description = TQ_NewHeld<TQ_HeldString>(description);
  m_direction = direction;
  m_owner = owner;
  if (owner != nullptr) {
    if (owner->m_properties == nullptr) owner->m_properties = TQ_NewHeld<TQ_HeldVector<TQ_PropertyRecord>>();
    owner->m_properties->push_back(TQ_PropertyRecord{this, m_name.c_str(), Description(), direction, flag});
  }
}

void TQ_Containable::SetIdentity(TQ_Containable* owner, const char* name) {
  m_owner = owner;
  m_name = name ? name : "";
}

void TQ_Containable::SetIdentity(TQ_Containable* owner, const char* name, std::size_t length) {
  m_owner = owner;
  m_name.assign(name, length);
}

// ---- TQ_VarParamProp -----------------------------------------------------------

TQ_VarParamProp::TQ_VarParamProp()
    : m_hasValue(false), m_fixed(false), m_defaultAssigned(false), m_dependents(nullptr) {}

TQ_VarParamProp::TQ_VarParamProp(const TQ_VarParamProp& other)
    : TQ_Containable(other),
      m_hasValue(other.m_hasValue),
      m_fixed(other.m_fixed),
      m_defaultAssigned(other.m_defaultAssigned),
      m_value(other.m_value),
      m_dependents(nullptr) {}

TQ_VarParamProp& TQ_VarParamProp::operator=(const TQ_VarParamProp& other) {
  if (this != &other) {
    TQ_Containable::operator=(other);
    m_value = other.m_value;
    m_hasValue = other.m_hasValue;
    m_fixed = other.m_fixed;
    m_defaultAssigned = other.m_defaultAssigned;
  }
  return *this;
}

TQ_VarParamProp::~TQ_VarParamProp() { TQ_DeleteHeld(m_dependents); }

TQ_ValueKind TQ_VarParamProp::ValueKind() const { return TQ_ValueKind::None; }

bool TQ_VarParamProp::Accepts(const TQ_Value& value, std::string* why) const {
  TQ_ValueKind want = ValueKind();
  TQ_ValueKind have = value.Kind();
  // A real property takes an integer; an integer property takes a real that
  // is a whole number within the 32-bit range (a procedure writes integers
  // back through reals).
  bool fits =
      want == have || (want == TQ_ValueKind::Real && have == TQ_ValueKind::Integer) ||
      (want == TQ_ValueKind::Integer && have == TQ_ValueKind::Real && value.Real() == std::trunc(value.Real()) &&
       value.Real() >= -2147483648.0 && value.Real() <= 2147483647.0);
  if (!fits && why) *why = "a value of the wrong kind";
  return fits;
}

TQ_AssignStatus TQ_VarParamProp::Assign(TQ_Value* value) {
  TQ_Executive& host = TQ_Executive::Instance();
  if (value == nullptr) {
    host.LogAssignment(this, TQ_Value(), TQ_ASSIGN_REFUSED);
    return TQ_ASSIGN_REFUSED;
  }
  TQ_AssignStatus status;
  if (!Accepts(*value, nullptr)) {
    status = TQ_ASSIGN_REFUSED;
  } else if (m_fixed) {
    status = TQ_ASSIGN_KEPT_FIXED;
  } else {
    StoreValue(*value);
    m_defaultAssigned = true;
    status = TQ_ASSIGN_DONE;
  }
  host.LogAssignment(this, *value, status);
  return status;
}

TQ_AssignStatus TQ_VarParamProp::Fix(const TQ_Value& value, std::string* error) {
  std::string why;
  if (!Accepts(value, &why)) {
    if (error) *error = why;
    return TQ_ASSIGN_REFUSED;
  }
  // The host keeps a copy of a text or set: it must fit the size budget beside what the host
  // holds (a set of millions of members is as large as its runs or texts).
  if (const std::int64_t bytes = value.Bytes(); bytes > 0) {
    char size[96];
    if (value.Kind() == TQ_ValueKind::Set)
      std::snprintf(size, sizeof size, "a set of %d members", value.Set().SetSize());
    else
      std::snprintf(size, sizeof size, "a text of %lld characters", static_cast<long long>(std::strlen(value.Text())));
    if (!TQ_SizeBudget::AdmitBytes(nullptr, size, static_cast<double>(bytes), &why)) {
      if (error) *error = why;
      return TQ_ASSIGN_REFUSED;
    }
  }
  StoreValue(value);
  m_fixed = true;
  m_defaultAssigned = false;
  return TQ_ASSIGN_DONE;
}

void TQ_VarParamProp::Unfix() { m_fixed = false; }

void TQ_VarParamProp::SetCurrentValue(double value) {
  TQ_Executive& host = TQ_Executive::Instance();
  const TQ_ValueKind kind = ValueKind();
  if (kind != TQ_ValueKind::Real && kind != TQ_ValueKind::Integer) {
    host.ReportError(host.PathOf(this) + ": a number cannot be its current value; it keeps its value");
    return;
  }
  if (m_fixed) {
    host.ReportError(host.PathOf(this) + ": the user fixed its value; the current value " +
                     TQ_Value(value, 0u).ToString() + " is not taken");
    return;
  }
  StoreValue(kind == TQ_ValueKind::Integer ? TQ_Value(TQ_Value(value, 0u).Integer(), 0u) : TQ_Value(value, 0u));
  m_defaultAssigned = false;
}

void TQ_VarParamProp::SetCurrentValue(const char* value) {
  TQ_Executive& host = TQ_Executive::Instance();
  if (ValueKind() != TQ_ValueKind::Text) {
    host.ReportError(host.PathOf(this) + ": a text cannot be its current value; it keeps its value");
    return;
  }
  if (m_fixed) {
    host.ReportError(host.PathOf(this) + ": the user fixed its value; the current value \"" +
                     std::string(value ? value : "") + "\" is not taken");
    return;
  }
  StoreValue(TQ_Value(value, 0u));
  m_defaultAssigned = false;
}

TQ_Value TQ_VarParamProp::Normalised(const TQ_Value& value) const {
  // A real property keeps a real even when given an integer, so that its
  // readers see one kind.
  if (ValueKind() == TQ_ValueKind::Real && value.Kind() == TQ_ValueKind::Integer)
    return TQ_Value(value.Real(), value.Pass(), value.Level(), value.Number());
  if (ValueKind() == TQ_ValueKind::Integer && value.Kind() == TQ_ValueKind::Real)
    return TQ_Value(value.Integer(), value.Pass(), value.Level(), value.Number());
  return value;
}

void TQ_VarParamProp::StoreValue(const TQ_Value& value) {
  m_value = Normalised(value);
  m_hasValue = true;
}

void TQ_VarParamProp::AddDependent(TQ_Containable* dependent) {
  if (dependent == nullptr) return;
  // Made on the first dependent: most properties have none.
  if (m_dependents == nullptr) m_dependents = TQ_NewHeld<TQ_HeldVector<TQ_Containable*>>();
  m_dependents->push_back(dependent);
}

void TQ_VarParamProp::RemoveDependent(TQ_Containable* dependent) {
  if (m_dependents == nullptr) return;
  // From the last: dependents go in the reverse order of their coming (a model's arrays are
  // destroyed before its sets, later models before earlier ones), so that each is found at once.
  auto it = std::find(m_dependents->rbegin(), m_dependents->rend(), dependent);
  if (it != m_dependents->rend()) m_dependents->erase(std::next(it).base());
}

int TQ_VarParamProp::DependentCount() const { return m_dependents ? static_cast<int>(m_dependents->size()) : 0; }
TQ_Containable* TQ_VarParamProp::DependentAt(int index) const {
  return (*m_dependents)[static_cast<std::size_t>(index)];
}

// ---- TQ_Type --------------------------------------------------------------------

TQ_Type::TQ_Type() = default;
TQ_Type::TQ_Type(const TQ_Type& other) = default;
TQ_Type& TQ_Type::operator=(const TQ_Type& other) = default;
TQ_Type::~TQ_Type() = default;

TQ_Type* TQ_Type::AddProperty(
    TQ_Containable* owner, const char* name, const char* description, TQ_Direction direction, bool flag) {
  RegisterWith(owner, name, description, direction, flag);
  return this;
}

TQ_Type* TQ_Type::UnsetIsToBeExported() {
  SetExportMark(false);
  return this;
}

TQ_Type* TQ_Type::HostPortType(TQ_HostPortType type) {
  SetHostPortTypeValue(type);
  return this;
}

TQ_HostPortType TQ_Type::HostPortType() const { return HostPortTypeValue(); }
void TQ_Type::SetDirection(TQ_Direction direction) { SetDirectionCode(direction); }
TQ_Direction TQ_Type::Direction() const { return static_cast<TQ_Direction>(DirectionCode()); }
const char* TQ_Type::TQ_DefaultDESCRIPTION() const { return ""; }
bool TQ_Type::ContainerDerivesFrom(const char*) { return false; }
int TQ_Type::PortCount(bool) const { return 0; }
TQ_Type* TQ_Type::GetPort(int&, bool) { return nullptr; }
void TQ_Type::DumpStructure() {}
bool TQ_Type::IsAnArray() const { return false; }

// ---- TQ_VarParam ------------------------------------------------------------------

namespace {
int NextColumn() {
  static int column = 0;
  return column++;
}

// What a property without a bound or valid set reads in its place.
const TQ_Value& NoLimit() {
  static const TQ_Value none;
  return none;
}
}  // namespace

// On the host heap like the objects themselves; a refused allocation yields
// null and constructs nothing.
struct TQ_VarParam::Limits {
  static void* operator new(std::size_t size) noexcept { return TQ_PtrVectorObject::operator new(size); }
  static void operator delete(void* pointer) noexcept { TQ_PtrVectorObject::operator delete(pointer); }

  TQ_Value lower;
  TQ_Value upper;
  TQ_Value valid;
};

TQ_VarParam::TQ_VarParam() : m_column(NextColumn()), m_attributesInitialised(false), m_limits(nullptr) {}
TQ_VarParam::TQ_VarParam(int initial)
    : m_column(NextColumn()), m_attributesInitialised(false), m_limits(nullptr), m_initial(initial, 0u) {}
TQ_VarParam::TQ_VarParam(double initial)
    : m_column(NextColumn()), m_attributesInitialised(false), m_limits(nullptr), m_initial(initial, 0u) {}
TQ_VarParam::TQ_VarParam(const char* initial)
    : m_column(NextColumn()), m_attributesInitialised(false), m_limits(nullptr), m_initial(initial, 0u) {}

TQ_VarParam::TQ_VarParam(const TQ_VarParam& other)
    : TQ_Type(other),
      m_column(NextColumn()),
      m_attributesInitialised(false),
      m_limits(nullptr),
      m_initial(other.m_initial) {
  m_attributesInitialised = CopyLimits(other) && other.m_attributesInitialised;
}

TQ_VarParam& TQ_VarParam::operator=(const TQ_VarParam& other) {
  if (this != &other) {
    TQ_Type::operator=(other);
    m_initial = other.m_initial;
    m_attributesInitialised = CopyLimits(other) && other.m_attributesInitialised;
  }
  return *this;
}

TQ_VarParam::~TQ_VarParam() { delete m_limits; }

bool TQ_VarParam::MakeLimits() {
  if (m_limits != nullptr) return true;
  m_limits = new Limits;
  if (m_limits != nullptr) return true;
  TQ_Executive& host = TQ_Executive::Instance();
  host.ReportError(host.PathOf(this) +
                   ": the host heap refused the block for its bounds and valid set; it goes on without them");
  return false;
}

// A copy that cannot get a block of its own ends with no bounds and no valid
// set (reported), and with its attributes counting as not initialised.
bool TQ_VarParam::CopyLimits(const TQ_VarParam& other) {
  if (other.m_limits == nullptr) {
    delete m_limits;
    m_limits = nullptr;
    return true;
  }
  if (!MakeLimits()) return false;
  *m_limits = *other.m_limits;
  return true;
}

bool TQ_VarParam::SetLimit(TQ_Value Limits::*which, const TQ_Value& value) {
  // Removing what is not there needs no block.
  if (m_limits == nullptr && value.Kind() == TQ_ValueKind::None) return true;
  if (!MakeLimits()) return false;
  m_limits->*which = value;
  return true;
}

bool TQ_VarParam::SetLowerBound(const TQ_Value& value) { return SetLimit(&Limits::lower, value); }
bool TQ_VarParam::SetUpperBound(const TQ_Value& value) { return SetLimit(&Limits::upper, value); }
bool TQ_VarParam::SetValidSet(const TQ_Value& value) { return SetLimit(&Limits::valid, value); }

const TQ_Value& TQ_VarParam::LowerBound() const { return m_limits ? m_limits->lower : NoLimit(); }
const TQ_Value& TQ_VarParam::UpperBound() const { return m_limits ? m_limits->upper : NoLimit(); }
const TQ_Value& TQ_VarParam::ValidSet() const { return m_limits ? m_limits->valid : NoLimit(); }

bool TQ_VarParam::IsSolverVariable() const { return false; }

double TQ_VarParam::NumericValue() const { return Effective().Real(); }

namespace {
// A numeric bound as a real; `none` where there is none.
double BoundAsReal(const TQ_Value& bound, double none) {
  return bound.Kind() == TQ_ValueKind::Integer || bound.Kind() == TQ_ValueKind::Real ? bound.Real() : none;
}
}  // namespace

double TQ_VarParam::TQ_LOWERValue() const {
  return BoundAsReal(LowerBound(), -std::numeric_limits<double>::infinity());
}

double TQ_VarParam::TQ_UPPERValue() const { return BoundAsReal(UpperBound(), std::numeric_limits<double>::infinity()); }

void TQ_VarParam::SetNumericValue(double value) {
  if (ValueKind() == TQ_ValueKind::Integer)
    StoreValue(TQ_Value(TQ_Value(value, 0u, 0u, 0).Integer(), 0u, 0u, 0));
  else
    StoreValue(TQ_Value(value, 0u, 0u, 0));
}

TQ_Value* TQ_VarParam::TQ_DefaultVALUE() const { return nullptr; }
TQ_Value* TQ_VarParam::TQ_DefaultLOWER() const { return nullptr; }
TQ_Value* TQ_VarParam::TQ_DefaultUPPER() const { return nullptr; }
TQ_Value* TQ_VarParam::TQ_DefaultVALID() const { return nullptr; }
TQ_Value* TQ_VarParam::TQ_DefaultPHYSICALQUANTITY() const { return nullptr; }
int TQ_VarParam::TQ_PQCol() const { return -1; }
int TQ_VarParam::TQ_PQRow() const { return -1; }

void TQ_VarParam::InitializeSystemAttributes() {
  if (const TQ_Value* v = TQ_DefaultVALUE()) m_initial = *v;
  const TQ_Value* lower = TQ_DefaultLOWER();
  const TQ_Value* upper = TQ_DefaultUPPER();
  const TQ_Value* valid = TQ_DefaultVALID();
  // One block for all three, or none of them: a refused block leaves the
  // property as it was rather than with part of its defaults.
  const auto given = [](const TQ_Value* v) { return v != nullptr && v->Kind() != TQ_ValueKind::None; };
  if ((given(lower) || given(upper) || given(valid)) && !MakeLimits()) {
    m_attributesInitialised = false;
    return;
  }
  // With the block in place (or nothing to keep) these cannot fail.
  if (lower) SetLowerBound(*lower);
  if (upper) SetUpperBound(*upper);
  if (valid) SetValidSet(*valid);
  m_attributesInitialised = true;
}

bool TQ_VarParam::Accepts(const TQ_Value& value, std::string* why) const {
  if (!TQ_Type::Accepts(value, why)) return false;
  const TQ_Value& lower = LowerBound();
  const TQ_Value& upper = UpperBound();
  const TQ_Value& validSet = ValidSet();
  if (value.Kind() == TQ_ValueKind::Integer || value.Kind() == TQ_ValueKind::Real) {
    double x = value.Real();
    if (ValueKind() == TQ_ValueKind::Real && !std::isfinite(x)) {
      if (why) *why = "a value that is not a finite number";
      return false;
    }
    if (lower.Kind() != TQ_ValueKind::None && x < lower.Real()) {
      if (why) *why = "a value below the lower bound " + lower.ToString();
      return false;
    }
    if (upper.Kind() != TQ_ValueKind::None && x > upper.Real()) {
      if (why) *why = "a value above the upper bound " + upper.ToString();
      return false;
    }
  }
  if (value.Kind() == TQ_ValueKind::Text && validSet.Kind() == TQ_ValueKind::Set) {
    // Valid names are matched without regard to letter case, as the models
    // compare them.
    const TQ_SetValue& valid = validSet.Set();
    bool found = false;
    for (int p = 0; p < valid.SetSize() && !found; ++p) found = SUValue::CompareCI(valid.String(p), value.Text()) == 0;
    if (!found) {
      if (why) *why = "a value outside the valid set " + valid.ToString();
      return false;
    }
  }
  return true;
}

// ---- TQ_Container -------------------------------------------------------------------

TQ_Container::TQ_Container() = default;
TQ_Container::TQ_Container(const TQ_Container& other) = default;
TQ_Container& TQ_Container::operator=(const TQ_Container& other) = default;
TQ_Container::~TQ_Container() = default;

long TQ_Container::ExecuteAssignments(int, int) { return TQ_Executive::Instance().RootAssignmentStatus(); }

void TQ_Container::SetDims() {}

void TQ_Container::InitialiseInternalIndexSet(TQ_Set& set, TQ_Value* value, int sweep) {
  TQ_Executive& host = TQ_Executive::Instance();
  if (value == nullptr) {
    host.ReportError("index set " + host.PathOf(&set) + " given no value");
    host.LogIndexSet(&set, TQ_Value(), sweep, TQ_ASSIGN_REFUSED);
    return;
  }
  // A value the set cannot hold (not a set, or members of the other kind)
  // is refused: the set keeps the value it has.
  std::string why;
  if (!set.Accepts(*value, &why)) {
    host.ReportError("index set " + host.PathOf(&set) + " refused " + value->ToString() + ": " + why);
    host.LogIndexSet(&set, *value, sweep, TQ_ASSIGN_REFUSED);
    return;
  }
  // The set is the model's to compute: a fix the user gave it cannot be honoured, and is refused
  // (named, and kept on the executive's list) rather than overwritten without a word.
  if (set.IsFixed()) {
    const std::string model = host.PathOf(this);
    const std::string message = host.PathOf(&set) + " is fixed, but it is an index set that " + model +
                                " computes; the fix is refused and " + model + "'s value is taken";
    set.Unfix();
    host.RefuseFix(&set, message);
  }
  set.StoreSetValue(*value);
  host.LogIndexSet(&set, *value, sweep, TQ_ASSIGN_DONE);
}

// ---- TQ_ModelExtensions ----------------------------------------------------------------

TQ_ModelExtensions::TQ_ModelExtensions(TQ_ModelType* model) : m_model(model) {}
// The executive may know this interface as its model's; it forgets it.
TQ_ModelExtensions::~TQ_ModelExtensions() { TQ_EquationStore::ForgetExpressions(this); }

int TQ_ModelExtensions::Compatibility() { return 6; }
// The emission calls are defined with the executive (tq_executive.cpp).

// ---- TQ_ModelType and its kinds -----------------------------------------------------------

int TQ_ModelType::m_stLastGroup = 0;

TQ_ModelType::TQ_ModelType() = default;
TQ_ModelType::TQ_ModelType(const TQ_ModelType& other) = default;
TQ_ModelType& TQ_ModelType::operator=(const TQ_ModelType& other) = default;
TQ_ModelType::~TQ_ModelType() = default;

int TQ_ModelType::SetUpEquations() { return TQ_Executive::Instance().RootSetUpEquations(); }
int TQ_ModelType::JacPattern(int*&, int*&, TQ_EquationType**) { return TQ_Executive::Instance().RootJacPattern(); }
int TQ_ModelType::Jacobian(double*, int, int) { return 0; }
int TQ_ModelType::Residuals(double*, int, int) { return 0; }
TQ_COMPONENTLISTNAME* TQ_ModelType::ComponentList() { return nullptr; }
TQ_VarParamProp* TQ_ModelType::IsConnected() { return nullptr; }

// The declaration and emission calls are defined with the executive (tq_executive.cpp).

TQ_ModelTypeEx::TQ_ModelTypeEx() : TQ_ModelExtensions(this) {}
TQ_ModelTypeEx::TQ_ModelTypeEx(const TQ_ModelTypeEx& other) : TQ_ModelType(other), TQ_ModelExtensions(this) {}
TQ_ModelTypeEx& TQ_ModelTypeEx::operator=(const TQ_ModelTypeEx& other) {
  TQ_ModelType::operator=(other);
  return *this;
}
TQ_ModelTypeEx::~TQ_ModelTypeEx() = default;

TQ_ModelTypeEx2::TQ_ModelTypeEx2() = default;
TQ_ModelTypeEx2::TQ_ModelTypeEx2(const TQ_ModelTypeEx2& other) = default;
TQ_ModelTypeEx2& TQ_ModelTypeEx2::operator=(const TQ_ModelTypeEx2& other) = default;
TQ_ModelTypeEx2::~TQ_ModelTypeEx2() = default;

TQ_PortType::TQ_PortType() = default;
TQ_PortType::TQ_PortType(const TQ_PortType& other) = default;
TQ_PortType& TQ_PortType::operator=(const TQ_PortType& other) = default;
TQ_PortType::~TQ_PortType() = default;
int TQ_PortType::PortCount(bool) const { return 1; }
TQ_Type* TQ_PortType::GetPort(int& index, bool) {
  --index;
  return index < 0 ? this : nullptr;
}

TQ_PortTypeEx::TQ_PortTypeEx() : TQ_ModelExtensions(this) {}
TQ_PortTypeEx::TQ_PortTypeEx(const TQ_PortTypeEx& other) : TQ_PortType(other), TQ_ModelExtensions(this) {}
TQ_PortTypeEx& TQ_PortTypeEx::operator=(const TQ_PortTypeEx& other) {
  TQ_PortType::operator=(other);
  return *this;
}
TQ_PortTypeEx::~TQ_PortTypeEx() = default;

TQ_StructureType::TQ_StructureType() = default;
TQ_StructureType::TQ_StructureType(const TQ_StructureType& other) = default;
TQ_StructureType& TQ_StructureType::operator=(const TQ_StructureType& other) = default;
TQ_StructureType::~TQ_StructureType() = default;

TQ_StructureTypeEx::TQ_StructureTypeEx() : TQ_ModelExtensions(this) {}
TQ_StructureTypeEx::TQ_StructureTypeEx(const TQ_StructureTypeEx& other)
    : TQ_StructureType(other), TQ_ModelExtensions(this) {}
TQ_StructureTypeEx& TQ_StructureTypeEx::operator=(const TQ_StructureTypeEx& other) {
  TQ_StructureType::operator=(other);
  return *this;
}
TQ_StructureTypeEx::~TQ_StructureTypeEx() = default;

TQ_EquationType::TQ_EquationType() = default;
TQ_EquationType::~TQ_EquationType() = default;
