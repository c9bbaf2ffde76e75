// The host's services for the call of a procedure's external routine:
// finding, loading and resolving the routine, the last-call record, the
// judgement of the failure flag, the array and string packers, and the
// update controller.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <map>
#include <string>
#include <typeinfo>
#include <utility>

#include "tq_executive.h"
#include "tq_procedure.h"

namespace {

// Library names are compared without regard to case (as the platforms'
// file names are on Windows); routine names exactly.
std::string LibraryKey(const std::string& library) {
  std::string key = library;
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return key;
}

using RoutineKey = std::pair<std::string, std::string>;

RoutineKey KeyOf(const std::string& library, const std::string& routine) {
  return RoutineKey(LibraryKey(library), routine);
}

struct ProcedureLibraries {
  TQ_LibraryLoader loader;
  std::vector<std::string> userDirectories;
  std::string modelDirectory;
  std::map<RoutineKey, TQ_Procedure13> registered;
  std::map<RoutineKey, long> calls;
  // The libraries procedure records hold, by name, without holding them.
  std::map<std::string, std::weak_ptr<TQ_LoadedLibrary>> held;
};

ProcedureLibraries& Libraries() {
  // Never destroyed: procedure objects may outlive static destruction.
  static ProcedureLibraries* libraries = new ProcedureLibraries;
  return *libraries;
}

bool g_alwaysCall = false;

const char* CallTypeName(TQ_ProcedureType::CallType type) {
  switch (type) {
    case TQ_ProcedureType::CallNone:
      return "none";
    case TQ_ProcedureType::CallValues:
      return "values";
    case TQ_ProcedureType::CallPrecall:
      return "precall";
    case TQ_ProcedureType::CallFollowUp:
      return "follow-up";
    case TQ_ProcedureType::CallJacobian:
      return "Jacobian";
    case TQ_ProcedureType::CallValuesAndDerivatives:
      return "values and derivatives";
  }
  return "unknown";
}

// The product of `dimensions` sizes; -1 for a negative size or count, or a
// product beyond 32 bits.
std::int64_t ElementCount(int dimensions, const int* sizes) {
  if (dimensions < 0 || (dimensions > 0 && sizes == nullptr)) return -1;
  std::int64_t count = 1;
  for (int d = 0; d < dimensions; ++d) {
    if (sizes[d] < 0) return -1;
    count *= sizes[d];
    if (count > 0x7FFFFFFF) return -1;
  }
  return count;
}

}  // namespace

// ---- the update controller ---------------------------------------------------------

TQ_IncrementalUpdate::TQ_IncrementalUpdate() = default;
TQ_IncrementalUpdate::~TQ_IncrementalUpdate() = default;

int TQ_IncrementalUpdate::VariableChanged(TQ_VarParam& variable) {
  m_changed.push_back(&variable);
  return 0;
}

bool TQ_IncrementalUpdate::IsUpdated(const TQ_VarParam& variable) const {
  for (const TQ_VarParam* excluded : m_excluded)
    if (excluded == &variable) return false;
  return true;
}

void TQ_IncrementalUpdate::Exclude(const TQ_VarParam& variable) { m_excluded.push_back(&variable); }

// ---- where routines come from ------------------------------------------------------

void TQ_ProcedureLibraries::SetUserDirectories(std::vector<std::string> directories) {
  Libraries().userDirectories = std::move(directories);
}

void TQ_ProcedureLibraries::SetModelLibraryDirectory(std::string directory) {
  Libraries().modelDirectory = std::move(directory);
}

void TQ_ProcedureLibraries::Register(const std::string& library, const std::string& routine, TQ_Procedure13 address) {
  if (address == nullptr)
    Libraries().registered.erase(KeyOf(library, routine));
  else
    Libraries().registered[KeyOf(library, routine)] = address;
}

void TQ_ProcedureLibraries::Reset() {
  ProcedureLibraries& libraries = Libraries();
  libraries.registered.clear();
  libraries.calls.clear();
  libraries.userDirectories.clear();
  libraries.modelDirectory.clear();
}

long TQ_ProcedureLibraries::CallCount(const std::string& library, const std::string& routine) {
  const auto found = Libraries().calls.find(KeyOf(library, routine));
  return found == Libraries().calls.end() ? 0 : found->second;
}

std::string TQ_ProcedureLibraries::LoadedPath(const std::string& library) {
  const auto found = Libraries().held.find(LibraryKey(library));
  if (found == Libraries().held.end()) return {};
  const TQ_LibraryRef file = found->second.lock();
  return file ? file->Path() : std::string();
}

// ---- loading and resolving -------------------------------------------------------------

bool TQ_ProcedureType::AlwaysCall() { return g_alwaysCall; }
void TQ_ProcedureType::SetAlwaysCall(bool always) { g_alwaysCall = always; }

int TQ_ProcedureType::EnsureCompatibleDLLLoaded(int compatibility) {
  const std::string library = DLLName() != nullptr ? DLLName() : "";
  const std::string routine = ProcedureName() != nullptr ? ProcedureName() : "";
  const std::string what = "routine \"" + routine + "\" of library \"" + library + "\"";
  const auto fail = [&](int status, const std::string& why) {
    m_lastCall = CallNone;
    ProcedureError((what + ": " + why).c_str());
    return status;
  };
  if (compatibility != TQ_PROCEDURE_INTERFACE)
    return fail(TQ_PROC_INCOMPATIBLE,
                "the call asks for interface level " + std::to_string(compatibility) +
                    "; this host calls routines of level " + std::to_string(TQ_PROCEDURE_INTERFACE) +
                    " (sixteen pointers) only");
  if (library.empty() || routine.empty())
    return fail(TQ_PROC_LIBRARY_MISSING, "a procedure needs the names of its library and its routine");

  if (m_pRoutine != nullptr && m_pRoutine->address != nullptr && m_pRoutine->routine == routine &&
      LibraryKey(m_pRoutine->library) == LibraryKey(library))
    return TQ_PROC_OK;
  if (m_pRoutine == nullptr) m_pRoutine = new DLLFunction;
  *m_pRoutine = DLLFunction{library, routine, nullptr, nullptr};

  ProcedureLibraries& libraries = Libraries();
  const auto registered = libraries.registered.find(KeyOf(library, routine));
  if (registered != libraries.registered.end()) {
    m_pRoutine->address = registered->second;
    return TQ_PROC_OK;
  }

  libraries.loader.SetUserDirectories(libraries.userDirectories);
  libraries.loader.SetModelLibraryDirectory(!libraries.modelDirectory.empty()
                                                ? libraries.modelDirectory
                                                : TQ_LibraryLoader::ModuleDirectoryOf(&typeid(*this)));
  std::string error;
  TQ_LibraryRef file = libraries.loader.LoadByName(library, error);
  if (!file) return fail(TQ_PROC_LIBRARY_MISSING, error);
  const TQ_Procedure13 address = file->Function<TQ_Procedure13>(routine, error);
  if (address == nullptr) return fail(TQ_PROC_ROUTINE_MISSING, error);
  libraries.held[LibraryKey(library)] = file;
  m_pRoutine->file = std::move(file);
  m_pRoutine->address = address;
  return TQ_PROC_OK;
}

TQ_Procedure13 TQ_ProcedureType::GetProcedure13Address(DLLFunction* record) {
  if (record == nullptr || record->address == nullptr) {
    m_lastCall = CallNone;
    ProcedureError("no routine is at hand for the call (EnsureCompatibleDLLLoaded has not found one); not called");
    return nullptr;
  }
  ++Libraries().calls[KeyOf(record->library, record->routine)];
  return record->address;
}

int TQ_ProcedureType::CheckIFailAndOutputs(int failure, CallType type, bool report) {
  m_nLastFailure = failure;
  const auto fail = [&](int status, const std::string& why) {
    m_lastCall = CallNone;
    if (report) ProcedureError(why.c_str());
    return status;
  };
  const std::string call = std::string(CallTypeName(type)) + " call of routine \"" +
                           (m_pRoutine != nullptr ? m_pRoutine->routine : std::string(ProcedureName())) + "\"";
  if (m_nDerivatives != m_nDerivativeRoom) {
    const std::int32_t changed = m_nDerivatives;
    m_nDerivatives = m_nDerivativeRoom;
    m_lastCall = CallNone;
    ProcedureError((call + " changed the derivative count from " + std::to_string(m_nDerivativeRoom) + " to " +
                    std::to_string(changed) + "; put back, and the call fails")
                       .c_str());
    return TQ_PROC_ROUTINE_FAILED;
  }
  if (failure != 0) return fail(TQ_PROC_ROUTINE_FAILED, call + " failed with code " + std::to_string(failure));
  if ((type == CallValues || type == CallValuesAndDerivatives) && m_pArgBuffer != nullptr && m_nOutputOffset >= 0 &&
      static_cast<std::int64_t>(m_nOutputOffset) + m_nOutputValues <= m_nArgWords) {
    for (std::int32_t k = 0; k < m_nOutputValues; ++k) {
      const double value = m_pArgBuffer[m_nOutputOffset + k];
      if (!std::isfinite(value))
        return fail(TQ_PROC_BAD_OUTPUT,
                    call + " reported success, but its output value " + std::to_string(k + 1) + " is " +
                        TQ_Value(value, 0u).ToString() + ", not a finite number");
    }
  }
  m_lastCall = type;
  return TQ_PROC_OK;
}

int TQ_ProcedureType::RefuseCall(const char* why) {
  m_lastCall = CallNone;
  ProcedureError(why);
  return TQ_PROC_REFUSED;
}

// ---- packing -----------------------------------------------------------------------

bool TQ_ProcedureType::InsideBuffer(const void* begin, std::int64_t bytes) const {
  if (m_pArgBuffer == nullptr || begin == nullptr || bytes < 0) return false;
  const auto first = reinterpret_cast<std::uintptr_t>(m_pArgBuffer);
  const auto last = first + static_cast<std::uintptr_t>(m_nArgWords) * 8u;
  const auto at = reinterpret_cast<std::uintptr_t>(begin);
  return at >= first && at <= last && static_cast<std::uint64_t>(bytes) <= last - at;
}

bool TQ_ProcedureType::CursorHasInputs(std::int64_t count) const {
  if (m_ppElements == nullptr || m_ppCursor == nullptr || count < 0) return false;
  const std::ptrdiff_t at = m_ppCursor - m_ppElements;
  return at >= 0 && at + count <= m_nInputRoom;
}

namespace {

// The entries of one array argument: `count` values read from the element
// variables at the cursor, each compared with its entry of `width` bytes
// and written only where it differs.
template <typename Entry, class Read, class Differs>
void PackEntries(
    unsigned char* entries, std::int64_t count, TQ_VarParam**& cursor, bool& changed, Read read, Differs differs) {
  for (std::int64_t k = 0; k < count; ++k, entries += sizeof(Entry)) {
    const Entry value = read(**cursor++);
    Entry stored;
    std::memcpy(&stored, entries, sizeof stored);
    if (differs(stored, value)) {
      std::memcpy(entries, &value, sizeof value);
      changed = true;
    }
  }
}

}  // namespace

bool TQ_ProcedureType::PackIntegerArray(int* destination, int dimensions, const int* sizes) {
  const std::int64_t count = ElementCount(dimensions, sizes);
  if (count < 0 || !InsideBuffer(destination, count * 4) || !CursorHasInputs(count)) {
    ProcedureError(
        "PackIntegerArray: the array's entries or element variables lie outside the procedure's; "
        "nothing packed");
    return m_bChanged;
  }
  PackEntries<std::int32_t>(
      reinterpret_cast<unsigned char*>(destination),
      count,
      m_ppCursor,
      m_bChanged,
      [](const TQ_VarParam& v) { return static_cast<std::int32_t>(v.Integer()); },
      [](std::int32_t stored, std::int32_t value) { return stored != value; });
  return m_bChanged;
}

bool TQ_ProcedureType::PackRealArray(double* destination, int dimensions, const int* sizes) {
  const std::int64_t count = ElementCount(dimensions, sizes);
  if (count < 0 || !InsideBuffer(destination, count * 8) || !CursorHasInputs(count)) {
    ProcedureError(
        "PackRealArray: the array's entries or element variables lie outside the procedure's; "
        "nothing packed");
    return m_bChanged;
  }
  // IEEE comparison: a NaN always differs, -0 equals +0.
  PackEntries<double>(
      reinterpret_cast<unsigned char*>(destination),
      count,
      m_ppCursor,
      m_bChanged,
      [](const TQ_VarParam& v) { return v.Real(); },
      [](double stored, double value) { return !(stored == value); });
  return m_bChanged;
}

void TQ_ProcedureType::PackField(char* field, const char* text) {
  const std::size_t width = static_cast<std::size_t>(TypeSize(5));
  if (text == nullptr) text = "";
  std::size_t length = std::strlen(text);
  if (length > width) {
    ProcedureError(("the string \"" + std::string(text) + "\" is longer than the " + std::to_string(width) +
                    " characters of a string argument; cut to its first " + std::to_string(width))
                       .c_str());
    length = width;
  }
  char packed[TQ_PROCEDURE_STRING_BYTES];
  std::memset(packed, m_bFortran ? ' ' : '\0', sizeof packed);
  std::memcpy(packed, text, length);
  if (std::memcmp(field, packed, width) != 0) {
    std::memcpy(field, packed, width);
    m_bChanged = true;
  }
}

bool TQ_ProcedureType_C::PackStr(char* destination, const char* text) {
  if (!InsideBuffer(destination, TypeSize(5))) {
    ProcedureError("PackStr: the string's field lies outside the argument buffer; nothing packed");
    return m_bChanged;
  }
  PackField(destination, text);
  return m_bChanged;
}

bool TQ_ProcedureType_C::PackStringArray(char* destination, int dimensions, const int* sizes) {
  const std::int64_t count = ElementCount(dimensions, sizes);
  const std::int64_t width = TypeSize(5);
  const std::int64_t tableBytes =
      IsFortran() || count < 0 ? 0 : ((count * static_cast<std::int64_t>(TQ_CHARPOINTER_BYTES) + 7) / 8) * 8;
  if (count < 0 || !InsideBuffer(destination, tableBytes + count * width) || !CursorHasInputs(count)) {
    ProcedureError(
        "PackStringArray: the array's fields or element variables lie outside the procedure's; "
        "nothing packed");
    return m_bChanged;
  }
  char* field = destination + tableBytes;
  for (std::int64_t k = 0; k < count; ++k, field += width) PackField(field, (*m_ppCursor++)->String());
  return m_bChanged;
}
