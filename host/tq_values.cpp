// The host's values: a number, a text or a set, with the pass, level and number of the
// assignment that gave it.
#include "tq_values.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "tq_held.h"

// ---- TQ_Value ----------------------------------------------------------------

namespace {
// A value's text and set live in blocks of their own, counted with what the host holds.
char* CopyText(const char* text) {
  if (text == nullptr) text = "";
  std::size_t n = std::strlen(text);
  char* copy = TQ_HeldAllocator<char>().allocate(n + 1);
  std::memcpy(copy, text, n + 1);
  return copy;
}
void FreeText(char* text) noexcept { TQ_HeldAllocator<char>().deallocate(text, std::strlen(text) + 1); }
}  // namespace

int TQ_Value::RealToInteger(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return INT_MAX;
  if (value <= -2147483648.0) return INT_MIN;
  return static_cast<int>(value);
}

TQ_Value::TQ_Value() : m_kind(TQ_ValueKind::None), m_pass(0), m_level(0), m_number(0), m_int(0) {}

TQ_Value::TQ_Value(int value, unsigned pass, unsigned level, int number)
    : m_kind(TQ_ValueKind::Integer), m_pass(pass), m_level(level), m_number(number), m_int(value) {}

TQ_Value::TQ_Value(double value, unsigned pass, unsigned level, int number)
    : m_kind(TQ_ValueKind::Real), m_pass(pass), m_level(level), m_number(number), m_real(value) {}

TQ_Value::TQ_Value(const char* value, unsigned pass, unsigned level, int number)
    : m_kind(TQ_ValueKind::Text), m_pass(pass), m_level(level), m_number(number), m_text(CopyText(value)) {}

TQ_Value::TQ_Value(const TQ_SetValue& value, unsigned pass, unsigned level, int number)
    : m_kind(TQ_ValueKind::Set),
      m_pass(pass),
      m_level(level),
      m_number(number),
      m_set(TQ_NewHeld<TQ_SetValue>(value)) {}

TQ_Value::TQ_Value(const SUValue& value, unsigned pass, unsigned level, int number)
    : m_kind(TQ_ValueKind::Set),
      m_pass(pass),
      m_level(level),
      m_number(number),
      m_set(TQ_NewHeld<TQ_SetValue>(value)) {}

TQ_Value::TQ_Value(int value, unsigned level) : TQ_Value(value, 0u, level, 0) {}
TQ_Value::TQ_Value(double value, unsigned level) : TQ_Value(value, 0u, level, 0) {}
TQ_Value::TQ_Value(const char* value, unsigned level) : TQ_Value(value, 0u, level, 0) {}
TQ_Value::TQ_Value(const TQ_SetValue& value, unsigned level) : TQ_Value(value, 0u, level, 0) {}

TQ_Value::TQ_Value(const TQ_Value& other) : m_kind(TQ_ValueKind::None), m_int(0) { CopyFrom(other); }

TQ_Value& TQ_Value::operator=(const TQ_Value& other) {
  if (this != &other) {
    Release();
    CopyFrom(other);
  }
  return *this;
}

TQ_Value::TQ_Value(TQ_Value&& other) noexcept
    : m_kind(other.m_kind), m_pass(other.m_pass), m_level(other.m_level), m_number(other.m_number), m_real(0.0) {
  TakeContents(other);
}

TQ_Value& TQ_Value::operator=(TQ_Value&& other) noexcept {
  if (this != &other) {
    Release();
    m_kind = other.m_kind;
    m_pass = other.m_pass;
    m_level = other.m_level;
    m_number = other.m_number;
    TakeContents(other);
  }
  return *this;
}

// Takes the other's number, text or set (the kind is taken already); the other is left empty.
void TQ_Value::TakeContents(TQ_Value& other) noexcept {
  if (m_kind == TQ_ValueKind::Real)
    m_real = other.m_real;
  else if (m_kind == TQ_ValueKind::Text)
    m_text = other.m_text;
  else if (m_kind == TQ_ValueKind::Set)
    m_set = other.m_set;
  else
    m_int = other.m_int;
  other.m_kind = TQ_ValueKind::None;
  other.m_int = 0;
}

TQ_Value::~TQ_Value() { Release(); }

// The value takes the other's kind only once its text or set is copied: a
// copy that fails for want of memory leaves it empty, not holding a text or
// set it does not own.
void TQ_Value::CopyFrom(const TQ_Value& other) {
  switch (other.m_kind) {
    case TQ_ValueKind::Text:
      m_text = CopyText(other.m_text);
      break;
    case TQ_ValueKind::Set:
      m_set = TQ_NewHeld<TQ_SetValue>(*other.m_set);
      break;
    case TQ_ValueKind::Real:
      m_real = other.m_real;
      break;
    default:
      m_int = other.m_int;
      break;
  }
  m_kind = other.m_kind;
  m_pass = other.m_pass;
  m_level = other.m_level;
  m_number = other.m_number;
}

void TQ_Value::Release() {
  if (m_kind == TQ_ValueKind::Text) FreeText(m_text);
  if (m_kind == TQ_ValueKind::Set) TQ_DeleteHeld(m_set);
  m_kind = TQ_ValueKind::None;
  m_int = 0;
}

const char* TQ_Value::Text() const { return m_kind == TQ_ValueKind::Text ? m_text : ""; }

void TQ_Value::ResetValue(double value) {
  Release();
  m_kind = TQ_ValueKind::Real;
  m_real = value;
}

void TQ_Value::ResetValue(const char* value) {
  char* copy = CopyText(value);
  Release();
  m_kind = TQ_ValueKind::Text;
  m_text = copy;
}

const TQ_SetValue& TQ_Value::Set() const {
  static const TQ_SetValue empty;
  return m_kind == TQ_ValueKind::Set ? *m_set : empty;
}

bool TQ_Value::operator==(const TQ_Value& other) const {
  if (m_kind != other.m_kind) return false;
  switch (m_kind) {
    case TQ_ValueKind::None:
      return true;
    case TQ_ValueKind::Integer:
      return m_int == other.m_int;
    case TQ_ValueKind::Real:
      return m_real == other.m_real;
    case TQ_ValueKind::Text:
      return std::strcmp(m_text, other.m_text) == 0;
    case TQ_ValueKind::Set:
      return *m_set == *other.m_set;
  }
  return false;
}

std::int64_t TQ_Value::Bytes() const {
  if (m_kind == TQ_ValueKind::Text) return TQ_BlockBytes(std::strlen(m_text) + 1);
  if (m_kind == TQ_ValueKind::Set) return TQ_BlockBytes(sizeof(TQ_SetValue)) + m_set->Bytes();
  return 0;
}

std::string TQ_Value::ToString() const {
  switch (m_kind) {
    case TQ_ValueKind::None:
      return "(none)";
    case TQ_ValueKind::Integer:
      return std::to_string(m_int);
    case TQ_ValueKind::Real: {
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, "%.17g", m_real);
      return buffer;
    }
    case TQ_ValueKind::Text:
      return std::string("\"") + m_text + "\"";
    case TQ_ValueKind::Set:
      return m_set->ToString();
  }
  return "";
}
