// The digits are std::to_chars': its shortest round-trip form, where printf's nearest decimal of
// that many digits does not always read back (for some powers of two, whose neighbours lie at
// unequal distances), and "%.*g" without the locale.
#include "framework/tq_real_text.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

RealText::RealText(double value, int leastDigits) {
  if (!std::isfinite(value)) {
    std::snprintf(text, sizeof text, "%g", value);
    return;
  }
  const int least = leastDigits < 1 ? 1 : leastDigits > 17 ? 17 : leastDigits;
  char* end = std::to_chars(text, text + sizeof text - 1, value, std::chars_format::general, least).ptr;
  *end = '\0';
  double back = 0.0;
  std::from_chars(text, end, back);
  if (back == value) return;

  // The shortest form in scientific notation ("-1.25e-07"): its digits and exponent, laid out
  // again.
  char shortest[32];
  end = std::to_chars(shortest, shortest + sizeof shortest - 1, value, std::chars_format::scientific).ptr;
  *end = '\0';
  const char* c = shortest;
  const bool negative = *c == '-';
  if (negative) ++c;
  char digits[20];
  int count = 0;
  for (; *c != '\0' && *c != 'e'; ++c)
    if (*c != '.') digits[count++] = *c;
  const int exponent = *c == 'e' ? std::atoi(c + 1) : 0;
  const int reach = count > least ? count : least;

  char* out = text;
  if (negative) *out++ = '-';
  if (exponent < -4 || exponent >= reach) {
    *out++ = digits[0];
    if (count > 1) *out++ = '.';
    for (int d = 1; d < count; ++d) *out++ = digits[d];
    std::snprintf(out,
                  sizeof text - static_cast<std::size_t>(out - text),
                  "e%c%02d",
                  exponent < 0 ? '-' : '+',
                  exponent < 0 ? -exponent : exponent);
    return;
  }
  if (exponent < 0) {
    *out++ = '0';
    *out++ = '.';
    for (int z = -1; z > exponent; --z) *out++ = '0';
    for (int d = 0; d < count; ++d) *out++ = digits[d];
  } else {
    // The digits before the point, with zeros where the shortest form ends before it.
    for (int d = 0; d <= exponent; ++d) *out++ = d < count ? digits[d] : '0';
    if (count > exponent + 1) *out++ = '.';
    for (int d = exponent + 1; d < count; ++d) *out++ = digits[d];
  }
  *out = '\0';
}
