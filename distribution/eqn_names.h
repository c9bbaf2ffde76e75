// The names the equations are registered under, and the comparison of method names.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace morvane::eqn {

// ---- Equation names "TQ_Eqn1" ... built once, when the library is built ----

inline constexpr int kMaxEquationNumber = 999;

namespace detail {
struct NameTable {
  std::array<char, (kMaxEquationNumber + 1) * 10> chars{};
  std::array<std::uint16_t, kMaxEquationNumber + 1> offset{};
};
consteval NameTable MakeNameTable() {
  NameTable t;
  std::size_t at = 0;
  for (int k = 1; k <= kMaxEquationNumber; ++k) {
    t.offset[static_cast<std::size_t>(k)] = static_cast<std::uint16_t>(at);
    for (char c : std::string_view("TQ_Eqn")) t.chars[at++] = c;
    char digits[4] = {};
    int n = 0;
    for (int v = k; v > 0; v /= 10) digits[n++] = static_cast<char>('0' + v % 10);
    while (n > 0) t.chars[at++] = digits[--n];
    t.chars[at++] = '\0';
  }
  return t;
}
inline constexpr NameTable kNames = MakeNameTable();
}  // namespace detail

// The name under which row k is registered: "TQ_Eqn" and k in decimal.
constexpr const char* RowEquationName(int k) {
  return (k >= 1 && k <= kMaxEquationNumber)
             ? detail::kNames.chars.data() + detail::kNames.offset[static_cast<std::size_t>(k)]
             : "";
}

// Method names are compared ignoring (ASCII) case.
constexpr bool EqualsIgnoreCase(std::string_view a, const char* b) {
  if (b == nullptr) return false;
  std::size_t k = 0;
  for (; k < a.size(); ++k) {
    char x = a[k];
    char y = b[k];
    if (y == '\0') return false;
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return b[k] == '\0';
}

}  // namespace morvane::eqn
