// Array storage of the host: the element vector, the array base with its
// index machinery, the one-dimensional bases and the multiport base.
#pragma once

#include <climits>

#include <cstddef>
#include <cstdint>

#include "tq_props.h"

// A vector of element pointers that owns the elements it holds. A null slot
// is an element not yet created.
class VEKEXP_API TQ_LongPtrVectorOwnsData {
 public:
  TQ_LongPtrVectorOwnsData();
  // Copies the slots as nulls: elements belong to one vector only.
  TQ_LongPtrVectorOwnsData(const TQ_LongPtrVectorOwnsData& other);
  TQ_LongPtrVectorOwnsData& operator=(const TQ_LongPtrVectorOwnsData& other);
  ~TQ_LongPtrVectorOwnsData();

  unsigned int Elements() const { return m_count; }
  TQ_Type*& operator[](unsigned int slot) const { return m_slots[slot]; }
  // With count 0 the vector must be empty and receives `stride` null slots.
  // Otherwise the vector, read as consecutive blocks of count * stride slots,
  // receives `stride` null slots before slot position * stride of every block.
  // Returns false (and changes nothing) when the arguments do not describe
  // the vector.
  bool AddNullEntries(int position, int count, int stride);
  // The enlargement of one dimension by `added` values at once: the vector,
  // read as consecutive blocks of count * stride slots, becomes blocks of
  // (count + added) * stride slots, in which the dimension's new positions
  // `positions` (ascending, each below count + added) hold stride null slots
  // each and the count old positions follow one another in order around them.
  // Every slot moves once, however many values come. AddNullEntries with a
  // count above 0 is the case of one position. Returns false (and changes
  // nothing) when the arguments do not describe the vector.
  bool AddNullEntriesAt(const int* positions, int added, int count, int stride);
  // Makes room for `capacity` slots in all, so that enlarging the vector up
  // to them needs no more memory; throws std::bad_alloc, changing nothing,
  // when the memory is not there.
  void Reserve(unsigned int capacity);
  // Destroys every element and empties the vector.
  void DestroyAll();

 private:
  // AddNullEntries past its most usual case, one slot at the end.
  bool InsertNullEntries(int position, int count, int stride);
  TQ_Type** m_slots;
  unsigned int m_count;
  unsigned int m_capacity;
};

// Base of every array: elements keyed by one index value per dimension,
// stored row-major (dimension 0 slowest) in one vector.
class VEKEXP_API TQ_Matrix : public TQ_Type {
 public:
  // `indexValues` is the address of the derived class's n index-value sets;
  // it is kept, not used during construction.
  TQ_Matrix(int dimensions, TQ_SetValue* indexValues);
  TQ_Matrix(const TQ_Matrix& other);
  TQ_Matrix& operator=(const TQ_Matrix& other);
  ~TQ_Matrix() override;

  static const char* TQ_ContainerId();

  // Makes one new element; the derived typed array knows its type.
  virtual TQ_Type* NewElement() = 0;
  // Creates every missing element of the present index values.
  virtual int NewElements();
  // Creates the element whose keys the text gives ("4,5)").
  virtual void CreateMissingArrayElement(const char* text);

  // The most slots the element vector holds: the array bases refuse keys
  // that would take an array past it.
  static constexpr std::int64_t kMaxElements = INT_MAX;

  int Dimensions() const { return m_dimensions; }
  const TQ_SetValue& IndexValuesOf(int dimension) const { return m_indexValues[dimension]; }
  TQ_Set* DeclaredSet(int dimension) const { return DeclaredSets[dimension]; }
  // The number of elements the declared index sets call for: the product of
  // their present sizes, formed in 64 bits and held at INT64_MAX should it go
  // further (it never wraps). -1 while a dimension has no declared set.
  std::int64_t DeclaredElementCount() const;
  // Drops every dimension declared by `set` and the registration with it
  // (the set is being destroyed).
  void ForgetDeclaredSet(TQ_Set* set);

  // The existing element whose keys the text gives ("3", "2,5", "\"a\""),
  // without creating anything; null when there is none.
  TQ_Type* ElementByText(const char* keys) const;
  // Number of created elements.
  int ElementCount() const;

  int PortCount(bool all) const override;
  TQ_Type* GetPort(int& index, bool all) override;
  void SetDirection(TQ_Direction direction) override;
  TQ_Direction Direction() const override;
  bool IsAnArray() const override;

  // Reading one index from a key text: the index runs up to `terminator`,
  // the cursor moves past it. Integers may carry a sign; strings may be
  // quoted ("a b") or bare. False when the text holds no such index, or when
  // a string does not fit `capacity` bytes with its terminating NUL.
  static bool ReadIndex(const char*& cursor, int& value, char terminator);
  static bool ReadIndex(const char*& cursor, char* buffer, std::size_t capacity, char terminator);

  // Host fields the array bases work with.
  int ElementOffset;
  TQ_Set** DeclaredSets;
  TQ_LongPtrVectorOwnsData ElementVector;

 protected:
  void CancelDependenceOnDeclaredSets();
  void AddIndexToString(int index, int position);
  void AddIndexToString(const char* index, int position);
  // Creates the element for slot ElementOffset through NewElement, names it
  // from the indices given to AddIndexToString and stores it; null when the
  // element could not be made (the slot stays empty).
  TQ_Type* AddElement();
  // One-dimensional arrays: makes the vector hold one slot per index value
  // and points ElementOffset at `position`; false (with an error) when the
  // vector cannot be brought to match.
  bool PrepareSlot(int position);

 private:
  // The pending name holds four integer keys with their commas and its NUL in
  // the array itself.
  static constexpr std::size_t kPendingInline = 48;
  // Makes DeclaredSets (all null) and the overflow of the pending name.
  void MakeTables();
  static std::int64_t TablesBytes(int dimensions);
  // Appends to the pending name.
  void AppendToPendingName(const char* text, std::size_t length);
  // AddIndexToString for an integer that may not fit the buffer.
  void AppendLongIndex(int index, int position);
  // The pending name, NUL-terminated.
  const char* PendingName() const {
    return m_pendingLength < kPendingInline ? m_pendingInline : m_pendingOverflow->c_str();
  }
  int m_dimensions;
  TQ_SetValue* m_indexValues;
  // The name of the element about to be made, built key by key by
  // AddIndexToString: in m_pendingInline while it fits there with its NUL,
  // else (long string keys) all of it in m_pendingOverflow.
  std::size_t m_pendingLength;
  std::string* m_pendingOverflow;
  char m_pendingInline[kPendingInline];
};

// The slot of each integer key of an array whose keys are not one dense run
// but lie within a span of bounded width: one entry per integer of the span,
// the slot of the key there or kNone for an integer that is not a key. Kept
// up to date key by key as keys are inserted, so that finding a key's slot
// takes no search. Empty (no memory) when the span is too wide for it to pay.
class VEKEXP_API TQ_KeySlotTable {
 public:
  static constexpr unsigned int kNone = UINT_MAX;
  // A table is made while the span of the keys is at most kBuildSpanPerKey
  // times their count and kept (updated as keys come) while it is at most
  // kKeepSpanPerKey times their count. The gap between the two means that a
  // table dropped for a wide span is made again only after the keys have at
  // least doubled, so that making tables costs a constant per key however
  // the keys come.
  static constexpr unsigned int kBuildSpanPerKey = 4;
  static constexpr unsigned int kKeepSpanPerKey = 8;
  // An insertion walks the entries after the new key while they are at most
  // this many per key after it (a walk step is far cheaper than finding a
  // key in the set).
  static constexpr unsigned int kWalkEntriesPerKey = 32;

  TQ_KeySlotTable() = default;
  // A table belongs to one array: copies start empty.
  TQ_KeySlotTable(const TQ_KeySlotTable&) = delete;
  TQ_KeySlotTable& operator=(const TQ_KeySlotTable&) = delete;
  ~TQ_KeySlotTable();

  // The slot of the key; kNone when the key is not one or the table is empty.
  unsigned int SlotOf(int key) const {
    const unsigned int offset = static_cast<unsigned int>(key) - static_cast<unsigned int>(m_first);
    return offset < m_span ? m_slots[offset] : kNone;
  }
  bool Empty() const { return m_slots == nullptr; }
  // The number of keys the table holds.
  unsigned int Keys() const { return m_keys; }
  // Makes the table for the integer set `keys` (ascending, positions being
  // the slots) when their span allows it; otherwise the table stays empty.
  void Build(const SUValue& keys);
  // The key, absent before, was inserted into the set `keys` at position
  // `slot`: the table takes the key and moves the slots after it on by one.
  // The table empties when it does not match the set (it did not hold the
  // other keys) or the span grew too wide for it.
  void KeyInserted(const SUValue& keys, int key, unsigned int slot);
  // Frees the table.
  void Clear();

 private:
  // True when a span of `span` integers over `keys` keys may have a table.
  static bool SpanFits(unsigned long long span, unsigned long long keys, unsigned int perKey);
  // Makes room for at least `span` entries (keeping the present ones); false
  // when the memory could not be had.
  bool Reserve(unsigned long long span);

  unsigned int* m_slots = nullptr;
  int m_first = 0;              // the integer of entry 0
  unsigned int m_span = 0;      // entries in use: m_first .. m_first + m_span - 1
  unsigned int m_capacity = 0;  // entries allocated
  unsigned int m_keys = 0;
};

// One integer dimension.
class VEKEXP_API TQ_BASE_I : public TQ_Matrix {
 public:
  TQ_BASE_I();
  TQ_BASE_I(const TQ_BASE_I& other);
  TQ_BASE_I& operator=(const TQ_BASE_I& other);
  ~TQ_BASE_I() override;
  void SetDim(TQ_Set& set);
  // Finds or creates the element of the key. An element that exists under a
  // dense run of keys is found here, inline: the models read their array
  // elements this way once per equation term. Otherwise FindOrCreate looks
  // in the key slot table before it searches.
  TQ_Type* Find(int key) {
    if (TQ_Type* existing = ExistingAt(DenseSlot(key))) return existing;
    return FindOrCreate(key);
  }
  // The slot of the key, found without a search: by its offset when the keys
  // present are a dense run holding it (see NoteKeys), else through the key
  // slot table when the array has one. Otherwise (the key is absent, or
  // neither way applies) a number at or past the number of slots.
  unsigned int SlotOf(int key) const {
    const unsigned int offset = DenseSlot(key);
    return offset != UINT_MAX ? offset : m_keySlots.SlotOf(key);
  }
  int NewElements() override;
  void CreateMissingArrayElement(const char* text) override;

 private:
  // The slot of the key when the keys present are a dense run holding it;
  // otherwise UINT_MAX.
  unsigned int DenseSlot(int key) const {
    const unsigned int offset = static_cast<unsigned int>(key) - static_cast<unsigned int>(m_denseFirst);
    return offset < m_denseCount ? offset : UINT_MAX;
  }
  // The element in the slot, which it makes the current one; null when the
  // slot lies past the vector or holds no element yet.
  TQ_Type* ExistingAt(unsigned int slot) {
    if (slot < ElementVector.Elements()) {
      if (TQ_Type* existing = ElementVector[slot]) {
        ElementOffset = static_cast<int>(slot);
        return existing;
      }
    }
    return nullptr;
  }
  // Find beyond a dense run: the element of a key in the key slot table, or
  // else the search.
  TQ_Type* FindOrCreate(int key);
  // The search by the index values, creating the element when it is missing.
  TQ_Type* SearchOrCreate(int key);
  // After the keys or the element vector changed: records whether the keys
  // present are the integers m_denseFirst .. m_denseFirst + m_denseCount - 1
  // (as a range-sized array's are; then the slot of key k is
  // k - m_denseFirst), and otherwise makes the key slot table when there is
  // none and the keys' span allows one. `added` points at the key the search
  // just added, if it added one.
  void NoteKeys(const int* added);
  // The index values were replaced: nothing known about them holds.
  void ForgetKeys();
  TQ_SetValue m_values[1];
  int m_denseFirst = 0;
  unsigned int m_denseCount = 0;
  TQ_KeySlotTable m_keySlots;
};

// One string dimension.
class VEKEXP_API TQ_BASE_S : public TQ_Matrix {
 public:
  TQ_BASE_S();
  TQ_BASE_S(const TQ_BASE_S& other);
  TQ_BASE_S& operator=(const TQ_BASE_S& other);
  ~TQ_BASE_S() override;
  void SetDim(TQ_Set& set);
  TQ_Type* Find(const char* key);
  int NewElements() override;
  void CreateMissingArrayElement(const char* text) override;

 private:
  TQ_SetValue m_values[1];
};

// The host's half of a multiport: the set of connection names and the port
// behaviour; the typed half holds the connection ports.
class VEKEXP_API TQ_MULTIPORT_BaseType : public TQ_PortType {
 public:
  TQ_MULTIPORT_BaseType();
  TQ_MULTIPORT_BaseType(const TQ_MULTIPORT_BaseType& other);
  TQ_MULTIPORT_BaseType& operator=(const TQ_MULTIPORT_BaseType& other);
  ~TQ_MULTIPORT_BaseType() override;
  static const char* TQ_ContainerId();

  virtual TQ_PortType* CreateConnectionPort(const char* name, unsigned int n);
  virtual TQ_PortType* FindConnectionPort(const char* name);

  // The names of the connections made so far.
  TQ_STRINGSET ConnectionNames;
};
