// The digits are std::to_chars': its shortest round-trip form, and "%.*g" without the locale.
// Nothing is read back, as the C runtimes read some texts a double off.
//
// Where the shortest form has no more than `leastDigits` digits (15 at the most), "%.*g" with
// `leastDigits` writes the decimal nearest the double, which reads back: for a normal double the
// shortest form lies within 2^-53 of it, relatively, less than half a unit of its 15th digit, so
// the nearest decimal of that many digits is the shortest form itself; a subnormal's neighbours
// lie evenly, so the nearest decimal reads back wherever one of as many digits does. Where the
// shortest form has more digits, no decimal of `leastDigits` digits reads back.
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
  // The shortest form in scientific notation ("-1.25e-07"): its digits and exponent.
  char shortest[32];
  char* end = std::to_chars(shortest, shortest + sizeof shortest - 1, value, std::chars_format::scientific).ptr;
  *end = '\0';
  const char* c = shortest;
  const bool negative = *c == '-';
  if (negative) ++c;
  char digits[20];
  int count = 0;
  for (; *c != '\0' && *c != 'e'; ++c)
    if (*c != '.') digits[count++] = *c;
  const int exponent = *c == 'e' ? std::atoi(c + 1) : 0;

  const int least = leastDigits < 1 ? 1 : leastDigits > 15 ? 15 : leastDigits;
  if (count <= least) {
    *std::to_chars(text, text + sizeof text - 1, value, std::chars_format::general, least).ptr = '\0';
    return;
  }
  // The shortest form laid out as "%.*g" lays out its digits.
  char* out = text;
  if (negative) *out++ = '-';
  if (exponent < -4 || exponent >= count) {
    *out++ = digits[0];
    *out++ = '.';
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
    for (int d = 0; d <= exponent; ++d) *out++ = digits[d];
    if (count > exponent + 1) *out++ = '.';
    for (int d = exponent + 1; d < count; ++d) *out++ = digits[d];
  }
  *out = '\0';
}
