#include "tq_executive.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <unordered_map>

namespace {
// Stands for "no model" where the per-item calls compare the caller with the
// model that may add to the open equation or declaration, and for "no text"
// in the table of recent names: no model and no caller's text, not even a
// null one, is ever at this address.
alignas(16) const char g_noModelMark[16] = {};
constexpr const void* kNoModel = g_noModelMark;

// The entries a new declaration or equation starts from.
constexpr TQ_DeclaredEquation kBlankDeclaration{};
constexpr TQ_EmittedEquation kBlankEquation{};

// What the per-item calls read and write: the stores of declared and emitted
// equations, the open declaration and equation, the pattern arrays and the
// recent names. One object at a fixed address, set up before any code runs,
// so that a call reaches each field with one load. Its first state (no room
// in any store, no open declaration or equation, no recent name) sends every
// call down its checked path, which makes the executive: the calls need no
// test of their own for it. The host is called from one thread at a time.
struct ItemState {
  // The equations SetUpEquations declared. Non-zeros go only to the last
  // declaration, so the non-zeros of a declaration run from its first to the
  // next one's first, or to the end for the last one. Its count is written
  // before anyone reads it (SettleNonZeroCount), for the declarations from
  // `nonZeroCountsFrom` on: those made or added to since the last reading.
  std::vector<TQ_DeclaredEquation> declared;
  std::vector<TQ_VarParam*> declaredNonZeros;
  const void* declaringOwner = kNoModel;  // owner of the last declaration
  std::size_t nonZeroCountsFrom = 0;

  // The equations JacPattern emitted. Program items go only to the open
  // equation, which is the last one: their counts are likewise written
  // before anyone reads them (SettleItemCount).
  std::vector<TQ_EmittedEquation> emitted;
  std::vector<TQ_ProgramItem> items;
  int openIndex = -1;                // host index of the equation being emitted
  const void* openOwner = kNoModel;  // the model emitting it
  // The expression interface of the model emitting it, when known: the
  // models' item calls come through it and compare it, not its model, with
  // the open equation's. An interface is known once an item from it went in
  // (its model and it are remembered), and forgotten when it is destroyed.
  const void* openExpressions = kNoModel;
  const void* knownExpressions = kNoModel;
  const void* knownExpressionsModel = kNoModel;
  std::size_t itemCountsFrom = 0;

  // The pattern arrays and the entries written. Entries are not set to -1
  // when the arrays are made, but when first needed: the entries before
  // `nextRow` (and `nextCol`, the same entry of the other array) are written
  // or -1, the ones from there on have not been written since the arrays
  // were made and are set to -1 before anyone reads them (FillPattern). A
  // term at exactly that entry, the usual next one, needs no other check.
  // The entries written are those before `nextRow` and `writtenBesides`
  // more: less the entries set to -1, more the ones written again.
  std::vector<int> rows;
  std::vector<int> cols;
  int* nextRow = nullptr;
  int* nextCol = nullptr;
  int writtenBesides = 0;

  int Written() const { return static_cast<int>(nextRow - rows.data()) + writtenBesides; }

  // Names are looked up by their text: a caller may build every name in one
  // buffer. A model usually hands the same few texts over again and again (a
  // table of names, one per kind of equation): a small table remembers, by
  // address, which name a text had, and a hit only compares the text with
  // that name.
  struct RecentName {
    const char* text = g_noModelMark;  // the caller's text
    const char* stored = nullptr;      // the name's own text
    std::uint32_t id = 0;
  };
  static constexpr int kRecentNameBits = 6;
  std::array<RecentName, std::size_t{1} << kRecentNameBits> recentNames{};

  // The slot of a text's address: its top bits after a multiplication, so
  // that texts a few bytes apart (a table of names) land in different slots.
  [[gnu::always_inline]] RecentName& RecentSlot(const char* name) {
    const std::uint64_t address = reinterpret_cast<std::uintptr_t>(name);
    return recentNames[(address * 0x9E3779B97F4A7C15u) >> (64 - kRecentNameBits)];
  }

  // The id of `name` when its address was seen and still holds the same
  // text. A null name matches no slot: no slot holds a null text.
  [[gnu::always_inline]] bool RecentId(const char* name, std::uint32_t& id) {
    const RecentName& recent = RecentSlot(name);
    if (recent.text != name || std::strcmp(recent.stored, name) != 0) return false;
    id = recent.id;
    return true;
  }

  // Writes the counts of the declarations and of the emitted equations from
  // where they may be stale on. The last of either may be open and stays
  // stale; counting their contents is left to here so that each declaration
  // or equation is its own entry only, and each non-zero or item one store.
  template <typename Entry>
  static void SettleCounts(std::vector<Entry>& entries, std::uint32_t Entry::*first, std::uint32_t Entry::*count,
                           std::size_t contents, std::size_t& from) {
    if (entries.empty()) return;
    for (std::size_t e = from; e + 1 < entries.size(); ++e)
      entries[e].*count = entries[e + 1].*first - entries[e].*first;
    entries.back().*count = static_cast<std::uint32_t>(contents) - entries.back().*first;
    from = entries.size() - 1;
  }
  void SettleNonZeroCount() {
    SettleCounts(declared, &TQ_DeclaredEquation::firstNonZero, &TQ_DeclaredEquation::nonZeroCount,
                 declaredNonZeros.size(), nonZeroCountsFrom);
  }
  void SettleItemCount() {
    SettleCounts(emitted, &TQ_EmittedEquation::firstItem, &TQ_EmittedEquation::itemCount, items.size(),
                 itemCountsFrom);
  }

  // Opens a declaration for `model`; the last one closes.
  [[gnu::always_inline]] void OpenDeclaration(const TQ_ModelType* model, int group) {
    // A blank entry, then its fields: an entry built on the stack and copied
    // would be read back whole from the stores of its parts, which the
    // processor cannot forward to the read.
    declared.push_back(kBlankDeclaration);
    TQ_DeclaredEquation& declaration = declared.back();
    declaration.owner = model;
    declaration.group = group;
    declaration.firstNonZero = static_cast<std::uint32_t>(declaredNonZeros.size());
    declaringOwner = model;
  }

  // Opens equation `count` for `model`, raising the count; the last one
  // closes. Items from no model are refused.
  [[gnu::always_inline]] void OpenEquation(const TQ_ModelType* model, std::uint32_t name, int& count, int group,
                                           const TQ_EquationType* type) {
    emitted.push_back(kBlankEquation);  // then its fields, as in OpenDeclaration
    TQ_EmittedEquation& equation = emitted.back();
    equation.owner = model;
    equation.name = name;
    equation.group = group;
    equation.firstItem = static_cast<std::uint32_t>(items.size());
    equation.type = type;
    openIndex = count;
    openOwner = model != nullptr ? static_cast<const void*>(model) : kNoModel;
    openExpressions = model == knownExpressionsModel ? knownExpressions : kNoModel;
    ++count;
  }

  // Closes the open equation: items are refused until the next one opens.
  void CloseEquation() {
    SettleItemCount();
    openIndex = -1;
    openOwner = kNoModel;
    openExpressions = kNoModel;
  }

  // Makes room for more program items.
  void GrowItems() { items.reserve(items.capacity() < 64 ? 64 : items.capacity() * 2); }

  // Appends an item to the open equation; the caller has made sure there is
  // room.
  [[gnu::always_inline]] void AppendItem(TQ_ProgramItem item) {
    if (items.size() == items.capacity()) __builtin_unreachable();
    items.push_back(item);
  }

  // True when the cursors stand at the first entry not yet filled, before
  // the arrays' end.
  [[gnu::always_inline]] bool CursorsAtNext(const int* rowCursor, const int* colCursor) const {
    return rowCursor == nextRow && colCursor == nextCol && rowCursor != std::to_address(rows.end());
  }

  // The entry of the pattern arrays at which both cursors stand, before their
  // end; -1 when they stand at none. One unsigned comparison tests the row
  // cursor: its distance from the array's start, rotated so that a distance
  // that is not a whole number of entries becomes huge, is below the number
  // of entries (a cursor before the start, or null, is a huge distance too).
  std::ptrdiff_t CursorEntry(const int* rowCursor, const int* colCursor) const {
    constexpr int kShift = std::countr_zero(sizeof(int));
    const auto address = [](const int* p) { return reinterpret_cast<std::uintptr_t>(p); };
    const std::uintptr_t at = address(rowCursor) - address(rows.data());
    if (address(colCursor) - address(cols.data()) != at || std::rotr(at, kShift) >= rows.size()) return -1;
    return static_cast<std::ptrdiff_t>(at >> kShift);
  }

  // Sets the entries from the first not yet filled up to `end` to -1, and
  // moves the next entry there when it is further on.
  void FillPattern(std::size_t end) {
    const std::size_t from = static_cast<std::size_t>(nextRow - rows.data());
    if (end <= from) return;
    std::fill(rows.begin() + static_cast<std::ptrdiff_t>(from), rows.begin() + static_cast<std::ptrdiff_t>(end), -1);
    std::fill(cols.begin() + static_cast<std::ptrdiff_t>(from), cols.begin() + static_cast<std::ptrdiff_t>(end), -1);
    nextRow = rows.data() + end;
    nextCol = cols.data() + end;
    writtenBesides -= static_cast<int>(end - from);
  }
};

// Never destroyed, like the executive: objects the host holds may outlive
// static destruction.
union ItemStateHolder {
  ItemState state;
  constexpr ItemStateHolder() : state() {}
  ~ItemStateHolder() {}
};
constinit ItemStateHolder g_itemState;

[[gnu::always_inline]] inline ItemState& State() { return g_itemState.state; }
}  // namespace

struct TQ_Executive::Impl {
  std::vector<std::string> objectNames;
  std::vector<TQ_ModelType*> objects;
  // The index of each object by its name with ASCII letters in upper case: names are found
  // without regard to letter case, in one look-up however many objects there are.
  std::unordered_map<std::string, std::size_t> objectsByName;
  static std::string NameKey(const std::string& name) {
    std::string key = name;
    for (char& c : key)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key;
  }

  int declaredRunning = 0;

  // Names by id; a deque, so that the text of a name stays where it is.
  std::deque<std::string> names;
  std::unordered_map<std::string, std::uint32_t> nameIds;

  // Procedure equations: their programs and calls, and the type objects the
  // host took over, with the model that emitted each.
  std::vector<TQ_ProcExpression> procExpressions;
  std::vector<TQ_ProcCall> procCalls;
  std::vector<std::pair<const TQ_ModelType*, TQ_EquationType*>> adoptedTypes;

  Impl() { errors.reserve(8); }
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  ~Impl() { ReleaseProcedureRecords(nullptr); }

  // Forgets everything, as a fresh Impl would hold nothing; asks for no memory.
  void Forget() noexcept {
    ReleaseProcedureRecords(nullptr);
    objectNames.clear();
    objectsByName.clear();
    objects.clear();
    declaredRunning = 0;
    names.clear();
    nameIds.clear();
    unsized.clear();
    summaries.clear();
    errors.clear();
    logOn = false;
    log.clear();
    rootSetUp.reset();
    rootJac.reset();
    localEqn.reset();
    rootStatus = 0;
  }

  // Releases the type objects and forgets the procedure records of one
  // model, or of every model when `model` is null.
  void ReleaseProcedureRecords(const TQ_ModelType* model) {
    std::vector<std::pair<const TQ_ModelType*, TQ_EquationType*>> keptTypes;
    for (auto& adopted : adoptedTypes) {
      if (model == nullptr || adopted.first == model)
        delete adopted.second;
      else
        keptTypes.push_back(adopted);
    }
    adoptedTypes.swap(keptTypes);
    std::erase_if(procExpressions, [&](const TQ_ProcExpression& e) { return model == nullptr || e.owner == model; });
    std::erase_if(procCalls, [&](const TQ_ProcCall& c) { return model == nullptr || c.owner == model; });
  }

  // The objects whose arrays the last RunSetDims found too large to hold:
  // their equations are neither declared nor emitted.
  std::vector<const TQ_ModelType*> unsized;
  bool Unsized(const TQ_ModelType* object) const {
    return std::find(unsized.begin(), unsized.end(), object) != unsized.end();
  }

  std::vector<TQ_ModelSummary> summaries;
  // The messages. There is always room for one more entry, and when a
  // message cannot be stored (memory ran out) a fixed one takes that room,
  // whose text is short enough to need no memory of its own: a failure is
  // never lost, and reporting it never fails.
  std::vector<std::string> errors;
  static constexpr const char* kOutOfMemory = "out of memory";
  void StoreError(const char* message) noexcept {
    try {
      if (errors.capacity() < errors.size() + 2) errors.reserve(2 * errors.size() + 8);
      errors.emplace_back(message);
      return;
    } catch (...) {
    }
    if (errors.size() < errors.capacity() && (errors.empty() || errors.back() != kOutOfMemory))
      errors.emplace_back(kOutOfMemory);
  }
  bool logOn = false;
  std::vector<TQ_LogEntry> log;

  std::optional<int> rootSetUp;
  std::optional<int> rootJac;
  std::optional<int> localEqn;
  long rootStatus = 0;

  // The id of a name's text, made when the text is new; the text is
  // remembered as recent.
  std::uint32_t InternName(const char* name) {
    if (name == nullptr) name = "";
    ItemState& state = State();
    std::uint32_t id = 0;
    if (state.RecentId(name, id)) return id;
    if (auto it = nameIds.find(name); it != nameIds.end()) {
      id = it->second;
    } else {
      id = static_cast<std::uint32_t>(names.size());
      names.emplace_back(name);
      nameIds.emplace(names.back(), id);
    }
    state.RecentSlot(name) = ItemState::RecentName{name, names[id].c_str(), id};
    return id;
  }
};

namespace {
// The one executive, made on first use and never destroyed: objects the host
// holds may outlive static destruction.
TQ_Executive* g_executive = nullptr;
}  // namespace

// Out of line: the checked paths of the per-item calls reach the executive
// through Instance() and keep their code free of the first use's
// construction.
[[gnu::noinline, gnu::cold]] void TQ_Executive::Create() { g_executive = new TQ_Executive; }

TQ_Executive& TQ_Executive::Instance() {
  if (g_executive == nullptr) [[unlikely]] Create();
  return *g_executive;
}

TQ_Executive::TQ_Executive() : m(new Impl) {}
TQ_Executive::~TQ_Executive() { delete m; }

void TQ_Executive::Reset() {
  // Release in reverse order of addition: later objects link to earlier ones.
  std::vector<TQ_ModelType*> objects;
  objects.swap(m->objects);
  m->objectNames.clear();
  m->objectsByName.clear();
  for (auto it = objects.rbegin(); it != objects.rend(); ++it) (*it)->Release();
  // A fresh Impl; without the memory for one (Reset runs in destructors, and
  // must not fail) the present one is emptied in place.
  Impl* fresh = nullptr;
  try {
    fresh = new Impl;
  } catch (const std::bad_alloc&) {
  }
  if (fresh != nullptr) {
    delete m;
    m = fresh;
  } else {
    m->Forget();
  }
  State() = ItemState();
  TQ_ModelType::m_stLastGroup = 0;
}

// ---- objects ----------------------------------------------------------------------

bool TQ_Executive::AddObject(const std::string& name, TQ_ModelType* object, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  // Refused for want of memory, the object stays with the caller, as with
  // any refusal: everything that takes memory comes before it is kept.
  try {
    if (object == nullptr) return fail("no object to add under the name \"" + name + "\"");
    if (name.empty()) return fail("an object needs a name");
    for (char c : name)
      if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
        return fail("object name \"" + name + "\" may hold only letters, digits and '_'");
    if (FindObject(name) != nullptr) return fail("an object named \"" + name + "\" exists already");
    std::string kept = name;
    m->objectNames.reserve(m->objectNames.size() + 1);
    m->objects.reserve(m->objects.size() + 1);
    auto entry = m->objectsByName.emplace(Impl::NameKey(name), m->objects.size()).first;
    try {
      object->SetObjectName(name.c_str());
    } catch (...) {
      m->objectsByName.erase(entry);
      throw;
    }
    m->objectNames.push_back(std::move(kept));
    m->objects.push_back(object);
    return true;
  } catch (const std::bad_alloc&) {
    if (error) *error = "out of memory";  // short enough to need no memory of its own
    return false;
  }
}

TQ_ModelType* TQ_Executive::FindObject(const std::string& name) const {
  const auto found = m->objectsByName.find(Impl::NameKey(name));
  return found != m->objectsByName.end() ? m->objects[found->second] : nullptr;
}

int TQ_Executive::ObjectCount() const { return static_cast<int>(m->objects.size()); }
TQ_ModelType* TQ_Executive::ObjectAt(int index) const { return m->objects[static_cast<std::size_t>(index)]; }
const std::string& TQ_Executive::ObjectNameAt(int index) const { return m->objectNames[static_cast<std::size_t>(index)]; }

std::string TQ_Executive::PathOf(const TQ_Containable* item) const {
  if (item == nullptr) return "(none)";
  // The items from this one up to its object (at most 64 of them), then their names from the
  // object down: an array's element as "(keys)", any other property as ".NAME".
  std::array<const TQ_Containable*, 64> chain;
  std::size_t depth = 0;
  for (const TQ_Containable* up = item; up != nullptr && depth < chain.size(); up = up->Owner()) chain[depth++] = up;
  std::string path;
  for (std::size_t k = depth; k-- > 0;) {
    const TQ_Containable* at = chain[k];
    const TQ_Containable* owner = at->Owner();
    const char* name = at->Name();
    if (owner != nullptr && owner->IsArrayContainer()) {
      path += '(';
      path += name;
      path += ')';
    } else {
      if (owner != nullptr) path += '.';
      path += *name != '\0' ? name : "(unnamed)";
    }
  }
  return path;
}

namespace {
// Splits "A.B(1,2).C" into its segments, leaving dots inside parentheses
// or quotes alone.
bool SplitPath(const std::string& path, std::vector<std::string>& parts) {
  std::string current;
  int depth = 0;
  bool quoted = false;
  for (char c : path) {
    if (c == '"') quoted = !quoted;
    if (!quoted && c == '(') ++depth;
    if (!quoted && c == ')') --depth;
    if (depth < 0) return false;
    if (c == '.' && depth == 0 && !quoted) {
      if (current.empty()) return false;
      parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (depth != 0 || quoted || current.empty()) return false;
  parts.push_back(current);
  return true;
}

// The keys between an index's parentheses: something other than blanks, and
// no parenthesis outside quotes ("1)(2" is two indices, not one).
bool WellFormedKeys(const std::string& keys) {
  if (keys.find_first_not_of(" \t") == std::string::npos) return false;
  bool quoted = false;
  for (char c : keys) {
    if (c == '"') quoted = !quoted;
    if (!quoted && (c == '(' || c == ')')) return false;
  }
  return !quoted;
}
}  // namespace

TQ_Containable* TQ_Executive::FindByPath(const std::string& path, bool create, std::string* error) {
  auto fail = [&](const std::string& why) -> TQ_Containable* {
    if (error) *error = why;
    return nullptr;
  };
  std::vector<std::string> parts;
  if (!SplitPath(path, parts)) return fail("malformed path \"" + path + "\"");
  TQ_Containable* current = FindObject(parts[0]);
  if (current == nullptr) return fail("no object named \"" + parts[0] + "\"");
  try {
    for (std::size_t k = 1; k < parts.size(); ++k) {
      const std::string& part = parts[k];
      std::string name = part;
      std::string keys;
      std::size_t open = part.find('(');
      if (open != std::string::npos) {
        name = part.substr(0, open);
        keys = part.substr(open + 1, part.size() - open - 2);
        if (part.back() != ')' || !WellFormedKeys(keys)) return fail("malformed index in \"" + part + "\"");
      }
      TQ_Containable* property = current->FindProperty(name.c_str());
      if (property == nullptr) return fail("\"" + PathOf(current) + "\" has no property " + name);
      bool last = k + 1 == parts.size();
      if (auto* link = dynamic_cast<TQ_VirtualBase*>(property)) {
        property = link->VirtualLink();
      } else if (auto* external = dynamic_cast<TQ_ExternalBase*>(property)) {
        if (!last || !keys.empty()) {
          property = external->ExternalLink();
          if (property == nullptr) return fail("link " + PathOf(external) + " has no object attached");
        }
      }
      if (!keys.empty()) {
        auto* array = dynamic_cast<TQ_Matrix*>(property);
        if (array == nullptr) return fail(PathOf(property) + " is not an array");
        TQ_Type* element = array->ElementByText(keys.c_str());
        if (element == nullptr && create) {
          array->CreateMissingArrayElement((keys + ")").c_str());
          element = array->ElementByText(keys.c_str());
        }
        if (element == nullptr) return fail(PathOf(array) + " has no element (" + keys + ")");
        property = element;
      }
      current = property;
    }
  } catch (const std::exception& e) {
    return fail(e.what());
  }
  return current;
}

// ---- the model cycle ----------------------------------------------------------------

namespace {
// Reports a failure of `phase` of `object` (null for the host's own work)
// without asking for memory of its own: when memory ran out, building a
// message could fail again.
void ReportFailure(TQ_Executive& host, const std::string* object, const char* phase, const char* why) noexcept {
  char message[512];
  if (object != nullptr)
    std::snprintf(message, sizeof message, "%s: %s: %s", object->c_str(), phase, why);
  else
    std::snprintf(message, sizeof message, "host: %s: %s", phase, why);
  host.ReportError(static_cast<const char*>(message));
}

// Runs `call`, a step of the cycle; an exception from it (the model's code,
// or the host's calls the model made) is reported and the step fails.
template <typename Call>
bool Guarded(TQ_Executive& host, const std::string* object, const char* phase, Call call) noexcept {
  try {
    return call();
  } catch (const std::bad_alloc&) {
    ReportFailure(host, object, phase, "out of memory");
  } catch (const std::exception& e) {
    ReportFailure(host, object, phase, e.what());
  } catch (...) {
    ReportFailure(host, object, phase, "unknown failure");
  }
  return false;
}
}  // namespace

bool TQ_Executive::RunCycle(const CycleOptions& options) {
  bool ok = RunAssignments(options);
  ok = RunSetDims() && ok;
  ok = RunSetUpEquations() && ok;
  ok = RunJacPattern() && ok;
  return ok;
}

bool TQ_Executive::RunAssignments(const CycleOptions& options) {
  bool ok = true;
  for (std::size_t i = 0; i < m->objects.size(); ++i) {
    TQ_ModelType* object = m->objects[i];
    ok = Guarded(*this, &m->objectNames[i], "ExecuteAssignments", [&] {
           long status = object->ExecuteAssignments(options.level, static_cast<int>(options.pass));
           if (status < 0) ReportError(m->objectNames[i] + ": ExecuteAssignments returned " + std::to_string(status));
           return status >= 0;
         }) && ok;
  }
  return ok;
}

namespace {
// The arrays an object holds as its properties, itself or behind a virtual
// property (one that stands for nothing yet is not made to).
std::vector<TQ_Matrix*> ArraysOf(const TQ_ModelType& object) {
  std::vector<TQ_Matrix*> arrays;
  for (int k = 0; k < object.PropertyCount(); ++k) {
    TQ_Containable* property = object.PropertyAt(k).property;
    if (auto* virtualProperty = dynamic_cast<TQ_VirtualBase*>(property)) property = virtualProperty->CurrentLink();
    if (auto* array = dynamic_cast<TQ_Matrix*>(property)) arrays.push_back(array);
  }
  return arrays;
}

// "7 x 8 x 9": the sizes of the declared sets.
std::string DeclaredSizes(const TQ_Matrix& array) {
  std::string sizes;
  for (int d = 0; d < array.Dimensions(); ++d) {
    if (d > 0) sizes += " x ";
    sizes += std::to_string(array.DeclaredSet(d)->v().SetSize());
  }
  return sizes;
}
}  // namespace

bool TQ_Executive::RunSetDims() {
  return Guarded(*this, nullptr, "SetDims", [&] { return SizeArrays(); });
}

bool TQ_Executive::SizeArrays() {
  m->unsized.clear();
  bool ok = true;
  for (std::size_t i = 0; i < m->objects.size(); ++i) {
    TQ_ModelType* object = m->objects[i];
    ok = Guarded(*this, &m->objectNames[i], "SetDims", [&] {
           object->SetDims();
           return true;
         }) && ok;
    // Every array must hold all the elements its index sets call for; an
    // object with one that cannot goes no further in the cycle.
    for (TQ_Matrix* array : ArraysOf(*object)) {
      const std::int64_t elements = array->DeclaredElementCount();
      if (elements <= TQ_Matrix::kMaxElements) continue;
      std::string sets;
      for (int d = 0; d < array->Dimensions(); ++d) sets += (d > 0 ? ", " : "") + PathOf(array->DeclaredSet(d));
      ReportError(m->objectNames[i] + ": SetDims: array " + PathOf(array) + " over " + sets + " calls for " +
                  DeclaredSizes(*array) + " = " + (elements == INT64_MAX ? "at least " : "") +
                  std::to_string(elements) + " elements, more than the " + std::to_string(TQ_Matrix::kMaxElements) +
                  " an array can hold; its model's equations are not set up");
      if (!m->Unsized(object)) m->unsized.push_back(object);
      ok = false;
    }
  }
  return ok;
}

bool TQ_Executive::RunSetUpEquations() {
  return Guarded(*this, nullptr, "SetUpEquations", [&] { return DeclareAll(); });
}

bool TQ_Executive::DeclareAll() {
  ItemState& state = State();
  state.declared.clear();
  state.nonZeroCountsFrom = 0;
  state.declaredNonZeros.clear();
  state.declaringOwner = kNoModel;
  m->declaredRunning = 0;
  m->summaries.clear();
  TQ_ModelType::m_stLastGroup = 0;
  bool ok = true;
  for (std::size_t i = 0; i < m->objects.size(); ++i) {
    TQ_ModelType* object = m->objects[i];
    TQ_ModelSummary summary{object, static_cast<int>(state.declared.size()), 0, 0, 0, TQ_ModelType::m_stLastGroup, 0};
    if (m->Unsized(object)) {
      ReportError(m->objectNames[i] + ": SetUpEquations not called: its arrays are too large to hold");
      ok = false;
    } else {
      ok = Guarded(*this, &m->objectNames[i], "SetUpEquations", [&] {
             int result = object->SetUpEquations();
             if (result < 0) {
               ReportError(m->objectNames[i] + ": SetUpEquations failed with code " + std::to_string(result));
               return false;
             }
             m->declaredRunning = result;
             return true;
           }) && ok;
    }
    summary.declaredCount = static_cast<int>(state.declared.size()) - summary.firstDeclared;
    int lastGroup = TQ_ModelType::m_stLastGroup;
    for (std::size_t e = static_cast<std::size_t>(summary.firstDeclared); e < state.declared.size(); ++e)
      lastGroup = std::max(lastGroup, static_cast<int>(state.declared[e].group));
    TQ_ModelType::m_stLastGroup = lastGroup;
    summary.lastGroup = lastGroup;
    m->summaries.push_back(summary);
  }
  return ok;
}

bool TQ_Executive::RunJacPattern() {
  return Guarded(*this, nullptr, "JacPattern", [&] { return EmitAll(); });
}

bool TQ_Executive::EmitAll() {
  int* rows = nullptr;
  int* cols = nullptr;
  BeginEmission(State().declaredNonZeros.size(), rows, cols);
  if (m->summaries.size() != m->objects.size()) {
    m->summaries.clear();
    for (TQ_ModelType* object : m->objects) m->summaries.push_back(TQ_ModelSummary{object, 0, 0, 0, 0, 0, 0});
  }
  bool ok = true;
  for (std::size_t i = 0; i < m->objects.size(); ++i) {
    TQ_ModelType* object = m->objects[i];
    TQ_ModelSummary& summary = m->summaries[i];
    summary.firstEmitted = static_cast<int>(State().emitted.size());
    if (m->Unsized(object)) {
      ReportError(m->objectNames[i] + ": JacPattern not called: its arrays are too large to hold");
      ok = false;
    } else {
      ok = Guarded(*this, &m->objectNames[i], "JacPattern", [&] {
             int result = object->JacPattern(rows, cols, nullptr);
             if (result < 0) {
               ReportError(m->objectNames[i] + ": JacPattern failed with code " + std::to_string(result));
               return false;
             }
             return true;
           }) && ok;
    }
    summary.emittedCount = static_cast<int>(State().emitted.size()) - summary.firstEmitted;
  }
  return ok;
}

const std::vector<TQ_ModelSummary>& TQ_Executive::Summaries() const { return m->summaries; }

// ---- the stores ---------------------------------------------------------------------

// The readers write the counts of the declarations and equations made since
// the last reading first: items or non-zeros may have been added since (the
// item state is not part of the executive's constant state).
const std::vector<TQ_DeclaredEquation>& TQ_Executive::Declared() const {
  State().SettleNonZeroCount();
  return State().declared;
}
const std::vector<TQ_VarParam*>& TQ_Executive::DeclaredNonZeros() const { return State().declaredNonZeros; }
const std::vector<TQ_EmittedEquation>& TQ_Executive::Emitted() const {
  State().SettleItemCount();
  return State().emitted;
}
const std::vector<TQ_ProgramItem>& TQ_Executive::Items() const { return State().items; }
const char* TQ_Executive::EquationName(const TQ_EmittedEquation& equation) const {
  return equation.name < m->names.size() ? m->names[equation.name].c_str() : "";
}
const std::vector<TQ_ProcExpression>& TQ_Executive::ProcExpressions() const { return m->procExpressions; }
const std::vector<TQ_ProcCall>& TQ_Executive::ProcCalls() const { return m->procCalls; }
const char* TQ_Executive::ProcExpressionName(const TQ_ProcExpression& expression) const {
  return expression.name < m->names.size() ? m->names[expression.name].c_str() : "";
}
// The readers set the entries not written yet to -1 first.
const std::vector<int>& TQ_Executive::PatternRows() const {
  State().FillPattern(State().rows.size());
  return State().rows;
}
const std::vector<int>& TQ_Executive::PatternColumns() const {
  State().FillPattern(State().cols.size());
  return State().cols;
}
int TQ_Executive::PatternEntriesWritten() const { return State().Written(); }

std::size_t TQ_Executive::StoreBytes() const {
  ItemState& state = State();
  std::size_t bytes = state.items.capacity() * sizeof(TQ_ProgramItem) +
                      state.emitted.capacity() * sizeof(TQ_EmittedEquation) +
                      state.declared.capacity() * sizeof(TQ_DeclaredEquation) +
                      state.declaredNonZeros.capacity() * sizeof(TQ_VarParam*) +
                      (state.rows.capacity() + state.cols.capacity()) * sizeof(int);
  for (const std::string& name : m->names) bytes += name.capacity() + sizeof(std::string) + 16;
  return bytes;
}

bool TQ_Executive::DeclaredMatchesEmitted(std::string* difference) const {
  ItemState& state = State();
  auto differ = [&](const std::string& why) {
    if (difference) *difference = why;
    return false;
  };
  state.SettleNonZeroCount();
  state.SettleItemCount();
  if (state.declared.size() != state.emitted.size())
    return differ(std::to_string(state.declared.size()) + " equations declared, " +
                  std::to_string(state.emitted.size()) + " emitted");
  // The equation's name goes into a message only when it parts.
  const auto where = [&](std::size_t e) {
    return "equation " + std::to_string(e) + " (" + EquationName(state.emitted[e]) + ")";
  };
  for (std::size_t e = 0; e < state.declared.size(); ++e) {
    const TQ_DeclaredEquation& d = state.declared[e];
    const TQ_EmittedEquation& x = state.emitted[e];
    if (d.owner != x.owner) return differ(where(e) + ": declared and emitted by different models");
    if (d.group != x.group)
      return differ(where(e) + ": group declared " + std::to_string(d.group) + ", emitted " + std::to_string(x.group));
    // The terms in program order against the declared non-zeros in theirs.
    std::size_t terms = 0;
    for (std::uint32_t i = 0; i < x.itemCount; ++i) {
      const TQ_ProgramItem& item = state.items[x.firstItem + i];
      if (item.kind != TQ_ProgramItem::Term) continue;
      if (terms < d.nonZeroCount && item.term != state.declaredNonZeros[d.firstNonZero + terms]) {
        // A count that differs is the fault to report, as it is when the terms run out first.
        std::size_t all = terms;
        for (std::uint32_t j = i; j < x.itemCount; ++j) all += state.items[x.firstItem + j].kind == TQ_ProgramItem::Term;
        if (all != d.nonZeroCount) break;
        return differ(where(e) + ": term " + std::to_string(terms) + " declared as " +
                      PathOf(state.declaredNonZeros[d.firstNonZero + terms]) + ", emitted as " + PathOf(item.term));
      }
      ++terms;
    }
    if (terms != d.nonZeroCount) {
      std::size_t all = 0;
      for (std::uint32_t i = 0; i < x.itemCount; ++i) all += state.items[x.firstItem + i].kind == TQ_ProgramItem::Term;
      return differ(where(e) + ": " + std::to_string(d.nonZeroCount) + " non-zeros declared, " + std::to_string(all) +
                    " terms emitted");
    }
  }
  return true;
}

namespace {
// Evaluate reads a program from its last item to its first with a stack of
// operands: a constant or term is pushed; an operator takes its operands from
// the top (the first operand on top) and pushes its result. A well-formed
// program leaves exactly one entry. No recursion, so that no program, however
// deep or malformed, can exhaust the stack.

// Appends the shortest text that reads back as the same double, as "%.*g" writes it with the
// fewest digits that do, with ".0" added where it would otherwise read as an integer ("2.5",
// "-3.0", "1e-07").
void AppendRealText(std::string& out, double value) {
  char buffer[64];
  if (std::isfinite(value)) {
    // Fewer digits than the shortest round-trip text has never read back. With that many the
    // nearest decimal, which "%.*g" writes, nearly always does; where it does not (a power of two,
    // whose neighbours lie at unequal distances), one digit more is tried, as many as needed.
    const std::to_chars_result shortest = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    int digits = 0;
    for (const char* c = buffer; c != shortest.ptr && *c != 'e'; ++c) digits += *c >= '0' && *c <= '9';
    for (;; ++digits) {
      const std::to_chars_result general =
          std::to_chars(buffer, buffer + sizeof buffer - 1, value, std::chars_format::general, digits);
      *general.ptr = '\0';
      double back = 0.0;
      std::from_chars(buffer, general.ptr, back);
      if (back == value || digits >= 17) break;
    }
  } else {
    std::snprintf(buffer, sizeof buffer, "%.1g", value);
  }
  const std::size_t length = std::strlen(buffer);
  out.append(buffer, length);
  if (std::strpbrk(buffer, ".eEn") == nullptr) out += ".0";
}

bool IsBinary(int code) { return code == EOp_Plus || code == EOp_Minus || code == EOp_Times || code == EOp_Divide; }
bool IsUnary(int code) { return code == EOp_Root || code == EOp_Square; }

// An operator whose text is being written: a unary form waits for its one
// operand, a binary operator for its left operand and then its right one.
struct InfixFrame {
  char symbol;              // '+', '-', '*', '/'; 0 for a unary form
  std::int8_t precedence;   // 1 plus/minus, 2 times/divide
  bool right;               // the left operand is written; the right one is due
  bool parentheses;         // the operator's text stands in parentheses
};

// The frames of the operators being written, in place up to a depth that
// formulas do not reach and on the heap beyond it.
class InfixFrames {
 public:
  std::size_t Depth() const { return depth_; }
  InfixFrame& Top() { return frames_[depth_ - 1]; }
  void Pop() { --depth_; }
  void Clear() { depth_ = 0; }
  void Push(const InfixFrame& frame) {
    if (depth_ == capacity_) Grow();
    frames_[depth_++] = frame;
  }

 private:
  // Doubles the room, moving the frames to the heap the first time.
  [[gnu::noinline]] void Grow() {
    if (frames_ == inPlace_.data()) heap_.assign(inPlace_.begin(), inPlace_.end());
    heap_.resize(2 * capacity_);
    frames_ = heap_.data();
    capacity_ = heap_.size();
  }

  std::array<InfixFrame, 64> inPlace_;
  std::vector<InfixFrame> heap_;
  InfixFrame* frames_ = inPlace_.data();
  std::size_t capacity_ = inPlace_.size();
  std::size_t depth_ = 0;
};
}  // namespace

// A prefix program "op left right" reads in infix as "left op right", so one
// forward walk writes the text in order: an operator opens a frame, an operand
// that completes closes the frames it finishes. An operand's parentheses
// depend only on the slot it fills and its own first item (a binary
// operator's precedence; a constant, term or unary form never needs them), so
// they are written when the operand starts. No recursion, so that no program,
// however deep, can exhaust the stack.
void TQ_Executive::AppendInfix(std::string& out, const TQ_EmittedEquation& equation, bool fullPaths) const {
  static const char malformed[] = "  [malformed program]";
  ItemState& state = State();
  state.SettleItemCount();
  const std::size_t begin = equation.firstItem;
  const std::size_t end = begin + equation.itemCount;
  if (end > state.items.size()) {
    out += malformed;
    return;
  }
  const TQ_ProgramItem* const items = state.items.data();
  const std::string prefix = !fullPaths && equation.owner != nullptr ? PathOf(equation.owner) + "." : "";
  // The number of leading bytes of `path` that the owner's prefix takes off.
  const auto stripped = [&](const std::string& path) -> std::size_t {
    return !prefix.empty() && path.compare(0, prefix.size(), prefix) == 0 ? prefix.size() : 0;
  };

  // Terms of one equation name few arrays: the path up to the term's owner is
  // made once, with how much of it the prefix takes off when that is decided
  // by the owner's path alone (npos when the prefix reaches past it).
  const TQ_Containable* lastOwner = nullptr;
  std::string lastOwnerPath;
  std::size_t lastOwnerSkip = 0;
  const auto writeTerm = [&](const TQ_VarParam* term) {
    const TQ_Containable* owner = term->Owner();
    const char* name = term->Name();
    const std::size_t nameLength = std::strlen(name);
    if (owner != nullptr && owner == lastOwner) {
      const std::size_t at = out.size();
      out.append(lastOwnerPath, lastOwnerSkip == std::string::npos ? 0 : lastOwnerSkip, std::string::npos);
      out += '(';
      out.append(name, nameLength);
      out += ')';
      if (lastOwnerSkip == std::string::npos && !prefix.empty() && out.compare(at, prefix.size(), prefix) == 0)
        out.erase(at, prefix.size());
      return;
    }
    const std::string path = PathOf(term);
    if (owner != nullptr && owner->IsArrayContainer() && path.size() > nameLength + 2) {
      lastOwner = owner;
      lastOwnerPath.assign(path, 0, path.size() - nameLength - 2);
      lastOwnerSkip = prefix.size() > lastOwnerPath.size() ? std::string::npos : stripped(lastOwnerPath);
    }
    out.append(path, stripped(path), std::string::npos);
  };

  // Writes the one expression that starts at item `at` and moves `at` past
  // it. False at an unknown operator or where the items end first.
  InfixFrames frames;
  const auto writeExpression = [&](std::size_t& at) -> bool {
    frames.Clear();
    while (at < end) {
      const TQ_ProgramItem& item = items[at++];
      switch (item.kind) {
        case TQ_ProgramItem::Integer: {
          char buffer[16];
          const std::to_chars_result written = std::to_chars(buffer, buffer + sizeof buffer, item.code);
          out.append(buffer, written.ptr);
          break;
        }
        case TQ_ProgramItem::Real: AppendRealText(out, item.real); break;
        case TQ_ProgramItem::Term: writeTerm(item.term); break;
        case TQ_ProgramItem::Op: {
          const int code = item.code;
          if (IsUnary(code)) {
            out += code == EOp_Root ? "op1(" : "sq(";
            frames.Push({0, 3, false, false});
            continue;
          }
          if (!IsBinary(code)) return false;
          const char symbol = code == EOp_Plus ? '+' : code == EOp_Minus ? '-' : code == EOp_Times ? '*' : '/';
          const std::int8_t precedence = (code == EOp_Plus || code == EOp_Minus) ? 1 : 2;
          // Operators group from the left: a right operand of the same
          // precedence needs its parentheses, a left one only when lower.
          bool parentheses = false;
          if (frames.Depth() > 0 && frames.Top().symbol != 0) {
            const InfixFrame& parent = frames.Top();
            parentheses = parent.right ? precedence <= parent.precedence : precedence < parent.precedence;
          }
          if (parentheses) out += '(';
          frames.Push({symbol, precedence, false, parentheses});
          continue;
        }
      }
      // An operand is complete: close the operators it finishes, up to one
      // that now waits for its right operand.
      for (;;) {
        if (frames.Depth() == 0) return true;
        InfixFrame& top = frames.Top();
        if (top.symbol == 0) {
          out += ')';
        } else if (!top.right) {
          out += top.symbol;
          top.right = true;
          break;
        } else if (top.parentheses) {
          out += ')';
        }
        frames.Pop();
      }
    }
    return false;
  };

  const std::size_t start = out.size();
  std::size_t at = begin;
  if (writeExpression(at) && at == end) return;

  // Malformed: the text is what reading from the last item back makes of it,
  // the whole expression at the point where that reading stops (an unknown
  // operator, one short of operands, or more than one expression at the
  // first item), followed by the mark. Counting the operands finds that point.
  out.resize(start);
  std::size_t operands = 0;
  std::size_t from = std::string::npos;
  bool stopped = false;
  for (std::size_t i = end; i-- > begin;) {
    const TQ_ProgramItem& item = items[i];
    if (item.kind != TQ_ProgramItem::Op) {
      ++operands;
      continue;
    }
    const std::size_t takes = IsUnary(item.code) ? 1 : IsBinary(item.code) ? 2 : 0;
    if (takes == 0 || operands < takes) {
      if (operands > 0) from = i + 1;
      stopped = true;
      break;
    }
    operands -= takes - 1;
  }
  if (!stopped && operands > 0) from = begin;
  if (from != std::string::npos) {
    at = from;
    writeExpression(at);
  }
  out += malformed;
}

std::string TQ_Executive::Infix(const TQ_EmittedEquation& equation, bool fullPaths) const {
  std::string text;
  AppendInfix(text, equation, fullPaths);
  return text;
}

double TQ_Executive::Evaluate(const TQ_EmittedEquation& equation,
                              const std::function<double(const TQ_VarParam&)>& value, bool* ok) const {
  State().SettleItemCount();
  const std::size_t begin = equation.firstItem;
  const std::size_t end = begin + equation.itemCount;
  std::vector<double> stack;
  bool good = end <= State().items.size();
  for (std::size_t i = end; good && i-- > begin;) {
    const TQ_ProgramItem& item = State().items[i];
    switch (item.kind) {
      case TQ_ProgramItem::Integer: stack.push_back(item.code); continue;
      case TQ_ProgramItem::Real: stack.push_back(item.real); continue;
      case TQ_ProgramItem::Term: stack.push_back(value ? value(*item.term) : item.term->NumericValue()); continue;
      case TQ_ProgramItem::Op: break;
    }
    const int code = item.code;
    const std::size_t operands = IsUnary(code) ? 1 : IsBinary(code) ? 2 : 0;
    if (operands == 0 || stack.size() < operands) {
      good = false;
      break;
    }
    if (code == EOp_Square) stack.back() *= stack.back();
    if (operands == 1) continue;
    const double a = stack.back();
    stack.pop_back();
    double& b = stack.back();
    b = code == EOp_Plus ? a + b : code == EOp_Minus ? a - b : code == EOp_Times ? a * b : a / b;
  }
  if (stack.size() != 1) good = false;
  if (ok) *ok = good;
  return stack.empty() ? 0.0 : stack.back();
}

// ---- messages and log ------------------------------------------------------------------

void TQ_Executive::ReportError(const std::string& message) noexcept { m->StoreError(message.c_str()); }
void TQ_Executive::ReportError(const char* message) noexcept { m->StoreError(message ? message : ""); }
const std::vector<std::string>& TQ_Executive::Errors() const { return m->errors; }
void TQ_Executive::ClearErrors() { m->errors.clear(); }

void TQ_Executive::EnableLog(bool on) { m->logOn = on; }
bool TQ_Executive::LogEnabled() const { return m->logOn; }
const std::vector<TQ_LogEntry>& TQ_Executive::Log() const { return m->log; }
void TQ_Executive::ClearLog() { m->log.clear(); }

void TQ_Executive::LogAssignment(const TQ_Containable* target, const TQ_Value& value, TQ_AssignStatus status) {
  if (m->logOn) m->log.push_back(TQ_LogEntry{TQ_LogEntry::Assignment, target, value, 0, status});
}

void TQ_Executive::LogIndexSet(const TQ_Containable* target, const TQ_Value& value, int sweep,
                               TQ_AssignStatus status) {
  if (m->logOn) m->log.push_back(TQ_LogEntry{TQ_LogEntry::IndexSet, target, value, sweep, status});
}

// ---- results tests may set ----------------------------------------------------------------

void TQ_Executive::SetRootSetUpResult(std::optional<int> result) { m->rootSetUp = result; }
void TQ_Executive::SetRootJacResult(std::optional<int> result) { m->rootJac = result; }
void TQ_Executive::SetLocalEqnCountResult(std::optional<int> result) { m->localEqn = result; }
void TQ_Executive::SetRootAssignmentStatus(long status) { m->rootStatus = status; }
long TQ_Executive::RootAssignmentStatus() const { return m->rootStatus; }

// ---- calls from the object model -------------------------------------------------------------

int TQ_Executive::RootSetUpEquations() const { return m->rootSetUp ? *m->rootSetUp : m->declaredRunning; }

int TQ_Executive::RootJacPattern() const {
  return m->rootJac ? *m->rootJac : static_cast<int>(State().emitted.size());
}

int TQ_Executive::LocalEqnCount(const TQ_ModelType*, int count) { return m->localEqn ? *m->localEqn : count; }

namespace {
// The refusals of the per-item calls, kept out of the calls' own code: the
// messages are built only when needed.
[[gnu::cold, gnu::noinline]] void RefuseNonZero(TQ_Executive& host, const TQ_ModelType* model,
                                                const TQ_VarParam& term) {
  host.ReportError(host.PathOf(model) + ": non-zero " + host.PathOf(&term) + " declared outside any equation");
}

[[gnu::cold, gnu::noinline]] void RefuseItem(TQ_Executive& host, const TQ_ModelType* model, int equation) {
  host.ReportError(host.PathOf(model) + ": program item for equation " + std::to_string(equation) +
                   ", which is not the equation being emitted");
}

// The entry of `array` (of `size` entries) that `cursor` stands at, `size`
// for one past the end, -1 for a cursor outside the array. An empty array
// may have no storage at all: a cursor equal to its start is at entry 0.
std::ptrdiff_t CursorIndex(const int* cursor, const int* array, std::size_t size) {
  if (cursor == array) return 0;
  if (cursor == nullptr || array == nullptr) return -1;
  std::less_equal<const int*> notAfter;
  if (!notAfter(array, cursor) || !notAfter(cursor, array + size)) return -1;
  return cursor - array;
}

// A term whose cursors do not stand at one entry inside the pattern arrays:
// cursors outside them, or both at the end (one term more than declared).
[[gnu::cold, gnu::noinline]] void RefuseCursors(TQ_Executive& host, const TQ_ModelType* model, const TQ_VarParam& term,
                                                int equation, const int* rows, const int* cols,
                                                const std::vector<int>& rowArray, const std::vector<int>& colArray) {
  const std::size_t size = rowArray.size();
  const std::ptrdiff_t r = CursorIndex(rows, rowArray.data(), size);
  const std::ptrdiff_t c = CursorIndex(cols, colArray.data(), colArray.size());
  if (r >= 0 && r == c && static_cast<std::size_t>(r) == size) {
    host.ReportError(host.PathOf(model) + ": equation " + std::to_string(equation) + " term " + host.PathOf(&term) +
                     " would write past the " + std::to_string(size) + " declared non-zeros; refused");
  } else {
    host.ReportError(host.PathOf(model) + ": pattern cursors of equation " + std::to_string(equation) +
                     " do not point into the host's pattern arrays");
  }
}

TQ_ProgramItem MakeItem(TQ_ProgramItem::Kind kind, std::int32_t code, double real) {
  TQ_ProgramItem item{};
  item.kind = kind;
  item.code = code;
  item.real = real;
  return item;
}

TQ_ProgramItem TermItem(TQ_VarParam& term) {
  TQ_ProgramItem item = MakeItem(TQ_ProgramItem::Term, 0, 0.0);
  item.term = &term;
  return item;
}
}  // namespace

// ---- the per-item calls ------------------------------------------------------------------
//
// Each runs once per declared equation or non-zero, or per program item. The
// common case (the item belongs where it goes, there is room) is inlined into
// the calls, tests and stores only, on the item state; anything else (the
// first use, a refusal, growing) is the Checked variant, a call of its own the
// common case ends with.

[[gnu::noinline]] void TQ_Executive::DeclareEquationChecked(const TQ_ModelType* model, int group) {
  Instance();
  State().OpenDeclaration(model, group);
}

[[gnu::always_inline]] inline void TQ_Executive::DeclareEquationFrom(const TQ_ModelType* model, int group) {
  ItemState& state = State();
  if (state.declared.size() == state.declared.capacity()) [[unlikely]]
    return DeclareEquationChecked(model, group);
  if (state.declared.size() == state.declared.capacity()) __builtin_unreachable();
  state.OpenDeclaration(model, group);
}

// Non-zeros go to the last declaration, when it is the model's own.
[[gnu::noinline]] void TQ_Executive::DeclareNonZeroChecked(const TQ_ModelType* model, TQ_VarParam& term) {
  TQ_Executive& host = Instance();
  ItemState& state = State();
  if (model != state.declaringOwner) return RefuseNonZero(host, model, term);
  state.declaredNonZeros.push_back(&term);
}

[[gnu::always_inline]] inline void TQ_Executive::DeclareNonZeroFrom(const TQ_ModelType* model, TQ_VarParam& term) {
  ItemState& state = State();
  std::vector<TQ_VarParam*>& terms = state.declaredNonZeros;
  if (model != state.declaringOwner || terms.size() == terms.capacity()) [[unlikely]]
    return DeclareNonZeroChecked(model, term);
  if (terms.size() == terms.capacity()) __builtin_unreachable();
  terms.push_back(&term);
}

[[gnu::noinline]] void TQ_Executive::EmitEquationChecked(const TQ_ModelType* model, const char* name, int& count,
                                                         int group, const TQ_EquationType* type) {
  const std::uint32_t id = Instance().m->InternName(name);
  State().OpenEquation(model, id, count, group, type);
}

// The equation just opened under the name its text's address had last time
// takes the name of the text it has now.
[[gnu::noinline]] void TQ_Executive::RenameOpenEquation(const char* name) {
  const std::uint32_t id = Instance().m->InternName(name);
  State().emitted.back().name = id;
}

// The common case: there is room, and the name's address was seen. The
// equation opens under the name the address had, and the text is compared
// last, with only the text to keep across the comparison: a text that has
// changed renames the equation.
[[gnu::always_inline]] inline void TQ_Executive::EmitEquationFrom(const TQ_ModelType* model, const char* name,
                                                                  int& count, int group,
                                                                  const TQ_EquationType* type) {
  ItemState& state = State();
  const ItemState::RecentName& recent = state.RecentSlot(name);
  if (recent.text != name || state.emitted.size() == state.emitted.capacity()) [[unlikely]]
    return EmitEquationChecked(model, name, count, group, type);
  if (state.emitted.size() == state.emitted.capacity()) __builtin_unreachable();
  const char* const stored = recent.stored;
  state.OpenEquation(model, recent.id, count, group, type);
  if (std::strcmp(stored, name) != 0) [[unlikely]]
    RenameOpenEquation(name);
}

// Items belong to the equation being emitted, by the model emitting it (a
// null model never is: the open equation's owner is never null).
bool TQ_Executive::IsBeingEmitted(const TQ_ModelType* model, int equation) {
  if (equation != State().openIndex || model != State().openOwner) [[unlikely]] {
    RefuseItem(*this, model, equation);
    return false;
  }
  return true;
}

// Appends a program item to the open equation, making room first when there
// is none; false when the item is refused.
[[gnu::noinline]] bool TQ_Executive::AppendItemChecked(const TQ_ModelType* model, int equation, TQ_ProgramItem item) {
  if (!Instance().IsBeingEmitted(model, equation)) return false;
  ItemState& state = State();
  if (state.items.size() == state.items.capacity()) state.GrowItems();
  state.AppendItem(item);
  return true;
}

namespace {
// What a caller of the item calls is compared with: the open equation's model
// for a model, its expression interface for an interface.
[[gnu::always_inline]] inline const void* OpenKey(const TQ_ModelType*) { return State().openOwner; }
[[gnu::always_inline]] inline const void* OpenKey(const TQ_ModelExtensions*) { return State().openExpressions; }
}  // namespace

// True when an item for `equation` from `caller` goes straight into the open
// equation: it is the one being emitted, by the caller, and there is room.
template <typename Caller>
[[gnu::always_inline]] inline bool TQ_Executive::AppendsInPlace(const Caller* caller, int equation) {
  const ItemState& state = State();
  return equation == state.openIndex && caller == OpenKey(caller) && state.items.size() != state.items.capacity();
}

// An item from an expression interface went in: its model emits the open
// equation, and the next equations the model opens know the interface.
void TQ_Executive::RememberExpressions(const TQ_ModelExtensions* expressions) {
  ItemState& state = State();
  state.knownExpressions = expressions;
  state.knownExpressionsModel = expressions->m_model;
  state.openExpressions = expressions;
}

void TQ_Executive::ForgetExpressions(const TQ_ModelExtensions* expressions) {
  ItemState& state = State();
  if (state.knownExpressions == expressions) state.knownExpressions = state.knownExpressionsModel = kNoModel;
  if (state.openExpressions == expressions) state.openExpressions = kNoModel;
}

// The same for an operator or constant, taking its parts in the order the
// models' calls have them, so that their common case hands its arguments on
// as they stand.
[[gnu::noinline]] void TQ_Executive::AppendValueChecked(const TQ_ModelType* model, std::int32_t code, int equation,
                                                        TQ_ProgramItem::Kind kind, double real) {
  AppendItemChecked(model, equation, MakeItem(kind, code, real));
}
[[gnu::noinline]] void TQ_Executive::AppendValueChecked(const TQ_ModelExtensions* expressions, std::int32_t code,
                                                        int equation, TQ_ProgramItem::Kind kind, double real) {
  if (AppendItemChecked(expressions->m_model, equation, MakeItem(kind, code, real))) RememberExpressions(expressions);
}

template <typename Caller>
[[gnu::always_inline]] inline void TQ_Executive::AppendItemFrom(const Caller* caller, std::int32_t code, int equation,
                                                                TQ_ProgramItem::Kind kind, double real) {
  if (!AppendsInPlace(caller, equation)) [[unlikely]]
    return AppendValueChecked(caller, code, equation, kind, real);
  State().AppendItem(MakeItem(kind, code, real));
}

void TQ_Executive::EmitOp(const TQ_ModelType* model, int op, int equation) {
  AppendItemFrom(model, op, equation, TQ_ProgramItem::Op, 0.0);
}

void TQ_Executive::EmitInteger(const TQ_ModelType* model, int value, int equation) {
  AppendItemFrom(model, value, equation, TQ_ProgramItem::Integer, 0.0);
}

void TQ_Executive::EmitReal(const TQ_ModelType* model, double value, int equation) {
  AppendItemFrom(model, 0, equation, TQ_ProgramItem::Real, value);
}

// The non-zero of a term just appended goes into the pattern only through
// cursors that stand inside the host's arrays, at the same entry of both.
// Entries passed over are set to -1 first.
void TQ_Executive::RecordNonZero(const TQ_ModelType* model, TQ_VarParam& term, int*& rows, int*& cols, int equation) {
  ItemState& state = State();
  const std::ptrdiff_t entry = state.CursorEntry(rows, cols);
  if (entry < 0) {
    RefuseCursors(*this, model, term, equation, rows, cols, state.rows, state.cols);
    return;
  }
  // Entries up to this one are filled (counting as set to -1), then this one
  // counts as written.
  state.FillPattern(static_cast<std::size_t>(entry) + 1);
  ++state.writtenBesides;
  *rows++ = equation;
  *cols++ = term.Column();
}

// A term: the item first (refused, or after making room), then its non-zero.
// True when the item went in.
[[gnu::noinline]] bool TQ_Executive::EmitTermChecked(const TQ_ModelType* model, TQ_VarParam& term, int*& rows,
                                                     int*& cols, int equation) {
  if (!AppendItemChecked(model, equation, TermItem(term))) return false;
  Instance().RecordNonZero(model, term, rows, cols, equation);
  return true;
}
[[gnu::noinline]] void TQ_Executive::EmitTermChecked(const TQ_ModelExtensions* expressions, TQ_VarParam& term,
                                                     int*& rows, int*& cols, int equation) {
  if (EmitTermChecked(expressions->m_model, term, rows, cols, equation)) RememberExpressions(expressions);
}

// The common case of a term also has its cursors at the next entry of the
// pattern arrays.
template <typename Caller>
[[gnu::always_inline]] inline void TQ_Executive::EmitTermFrom(const Caller* caller, TQ_VarParam& term, int*& rows,
                                                              int*& cols, int equation) {
  ItemState& state = State();
  // The cursors and the column are read before anything is written: a write
  // through one cursor could otherwise change what the others read.
  int* const row = rows;
  int* const col = cols;
  if (!AppendsInPlace(caller, equation) || !state.CursorsAtNext(row, col)) [[unlikely]] {
    EmitTermChecked(caller, term, rows, cols, equation);
    return;
  }
  const int column = term.Column();
  state.AppendItem(TermItem(term));
  *row = equation;
  *col = column;
  rows = state.nextRow = row + 1;
  cols = state.nextCol = col + 1;
}

void TQ_Executive::DeclareEquation(const TQ_ModelType* model, int group) { DeclareEquationFrom(model, group); }
void TQ_Executive::DeclareNonZero(const TQ_ModelType* model, TQ_VarParam& term) { DeclareNonZeroFrom(model, term); }
void TQ_Executive::EmitEquation(const TQ_ModelType* model, const char* name, int& count, int group,
                                const TQ_EquationType* type) {
  EmitEquationFrom(model, name, count, group, type);
}
void TQ_Executive::EmitTerm(const TQ_ModelType* model, TQ_VarParam& term, int*& rows, int*& cols, int equation) {
  EmitTermFrom(model, term, rows, cols, equation);
}

void TQ_Executive::ResetExpressionsOf(const TQ_ModelType* model) {
  ItemState& state = State();
  m->ReleaseProcedureRecords(model);
  state.SettleItemCount();
  std::vector<TQ_EmittedEquation> kept;
  std::vector<TQ_ProgramItem> keptItems;
  bool any = false;
  for (const TQ_EmittedEquation& e : state.emitted)
    if (e.owner == model) any = true;
  if (!any) return;
  for (const TQ_EmittedEquation& e : state.emitted) {
    if (e.owner == model) continue;
    TQ_EmittedEquation moved = e;
    moved.firstItem = static_cast<std::uint32_t>(keptItems.size());
    const auto first = state.items.begin() + e.firstItem;
    keptItems.insert(keptItems.end(), first, first + e.itemCount);
    kept.push_back(moved);
  }
  state.emitted.swap(kept);
  state.itemCountsFrom = state.emitted.size();  // each kept count is written
  state.items.swap(keptItems);
  state.CloseEquation();
}

void TQ_Executive::BeginEmission(std::size_t nonZeros, int*& rows, int*& cols) {
  ItemState& state = State();
  m->ReleaseProcedureRecords(nullptr);
  state.emitted.clear();
  state.itemCountsFrom = 0;
  state.items.clear();
  state.CloseEquation();
  try {
    state.emitted.reserve(state.declared.size());
    state.items.reserve(nonZeros * 2 + 16);
    // Sized only: entries are set to -1 as the terms pass them or when read.
    state.rows.resize(nonZeros);
    state.cols.resize(nonZeros);
  } catch (...) {
    // No pattern arrays rather than two that differ, with cursors into
    // memory one of them has left.
    state.rows.clear();
    state.cols.clear();
    state.nextRow = state.rows.data();
    state.nextCol = state.cols.data();
    state.writtenBesides = 0;
    throw;
  }
  state.nextRow = state.rows.data();
  state.nextCol = state.cols.data();
  state.writtenBesides = 0;
  rows = state.rows.data();
  cols = state.cols.data();
}

// ---- procedure equations ---------------------------------------------------------------------

void TQ_Executive::AdoptEquationType(const TQ_ModelType* model, TQ_EquationType* type) {
  if (type != nullptr) m->adoptedTypes.emplace_back(model, type);
}

void TQ_Executive::EmitProcExpression(const TQ_ModelType* model, const TQ_ProcedureType* procedure, int number,
                                      int row, const char* name) {
  if (!IsBeingEmitted(model, row)) return;
  if (procedure == nullptr) {
    ReportError(PathOf(model) + ": procedure program for equation " + std::to_string(row) + " names no procedure");
    return;
  }
  m->procExpressions.push_back(TQ_ProcExpression{model, procedure, number, row, m->InternName(name)});
}

void TQ_Executive::EmitProcCall(const TQ_ModelType* model, const TQ_ProcedureType* procedure, int group) {
  m->procCalls.push_back(TQ_ProcCall{model, procedure, group});
}

// ---- the models' calls into the executive -------------------------------------------------
//
// Defined here, beside the executive's own code: they run once per declared
// equation or non-zero, or per program item, and are flattened: the common
// case is one piece of code without calls, on the item state.

[[gnu::flatten]] void TQ_ModelType::SetGroupLimits(int group) { TQ_Executive::DeclareEquationFrom(this, group); }
[[gnu::flatten]] void TQ_ModelType::AddNonZero(TQ_VarParam& term) { TQ_Executive::DeclareNonZeroFrom(this, term); }
int TQ_ModelType::SetLocalEqnCount(int count) { return TQ_Executive::Instance().LocalEqnCount(this, count); }
[[gnu::flatten]] void TQ_ModelType::AddEquation(const char* name, int& count, int group) {
  TQ_Executive::EmitEquationFrom(this, name, count, group, nullptr);
}

void TQ_ModelExtensions::ResetExpressions() { TQ_Executive::Instance().ResetExpressionsOf(m_model); }
[[gnu::flatten]] void TQ_ModelExtensions::AddOp(EOp op, int equation) {
  TQ_Executive::AppendItemFrom(this, op, equation, TQ_ProgramItem::Op, 0.0);
}
[[gnu::flatten]] void TQ_ModelExtensions::AddTerm(double value, int equation) {
  TQ_Executive::AppendItemFrom(this, 0, equation, TQ_ProgramItem::Real, value);
}
[[gnu::flatten]] void TQ_ModelExtensions::AddTerm(int value, int equation) {
  TQ_Executive::AppendItemFrom(this, value, equation, TQ_ProgramItem::Integer, 0.0);
}
[[gnu::flatten]] void TQ_ModelExtensions::AddTerm(TQ_VarParam& term, int*& rows, int*& cols, int equation) {
  TQ_Executive::EmitTermFrom(this, term, rows, cols, equation);
}
