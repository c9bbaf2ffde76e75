// RealText: a double as "%.*g" writes it where that reads back, in the fewest significant digits
// that read back as it otherwise, laid out as "%.*g" lays out that many. Checked against what
// follows from decimals and doubles and against printf, not against the conversion it is built
// on: the text reads back as the same double (strtod), no decimal of one digit fewer does, and
// the layout is printf's.
#include <gtest/gtest.h>

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

// Whether two doubles are the same to the bit (0 and -0 differ).
bool Same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

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

double Read(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

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
  ASSERT_TRUE(Same(Read(text), value));
  const std::string asked = Printf("%.*g", least, value);
  if (Same(Read(asked), value)) {
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
      EXPECT_FALSE(Same(Read(shorter), value)) << shorter;
    }
  }
  // printf's nearest decimal of as many digits is the text where it reads back, which is all but
  // some powers of two; an exponent stands where printf's would.
  const int reach = d.count > least ? d.count : least;
  const std::string printed = Printf("%.*g", reach, value);
  if (Same(Read(printed), value))
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

TEST(RealText, FifteenDigitsAtTheFewestReadAsPercentFifteenGWhereTheyHold) {
  // Values that 15 digits hold read as before ("1000000", not "1e+06"); the others get the 16th
  // and 17th digits that tell them apart from their neighbours.
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {1e6, "1000000"},
      {-1e6, "-1000000"},
      {0.0, "0"},
      {-0.0, "-0"},
      {0.0625, "0.0625"},
      {1e-5, "1e-05"},
      {1e15, "1e+15"},
      {0.1 + 0.2, "0.30000000000000004"},
      {1e6 + 6.75e-7, "1000000.000000675"},
      {std::ldexp(1.0, -24), "5.960464477539063e-08"},
  };
  for (const auto& c : cases) EXPECT_STREQ(RealText(c.value, 15).text, c.text) << c.text;
}

TEST(RealText, ValuesThatAreNotFiniteReadAsPrintfWritesThemAndDigitsStopAt17) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const double value : {inf, -inf, nan, -nan}) {
    char printed[32];
    std::snprintf(printed, sizeof printed, "%g", value);
    for (const int least : {1, 15, 17, 40}) EXPECT_STREQ(RealText(value, least).text, printed);
  }
  // More digits than a double holds are not asked for: more than 17 are taken as 17.
  for (const double value : {1e16, 1e17, 1e20, 0.5, -1.0 / 3.0, DBL_MAX})
    EXPECT_STREQ(RealText(value, 40).text, RealText(value, 17).text);
}

}  // namespace
