#include "tq_matrix.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "tq_executive.h"
#include "tq_held.h"
#include "tq_memory_gate.h"

// ---- TQ_LongPtrVectorOwnsData ---------------------------------------------------

TQ_LongPtrVectorOwnsData::TQ_LongPtrVectorOwnsData() : m_slots(nullptr), m_count(0), m_capacity(0) {}

TQ_LongPtrVectorOwnsData::TQ_LongPtrVectorOwnsData(const TQ_LongPtrVectorOwnsData& other)
    : m_slots(nullptr), m_count(0), m_capacity(0) {
  Reserve(other.m_count);
  for (unsigned int i = 0; i < other.m_count; ++i) m_slots[i] = nullptr;
  m_count = other.m_count;
}

TQ_LongPtrVectorOwnsData& TQ_LongPtrVectorOwnsData::operator=(const TQ_LongPtrVectorOwnsData& other) {
  if (this != &other) {
    DestroyAll();
    Reserve(other.m_count);
    for (unsigned int i = 0; i < other.m_count; ++i) m_slots[i] = nullptr;
    m_count = other.m_count;
  }
  return *this;
}

// The slots' block is counted in what the host holds while it is held.
TQ_LongPtrVectorOwnsData::~TQ_LongPtrVectorOwnsData() {
  DestroyAll();
  std::free(m_slots);
  if (m_capacity != 0) TQ_CountHeld(-TQ_BlockBytes(std::size_t{m_capacity} * sizeof(TQ_Type*)));
}

void TQ_LongPtrVectorOwnsData::DestroyAll() {
  for (unsigned int i = 0; i < m_count; ++i) {
    delete m_slots[i];
    m_slots[i] = nullptr;
  }
  m_count = 0;
}

void TQ_LongPtrVectorOwnsData::Reserve(unsigned int capacity) {
  if (capacity <= m_capacity) return;
  unsigned int grown = m_capacity < 8 ? 8 : m_capacity;
  while (grown < capacity) grown = grown > 0x7FFFFFFFu ? capacity : grown * 2;
  // The size in bytes, counted where it cannot wrap: with 32-bit addresses
  // 2^30 slots and more do not fit, and are refused as memory the heap has not.
  const unsigned long long bytes = static_cast<unsigned long long>(sizeof(TQ_Type*)) * grown;
  if (bytes > SIZE_MAX || !TQ_AllocationGateAllows(static_cast<std::size_t>(bytes))) throw std::bad_alloc();
  void* slots = std::realloc(m_slots, static_cast<std::size_t>(bytes));
  if (slots == nullptr) throw std::bad_alloc();
  m_slots = static_cast<TQ_Type**>(slots);
  TQ_CountHeld(static_cast<std::int64_t>(TQ_BlockBytes(static_cast<std::size_t>(bytes))) -
               (m_capacity != 0 ? TQ_BlockBytes(std::size_t{m_capacity} * sizeof(TQ_Type*)) : 0));
  m_capacity = grown;
}

bool TQ_LongPtrVectorOwnsData::AddNullEntries(int position, int count, int stride) {
  // One dimension, a slot at the end (an array made in ascending order of its keys).
  if (stride == 1 && position == count && count > 0 && static_cast<unsigned int>(count) == m_count) {
    if (m_count >= 0x7FFFFFFFu) return false;
    if (m_count == m_capacity) Reserve(m_count + 1);
    m_slots[m_count++] = nullptr;
    return true;
  }
  return InsertNullEntries(position, count, stride);
}

// Kept out of AddNullEntries, so that its usual case stays a short call.
[[gnu::noinline]] bool TQ_LongPtrVectorOwnsData::InsertNullEntries(int position, int count, int stride) {
  if (stride <= 0 || count < 0 || position < 0) return false;
  if (count == 0) {
    if (m_count != 0) return false;
    Reserve(static_cast<unsigned int>(stride));
    for (int i = 0; i < stride; ++i) m_slots[i] = nullptr;
    m_count = static_cast<unsigned int>(stride);
    return true;
  }
  return AddNullEntriesAt(&position, 1, count, stride);
}

bool TQ_LongPtrVectorOwnsData::AddNullEntriesAt(const int* positions, int added, int count, int stride) {
  if (positions == nullptr || added <= 0 || count <= 0 || stride <= 0) return false;
  const std::size_t grownSize = static_cast<std::size_t>(count) + static_cast<std::size_t>(added);
  for (int i = 0; i < added; ++i) {
    if (positions[i] < 0 || static_cast<std::size_t>(positions[i]) >= grownSize) return false;
    if (i > 0 && positions[i] <= positions[i - 1]) return false;
  }
  const unsigned long long block = static_cast<unsigned long long>(count) * static_cast<unsigned long long>(stride);
  if (m_count % block != 0) return false;
  const unsigned long long blocks = m_count / block;
  const unsigned long long grownCount =
      m_count + blocks * static_cast<unsigned long long>(added) * static_cast<unsigned long long>(stride);
  if (grownCount > 0x7FFFFFFFull) return false;
  Reserve(static_cast<unsigned int>(grownCount));
  // The blocks from the last, and in each block the runs of old positions
  // between the new ones from the last: every slot lands at or after where
  // it was, so nothing is overwritten before it has moved. What stays where
  // it is (the first block up to its first new position) is not moved.
  const std::size_t s = static_cast<std::size_t>(stride);
  const std::size_t oldBlock = static_cast<std::size_t>(block);
  const std::size_t newBlock = grownSize * s;
  for (std::size_t k = static_cast<std::size_t>(blocks); k-- > 0;) {
    TQ_Type** const from = m_slots + k * oldBlock;
    TQ_Type** const to = m_slots + k * newBlock;
    std::size_t oldEnd = static_cast<std::size_t>(count);  // old positions 0 .. oldEnd-1 not moved yet
    std::size_t newEnd = grownSize;
    for (int i = added; i >= 0; --i) {
      // The run of old positions between new position i - 1 and the end of what is left.
      const std::size_t runStart = i > 0 ? static_cast<std::size_t>(positions[i - 1]) + 1 : 0;
      const std::size_t run = newEnd - runStart;
      oldEnd -= run;
      TQ_Type** const target = to + runStart * s;
      TQ_Type** const source = from + oldEnd * s;
      if (run != 0 && target != source) std::memmove(target, source, run * s * sizeof(TQ_Type*));
      if (i > 0) {
        TQ_Type** const gap = to + (runStart - 1) * s;
        for (std::size_t j = 0; j < s; ++j) gap[j] = nullptr;
        newEnd = runStart - 1;
      }
    }
  }
  m_count = static_cast<unsigned int>(grownCount);
  return true;
}

// ---- TQ_Matrix ----------------------------------------------------------------------

TQ_Matrix::TQ_Matrix(int dimensions, TQ_SetValue* indexValues)
    : ElementOffset(0),
      DeclaredSets(nullptr),
      m_dimensions(dimensions),
      m_indexValues(indexValues),
      m_pendingLength(0),
      m_pendingOverflow(nullptr),
      m_pendingInline() {
  m_arrayContainer = true;
  MakeTables();
}

// The copy's index-value sets stand at the same place in the copy as the
// source's stand in the source, since both are of one class.
TQ_Matrix::TQ_Matrix(const TQ_Matrix& other)
    : TQ_Type(other),
      ElementOffset(0),
      DeclaredSets(nullptr),
      m_dimensions(other.m_dimensions),
      m_indexValues(reinterpret_cast<TQ_SetValue*>(
          reinterpret_cast<char*>(this) +
          (reinterpret_cast<const char*>(other.m_indexValues) - reinterpret_cast<const char*>(&other)))),
      m_pendingLength(0),
      m_pendingOverflow(nullptr),
      m_pendingInline() {
  m_arrayContainer = true;
  MakeTables();
  try {
    for (int d = 0; d < m_dimensions; ++d) {
      if (other.DeclaredSets[d]) other.DeclaredSets[d]->AddDependent(this);
      DeclaredSets[d] = other.DeclaredSets[d];
    }
  } catch (...) {
    // A copy that cannot be made leaves no set naming it, and nothing of its own.
    CancelDependenceOnDeclaredSets();
    delete[] DeclaredSets;
    delete m_pendingOverflow;
    TQ_CountHeld(-TablesBytes(m_dimensions));
    throw;
  }
}

// Made in the constructors' bodies: should the second fail for want of
// memory, the first is released.
void TQ_Matrix::MakeTables() {
  std::unique_ptr<TQ_Set*[]> sets(new TQ_Set*[static_cast<std::size_t>(m_dimensions > 0 ? m_dimensions : 1)]());
  m_pendingOverflow = new std::string;
  DeclaredSets = sets.release();
  TQ_CountHeld(TablesBytes(m_dimensions));
}

// What the tables take, counted in what the host holds while they are held: the declared sets'
// block and the pending name's string (a long key's text beyond it is passing).
std::int64_t TQ_Matrix::TablesBytes(int dimensions) {
  return TQ_BlockBytes(static_cast<std::size_t>(dimensions > 0 ? dimensions : 1) * sizeof(TQ_Set*)) +
         TQ_BlockBytes(sizeof(std::string));
}

// Elements are not copied: they belong to one array. The index values are
// the derived class's to copy; the missing elements are made on demand.
TQ_Matrix& TQ_Matrix::operator=(const TQ_Matrix& other) {
  if (this == &other) return *this;
  TQ_Type::operator=(other);
  CancelDependenceOnDeclaredSets();
  ElementVector.DestroyAll();
  ElementOffset = 0;
  // Each set learns of the array before the array names it.
  for (int d = 0; d < m_dimensions && d < other.m_dimensions; ++d) {
    if (other.DeclaredSets[d]) other.DeclaredSets[d]->AddDependent(this);
    DeclaredSets[d] = other.DeclaredSets[d];
  }
  return *this;
}

TQ_Matrix::~TQ_Matrix() {
  CancelDependenceOnDeclaredSets();
  delete[] DeclaredSets;
  delete m_pendingOverflow;
  TQ_CountHeld(-TablesBytes(m_dimensions));
}

const char* TQ_Matrix::TQ_ContainerId() { return "Array MATRIX\tV7.1"; }

int TQ_Matrix::NewElements() { return 0; }

std::int64_t TQ_Matrix::DeclaredElementCount() const {
  std::int64_t total = 1;
  for (int d = 0; d < m_dimensions; ++d) {
    if (DeclaredSets[d] == nullptr) return -1;
    const std::int64_t size = DeclaredSets[d]->v().SetSize();
    if (size != 0 && total > INT64_MAX / size)
      total = INT64_MAX;
    else
      total *= size;
  }
  return total;
}
void TQ_Matrix::CreateMissingArrayElement(const char*) {}

void TQ_Matrix::CancelDependenceOnDeclaredSets() {
  for (int d = 0; d < m_dimensions; ++d) {
    if (DeclaredSets[d]) DeclaredSets[d]->RemoveDependent(this);
    DeclaredSets[d] = nullptr;
  }
}

void TQ_Matrix::ForgetDeclaredSet(TQ_Set* set) {
  for (int d = 0; d < m_dimensions; ++d) {
    if (set != nullptr && DeclaredSets[d] == set) {
      set->RemoveDependent(this);
      DeclaredSets[d] = nullptr;
    }
  }
}

void TQ_Matrix::AppendToPendingName(const char* text, std::size_t length) {
  if (m_pendingLength + length < kPendingInline) {
    std::memcpy(m_pendingInline + m_pendingLength, text, length);
    m_pendingLength += length;
    m_pendingInline[m_pendingLength] = 0;
    return;
  }
  // The name moves to the overflow string when it first outgrows the buffer.
  if (m_pendingLength < kPendingInline) m_pendingOverflow->assign(m_pendingInline, m_pendingLength);
  m_pendingOverflow->append(text, length);
  m_pendingLength += length;
}

namespace {
// The digits of 0 .. 99, two characters each.
constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// Writes `value` in decimal at `out` (at most 11 characters, no NUL) and
// returns the end; written here rather than by a library call, as part of
// naming every element.
char* WriteDecimal(char* out, int value) {
  unsigned int magnitude = static_cast<unsigned int>(value);
  if (value < 0) {
    *out++ = '-';
    magnitude = 0u - magnitude;
  }
  std::size_t length = 1;
  for (std::uint64_t bound = 10; magnitude >= bound; bound *= 10) ++length;
  char* const end = out + length;
  char* at = end;
  while (magnitude >= 100) {
    const std::size_t pair = static_cast<std::size_t>(magnitude % 100) * 2;
    magnitude /= 100;
    *--at = kDigitPairs[pair + 1];
    *--at = kDigitPairs[pair];
  }
  if (magnitude >= 10) {
    *--at = kDigitPairs[static_cast<std::size_t>(magnitude) * 2 + 1];
    *--at = kDigitPairs[static_cast<std::size_t>(magnitude) * 2];
  } else {
    *--at = static_cast<char>('0' + magnitude);
  }
  return end;
}
}  // namespace

void TQ_Matrix::AddIndexToString(int index, int position) {
  if (position == 0) m_pendingLength = 0;
  // Written in place (this runs for every element made): a comma and an
  // integer take at most 12 characters.
  if (m_pendingLength + 13 > kPendingInline) {
    AppendLongIndex(index, position);
    return;
  }
  char* out = m_pendingInline + m_pendingLength;
  if (position > 0) *out++ = ',';
  out = WriteDecimal(out, index);
  *out = 0;
  m_pendingLength = static_cast<std::size_t>(out - m_pendingInline);
}

// Kept out of AddIndexToString, so that its usual case stays a short call.
[[gnu::noinline]] void TQ_Matrix::AppendLongIndex(int index, int position) {
  if (position > 0) AppendToPendingName(",", 1);
  char digits[16];
  AppendToPendingName(digits, static_cast<std::size_t>(WriteDecimal(digits, index) - digits));
}

void TQ_Matrix::AddIndexToString(const char* index, int position) {
  if (position == 0) m_pendingLength = 0;
  if (position > 0) AppendToPendingName(",", 1);
  AppendToPendingName("\"", 1);
  if (index != nullptr) AppendToPendingName(index, std::strlen(index));
  AppendToPendingName("\"", 1);
}

TQ_Type* TQ_Matrix::AddElement() {
  TQ_Executive& host = TQ_Executive::Instance();
  if (ElementOffset < 0 || static_cast<unsigned int>(ElementOffset) >= ElementVector.Elements()) {
    host.ReportError(std::string("array ") + host.PathOf(this) + ": element slot " + std::to_string(ElementOffset) +
                     " lies outside the array");
    return nullptr;
  }
  TQ_Type* element = NewElement();
  if (element == nullptr) {
    host.ReportError(std::string("array ") + host.PathOf(this) + ": element (" + PendingName() + ") could not be made");
    return nullptr;
  }
  // Stored before it is named: naming takes memory, and should it fail the
  // element is still the array's to destroy.
  TQ_Type*& slot = ElementVector[static_cast<unsigned int>(ElementOffset)];
  delete slot;
  slot = element;
  element->SetIdentity(this, PendingName(), m_pendingLength);
  if (Direction() != TQ_DIR_NONE) element->SetDirection(Direction());
  if (!IsToBeExported()) element->UnsetIsToBeExported();
  if (HostPortTypeValue() != 0) element->HostPortType(HostPortTypeValue());
  return element;
}

namespace {
void SkipBlanks(const char*& cursor) {
  while (*cursor == ' ' || *cursor == '\t') ++cursor;
}
}  // namespace

bool TQ_Matrix::ReadIndex(const char*& cursor, int& value, char terminator) {
  if (cursor == nullptr) return false;
  const char* p = cursor;
  SkipBlanks(p);
  char* end = nullptr;
  errno = 0;
  long parsed = std::strtol(p, &end, 10);
  if (end == p || errno != 0 || parsed < INT_MIN || parsed > INT_MAX) return false;
  p = end;
  SkipBlanks(p);
  if (*p != terminator) return false;
  value = static_cast<int>(parsed);
  cursor = p + 1;
  return true;
}

bool TQ_Matrix::ReadIndex(const char*& cursor, char* buffer, std::size_t capacity, char terminator) {
  if (cursor == nullptr || buffer == nullptr || capacity == 0) return false;
  const char* p = cursor;
  SkipBlanks(p);
  const char* start;
  std::size_t length;
  if (*p == '"') {
    start = ++p;
    while (*p && *p != '"') ++p;
    if (*p != '"') return false;
    length = static_cast<std::size_t>(p - start);
    ++p;
    SkipBlanks(p);
  } else {
    start = p;
    while (*p && *p != terminator) ++p;
    const char* end = p;
    while (end > start && (end[-1] == ' ' || end[-1] == '\t')) --end;
    length = static_cast<std::size_t>(end - start);
    if (length == 0) return false;
  }
  if (*p != terminator) return false;
  if (length + 1 > capacity) return false;
  std::memcpy(buffer, start, length);
  buffer[length] = 0;
  cursor = p + 1;
  return true;
}

TQ_Type* TQ_Matrix::ElementByText(const char* keys) const {
  if (keys == nullptr || m_dimensions <= 0) return nullptr;
  const char* cursor = keys;
  long long slot = 0;
  for (int d = 0; d < m_dimensions; ++d) {
    char terminator = d + 1 < m_dimensions ? ',' : ')';
    // Accept the keys with or without the closing parenthesis.
    std::string text(cursor);
    if (d + 1 == m_dimensions && (text.empty() || text.back() != ')')) text += ')';
    const char* c = text.c_str();
    int position = 0;
    bool present = false;
    if (m_indexValues[d].Type() == TQ_SET_STRING || m_indexValues[d].HoldsStrings()) {
      char buffer[256];
      if (!ReadIndex(c, buffer, sizeof buffer, terminator)) return nullptr;
      present = m_indexValues[d].SetContains(buffer, position) != 0;
    } else {
      int key = 0;
      if (!ReadIndex(c, key, terminator)) return nullptr;
      present = m_indexValues[d].SetContains(key, position) != 0;
    }
    if (!present) return nullptr;
    if (d + 1 == m_dimensions && *c != '\0') return nullptr;  // more than the keys
    cursor += (c - text.c_str());
    slot = slot * m_indexValues[d].SetSize() + position;
  }
  if (slot < 0 || static_cast<unsigned long long>(slot) >= ElementVector.Elements()) return nullptr;
  return ElementVector[static_cast<unsigned int>(slot)];
}

int TQ_Matrix::ElementCount() const {
  int n = 0;
  for (unsigned int i = 0; i < ElementVector.Elements(); ++i)
    if (ElementVector[i]) ++n;
  return n;
}

int TQ_Matrix::PortCount(bool all) const {
  int n = 0;
  for (unsigned int i = 0; i < ElementVector.Elements(); ++i)
    if (ElementVector[i]) n += ElementVector[i]->PortCount(all);
  return n;
}

TQ_Type* TQ_Matrix::GetPort(int& index, bool all) {
  for (unsigned int i = 0; i < ElementVector.Elements(); ++i) {
    if (!ElementVector[i]) continue;
    if (TQ_Type* port = ElementVector[i]->GetPort(index, all)) return port;
  }
  return nullptr;
}

void TQ_Matrix::SetDirection(TQ_Direction direction) {
  TQ_Type::SetDirection(direction);
  for (unsigned int i = 0; i < ElementVector.Elements(); ++i)
    if (ElementVector[i]) ElementVector[i]->SetDirection(direction);
}

TQ_Direction TQ_Matrix::Direction() const { return TQ_Type::Direction(); }
bool TQ_Matrix::IsAnArray() const { return true; }

// ---- one-dimensional bases ----------------------------------------------------------
//
// The same find-or-create walk as the multi-dimensional bases, for one
// dimension: a new key goes into the index values where the set places it,
// with a null slot at the same position; a null slot gets its element.

bool TQ_Matrix::PrepareSlot(int position) {
  // An empty vector over index values that are already there (a copied
  // array) gets one null slot per value first.
  unsigned int size = static_cast<unsigned int>(m_dimensions == 1 ? m_indexValues[0].SetSize() : 0);
  if (m_dimensions == 1 && ElementVector.Elements() == 0 && size > 0)
    ElementVector.AddNullEntries(0, 0, static_cast<int>(size));
  if (m_dimensions != 1 || ElementVector.Elements() != size || position < 0 ||
      static_cast<unsigned int>(position) >= size) {
    TQ_Executive::Instance().ReportError("array " + TQ_Executive::Instance().PathOf(this) +
                                         ": element vector does not match its index values");
    return false;
  }
  ElementOffset = position;
  return true;
}

// KeysReplaced follows an assignment of the index values, KeyAdded the
// insertion of `key` at `position`, NoteKeys every search.
#define TQ_BASE_1D(Class, TypeCode, Key, KeyAt, ReadKey, Search, KeysReplaced, KeyAdded, NoteKeys) \
  Class::Class() : TQ_Matrix(1, m_values) { m_values[0].ResetType(TypeCode); }                     \
  Class::Class(const Class& other) : TQ_Matrix(other) { m_values[0] = other.m_values[0]; }         \
  Class& Class::operator=(const Class& other) {                                                    \
    if (this != &other) {                                                                          \
      TQ_Matrix::operator=(other);                                                                 \
      m_values[0] = other.m_values[0];                                                             \
      KeysReplaced                                                                                 \
    }                                                                                              \
    return *this;                                                                                  \
  }                                                                                                \
  Class::~Class() = default;                                                                       \
  /* The set learns of the array first: should that fail (memory), the array */                    \
  /* is left with no set that does not know it. */                                                 \
  void Class::SetDim(TQ_Set& set) {                                                                \
    set.AddDependent(this);                                                                        \
    CancelDependenceOnDeclaredSets();                                                              \
    DeclaredSets[0] = &set;                                                                        \
  }                                                                                                \
  TQ_Type* Class::Search(Key key) {                                                                \
    int position = 0;                                                                              \
    const bool present = m_values[0].SetContains(key, position) != 0;                              \
    /* An element that exists: the vector, when not empty, has one slot per index value. */        \
    if (present && static_cast<unsigned int>(position) < ElementVector.Elements()) {               \
      if (TQ_Type* element = ElementVector[static_cast<unsigned int>(position)]) {                 \
        ElementOffset = position;                                                                  \
        return element;                                                                            \
      }                                                                                            \
    }                                                                                              \
    if (!present) {                                                                                \
      m_values[0].SetAddAtOffset(key, position);                                                   \
      KeyAdded if (ElementVector.Elements() != 0)                                                  \
          ElementVector.AddNullEntries(position, m_values[0].SetSize() - 1, 1);                    \
    }                                                                                              \
    if (!PrepareSlot(position)) {                                                                  \
      NoteKeys return nullptr;                                                                     \
    }                                                                                              \
    TQ_Type* element = ElementVector[static_cast<unsigned int>(position)];                         \
    if (element == nullptr) {                                                                      \
      AddIndexToString(key, 0);                                                                    \
      element = AddElement();                                                                      \
    }                                                                                              \
    NoteKeys return element;                                                                       \
  }                                                                                                \
  int Class::NewElements() {                                                                       \
    int size = m_values[0].SetSize();                                                              \
    if (size == 0 || !PrepareSlot(size - 1)) return 0;                                             \
    int created = 0;                                                                               \
    for (int position = size - 1; position >= 0; --position) {                                     \
      ElementOffset = position;                                                                    \
      if (ElementVector[static_cast<unsigned int>(position)] == nullptr) {                         \
        AddIndexToString(m_values[0].KeyAt(position), 0);                                          \
        AddElement();                                                                              \
        ++created;                                                                                 \
      }                                                                                            \
    }                                                                                              \
    return created;                                                                                \
  }                                                                                                \
  void Class::CreateMissingArrayElement(const char* text) {                                        \
    const char* cursor = text;                                                                     \
    ReadKey                                                                                        \
  }

// Integer keys: Find itself (inline) finds an element that exists by its
// offset in a dense run of keys, FindOrCreate by the key slot table;
// SearchOrCreate searches.
TQ_BASE_1D(TQ_BASE_I, TQ_SET_INTEGER, int, Integer, int key = 0; if (ReadIndex(cursor, key, ')')) Find(key);
           , SearchOrCreate, ForgetKeys();
           , m_keySlots.KeyInserted(m_values[0], key, static_cast<unsigned int>(position));
           , NoteKeys(present ? nullptr : &key);)
TQ_BASE_1D(TQ_BASE_S, TQ_SET_STRING, const char*, String, char key[128];
           if (ReadIndex(cursor, key, sizeof key, ')')) Find(key);
           , Find, , , )

TQ_Type* TQ_BASE_I::FindOrCreate(int key) {
  if (TQ_Type* existing = ExistingAt(m_keySlots.SlotOf(key))) return existing;
  return SearchOrCreate(key);
}

void TQ_BASE_I::ForgetKeys() {
  m_denseCount = 0;
  m_keySlots.Clear();
}

void TQ_BASE_I::NoteKeys(const int* added) {
  const int size = m_values[0].SetSize();
  // The usual search that made an element: the keys still form the dense run noted, or that run
  // and one key after it; the vector has one slot per key either way. (The keys held the run
  // alone before this search, so a key it added just after the run is the last key.)
  if (m_denseCount != 0 && m_keySlots.Empty() && size > 0 &&
      ElementVector.Elements() == static_cast<unsigned int>(size)) {
    if (static_cast<unsigned int>(size) == m_denseCount) return;
    if (static_cast<unsigned int>(size) == m_denseCount + 1 &&
        static_cast<long long>(added != nullptr ? *added : m_values[0].IntegerAt(size - 1)) ==
            static_cast<long long>(m_denseFirst) + static_cast<long long>(m_denseCount)) {
      ++m_denseCount;
      return;
    }
  }
  m_denseCount = 0;
  // Slots are known only while the vector has one slot per key (an assigned
  // array's vector is empty until its first search).
  if (size == 0 || ElementVector.Elements() != static_cast<unsigned int>(size)) {
    m_keySlots.Clear();
    return;
  }
  if (!m_keySlots.Empty() && m_keySlots.Keys() != static_cast<unsigned int>(size)) m_keySlots.Clear();
  const long long first = m_values[0].IntegerAt(0);
  const long long last = m_values[0].IntegerAt(size - 1);
  if (last - first + 1 == size) {
    m_denseFirst = static_cast<int>(first);
    m_denseCount = static_cast<unsigned int>(size);
    return;
  }
  if (m_keySlots.Empty()) m_keySlots.Build(m_values[0]);
}

// ---- TQ_KeySlotTable ---------------------------------------------------------------

// The table's block is counted in what the host holds while it is held.
TQ_KeySlotTable::~TQ_KeySlotTable() { Clear(); }

void TQ_KeySlotTable::Clear() {
  std::free(m_slots);
  if (m_capacity != 0) TQ_CountHeld(-TQ_BlockBytes(std::size_t{m_capacity} * sizeof(unsigned int)));
  m_slots = nullptr;
  m_first = 0;
  m_span = 0;
  m_capacity = 0;
  m_keys = 0;
}

bool TQ_KeySlotTable::SpanFits(unsigned long long span, unsigned long long keys, unsigned int perKey) {
  // kNone never stands for a slot, and every entry's offset fits the
  // unsigned offsets of SlotOf.
  return keys != 0 && keys < kNone && span < kNone && span <= keys * perKey;
}

bool TQ_KeySlotTable::Reserve(unsigned long long span) {
  if (span <= m_capacity) return true;
  unsigned long long grown = m_capacity < 16 ? 16 : 2ull * m_capacity;
  if (grown < span) grown = span;
  if (grown >= kNone) grown = span;
  if (grown > static_cast<unsigned long long>(SIZE_MAX) / sizeof(unsigned int)) return false;
  void* slots = std::realloc(m_slots, static_cast<std::size_t>(grown) * sizeof(unsigned int));
  if (slots == nullptr) return false;
  m_slots = static_cast<unsigned int*>(slots);
  TQ_CountHeld(TQ_BlockBytes(static_cast<std::size_t>(grown) * sizeof(unsigned int)) -
               (m_capacity != 0 ? TQ_BlockBytes(std::size_t{m_capacity} * sizeof(unsigned int)) : 0));
  m_capacity = static_cast<unsigned int>(grown);
  return true;
}

void TQ_KeySlotTable::Build(const SUValue& keys) {
  Clear();
  const int size = keys.SetSize();
  if (size <= 0 || keys.HoldsStrings()) return;
  const long long first = keys.IntegerAt(0);
  const unsigned long long span = static_cast<unsigned long long>(keys.IntegerAt(size - 1) - first + 1);
  if (!SpanFits(span, static_cast<unsigned long long>(size), kBuildSpanPerKey) || !Reserve(span)) {
    Clear();
    return;
  }
  for (unsigned long long i = 0; i < span; ++i) m_slots[i] = kNone;
  for (int position = 0; position < size; ++position)
    m_slots[static_cast<long long>(keys.IntegerAt(position)) - first] = static_cast<unsigned int>(position);
  m_first = static_cast<int>(first);
  m_span = static_cast<unsigned int>(span);
  m_keys = static_cast<unsigned int>(size);
}

void TQ_KeySlotTable::KeyInserted(const SUValue& keys, int key, unsigned int slot) {
  if (m_slots == nullptr) return;
  const int size = keys.SetSize();
  if (size <= 0 || static_cast<unsigned int>(size) != m_keys + 1 || slot > m_keys || SlotOf(key) != kNone) {
    Clear();
    return;
  }
  const long long last = static_cast<long long>(m_first) + m_span - 1;
  const long long newFirst = key < m_first ? key : m_first;
  const long long newLast = key > last ? key : last;
  const unsigned long long span = static_cast<unsigned long long>(newLast - newFirst + 1);
  if (!SpanFits(span, static_cast<unsigned long long>(size), kKeepSpanPerKey) || !Reserve(span)) {
    Clear();
    return;
  }
  // A key before the first moves every entry back by the distance; the
  // integers between become holes. A key after the last opens holes up to it.
  const unsigned int shift = static_cast<unsigned int>(m_first - newFirst);
  if (shift != 0) {
    std::memmove(m_slots + shift, m_slots, static_cast<std::size_t>(m_span) * sizeof(unsigned int));
    for (unsigned int i = 0; i < shift; ++i) m_slots[i] = kNone;
  }
  for (unsigned long long i = static_cast<unsigned long long>(m_span) + shift; i < span; ++i) m_slots[i] = kNone;
  m_first = static_cast<int>(newFirst);
  m_span = static_cast<unsigned int>(span);
  m_keys = static_cast<unsigned int>(size);
  const unsigned int at = static_cast<unsigned int>(static_cast<long long>(key) - newFirst);
  m_slots[at] = slot;
  // Every key after the new one moves one slot on. They are found by walking
  // the entries after it while these are not many more than the keys, and
  // otherwise (few keys far apart) key by key from the set, so that the cost
  // follows the number of keys after it as the vector's move of their slots
  // does, not the width of the span.
  const unsigned int keysAfter = m_keys - 1 - slot;
  const unsigned int entriesAfter = m_span - 1 - at;
  if (entriesAfter <= static_cast<unsigned long long>(keysAfter) * kWalkEntriesPerKey) {
    for (unsigned int i = at + 1; i < m_span; ++i)
      if (m_slots[i] != kNone) ++m_slots[i];
    return;
  }
  for (unsigned int position = slot + 1; position < m_keys; ++position) {
    const unsigned int offset =
        static_cast<unsigned int>(keys.IntegerAt(static_cast<int>(position))) - static_cast<unsigned int>(m_first);
    if (offset >= m_span || m_slots[offset] == kNone) {
      Clear();
      return;
    }
    ++m_slots[offset];
  }
}

// ---- TQ_MULTIPORT_BaseType -------------------------------------------------------------

TQ_MULTIPORT_BaseType::TQ_MULTIPORT_BaseType() = default;
TQ_MULTIPORT_BaseType::TQ_MULTIPORT_BaseType(const TQ_MULTIPORT_BaseType& other) = default;
TQ_MULTIPORT_BaseType& TQ_MULTIPORT_BaseType::operator=(const TQ_MULTIPORT_BaseType& other) = default;
TQ_MULTIPORT_BaseType::~TQ_MULTIPORT_BaseType() = default;
const char* TQ_MULTIPORT_BaseType::TQ_ContainerId() { return "Port MULTIPORT\tV7.1"; }
TQ_PortType* TQ_MULTIPORT_BaseType::CreateConnectionPort(const char*, unsigned int) { return nullptr; }
TQ_PortType* TQ_MULTIPORT_BaseType::FindConnectionPort(const char*) { return nullptr; }
