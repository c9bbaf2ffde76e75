// Values and sets of the host executive.
//
// A set holds either integers or strings. Integer members are kept in
// ascending numeric order, string members in ascending byte order (strcmp);
// string membership is exact. Type codes: 8 a set of either kind (it takes the
// kind of its first member), 10 an integer set, 13 a string set.
#pragma once

#include <cstdint>
#include <string>

#include "vekexp_api.h"

enum TQ_SetTypeCode : unsigned short {
  TQ_SET_ANY = 8,
  TQ_SET_INTEGER = 10,
  TQ_SET_STRING = 13,
};

class VEKEXP_API SUValue {
 public:
  SUValue();
  explicit SUValue(unsigned short type);
  SUValue(const SUValue& other);
  SUValue& operator=(const SUValue& other);
  virtual ~SUValue();

  unsigned short Type() const;
  // Gives the set a new type code and empties it.
  void ResetType(unsigned short type);
  bool HoldsStrings() const;

  int SetSize() const;
  // Non-zero when the value is a member; `position` receives its position,
  // or the position where it belongs when it is absent.
  int SetContains(int value, int& position) const;
  int SetContains(const char* value, int& position) const;
  // Inserts the value at the position (the caller found it with SetContains).
  void SetAddAtOffset(int value, int position);
  void SetAddAtOffset(const char* value, int position);

  int IntegerAt(int position) const;
  const char* StringAt(int position) const;

  // An integer set as its runs of consecutive members, in ascending order:
  // run `run` holds lo..hi. A set of strings has none.
  int RunCount() const;
  void RunAt(int run, int& lo, int& hi) const;

  SUValue& operator+=(int member);            // adds one member
  SUValue& operator+=(const char* member);    // adds one member
  SUValue& operator+=(const SUValue& other);  // union
  SUValue& operator*=(const SUValue& other);  // intersection
  // Membership: exactly 1 for a member, 0 otherwise.
  int operator>=(const char* member) const;
  int operator>=(int member) const;
  bool operator==(const SUValue& other) const;
  bool operator!=(const SUValue& other) const { return !(*this == other); }

  // Empties the set; the type code stays.
  void Clear(int unused = 0);

  // 0 when the two texts are equal with ASCII letters compared without case
  // (locale-free); otherwise the sign of the first difference. Null sorts
  // before every text and equals null.
  static int CompareCI(const char* a, const char* b);

  // "{1,2,3}" or "{"a","b"}", for messages and tools.
  std::string ToString() const;
  // The bytes the set's members take beside the set itself.
  std::int64_t Bytes() const;

 protected:
  // Adds the integers lo..hi (nothing when hi < lo) in one step.
  void AddRange(int lo, int hi);

 private:
  struct Impl;
  // The members, with those added out of order placed.
  const Impl& Settled() const;
  Impl* m_impl;
};

class VEKEXP_API TQ_SetValue : public SUValue {
 public:
  TQ_SetValue();
  explicit TQ_SetValue(unsigned short type);
  TQ_SetValue(const SUValue& other);  // NOLINT: converting on purpose
  TQ_SetValue(const TQ_SetValue& other);
  TQ_SetValue& operator=(const TQ_SetValue& other);
  TQ_SetValue& operator=(const SUValue& other);
  ~TQ_SetValue() override;

  int Integer(int position) const;
  const char* String(int position) const;
};

class VEKEXP_API TQ_IntSetValue : public TQ_SetValue {
 public:
  // The integers lo..hi; empty when hi < lo, except that hi == INT_MIN gives
  // the one-member set {lo}.
  TQ_IntSetValue(int lo, int hi);
  // A null or empty text gives the empty set; otherwise the text lists the
  // members separated by commas, blanks or double quotes ("1,4,5").
  explicit TQ_IntSetValue(const char* members);
  // A copy of the integers of another set (a set of strings gives the empty
  // set: an integer set holds no strings).
  explicit TQ_IntSetValue(const TQ_SetValue& other);
  TQ_IntSetValue(const TQ_IntSetValue& other);
  TQ_IntSetValue& operator=(const TQ_IntSetValue& other);
  ~TQ_IntSetValue() override;
};

class VEKEXP_API TQ_StrSetValue : public TQ_SetValue {
 public:
  // The text holds the members, each followed by a double quote (the last one
  // may omit it): "BFD1\"BFD2\"" gives {BFD1, BFD2}. Null gives the empty set.
  explicit TQ_StrSetValue(const char* members);
  TQ_StrSetValue(const TQ_SetValue& other);  // NOLINT: converting on purpose
  TQ_StrSetValue(const TQ_StrSetValue& other);
  TQ_StrSetValue& operator=(const TQ_StrSetValue& other);
  ~TQ_StrSetValue() override;
};

enum class TQ_ValueKind : std::uint8_t { None, Integer, Real, Text, Set };

// A value handed to the host, with the pass, level and statement number of
// the assignment that made it.
class VEKEXP_API TQ_Value {
 public:
  TQ_Value();
  TQ_Value(int value, unsigned pass, unsigned level, int number);
  TQ_Value(double value, unsigned pass, unsigned level, int number);
  TQ_Value(const char* value, unsigned pass, unsigned level, int number);
  TQ_Value(const TQ_SetValue& value, unsigned pass, unsigned level, int number);
  TQ_Value(const SUValue& value, unsigned pass, unsigned level, int number);
  // Defaults of parameter types: pass 0, level given, number 0.
  TQ_Value(int value, unsigned level);
  TQ_Value(double value, unsigned level);
  TQ_Value(const char* value, unsigned level);
  TQ_Value(const TQ_SetValue& value, unsigned level);
  TQ_Value(const TQ_Value& other);
  TQ_Value& operator=(const TQ_Value& other);
  // A moved value takes the other's text or set; the other is left empty.
  TQ_Value(TQ_Value&& other) noexcept;
  TQ_Value& operator=(TQ_Value&& other) noexcept;
  ~TQ_Value();

  TQ_ValueKind Kind() const { return m_kind; }
  unsigned Pass() const { return m_pass; }
  unsigned Level() const { return m_level; }
  int Number() const { return m_number; }

  // Readers convert between integer and real (real to integer truncates);
  // a value of another kind reads as 0, 0.0, "" or the empty set.
  int Integer() const {
    return m_kind == TQ_ValueKind::Integer ? m_int : m_kind == TQ_ValueKind::Real ? RealToInteger(m_real) : 0;
  }
  double Real() const {
    return m_kind == TQ_ValueKind::Real ? m_real : m_kind == TQ_ValueKind::Integer ? static_cast<double>(m_int) : 0.0;
  }
  const char* Text() const;
  const TQ_SetValue& Set() const;

  // Gives the value a new real or text, keeping its pass, level and number
  // (one value reused for a series of assignments). A null text counts as "".
  void ResetValue(double value);
  void ResetValue(const char* value);

  bool operator==(const TQ_Value& other) const;
  std::string ToString() const;
  // The bytes the value's text or set takes beside the value itself.
  std::int64_t Bytes() const;

 private:
  // Truncates toward zero; NaN gives 0 and values outside the 32-bit range
  // saturate at its ends.
  static int RealToInteger(double value);
  void CopyFrom(const TQ_Value& other);
  void TakeContents(TQ_Value& other) noexcept;
  void Release();

  TQ_ValueKind m_kind;
  unsigned m_pass;
  unsigned m_level;
  int m_number;
  union {
    int m_int;
    double m_real;
    char* m_text;        // owned, allocated by the host
    TQ_SetValue* m_set;  // owned, allocated by the host
  };
};

// Iterators hold their own copy of the set: the set they were built from may
// be destroyed at once. Next() moves to the first member on its first call
// and answers false at the end.
class VEKEXP_API TQ_SetIter {
 public:
  explicit TQ_SetIter(const SUValue& set);
  TQ_SetIter(const TQ_SetIter& other);
  TQ_SetIter& operator=(const TQ_SetIter& other);
  virtual ~TQ_SetIter();

  bool Next();
  void Restart();
  int Position() const { return m_position; }
  int Size() const { return m_size; }
  // The current member, whichever kind the set holds: 0 and "" before the
  // first Next(), after the end and for a member of the other kind.
  int Integer() const { return m_intCurrent; }
  const char* String() const { return m_strCurrent; }

 protected:
  void PointAtCurrentString();

  TQ_SetValue m_set;
  int m_position;
  int m_size;
  int m_intCurrent;
  const char* m_strCurrent;
};

class VEKEXP_API TQ_IntegerSetIter : public TQ_SetIter {
 public:
  explicit TQ_IntegerSetIter(const TQ_IntSetValue& set);
  explicit TQ_IntegerSetIter(const SUValue& set);
  ~TQ_IntegerSetIter() override;
  // The current member; 0 before the first Next() and after the end.
  int v() const { return m_intCurrent; }
  int fv() const { return m_intCurrent; }
};

class VEKEXP_API TQ_StringSetIter : public TQ_SetIter {
 public:
  explicit TQ_StringSetIter(const SUValue& set);
  ~TQ_StringSetIter() override;
  // The current member; "" before the first Next() and after the end.
  const char* v() const { return m_strCurrent; }
  const char* fv() const { return m_strCurrent; }
};
