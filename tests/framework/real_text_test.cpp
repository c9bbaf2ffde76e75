// RealText: a double as "%.*g" writes it where that reads back, in the fewest significant digits
// that read back as it otherwise, laid out as "%.*g" lays out that many. Checked against what
// follows from decimals and doubles and against printf, not against the shortest conversion it
// is built on: the text reads back as the same double, no decimal of one digit fewer does, and
// the layout is printf's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "framework/tq_real_text.h"

namespace {

// A decimal text as its significant digits and the power of ten of the last one: "-0.0125" is
// 125 x 10^-4, "1e+06" is 1 x 10^6 (zeros at either end dropped; 0 has no digits).
struct Decimal {
  bool negative = false;
  std::int64_t digits = 0;
  int exponent = 0;
  int count = 0;  // how many significant digits
};

Decimal Parse(const std::string& text) {
  Decimal d;
  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') {
    d.negative = true;
    ++i;
  }
  int afterPoint = 0;
  bool point = false;
  for (; i < text.size() && text[i] != 'e'; ++i) {
    if (text[i] == '.') {
      point = true;
      continue;
    }
    d.digits = d.digits * 10 + (text[i] - '0');
    if (d.digits > 0) ++d.count;
    if (point) ++afterPoint;
  }
  d.exponent = (i < text.size() ? std::atoi(text.c_str() + i + 1) : 0) - afterPoint;
  while (d.digits != 0 && d.digits % 10 == 0) {
    d.digits /= 10;
    ++d.exponent;
    --d.count;
  }
  return d;
}

// Whole numbers of any size, as 32-bit words from the lowest: what decides, without a conversion
// of the platform's (the C runtime of the 32-bit Windows build reads some texts a double off),
// whether a decimal reads back as a double.
using Whole = std::vector<std::uint32_t>;

Whole Of(std::uint64_t n) { return {static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(n >> 32)}; }

void Times(Whole& n, std::uint32_t by) {
  std::uint64_t carry = 0;
  for (std::uint32_t& word : n) {
    carry += std::uint64_t{word} * by;
    word = static_cast<std::uint32_t>(carry);
    carry >>= 32;
  }
  if (carry != 0) n.push_back(static_cast<std::uint32_t>(carry));
}

// n x 2^twos x 5^fives.
Whole Scaled(Whole n, int twos, int fives) {
  for (; fives >= 13; fives -= 13) Times(n, 1220703125u);  // 5^13
  for (; fives > 0; --fives) Times(n, 5);
  n.insert(n.begin(), static_cast<std::size_t>(twos / 32), 0u);
  if (twos % 32 != 0) Times(n, 1u << (twos % 32));
  return n;
}

// a + b, or a - b (not below 0).
Whole Sum(const Whole& a, const Whole& b, bool minus) {
  Whole out(std::max(a.size(), b.size()) + 1, 0);
  std::int64_t carry = 0;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const std::int64_t x = i < a.size() ? a[i] : 0;
    const std::int64_t y = i < b.size() ? b[i] : 0;
    carry += minus ? x - y : x + y;
    out[i] = static_cast<std::uint32_t>(carry & 0xFFFFFFFF);
    carry = (carry - static_cast<std::int64_t>(out[i])) / 4294967296LL;
  }
  return out;
}

int Compare(const Whole& a, const Whole& b) {
  for (std::size_t i = std::max(a.size(), b.size()); i-- > 0;) {
    const std::uint32_t x = i < a.size() ? a[i] : 0;
    const std::uint32_t y = i < b.size() ? b[i] : 0;
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

// Whether the decimal text reads back as `value` (finite): it lies between the midpoints to the
// doubles on either side, or on one of them where `value`'s last bit is 0 (ties go to even). The
// text is one of RealText's or printf's: 17 digits at the most.
bool ReadsBack(const std::string& text, double value) {
  const Decimal d = Parse(text);
  if (d.negative != std::signbit(value)) return false;
  const double x = std::fabs(value);
  if (d.digits == 0 || x == 0.0) return d.digits == 0 && x == 0.0;
  // x = m 2^e, its neighbours at x - 2^below and x + 2^above (past DBL_MAX, as far as below it).
  int e = 0;
  const std::uint64_t m = static_cast<std::uint64_t>(std::ldexp(std::frexp(x, &e), 53));
  e -= 53;
  const int below = std::ilogb(x - std::nextafter(x, 0.0));
  const int above = x == DBL_MAX ? below : std::ilogb(std::nextafter(x, INFINITY) - x);
  // Twice the decimal, d 10^k, against 2x -+ the gap, all as whole numbers times 2^base 5^-k.
  const int k = d.exponent;
  const int base = std::min({k + 1, e + 1, below, above});
  const Whole decimal = Scaled(Of(static_cast<std::uint64_t>(d.digits)), k + 1 - base, std::max(k, 0));
  const Whole twice = Scaled(Of(m), e + 1 - base, std::max(-k, 0));
  const Whole low = Sum(twice, Scaled(Of(1), below - base, std::max(-k, 0)), true);
  const Whole high = Sum(twice, Scaled(Of(1), above - base, std::max(-k, 0)), false);
  const int toLow = Compare(decimal, low);
  const int toHigh = Compare(decimal, high);
  if (toLow > 0 && toHigh < 0) return true;
  const bool even = ((m >> (above - e)) & 1u) == 0;
  return (toLow == 0 || toHigh == 0) && even;
}

std::string Printf(const char* format, int digits, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, digits, value);
  return text;
}

// Everything the text of `value` with `least` digits at the fewest must be: it reads back as the
// same double; it is what "%.*g" writes with `least` digits where that reads back; and otherwise
// no decimal of one digit fewer reads back, and the layout is printf's for as many digits.
void ExpectRoundTripText(double value, int least) {
  const std::string text = RealText(value, least).text;
  SCOPED_TRACE(Printf("%.*g", 17, value) + " with " + std::to_string(least) + " digits at the fewest: " + text);
  ASSERT_TRUE(ReadsBack(text, value));
  const std::string asked = Printf("%.*g", least, value);
  if (ReadsBack(asked, value)) {
    EXPECT_EQ(text, asked);
    return;
  }
  const Decimal d = Parse(text);
  ASSERT_LE(d.count, 17);
  // Any decimal of fewer digits that read back would lie between the double's neighbours'
  // midpoints, as the text does, and so would the nearer of the two of one digit fewer that
  // bracket the text (its digits cut, and one more in the last place cut).
  if (d.count > 1) {
    const std::int64_t cut = d.digits / 10;
    for (const std::int64_t fewer : {cut, cut + 1}) {
      const std::string shorter =
          (d.negative ? "-" : "") + std::to_string(fewer) + "e" + std::to_string(d.exponent + 1);
      EXPECT_FALSE(ReadsBack(shorter, value)) << shorter;
    }
  }
  // printf's nearest decimal of as many digits is the text where it reads back, which is all but
  // some powers of two; an exponent stands where printf's would.
  const int reach = d.count > least ? d.count : least;
  const std::string printed = Printf("%.*g", reach, value);
  if (ReadsBack(printed, value))
    EXPECT_EQ(text, printed);
  else
    EXPECT_EQ(text.find('e') != std::string::npos, printed.find('e') != std::string::npos) << printed;
}

TEST(RealText, ReadsBackInTheFewestDigitsInPrintfsLayout) {
  std::vector<double> values = {
      0.0,
      -0.0,
      1.0,
      -1.0,
      0.1,
      0.1 + 0.2,
      1.0 / 3.0,
      0.05,
      1e-4,
      1e-5,
      1e6,
      -1000000.0,
      1e6 + 6.75e-7,
      1000000.00000067,
      0.21132 + 1.0 - 1.0,
      1e15,
      1e16,
      1e17,
      123456789012345678.0,
      9007199254740993.0,
      1e23,
      DBL_MAX,
      -DBL_MAX,
      DBL_MIN,
      std::numeric_limits<double>::denorm_min(),
      std::nextafter(1.0, 2.0),
      std::nextafter(1e6, 0.0),
  };
  // Every power of two: those whose neighbours lie at unequal distances include some where the
  // nearest decimal of the shortest length does not read back (2^-24, 2^89).
  for (int e = -1074; e <= 1023; ++e) values.push_back(std::ldexp(1.0, e));
  // Doubles of every pattern of bits, and decimals of up to 17 digits at every scale.
  std::mt19937_64 random(20240611);
  while (values.size() < 40000) {
    std::uint64_t bits = random();
    double x = 0.0;
    std::memcpy(&x, &bits, sizeof x);
    if (std::isfinite(x)) values.push_back(x);
    const double digits = static_cast<double>(random() % 100000000000000000ull);
    values.push_back(digits * std::pow(10.0, static_cast<int>(random() % 600) - 316));
  }
  // With one digit at the fewest the text is the shortest form throughout ("%.1g" reads back only
  // where one digit is); with 15, "%.15g" where that reads back.
  for (const double value : values) {
    ExpectRoundTripText(value, 1);
    ExpectRoundTripText(value, 15);
  }
}

TEST(RealText, ValuesThatAreNotFiniteReadAsPrintfWritesThemAndDigitsAtTheFewestAre1To15) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const double value : {inf, -inf, nan, -nan}) {
    char printed[32];
    std::snprintf(printed, sizeof printed, "%g", value);
    for (const int least : {1, 15}) EXPECT_STREQ(RealText(value, least).text, printed);
  }
  // Digits at the fewest are taken from 1 to 15: with 16 or 17, "%.*g" would write digits that
  // the shortest form leaves out ("0.10000000000000001").
  for (const double value : {0.1, 1e16, 1e17, 1e20, 0.5, -1.0 / 3.0, DBL_MAX}) {
    for (const int more : {16, 17, 40}) EXPECT_STREQ(RealText(value, more).text, RealText(value, 15).text);
    for (const int fewer : {0, -3}) EXPECT_STREQ(RealText(value, fewer).text, RealText(value, 1).text);
  }
}

}  // namespace
