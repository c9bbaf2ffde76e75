#include "tq_procedure.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

#include "tq_executive.h"

// ---- ConstProcValue ---------------------------------------------------------------

ConstProcValue::ConstProcValue() : m_kind(kNone), m_integer(0), m_real(0.0), m_text{} {}

ConstProcValue& ConstProcValue::operator=(const char* text) {
  if (text == nullptr) text = "";
  std::size_t length = std::strlen(text);
  if (length > static_cast<std::size_t>(TQ_PROCEDURE_STRING_BYTES)) {
    TQ_Executive::Instance().ReportError("string constant \"" + std::string(text) + "\" is longer than the " +
                                         std::to_string(TQ_PROCEDURE_STRING_BYTES) +
                                         " characters of a string argument; cut to its first " +
                                         std::to_string(TQ_PROCEDURE_STRING_BYTES));
    length = TQ_PROCEDURE_STRING_BYTES;
  }
  std::memset(m_text, 0, sizeof m_text);
  std::memcpy(m_text, text, length);
  m_kind = kText;
  m_integer = 0;
  m_real = 0.0;
  return *this;
}

ConstProcValue& ConstProcValue::operator=(int value) {
  m_kind = kInteger;
  m_integer = value;
  m_real = 0.0;
  std::memset(m_text, 0, sizeof m_text);
  return *this;
}

ConstProcValue& ConstProcValue::operator=(double value) {
  m_kind = kReal;
  m_integer = 0;
  m_real = value;
  std::memset(m_text, 0, sizeof m_text);
  return *this;
}

int ConstProcValue::Integer() const {
  if (m_kind == kInteger) return m_integer;
  if (m_kind != kReal || std::isnan(m_real)) return 0;
  if (m_real >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (m_real <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<int>(m_real);
}

double ConstProcValue::Real() const {
  return m_kind == kReal ? m_real : m_kind == kInteger ? static_cast<double>(m_integer) : 0.0;
}

const char* ConstProcValue::String() const { return m_kind == kText ? m_text : ""; }

// ---- TQ_ProcedureType ---------------------------------------------------------------

namespace {
bool g_postsetInputs = true;

// A block of `count` values of T on the host heap, zeroed; null for none or
// when the heap refuses.
template <typename T>
T* NewBlock(std::int64_t count) {
  if (count <= 0 || static_cast<std::uint64_t>(count) * sizeof(T) > 0xFFFFFFFFu) return nullptr;
  std::size_t bytes = static_cast<std::size_t>(count) * sizeof(T);
  void* block = MyAllocate(static_cast<unsigned int>(bytes));
  if (block != nullptr) std::memset(block, 0, bytes);
  return static_cast<T*>(block);
}

// A copy of `count` values of T, or null when there is nothing to copy or
// the heap refuses.
template <typename T>
T* CopyBlock(const T* source, std::int64_t count) {
  if (source == nullptr) return nullptr;
  T* copy = NewBlock<T>(count);
  if (copy != nullptr) std::memcpy(copy, source, static_cast<std::size_t>(count) * sizeof(T));
  return copy;
}
}  // namespace

TQ_ProcedureType::TQ_ProcedureType()
    : m_pArgBuffer(nullptr),
      m_pDerivCache(nullptr),
      m_pDerivatives(nullptr),
      m_pHostReals(nullptr),
      m_nHostInteger(0),
      m_nDerivatives(0),
      m_pRoutine(nullptr),
      m_nHostCell(0),
      m_nSolverInputs(0),
      m_nInputElements(0),
      m_nOutputValues(0),
      m_nInputValues(0),
      m_nOutputElements(0),
      m_ppElements(nullptr),
      m_ppCursor(nullptr),
      m_bChanged(false),
      m_bHostFlag(false),
      m_nArgWords(0),
      m_nOutputOffset(0),
      m_nElementRoom(0),
      m_nInputRoom(0),
      m_bFortran(false),
      m_nLanguageBase(0),
      m_bPresetOutputs(false),
      m_pComponentList(nullptr),
      m_lastCall(CallNone),
      m_nDerivativeRoom(0),
      m_nLastFailure(0),
      m_pUpdate(nullptr) {}

TQ_ProcedureType::TQ_ProcedureType(const TQ_ProcedureType& other)
    : TQ_PtrVectorObject(other),
      m_pArgBuffer(nullptr),
      m_pDerivCache(nullptr),
      m_pDerivatives(nullptr),
      m_pRoutine(nullptr),
      m_ppElements(nullptr),
      m_ppCursor(nullptr) {
  CopyFrom(other);
}

TQ_ProcedureType& TQ_ProcedureType::operator=(const TQ_ProcedureType& other) {
  if (this != &other) {
    TQ_PtrVectorObject::operator=(other);
    ReleaseArrays();
    CopyFrom(other);
  }
  return *this;
}

TQ_ProcedureType::~TQ_ProcedureType() { ReleaseArrays(); }

void TQ_ProcedureType::ReleaseDerivatives() {
  MyFree(m_pDerivatives);
  MyFree(m_pDerivCache);
  m_pDerivatives = nullptr;
  m_pDerivCache = nullptr;
  m_nDerivatives = 0;
  m_nDerivativeRoom = 0;
}

void TQ_ProcedureType::ReleaseArrays() {
  MyFree(m_pArgBuffer);
  MyFree(m_pDerivCache);
  MyFree(m_pDerivatives);
  MyFree(m_ppElements);
  delete m_pRoutine;
  m_pRoutine = nullptr;
  m_pArgBuffer = nullptr;
  m_pDerivCache = nullptr;
  m_pDerivatives = nullptr;
  m_ppElements = nullptr;
  m_ppCursor = nullptr;
}

// Takes the other's fields, with arrays of its own holding the other's
// contents. An array the heap refuses stays null, with its size 0, and is
// reported. The routine record is not shared: a copy resolves its routine
// again at its first call, and finds the library still loaded.
void TQ_ProcedureType::CopyFrom(const TQ_ProcedureType& other) {
  m_pHostReals = other.m_pHostReals;
  m_nHostInteger = other.m_nHostInteger;
  m_nDerivatives = other.m_nDerivatives;
  m_nDerivativeRoom = other.m_nDerivativeRoom;
  m_nHostCell = other.m_nHostCell;
  m_nSolverInputs = other.m_nSolverInputs;
  m_nInputElements = other.m_nInputElements;
  m_nOutputValues = other.m_nOutputValues;
  m_nInputValues = other.m_nInputValues;
  m_nOutputElements = other.m_nOutputElements;
  m_bChanged = other.m_bChanged;
  m_bHostFlag = other.m_bHostFlag;
  m_nArgWords = other.m_nArgWords;
  m_nOutputOffset = other.m_nOutputOffset;
  m_nElementRoom = other.m_nElementRoom;
  m_nInputRoom = other.m_nInputRoom;
  m_bFortran = other.m_bFortran;
  m_nLanguageBase = other.m_nLanguageBase;
  m_bPresetOutputs = other.m_bPresetOutputs;
  m_pComponentList = other.m_pComponentList;
  m_lastCall = other.m_lastCall;
  m_nLastFailure = other.m_nLastFailure;
  m_pUpdate = other.m_pUpdate;

  m_pArgBuffer = CopyBlock(other.m_pArgBuffer, other.m_nArgWords);
  m_ppElements = CopyBlock(other.m_ppElements, other.m_nElementRoom);
  m_pDerivatives = CopyBlock(other.m_pDerivatives, other.m_nDerivativeRoom);
  m_pDerivCache = CopyBlock(other.m_pDerivCache, other.m_nDerivativeRoom);
  m_ppCursor = (m_ppElements != nullptr && other.m_ppCursor != nullptr)
                   ? m_ppElements + (other.m_ppCursor - other.m_ppElements)
                   : nullptr;
  bool refused = false;
  if (other.m_pArgBuffer != nullptr && m_pArgBuffer == nullptr) {
    m_nArgWords = 0;
    refused = true;
  }
  if (other.m_ppElements != nullptr && m_ppElements == nullptr) {
    m_nElementRoom = 0;
    m_nInputRoom = 0;
    refused = true;
  }
  if (other.m_pDerivatives != nullptr && m_pDerivatives == nullptr) {
    ReleaseDerivatives();
    refused = true;
  }
  // A cache the heap refuses is no loss: the copy's Jacobian makes it again.
  if (refused) TQ_Executive::Instance().ReportError("copy of a procedure: the host heap refused its arrays");
}

void TQ_ProcedureType::Destroy() { delete this; }
TQ_COMPONENTLISTNAME* TQ_ProcedureType::ComponentListName() const { return m_pComponentList; }
int TQ_ProcedureType::Jacobian(double*, int&) { return 0; }
int TQ_ProcedureType::Residuals(double*, int&) { return 0; }
int TQ_ProcedureType::Precall(bool) { return 0; }
int TQ_ProcedureType::Postcall(bool) { return 0; }
void TQ_ProcedureType::InitializeCStrings() {}

TQ_VarParam* TQ_ProcedureType::OutputVar(int index) const {
  if (m_ppElements == nullptr || index < 0 || index >= m_nElementRoom - m_nInputRoom) return nullptr;
  return m_ppElements[m_nInputRoom + index];
}

void TQ_ProcedureType::SetMode(bool fortran, int base) {
  if (m_bHostFlag)
    throw std::logic_error("SetMode: the argument layout of this procedure is final; its convention stays");
  if (base != 0 && base != 1)
    throw std::invalid_argument("SetMode: language base index " + std::to_string(base) + " (0 or 1 expected)");
  m_bFortran = fortran;
  m_nLanguageBase = base;
}

int TQ_ProcedureType::TypeSize(int typeCode) const {
  switch (typeCode) {
    case 2:
    case 3:
      return 4;
    case 4:
      return 8;
    case 5:
      return TQ_PROCEDURE_STRING_BYTES;
    default:
      return 0;
  }
}

bool TQ_ProcedureType::PostsetInputs() { return g_postsetInputs; }
void TQ_ProcedureType::SetPostsetInputs(bool postset) { g_postsetInputs = postset; }

void TQ_ProcedureType::ProcedureError(const char* message) const {
  TQ_Executive::Instance().ReportError(std::string("procedure ") + ProcedureName() + ": " + message);
}

// ---- TQ_ProcedureType_C ---------------------------------------------------------------

TQ_ProcedureType_C::TQ_ProcedureType_C() = default;
TQ_ProcedureType_C::TQ_ProcedureType_C(const TQ_ProcedureType_C& other) = default;
TQ_ProcedureType_C& TQ_ProcedureType_C::operator=(const TQ_ProcedureType_C& other) = default;
TQ_ProcedureType_C::~TQ_ProcedureType_C() = default;

void TQ_ProcedureType_C::FinalizeConstruction(int outputOffset, int words) {
  if (m_bHostFlag) {
    ProcedureError("FinalizeConstruction: the layout is final already; refused");
    return;
  }
  const std::int64_t elements = static_cast<std::int64_t>(m_nInputElements) + m_nOutputElements;
  if (words < 0 || outputOffset < 0 || outputOffset > words || m_nInputElements < 0 || m_nOutputElements < 0 ||
      elements > std::numeric_limits<std::int32_t>::max()) {
    ProcedureError(("FinalizeConstruction: output offset " + std::to_string(outputOffset) + ", " +
                    std::to_string(words) + " words, " + std::to_string(m_nInputElements) + " input and " +
                    std::to_string(m_nOutputElements) + " output elements do not make a layout; refused")
                       .c_str());
    return;
  }
  double* buffer = NewBlock<double>(words);
  TQ_VarParam** list = NewBlock<TQ_VarParam*>(elements);
  if ((words > 0 && buffer == nullptr) || (elements > 0 && list == nullptr)) {
    MyFree(buffer);
    MyFree(list);
    ProcedureError("FinalizeConstruction: the host heap refused the argument buffer or the element list");
    return;
  }
  m_pArgBuffer = buffer;
  m_nArgWords = words;
  m_nOutputOffset = outputOffset;
  m_ppElements = list;
  m_ppCursor = list;
  m_nElementRoom = static_cast<std::int32_t>(elements);
  m_nInputRoom = m_nInputElements;
  m_nOutputValues = m_nOutputElements;
  m_bHostFlag = true;
}

void TQ_ProcedureType_C::HandleDerivatives(bool negate) {
  if (!negate) {
    ReleaseDerivatives();
    const std::int64_t count = static_cast<std::int64_t>(m_nOutputElements) * m_nInputValues;
    if (m_nOutputElements < 0 || m_nInputValues < 0 || count > std::numeric_limits<std::int32_t>::max()) {
      ProcedureError("HandleDerivatives: the derivative count does not fit; the procedure has no derivatives");
      return;
    }
    if (count == 0) return;
    // The derivative array only: the procedure's Jacobian makes the cache.
    m_pDerivatives = NewBlock<double>(count);
    if (m_pDerivatives == nullptr) {
      ProcedureError("HandleDerivatives: the host heap refused the derivative array");
      return;
    }
    m_nDerivatives = static_cast<std::int32_t>(count);
    m_nDerivativeRoom = m_nDerivatives;
    return;
  }
  if (m_pDerivatives == nullptr) return;
  // Derivatives that come before any Jacobian made the cache go into one
  // made here; a heap that refuses it leaves the Jacobian to try again.
  if (m_pDerivCache == nullptr) m_pDerivCache = NewBlock<double>(m_nDerivativeRoom);
  if (m_pDerivCache == nullptr) return;
  // Never past the arrays as made, whatever the count says now.
  const std::int32_t count = m_nDerivatives < m_nDerivativeRoom ? m_nDerivatives : m_nDerivativeRoom;
  for (std::int32_t k = 0; k < count; ++k) m_pDerivCache[k] = -m_pDerivatives[k];
}

// ---- TQ_ProcedureEquationType ---------------------------------------------------------------

TQ_ProcedureEquationType::TQ_ProcedureEquationType(TQ_ProcedureType* procedure,
                                                   int number,
                                                   int arg3,
                                                   TQ_Containable* owner,
                                                   const char* name,
                                                   int row,
                                                   int arg7,
                                                   const char* suffix)
    : m_procedure(procedure),
      m_number(number),
      m_arg3(arg3),
      m_owner(owner),
      m_row(row),
      m_arg7(arg7),
      m_name(name ? name : ""),
      m_suffix(suffix ? suffix : ""),
      m_fullName(m_name + m_suffix) {}

TQ_ProcedureEquationType::~TQ_ProcedureEquationType() = default;

// ---- the model side of procedure equations -------------------------------------------------

void* TQ_EquationType::operator new(std::size_t size) noexcept {
  if (size > 0xFFFFFFFFu) return nullptr;
  return MyAllocate(static_cast<unsigned int>(size));
}

void TQ_EquationType::operator delete(void* pointer) noexcept { MyFree(pointer); }

void TQ_ModelType::AddEquation(TQ_EquationType* equation, int& count, int group) {
  TQ_Executive& host = TQ_Executive::Instance();
  if (equation == nullptr) {
    host.ReportError(host.PathOf(this) + ": equation " + std::to_string(count) +
                     " came without its equation object; registered as a plain equation");
    host.EmitEquation(this, "", count, group, nullptr);
    return;
  }
  auto* procedural = dynamic_cast<TQ_ProcedureEquationType*>(equation);
  host.EmitEquation(this, procedural ? procedural->FullName() : "", count, group, equation);
  host.AdoptEquationType(this, equation);
}

void TQ_ModelExtensions::AddProcExpression(TQ_ProcedureType* procedure, int number, int row, const char* name) {
  TQ_Executive::Instance().EmitProcExpression(ExtensionOwner(), procedure, number, row, name);
}

namespace {
// A procedure's call is registered once its arguments are bound and before
// the host first has its inputs packed: under the C convention its string
// array inputs get their character-pointer tables now.
void PrepareCall(TQ_ProcedureType* procedure) {
  auto* convention = dynamic_cast<TQ_ProcedureType_C*>(procedure);
  if (convention != nullptr && !convention->IsFortran()) convention->InitializeCStrings();
}
}  // namespace

void TQ_ModelTypeEx::AddProcCall(TQ_ProcedureType* procedure, int group) {
  PrepareCall(procedure);
  TQ_Executive::Instance().EmitProcCall(this, procedure, group);
}

void TQ_StructureTypeEx::AddProcCall(TQ_ProcedureType* procedure, int group) {
  PrepareCall(procedure);
  TQ_Executive::Instance().EmitProcCall(this, procedure, group);
}
