// Constants and by-reference flags read back, the constant value holder, and
// the character-pointer tables of string array inputs.
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>
#include <type_traits>

#include "procedure_support.h"

namespace {

class ValuesTest : public ProcedureTest {};

TEST_F(ValuesTest, ConstantsAndFlagsReadBackAndTheBindingPassReplacesThem) {
  InterpolateProbe p(false, 0);
  TQ_REALPARAMETER a[2], b[2];
  TQ_REALVARIABLE y;
  auto declare = [&](double x, int k) {
    p.Argument(x);
    DeclareArray(p, {2}, a);
    DeclareArray(p, {2}, b);
    p.Argument(k);
    p.Argument(y);
    p.LastArgument();
  };
  declare(1.25, 2);
  EXPECT_DOUBLE_EQ(p.GetRealArg(0), 1.25);
  EXPECT_EQ(p.GetIntegerArg(3), 2);
  EXPECT_FALSE(p.ByReference(0));
  EXPECT_TRUE(p.ByReference(1));
  EXPECT_TRUE(p.ByReference(2));
  EXPECT_FALSE(p.ByReference(3));
  EXPECT_TRUE(p.ByReference(4));
  declare(-3.5, 9);  // the binding pass gives other values
  EXPECT_DOUBLE_EQ(p.GetRealArg(0), -3.5);
  EXPECT_EQ(p.GetIntegerArg(3), 9);
  EXPECT_EQ(p.InputValues(), 6);
  // A variable argument's constant entry stays as it was made.
  EXPECT_EQ(p.GetIntegerArg(4), 0);
  EXPECT_DOUBLE_EQ(p.GetRealArg(4), 0.0);
  EXPECT_STREQ(p.GetStringArg(4), "");
  EXPECT_TRUE(Errors().empty());
}

// A constant from a set iterator is its current member, kept by value: the
// iterator stays where it stood and may go away.
TEST_F(ValuesTest, SetIteratorConstantsKeepTheCurrentMember) {
  Probe<StringsProc> p;
  StringsVariables sv;
  DeclareArray(p, {1}, std::span(sv.s, 1));
  DeclareArray(p, {1}, std::span(sv.r, 1));
  DeclareArray(p, {1, 1}, std::span(sv.t, 1));
  {
    TQ_StringSetIter names(TQ_StrSetValue("alpha\"beta\"gamma\""));
    names.Next();
    names.Next();
    p.Argument(names);
    EXPECT_EQ(names.Position(), 1);
    EXPECT_STREQ(names.String(), "beta");
  }
  EXPECT_STREQ(p.GetStringArg(3), "beta");

  InterpolateProbe q(false, 0);
  TQ_REALPARAMETER a[1], b[1];
  TQ_REALVARIABLE y;
  TQ_IntegerSetIter nodes(TQ_IntSetValue(4, 9));
  nodes.Next();
  nodes.Next();
  q.Argument(1.0);
  DeclareArray(q, {1}, a);
  DeclareArray(q, {1}, b);
  q.Argument(nodes);
  EXPECT_EQ(nodes.Position(), 1);
  EXPECT_EQ(q.GetIntegerArg(3), 5);
  EXPECT_FALSE(q.ByReference(3));
  q.Argument(y);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(ValuesTest, ConstProcValueIsAPlainValue) {
  static_assert(std::is_trivially_copyable_v<ConstProcValue>);
  static_assert(std::is_trivially_destructible_v<ConstProcValue>);
  ConstProcValue none;
  EXPECT_EQ(none.Integer(), 0);
  EXPECT_DOUBLE_EQ(none.Real(), 0.0);
  EXPECT_STREQ(none.String(), "");

  ConstProcValue v;
  v = -7.9;
  EXPECT_EQ(v.Integer(), -7);  // truncated toward zero
  EXPECT_STREQ(v.String(), "");
  v = 12;
  EXPECT_DOUBLE_EQ(v.Real(), 12.0);
  v = 1e300;
  EXPECT_EQ(v.Integer(), 2147483647);
  v = std::nan("");
  EXPECT_EQ(v.Integer(), 0);

  char text[] = "kept by value";
  v = text;
  ConstProcValue copy;
  std::memcpy(static_cast<void*>(&copy), &v, sizeof v);  // copied bit for bit
  std::strcpy(text, "changed");
  EXPECT_STREQ(v.String(), "kept by value");
  EXPECT_STREQ(copy.String(), "kept by value");
  EXPECT_EQ(copy.Integer(), 0);
  v = static_cast<const char*>(nullptr);
  EXPECT_STREQ(v.String(), "");

  // A text longer than a string field is cut to the field, with an error.
  const std::string longer(TQ_PROCEDURE_STRING_BYTES + 5, 'q');
  v = longer.c_str();
  EXPECT_EQ(std::string(v.String()), longer.substr(0, TQ_PROCEDURE_STRING_BYTES));
  EXPECT_TRUE(OneErrorWith("longer than the 40 characters"));
}

// The table of each string array input points at its own strings; the
// padding after the table, the strings and the other slots stay as they were.
TEST_F(ValuesTest, CharacterPointerTablesPointAtTheirStrings) {
  Probe<StringsProc> p(false);
  StringsVariables v;
  DeclareStrings(p, v, {3, 2, {2, 3}, {2, 2}, 1});
  ASSERT_TRUE(Errors().empty());
  unsigned char* bytes = p.BufferBytes();
  const std::size_t length = static_cast<std::size_t>(p.ArgumentWords()) * 8;
  std::memset(bytes, 0xA5, length);
  std::vector<unsigned char> before(bytes, bytes + length);

  p.InitializeCStrings();

  auto entry = [&](int argument, int k) {
    char* pointer = nullptr;
    std::memcpy(&pointer, bytes + 8 * p.GetOffset(argument) + k * TQ_CHARPOINTER_BYTES, TQ_CHARPOINTER_BYTES);
    return pointer;
  };
  auto field = [&](int argument, int count, int k) {
    const int tableWords = static_cast<int>((count * TQ_CHARPOINTER_BYTES + 7) >> 3);
    return reinterpret_cast<char*>(bytes + 8 * (p.GetOffset(argument) + tableWords) + k * TQ_PROCEDURE_STRING_BYTES);
  };
  std::vector<bool> written(length, false);
  auto expectTable = [&](int argument, int count) {
    for (int k = 0; k < count; ++k) {
      EXPECT_EQ(entry(argument, k), field(argument, count, k)) << "argument " << argument << " entry " << k;
      const std::size_t at = static_cast<std::size_t>(8 * p.GetOffset(argument)) + k * TQ_CHARPOINTER_BYTES;
      for (std::size_t b = 0; b < TQ_CHARPOINTER_BYTES; ++b) written[at + b] = true;
    }
  };
  expectTable(0, 3);
  expectTable(2, 6);
  // Nothing else changed: padding, strings, other slots, the output's table.
  for (std::size_t b = 0; b < length; ++b)
    if (!written[b]) {
      ASSERT_EQ(bytes[b], before[b]) << "byte " << b;
    }

  // A second call writes the same table.
  std::vector<unsigned char> once(bytes, bytes + length);
  p.InitializeCStrings();
  EXPECT_EQ(std::memcmp(bytes, once.data(), length), 0);
  EXPECT_TRUE(Errors().empty());
}

// The host fills the tables when it registers the procedure's call, before
// it has the inputs packed; a copy, and an object assigned from it, point
// their tables into their own buffers, which stay right once the source is
// gone.
TEST_F(ValuesTest, TablesAreFilledAtRegistrationAndACopyPointsIntoItsOwnBuffer) {
  using StringsProbe = Probe<StringsProc>;
  // Entry k of argument `argument`'s table, and the address of its string
  // k, in the buffer of `p`.
  auto entry = [](StringsProbe& p, int argument, int k) {
    char* pointer = nullptr;
    std::memcpy(&pointer, p.BufferBytes() + 8 * p.GetOffset(argument) + k * TQ_CHARPOINTER_BYTES, TQ_CHARPOINTER_BYTES);
    return pointer;
  };
  auto field = [](StringsProbe& p, int argument, int count, int k) {
    const int tableWords = static_cast<int>((count * TQ_CHARPOINTER_BYTES + 7) >> 3);
    return reinterpret_cast<char*>(p.BufferBytes() + 8 * (p.GetOffset(argument) + tableWords) +
                                   k * TQ_PROCEDURE_STRING_BYTES);
  };
  // Inputs 0 and 2 are string arrays of 3 and 2 x 3 strings.
  auto expectOwnTables = [&](StringsProbe& p) {
    for (const auto& [argument, count] : {std::pair{0, 3}, std::pair{2, 6}})
      for (int k = 0; k < count; ++k)
        EXPECT_EQ(entry(p, argument, k), field(p, argument, count, k)) << "argument " << argument << " entry " << k;
  };

  StringsVariables v;
  auto source = std::make_unique<StringsProbe>(false);
  DeclareStrings(*source, v, {3, 2, {2, 3}, {2, 2}, 1});
  ASSERT_TRUE(Errors().empty());
  EXPECT_EQ(entry(*source, 0, 0), nullptr) << "nothing fills the table before the call is registered";
  OwnerModel owner;
  owner.AddProcCall(source.get(), 1);
  expectOwnTables(*source);

  StringsProbe copy(*source);
  StringsProbe assigned(false);
  assigned = *source;
  ASSERT_NE(copy.BufferBytes(), source->BufferBytes());
  source.reset();
  expectOwnTables(copy);
  expectOwnTables(assigned);
  EXPECT_TRUE(Errors().empty());
}

// Under the Fortran convention the slots hold strings only: the strings are
// not overwritten with a table.
TEST_F(ValuesTest, FortranConventionWritesNoTable) {
  Probe<StringsProc> p(true);
  StringsVariables v;
  DeclareStrings(p, v, {3, 1, {1, 1}, {1, 1}, 1}, 2, "u");
  ASSERT_TRUE(Errors().empty());
  EXPECT_EQ(p.GetOffset(1), 15);  // three strings and no table
  const std::size_t length = static_cast<std::size_t>(p.ArgumentWords()) * 8;
  std::memset(p.BufferBytes(), 'S', length);
  p.InitializeCStrings();
  for (std::size_t b = 0; b < length; ++b) ASSERT_EQ(p.BufferBytes()[b], 'S') << "byte " << b;
}

// One string: its table is one word and points at word 1 of the slot. A
// string array of size 0 gets no entry and the next one reads its own sizes.
TEST_F(ValuesTest, OneStringAndAnEmptyStringArray) {
  Probe<StringsProc> p(false);
  StringsVariables v;
  // One string; the real array and the 0 x 2 string array are empty.
  DeclareStrings(p, v, {1, 0, {0, 2}, {1, 1}, 1}, 2, "c");
  ASSERT_TRUE(Errors().empty());
  EXPECT_EQ(p.GetOffset(1), 6);  // one table word and five string words
  EXPECT_EQ(p.GetOffset(2), 6);
  EXPECT_EQ(p.GetOffset(3), 6);  // the empty string array takes nothing
  const std::size_t length = static_cast<std::size_t>(p.ArgumentWords()) * 8;
  std::memset(p.BufferBytes(), 0x5A, length);
  p.InitializeCStrings();
  char* pointer = nullptr;
  std::memcpy(&pointer, p.BufferBytes(), TQ_CHARPOINTER_BYTES);
  EXPECT_EQ(pointer, reinterpret_cast<char*>(p.BufferBytes() + 8));
  for (std::size_t b = TQ_CHARPOINTER_BYTES; b < length; ++b) ASSERT_EQ(p.BufferBytes()[b], 0x5A) << "byte " << b;
}

// INTERPOLATE has no string input: no byte of its buffer changes; before the
// layout is final there is no buffer and nothing happens.
TEST_F(ValuesTest, InterpolateHasNoTableToFill) {
  InterpolateProbe p(false, 0);
  p.InitializeCStrings();
  InterpolateVariables v;
  DeclareInterpolate(p, v, 2);
  DeclareInterpolate(p, v, 2);
  std::memset(p.BufferBytes(), 0x3C, 88);
  p.InitializeCStrings();
  for (int b = 0; b < 88; ++b) ASSERT_EQ(p.BufferBytes()[b], 0x3C) << "byte " << b;
  EXPECT_TRUE(Errors().empty());
}

}  // namespace
