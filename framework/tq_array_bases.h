// The index-keyed array bases TQ_BASE_II to TQ_BASE_SSSS: the storage layer
// of the library's arrays of two, three and four dimensions.
//
// Each base keeps the index values present in every dimension (one set per
// dimension, in dimension order) and the elements in the host's flat element
// vector, row-major: dimension 0 slowest, the last dimension fastest. A key
// gives one index per dimension: an `int` for an I dimension, a `const char*`
// for an S dimension. Looking a key up never fails: missing index values are
// inserted where their set places them (with null slots for every new
// combination) and a missing element is made through the derived typed
// array's NewElement.
//
// Taking a value into a dimension moves every slot after it in each block of
// the dimensions before it: one value at a time, an array whose lookups meet
// a long dimension's values one by one across the others (a long second axis
// walked across its rows) would move all its slots for each of them. So
// where one new value would move slots the array holds, the dimension takes
// in, with the key, values of its declared set that it lacks, those nearest
// the key, as many as it holds already: it at least doubles, and its slots
// move a bounded number of times in all. The extra values get null slots,
// as any combination not yet made; lookups, slots (row-major over the index
// values present) and element names stay as they are.
//
// The work is written once, for any number and kind of dimensions
// (TQ_KeyedArrayBase); TQ_BASE_KEYS gives it the typed members of one key
// shape, and the 28 named classes at the end are those shapes: each holds its
// index values and gives every member under its own name.
#pragma once

#include <array>
#include <cstdint>

#include "framework/morvane_api.h"
#include "host/vekexp.h"

// The kinds of dimension.
struct MORVANE_API TQ_IntegerKey {
  using Key = int;
  static constexpr bool kString = false;
};
struct MORVANE_API TQ_StringKey {
  using Key = const char*;
  static constexpr bool kString = true;
};

// One index of a key, of either kind.
struct MORVANE_API TQ_IndexKey {
  int integer;
  const char* text;
};

class MORVANE_API TQ_KeyedArrayBase : public TQ_Matrix {
 public:
  static constexpr int kMaxDimensions = 4;
  // Capacity of the buffer a string key is read into from a key text,
  // terminating NUL included.
  static constexpr int kKeyBuffer = 128;

  // Number of slots the index values present call for (the product of the
  // sizes of the dimensions), or -1 when it does not fit a 32-bit count.
  std::int64_t CombinationCount() const;
  // Whether the element vector holds one slot per combination, or none.
  bool VectorMatchesIndexValues() const;

  // Reads the keys from a key text ("4,5)" or "\"a\",3)"), in dimension
  // order, and finds or creates their element. A text that does not hold one
  // well-formed key per dimension, or a string key that does not fit the key
  // buffer, creates nothing.
  void CreateMissingArrayElement(const char* text) override;
  // Creates the element of every combination of the present index values
  // whose slot is empty, from the last slot down to slot 0; returns how many
  // it created.
  int NewElements() override;

 protected:
  // `kinds` has one entry per dimension: true for a string dimension. The
  // index-value sets at `values` are typed here (they must be built already).
  TQ_KeyedArrayBase(int dimensions, const bool* kinds, TQ_SetValue* values);
  // A copy of `other`, whose index-value sets stand at `values`.
  TQ_KeyedArrayBase(const TQ_KeyedArrayBase& other, TQ_SetValue* values);
  TQ_KeyedArrayBase& operator=(const TQ_KeyedArrayBase& other);
  ~TQ_KeyedArrayBase() override;

  void TypeIndexValues();
  void SetDimensions(TQ_Set* const* sets);
  void IndexStringOf(const TQ_IndexKey* keys);
  TQ_Type* FindKeys(const TQ_IndexKey* keys);
  // The host's report of a refused operation.
  void Refuse(const char* what) const;

 private:
  // FindKeys past its usual case: takes the keys' missing values into their
  // dimensions (each with the declared values it widens by) and gives the
  // vector its slots. `size`, `present` and `position` are the dimensions'
  // as FindKeys found them; `size` and `position` are brought up to date.
  // False, with the refusal reported, when it cannot.
  bool TakeInKeys(const TQ_IndexKey* keys, int* size, const bool* present, int* position, unsigned int count);

  int m_count;
  const bool* m_kinds;
  TQ_SetValue* m_values;
};

template <class Kind>
using TQ_SetOfKind = TQ_Set;

// The shared implementation of one key shape: `Kinds` are TQ_IntegerKey or
// TQ_StringKey, dimension 0 first. The named class over it holds the index
// values and gives each member under its own name.
template <class... Kinds>
class MORVANE_API TQ_BASE_KEYS : public TQ_KeyedArrayBase {
  static_assert(sizeof...(Kinds) >= 1 && sizeof...(Kinds) <= kMaxDimensions);

 public:
  static constexpr int kDimensions = static_cast<int>(sizeof...(Kinds));

  // Records the index set of each dimension and registers the array as
  // depending on them; a second call replaces the first.
  void SetDim(TQ_SetOfKind<Kinds>&... sets);
  // Gives the keys to the host, position by position, to name the element
  // about to be created.
  void BuildIndexString(typename Kinds::Key... keys);
  // The element of the keys, found or created; null only when the element
  // could not be made.
  TQ_Type* Find(typename Kinds::Key... keys);

 protected:
  // `values`: the named class's index-value sets, one per dimension, which
  // are built after this base (the named class types them once they are).
  explicit TQ_BASE_KEYS(TQ_SetValue* values);
  TQ_BASE_KEYS(const TQ_BASE_KEYS& other, TQ_SetValue* values);
  TQ_BASE_KEYS& operator=(const TQ_BASE_KEYS& other);
  ~TQ_BASE_KEYS() override;

 private:
  static constexpr bool kKinds[sizeof...(Kinds)] = {Kinds::kString...};
};

// The 28 array bases, one per key shape: X(name, kinds...).
#define MORVANE_ARRAY_BASE_SHAPES(X)                                          \
  X(TQ_BASE_II, TQ_IntegerKey, TQ_IntegerKey)                                 \
  X(TQ_BASE_IS, TQ_IntegerKey, TQ_StringKey)                                  \
  X(TQ_BASE_SI, TQ_StringKey, TQ_IntegerKey)                                  \
  X(TQ_BASE_SS, TQ_StringKey, TQ_StringKey)                                   \
  X(TQ_BASE_III, TQ_IntegerKey, TQ_IntegerKey, TQ_IntegerKey)                 \
  X(TQ_BASE_IIS, TQ_IntegerKey, TQ_IntegerKey, TQ_StringKey)                  \
  X(TQ_BASE_ISI, TQ_IntegerKey, TQ_StringKey, TQ_IntegerKey)                  \
  X(TQ_BASE_ISS, TQ_IntegerKey, TQ_StringKey, TQ_StringKey)                   \
  X(TQ_BASE_SII, TQ_StringKey, TQ_IntegerKey, TQ_IntegerKey)                  \
  X(TQ_BASE_SIS, TQ_StringKey, TQ_IntegerKey, TQ_StringKey)                   \
  X(TQ_BASE_SSI, TQ_StringKey, TQ_StringKey, TQ_IntegerKey)                   \
  X(TQ_BASE_SSS, TQ_StringKey, TQ_StringKey, TQ_StringKey)                    \
  X(TQ_BASE_IIII, TQ_IntegerKey, TQ_IntegerKey, TQ_IntegerKey, TQ_IntegerKey) \
  X(TQ_BASE_IIIS, TQ_IntegerKey, TQ_IntegerKey, TQ_IntegerKey, TQ_StringKey)  \
  X(TQ_BASE_IISI, TQ_IntegerKey, TQ_IntegerKey, TQ_StringKey, TQ_IntegerKey)  \
  X(TQ_BASE_IISS, TQ_IntegerKey, TQ_IntegerKey, TQ_StringKey, TQ_StringKey)   \
  X(TQ_BASE_ISII, TQ_IntegerKey, TQ_StringKey, TQ_IntegerKey, TQ_IntegerKey)  \
  X(TQ_BASE_ISIS, TQ_IntegerKey, TQ_StringKey, TQ_IntegerKey, TQ_StringKey)   \
  X(TQ_BASE_ISSI, TQ_IntegerKey, TQ_StringKey, TQ_StringKey, TQ_IntegerKey)   \
  X(TQ_BASE_ISSS, TQ_IntegerKey, TQ_StringKey, TQ_StringKey, TQ_StringKey)    \
  X(TQ_BASE_SIII, TQ_StringKey, TQ_IntegerKey, TQ_IntegerKey, TQ_IntegerKey)  \
  X(TQ_BASE_SIIS, TQ_StringKey, TQ_IntegerKey, TQ_IntegerKey, TQ_StringKey)   \
  X(TQ_BASE_SISI, TQ_StringKey, TQ_IntegerKey, TQ_StringKey, TQ_IntegerKey)   \
  X(TQ_BASE_SISS, TQ_StringKey, TQ_IntegerKey, TQ_StringKey, TQ_StringKey)    \
  X(TQ_BASE_SSII, TQ_StringKey, TQ_StringKey, TQ_IntegerKey, TQ_IntegerKey)   \
  X(TQ_BASE_SSIS, TQ_StringKey, TQ_StringKey, TQ_IntegerKey, TQ_StringKey)    \
  X(TQ_BASE_SSSI, TQ_StringKey, TQ_StringKey, TQ_StringKey, TQ_IntegerKey)    \
  X(TQ_BASE_SSSS, TQ_StringKey, TQ_StringKey, TQ_StringKey, TQ_StringKey)

// The parameter lists of the named classes, from their kinds: a key is an
// `int` for an I dimension and a `const char*` for an S dimension; every
// dimension's set is a TQ_Set.
#define MORVANE_KEY_TQ_IntegerKey int
#define MORVANE_KEY_TQ_StringKey const char*
#define MORVANE_KEYS_2(A, B) MORVANE_KEY_##A k0, MORVANE_KEY_##B k1
#define MORVANE_KEYS_3(A, B, C) MORVANE_KEYS_2(A, B), MORVANE_KEY_##C k2
#define MORVANE_KEYS_4(A, B, C, D) MORVANE_KEYS_3(A, B, C), MORVANE_KEY_##D k3
#define MORVANE_KEY_NAMES_2 k0, k1
#define MORVANE_KEY_NAMES_3 k0, k1, k2
#define MORVANE_KEY_NAMES_4 k0, k1, k2, k3
#define MORVANE_SETS_2 TQ_Set &s0, TQ_Set &s1
#define MORVANE_SETS_3 TQ_Set &s0, TQ_Set &s1, TQ_Set &s2
#define MORVANE_SETS_4 TQ_Set &s0, TQ_Set &s1, TQ_Set &s2, TQ_Set &s3
#define MORVANE_SET_NAMES_2 s0, s1
#define MORVANE_SET_NAMES_3 s0, s1, s2
#define MORVANE_SET_NAMES_4 s0, s1, s2, s3
#define MORVANE_KIND_COUNT_(A, B, C, D, N, ...) N
#define MORVANE_KIND_COUNT(...) MORVANE_KIND_COUNT_(__VA_ARGS__, 4, 3, 2, 1, 0)
#define MORVANE_CONCAT_(A, B) A##B
#define MORVANE_CONCAT(A, B) MORVANE_CONCAT_(A, B)
#define MORVANE_ARRAY_KEYS(...) MORVANE_CONCAT(MORVANE_KEYS_, MORVANE_KIND_COUNT(__VA_ARGS__))(__VA_ARGS__)
#define MORVANE_ARRAY_KEY_NAMES(...) MORVANE_CONCAT(MORVANE_KEY_NAMES_, MORVANE_KIND_COUNT(__VA_ARGS__))
#define MORVANE_ARRAY_SETS(...) MORVANE_CONCAT(MORVANE_SETS_, MORVANE_KIND_COUNT(__VA_ARGS__))
#define MORVANE_ARRAY_SET_NAMES(...) MORVANE_CONCAT(MORVANE_SET_NAMES_, MORVANE_KIND_COUNT(__VA_ARGS__))

// A named array base: its index values, and every member under its own name
// (each forwards to the shared implementation).
#define MORVANE_DECLARE_ARRAY_BASE(NAME, ...)                             \
  class MORVANE_API NAME : public TQ_BASE_KEYS<__VA_ARGS__> {             \
   public:                                                                \
    NAME();                                                               \
    NAME(const NAME& other);                                              \
    NAME& operator=(const NAME& other);                                   \
    ~NAME() override;                                                     \
    void SetDim(MORVANE_ARRAY_SETS(__VA_ARGS__));                         \
    void BuildIndexString(MORVANE_ARRAY_KEYS(__VA_ARGS__));               \
    TQ_Type* Find(MORVANE_ARRAY_KEYS(__VA_ARGS__));                       \
    void CreateMissingArrayElement(const char* text) override;            \
    int NewElements() override;                                           \
    /* The index values present in each dimension, in dimension order. */ \
    std::array<TQ_SetValue, MORVANE_KIND_COUNT(__VA_ARGS__)> IndexValues; \
  };
MORVANE_ARRAY_BASE_SHAPES(MORVANE_DECLARE_ARRAY_BASE)
#undef MORVANE_DECLARE_ARRAY_BASE
