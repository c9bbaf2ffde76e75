#include "framework/tq_array_bases.h"

#include <climits>
#include <cstdio>

namespace {
const char* TextOf(const TQ_IndexKey& key) { return key.text != nullptr ? key.text : ""; }
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
  // nothing is changed before the checks below. The products are held just
  // past INT_MAX once they pass it, so that they cannot overflow.
  int size[kMaxDimensions];
  bool present[kMaxDimensions];
  int position[kMaxDimensions];
  std::int64_t combinations = 1;
  std::int64_t grown = 1;
  for (int d = 0; d < dimensions; ++d) {
    size[d] = values[d].SetSize();
    present[d] = (kinds[d] ? values[d].SetContains(TextOf(keys[d]), position[d])
                           : values[d].SetContains(keys[d].integer, position[d])) != 0;
    if (combinations <= INT_MAX) combinations *= size[d];
    if (grown <= INT_MAX) grown *= size[d] + (present[d] ? 0 : 1);
  }
  // The vector holds one slot per combination of the index values, or none
  // (as VectorMatchesIndexValues tells), and the array, once enlarged, still
  // fits a 32-bit slot count.
  const unsigned int count = ElementVector.Elements();
  if (count != 0 && (combinations > INT_MAX || combinations != count)) {
    Refuse("the element vector does not hold one slot per key combination; lookup refused");
    return nullptr;
  }
  if (grown > INT_MAX) {
    Refuse("the key would make the array larger than 2^31-1 slots; lookup refused");
    return nullptr;
  }

  // The slot, row-major; a key not present goes into its dimension, with
  // null slots for every new combination.
  int offset = 0;
  int stride = 1;
  for (int d = dimensions - 1; d >= 0; --d) {
    const int p = position[d];
    if (!present[d]) {
      const int before = size[d];
      if (kinds[d])
        values[d].SetAddAtOffset(TextOf(keys[d]), p);
      else
        values[d].SetAddAtOffset(keys[d].integer, p);
      size[d] = values[d].SetSize();
      const bool added = size[d] == before + 1;
      if (!added || (count != 0 && !ElementVector.AddNullEntries(p, before, stride))) {
        // The slot as far as the dimensions after this one place it.
        if (d < dimensions - 1) ElementOffset = offset;
        Refuse(added ? "the element vector could not be enlarged; lookup refused"
                     : "an index value could not be added to its dimension; lookup refused");
        return nullptr;
      }
    }
    offset += p * stride;
    if (d > 0) stride *= size[d];
  }
  if (count == 0) ElementVector.AddNullEntries(0, 0, size[0] * stride);
  ElementOffset = offset;

  TQ_Type* element = ElementVector[static_cast<unsigned int>(offset)];
  if (element == nullptr) {
    IndexStringOf(keys);
    element = AddElement();
  }
  return element;
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
      for (int d = 0; d < m_count; ++d)
        keys[d] =
            m_kinds[d] ? TQ_IndexKey{0, m_values[d].String(j[d])} : TQ_IndexKey{m_values[d].Integer(j[d]), nullptr};
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
