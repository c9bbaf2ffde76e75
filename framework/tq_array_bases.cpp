#include "framework/tq_array_bases.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "framework/frame.h"

namespace {
const char* TextOf(const TQ_IndexKey& key) { return key.text != nullptr ? key.text : ""; }

// A set's answers for a key of a dimension of either kind (`text`: a string dimension).
int Contains(const SUValue& set, bool text, const TQ_IndexKey& key, int& position) {
  return text ? set.SetContains(TextOf(key), position) : set.SetContains(key.integer, position);
}
TQ_IndexKey KeyAt(const TQ_SetValue& set, bool text, int position) {
  return text ? TQ_IndexKey{0, set.String(position)} : TQ_IndexKey{set.Integer(position), nullptr};
}
// Inserts the key where the set places it; the set keeps its own copy of a text.
void AddKey(SUValue& set, bool text, const TQ_IndexKey& key) {
  int position = 0;
  if (Contains(set, text, key, position) != 0) return;
  if (text)
    set.SetAddAtOffset(TextOf(key), position);
  else
    set.SetAddAtOffset(key.integer, position);
}

// The values of `declared` that `values` lacks, nearest the key in the declared set's order on
// either side, up to `want` of them: what a dimension takes in with a key of its declared set.
// None when the declared set does not hold the key.
void WidenFrom(const TQ_SetValue& declared,
               const SUValue& values,
               bool text,
               const TQ_IndexKey& key,
               std::size_t want,
               morvane::vector<TQ_IndexKey>& widened) {
  int at = 0;
  if (Contains(declared, text, key, at) == 0) return;
  const int total = declared.SetSize();
  auto take = [&](int j) {
    const TQ_IndexKey candidate = KeyAt(declared, text, j);
    int ignored = 0;
    if (widened.size() < want && Contains(values, text, candidate, ignored) == 0) widened.push_back(candidate);
  };
  for (int after = at + 1, before = at - 1; widened.size() < want && (after < total || before >= 0);) {
    if (after < total) take(after++);
    if (before >= 0) take(before--);
  }
}
}  // namespace

TQ_KeyedArrayBase::TQ_KeyedArrayBase(int dimensions, const bool* kinds, TQ_SetValue* values)
    : TQ_Matrix(dimensions, values), m_count(dimensions), m_kinds(kinds), m_values(values) {}

TQ_KeyedArrayBase::TQ_KeyedArrayBase(const TQ_KeyedArrayBase& other, TQ_SetValue* values)
    : TQ_Matrix(other), m_count(other.m_count), m_kinds(other.m_kinds), m_values(values) {}

TQ_KeyedArrayBase& TQ_KeyedArrayBase::operator=(const TQ_KeyedArrayBase& other) {
  if (this != &other) TQ_Matrix::operator=(other);
  return *this;
}

TQ_KeyedArrayBase::~TQ_KeyedArrayBase() = default;

void TQ_KeyedArrayBase::TypeIndexValues() {
  for (int k = 0; k < m_count; ++k) m_values[k].ResetType(m_kinds[k] ? TQ_SET_STRING : TQ_SET_INTEGER);
}

void TQ_KeyedArrayBase::Refuse(const char* what) const {
  char message[256];
  const char* name = Name();
  std::snprintf(message, sizeof message, "array %s: %s", name != nullptr && *name ? name : "(unnamed)", what);
  TQ_ReportError(message);
}

std::int64_t TQ_KeyedArrayBase::CombinationCount() const {
  std::int64_t total = 1;
  for (int d = 0; d < m_count; ++d) {
    total *= m_values[d].SetSize();
    if (total > INT_MAX) return -1;
  }
  return total;
}

bool TQ_KeyedArrayBase::VectorMatchesIndexValues() const {
  const std::int64_t slots = ElementVector.Elements();
  return slots == 0 || slots == CombinationCount();
}

// The sets learn of the array first: should that fail (memory), the array is
// left with no set that does not know it.
void TQ_KeyedArrayBase::SetDimensions(TQ_Set* const* sets) {
  int told = 0;
  try {
    for (; told < m_count; ++told) sets[told]->AddDependent(this);
  } catch (...) {
    for (int k = 0; k < told; ++k) sets[k]->RemoveDependent(this);
    throw;
  }
  CancelDependenceOnDeclaredSets();
  for (int k = 0; k < m_count; ++k) DeclaredSets[k] = sets[k];
}

void TQ_KeyedArrayBase::IndexStringOf(const TQ_IndexKey* keys) {
  for (int k = 0; k < m_count; ++k) {
    if (m_kinds[k])
      AddIndexToString(TextOf(keys[k]), k);
    else
      AddIndexToString(keys[k].integer, k);
  }
}

TQ_Type* TQ_KeyedArrayBase::FindKeys(const TQ_IndexKey* keys) {
  // Held here: the calls below cannot be seen to leave the members alone.
  const int dimensions = m_count;
  const bool* const kinds = m_kinds;
  TQ_SetValue* const values = m_values;
  // The size of each dimension, read once, and where each key stands in it;
  // nothing is changed before the check below. The product is held just past
  // INT_MAX once it passes it, so that it cannot overflow.
  int size[kMaxDimensions] = {};
  bool present[kMaxDimensions] = {};
  int position[kMaxDimensions] = {};
  std::int64_t combinations = 1;
  bool missing = false;
  for (int d = 0; d < dimensions; ++d) {
    size[d] = values[d].SetSize();
    present[d] = Contains(values[d], kinds[d], keys[d], position[d]) != 0;
    missing = missing || !present[d];
    if (combinations <= INT_MAX) combinations *= size[d];
  }
  // The vector holds one slot per combination of the index values, or none
  // (as VectorMatchesIndexValues tells).
  const unsigned int count = ElementVector.Elements();
  if (count != 0 && (combinations > INT_MAX || combinations != count)) {
    Refuse("the element vector does not hold one slot per key combination; lookup refused");
    return nullptr;
  }
  if ((missing || count == 0) && !TakeInKeys(keys, size, present, position, count)) return nullptr;

  // The slot, row-major.
  int offset = 0;
  int stride = 1;
  for (int d = dimensions - 1; d >= 0; --d) {
    offset += position[d] * stride;
    stride *= size[d];
  }
  ElementOffset = offset;

  TQ_Type* element = ElementVector[static_cast<unsigned int>(offset)];
  if (element == nullptr) {
    IndexStringOf(keys);
    element = AddElement();
  }
  return element;
}

bool TQ_KeyedArrayBase::TakeInKeys(
    const TQ_IndexKey* keys, int* size, const bool* present, int* position, unsigned int count) {
  const int dimensions = m_count;
  const bool* const kinds = m_kinds;
  TQ_SetValue* const values = m_values;
  // What each dimension takes in besides its key: declared values, where the key alone would
  // move slots the array holds. It would not only when the vector is empty, or when the key
  // goes after the last value of a dimension that every dimension before it has one value in
  // (the new slots then come after all the others).
  morvane::vector<TQ_IndexKey> widened[kMaxDimensions];
  morvane::vector<int> at;  // the new positions of one dimension
  bool single = true;       // every dimension before d has one value
  for (int d = 0; d < dimensions; ++d) {
    const bool moves = count != 0 && !(single && position[d] == size[d]);
    if (!present[d] && moves && DeclaredSets[d] != nullptr)
      WidenFrom(DeclaredSets[d]->v(), values[d], kinds[d], keys[d], static_cast<std::size_t>(size[d]), widened[d]);
    single = single && size[d] == 1;
    if (!widened[d].empty()) at.reserve(std::max(at.capacity(), widened[d].size() + 1));
  }
  // The slots of the enlarged array, held just past INT_MAX once past it; with the declared
  // values, or else without them.
  auto slotsAfter = [&](bool widen) {
    std::int64_t slots = 1;
    for (int d = 0; d < dimensions; ++d) {
      const std::int64_t grown =
          std::int64_t{size[d]} + (present[d] ? 0 : 1) + (widen ? static_cast<std::int64_t>(widened[d].size()) : 0);
      if (slots <= INT_MAX) slots *= grown;
    }
    return slots;
  };
  std::int64_t slots = slotsAfter(true);
  if (slots > INT_MAX) {
    for (auto& extra : widened) extra.clear();
    slots = slotsAfter(false);
  }
  if (slots > INT_MAX) {
    Refuse("the key would make the array larger than 2^31-1 slots; lookup refused");
    return false;
  }
  // Room for every slot before anything changes: should the memory not be there, the array is
  // left as it was.
  ElementVector.Reserve(static_cast<unsigned int>(slots));

  // Each missing value goes into its dimension, the last dimension first, with null slots for
  // every new combination; the key's position is read again once the values are in.
  int stride = 1;
  int reached = 0;  // the slot as far as the dimensions done place it
  for (int d = dimensions - 1; d >= 0; --d) {
    if (!present[d]) {
      const int before = size[d];
      const int added = 1 + static_cast<int>(widened[d].size());
      AddKey(values[d], kinds[d], keys[d]);
      for (const TQ_IndexKey& extra : widened[d]) AddKey(values[d], kinds[d], extra);
      size[d] = values[d].SetSize();
      const bool taken = size[d] == before + added && Contains(values[d], kinds[d], keys[d], position[d]) != 0;
      bool placed = taken && count == 0;
      if (taken && count != 0 && added == 1) placed = ElementVector.AddNullEntriesAt(&position[d], 1, before, stride);
      if (taken && count != 0 && added > 1) {
        // (`at` has room for them: nothing is allocated once the values are in.)
        at.assign(1, position[d]);
        for (const TQ_IndexKey& extra : widened[d]) {
          int p = 0;
          Contains(values[d], kinds[d], extra, p);
          at.push_back(p);
        }
        std::sort(at.begin(), at.end());
        placed = ElementVector.AddNullEntriesAt(at.data(), added, before, stride);
      }
      if (!placed) {
        if (d < dimensions - 1) ElementOffset = reached;
        Refuse(taken ? "the element vector could not be enlarged; lookup refused"
                     : "an index value could not be added to its dimension; lookup refused");
        return false;
      }
    }
    reached += position[d] * stride;
    if (d > 0) stride *= size[d];
  }
  if (count == 0) ElementVector.AddNullEntries(0, 0, size[0] * stride);
  return true;
}

int TQ_KeyedArrayBase::NewElements() {
  const std::int64_t total = CombinationCount();
  if (total < 0) {
    Refuse("the index values call for more than 2^31-1 elements; nothing created");
    return 0;
  }
  // A copied or assigned array has its index values but no slots yet.
  if (ElementVector.Elements() == 0 && total > 0) ElementVector.AddNullEntries(0, 0, static_cast<int>(total));
  if (ElementVector.Elements() != total) {
    Refuse("the element vector does not hold one slot per key combination; nothing created");
    return 0;
  }
  ElementOffset = static_cast<int>(ElementVector.Elements());
  int created = 0;
  if (total == 0) return created;

  // Every combination from the last down to the first: the position of the
  // last dimension runs fastest.
  int size[kMaxDimensions];
  int j[kMaxDimensions];
  for (int d = 0; d < m_count; ++d) {
    size[d] = m_values[d].SetSize();
    j[d] = size[d] - 1;
  }
  for (;;) {
    --ElementOffset;
    if (ElementVector[static_cast<unsigned int>(ElementOffset)] == nullptr) {
      TQ_IndexKey keys[kMaxDimensions];
      for (int d = 0; d < m_count; ++d) keys[d] = KeyAt(m_values[d], m_kinds[d], j[d]);
      IndexStringOf(keys);
      AddElement();
      ++created;
    }
    int d = m_count - 1;
    while (d >= 0 && j[d] == 0) {
      j[d] = size[d] - 1;
      --d;
    }
    if (d < 0) break;
    --j[d];
  }
  return created;
}

void TQ_KeyedArrayBase::CreateMissingArrayElement(const char* text) {
  if (text == nullptr) return;
  const char* cursor = text;
  char buffers[kMaxDimensions][kKeyBuffer];
  TQ_IndexKey keys[kMaxDimensions];
  for (int k = 0; k < m_count; ++k) {
    const char terminator = k + 1 < m_count ? ',' : ')';
    if (m_kinds[k]) {
      if (!ReadIndex(cursor, buffers[k], sizeof buffers[k], terminator)) return;
      keys[k] = TQ_IndexKey{0, buffers[k]};
    } else {
      int key = 0;
      if (!ReadIndex(cursor, key, terminator)) return;
      keys[k] = TQ_IndexKey{key, nullptr};
    }
  }
  FindKeys(keys);
}

// ---- TQ_BASE_KEYS ---------------------------------------------------------------

template <class... Kinds>
TQ_BASE_KEYS<Kinds...>::TQ_BASE_KEYS(TQ_SetValue* values) : TQ_KeyedArrayBase(kDimensions, kKinds, values) {}

template <class... Kinds>
TQ_BASE_KEYS<Kinds...>::TQ_BASE_KEYS(const TQ_BASE_KEYS& other, TQ_SetValue* values)
    : TQ_KeyedArrayBase(other, values) {}

template <class... Kinds>
TQ_BASE_KEYS<Kinds...>& TQ_BASE_KEYS<Kinds...>::operator=(const TQ_BASE_KEYS& other) {
  TQ_KeyedArrayBase::operator=(other);
  return *this;
}

template <class... Kinds>
TQ_BASE_KEYS<Kinds...>::~TQ_BASE_KEYS() = default;

template <class... Kinds>
void TQ_BASE_KEYS<Kinds...>::SetDim(TQ_SetOfKind<Kinds>&... sets) {
  TQ_Set* const declared[] = {&sets...};
  SetDimensions(declared);
}

namespace {
TQ_IndexKey KeyOf(int key) { return TQ_IndexKey{key, nullptr}; }
TQ_IndexKey KeyOf(const char* key) { return TQ_IndexKey{0, key}; }
}  // namespace

template <class... Kinds>
void TQ_BASE_KEYS<Kinds...>::BuildIndexString(typename Kinds::Key... keys) {
  const TQ_IndexKey all[] = {KeyOf(keys)...};
  IndexStringOf(all);
}

template <class... Kinds>
TQ_Type* TQ_BASE_KEYS<Kinds...>::Find(typename Kinds::Key... keys) {
  const TQ_IndexKey all[] = {KeyOf(keys)...};
  return FindKeys(all);
}

// The base keeps the address of the index-value sets, which are built after it; it reads them
// only once they are (TypeIndexValues, and every later call). Clang warns of the address taken
// before construction.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wuninitialized"
#endif
#define MORVANE_DEFINE_ARRAY_BASE(NAME, ...)                                                                         \
  template class TQ_BASE_KEYS<__VA_ARGS__>;                                                                          \
  NAME::NAME() : TQ_BASE_KEYS(IndexValues.data()), IndexValues() { TypeIndexValues(); }                              \
  NAME::NAME(const NAME& other) : TQ_BASE_KEYS(other, IndexValues.data()), IndexValues(other.IndexValues) {}         \
  NAME& NAME::operator=(const NAME& other) {                                                                         \
    if (this != &other) {                                                                                            \
      TQ_BASE_KEYS::operator=(other);                                                                                \
      for (std::size_t k = 0; k < IndexValues.size(); ++k) IndexValues[k] = other.IndexValues[k];                    \
    }                                                                                                                \
    return *this;                                                                                                    \
  }                                                                                                                  \
  NAME::~NAME() = default;                                                                                           \
  void NAME::SetDim(MORVANE_ARRAY_SETS(__VA_ARGS__)) { TQ_BASE_KEYS::SetDim(MORVANE_ARRAY_SET_NAMES(__VA_ARGS__)); } \
  void NAME::BuildIndexString(MORVANE_ARRAY_KEYS(__VA_ARGS__)) {                                                     \
    TQ_BASE_KEYS::BuildIndexString(MORVANE_ARRAY_KEY_NAMES(__VA_ARGS__));                                            \
  }                                                                                                                  \
  TQ_Type* NAME::Find(MORVANE_ARRAY_KEYS(__VA_ARGS__)) {                                                             \
    return TQ_BASE_KEYS::Find(MORVANE_ARRAY_KEY_NAMES(__VA_ARGS__));                                                 \
  }                                                                                                                  \
  void NAME::CreateMissingArrayElement(const char* text) { TQ_KeyedArrayBase::CreateMissingArrayElement(text); }     \
  int NAME::NewElements() { return TQ_KeyedArrayBase::NewElements(); }
MORVANE_ARRAY_BASE_SHAPES(MORVANE_DEFINE_ARRAY_BASE)
#undef MORVANE_DEFINE_ARRAY_BASE
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
