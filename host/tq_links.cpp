#include "tq_links.h"

#include "tq_executive.h"

TQ_LinkError::TQ_LinkError(const std::string& what) : std::runtime_error(what) {}
TQ_LinkError::TQ_LinkError(const char* what) : std::runtime_error(what) {}
TQ_LinkError::~TQ_LinkError() = default;

namespace {
// Whether `object` is a model object whose type derives from `typeId`; a
// link declared without a type id takes any object.
bool OfType(TQ_Containable* object, const char* typeId) {
  if (typeId == nullptr) return true;
  TQ_Type* type = dynamic_cast<TQ_Type*>(object);
  if (type == nullptr) return false;
  return type->ContainerDerivesFrom(typeId) || SUValue::CompareCI(type->TQ_DefaultDESCRIPTION(), typeId) == 0;
}

std::string Printable(const char* typeId) {
  std::string text = typeId ? typeId : "";
  for (char& c : text)
    if (c == '\t') c = ' ';
  return text;
}
}  // namespace

// ---- holding linked objects ---------------------------------------------------------------

namespace {
// A link holds a reference to an object that references own (its count is
// above zero: a factory or the host gave it its first). A member or an array
// element has none; its owner keeps it, and the link only refers to it, so
// that letting go of it never destroys what another object owns.
bool TakeReference(TQ_Containable* object) {
  if (object == nullptr || object->RefCount() <= 0) return false;
  object->AddRef();
  return true;
}

void DropReference(TQ_Containable* object, bool held) {
  if (object != nullptr && held) object->Release();
}
}  // namespace

// ---- TQ_ExternalBase ------------------------------------------------------------------

TQ_ExternalBase::TQ_ExternalBase(TQ_Containable*) : m_link(nullptr), m_holdsReference(false) {}

TQ_ExternalBase::TQ_ExternalBase(const TQ_ExternalBase& other)
    : TQ_Containable(other), m_link(other.m_link), m_holdsReference(TakeReference(other.m_link)) {}

TQ_ExternalBase& TQ_ExternalBase::operator=(const TQ_ExternalBase& other) {
  if (this != &other) {
    TQ_Containable::operator=(other);
    const bool held = TakeReference(other.m_link);
    DropReference(m_link, m_holdsReference);
    m_link = other.m_link;
    m_holdsReference = held;
  }
  return *this;
}

TQ_ExternalBase::~TQ_ExternalBase() { DropReference(m_link, m_holdsReference); }

TQ_ExternalBase* TQ_ExternalBase::AddProperty(
    TQ_Containable* owner, const char* name, const char* description, TQ_Direction direction, bool flag) {
  RegisterWith(owner, name, description, direction, flag);
  return this;
}

TQ_Containable& TQ_ExternalBase::ExternalLinkChecked() const {
  if (m_link == nullptr)
    throw TQ_LinkError("link " + TQ_Executive::Instance().PathOf(this) + " has no object attached");
  return *m_link;
}

bool TQ_ExternalBase::Attach(TQ_Containable* object, std::string* error) {
  if (object == nullptr) {
    if (error) *error = "no object to attach";
    return false;
  }
  const char* want = ExternalTypeName();
  if (!OfType(object, want)) {
    if (error)
      *error = TQ_Executive::Instance().PathOf(object) + " is not of type " + Printable(want) + " that link " +
               TQ_Executive::Instance().PathOf(this) + " takes";
    return false;
  }
  const bool held = TakeReference(object);
  DropReference(m_link, m_holdsReference);
  m_link = object;
  m_holdsReference = held;
  return true;
}

void TQ_ExternalBase::Detach() {
  DropReference(m_link, m_holdsReference);
  m_link = nullptr;
  m_holdsReference = false;
}

const char* TQ_ExternalBase::ExternalTypeName() { return nullptr; }

// ---- TQ_VirtualBase --------------------------------------------------------------------

TQ_VirtualBase::TQ_VirtualBase(TQ_Type*)
    : TQ_STRINGPARAMETER(false), m_link(nullptr), m_default(false), m_holdsReference(false) {}

// A copy or an assignment shares the object the source stands for.
TQ_VirtualBase::TQ_VirtualBase(const TQ_VirtualBase& other)
    : TQ_STRINGPARAMETER(other),
      m_link(other.m_link),
      m_default(false),
      m_holdsReference(TakeReference(other.m_link)) {}

TQ_VirtualBase& TQ_VirtualBase::operator=(const TQ_VirtualBase& other) {
  if (this != &other) {
    TQ_STRINGPARAMETER::operator=(other);
    Hold(other.m_link, false);
  }
  return *this;
}

TQ_VirtualBase::~TQ_VirtualBase() { DropReference(m_link, m_holdsReference); }

void TQ_VirtualBase::Hold(TQ_Type* object, bool isDefault) {
  const bool held = TakeReference(object);
  DropReference(m_link, m_holdsReference);
  m_link = object;
  m_default = isDefault;
  m_holdsReference = held;
}

TQ_Type* TQ_VirtualBase::AddProperty(
    TQ_Containable* owner, const char* name, const char* description, TQ_Direction direction, bool flag) {
  RegisterWith(owner, name, description, direction, flag);
  return this;
}

TQ_Type* TQ_VirtualBase::MakeDefaultLink() {
  TQ_Type* object = NewDefaultVirtual();
  if (object == nullptr)
    throw TQ_LinkError("virtual property " + TQ_Executive::Instance().PathOf(this) +
                       " has nothing linked and no default object could be made");
  // The default object is the property's: the property holds its first
  // reference (there is no object stood for yet), and it goes with the last.
  object->AddRef();
  m_link = object;
  m_default = true;
  m_holdsReference = true;
  // Named once held: naming takes memory, and should it fail the object is
  // still the property's to release.
  if (!object->IsRegistered() && object->Owner() == nullptr) object->SetIdentity(Owner(), Name());
  return object;
}

bool TQ_VirtualBase::Link(TQ_Type* object, std::string* error) {
  if (object == nullptr) {
    if (error) *error = "no object to link";
    return false;
  }
  const char* want = VirtualBaseType();
  if (!OfType(object, want)) {
    if (error)
      *error = TQ_Executive::Instance().PathOf(object) + " is not of type " + Printable(want) +
               " that virtual property " + TQ_Executive::Instance().PathOf(this) + " stands for";
    return false;
  }
  Hold(object, false);
  return true;
}

void TQ_VirtualBase::Unlink() { Hold(nullptr, false); }

TQ_Type* TQ_VirtualBase::NewDefaultVirtual() { return nullptr; }
const char* TQ_VirtualBase::VirtualBaseType() { return nullptr; }

// ---- TQ_GlobalStructureRefBase ----------------------------------------------------------

TQ_GlobalStructureRefBase::TQ_GlobalStructureRefBase(TQ_ModelType*) : TQ_STRINGPARAMETER(false) {}
TQ_GlobalStructureRefBase::TQ_GlobalStructureRefBase(const TQ_GlobalStructureRefBase& other) = default;
TQ_GlobalStructureRefBase& TQ_GlobalStructureRefBase::operator=(const TQ_GlobalStructureRefBase& other) {
  TQ_STRINGPARAMETER::operator=(other);
  return *this;
}
TQ_GlobalStructureRefBase::~TQ_GlobalStructureRefBase() = default;

TQ_ModelType* TQ_GlobalStructureRefBase::Dereference() {
  TQ_ModelType* structure = TQ_Executive::Instance().FindObject(v());
  if (structure == nullptr)
    throw TQ_LinkError(std::string("global structure \"") + v() + "\" named by " +
                       TQ_Executive::Instance().PathOf(this) + " does not exist");
  return structure;
}

TQ_ModelType* TQ_GlobalStructureRefBase::CreateDummyInstance() { return nullptr; }
bool TQ_GlobalStructureRefBase::CheckCompatibleStructureType(TQ_ModelType*) { return false; }
