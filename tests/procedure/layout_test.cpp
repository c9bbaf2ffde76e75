// Argument slots, offsets, dimension sizes and counts in the two passes of
// the argument declaration, and what the host is handed when the
// construction pass ends.
#include <cstring>
#include <functional>

#include "procedure_support.h"

namespace {

// The state after one declaration call, as the worked tables give it.
struct Expected {
  const char* call;
  int arg;
  int words;
  int dimIndex;
  int inputElements;
  int inputValues;
  int outputElements;
  int solverInputs;
};

template <class P>
void ExpectState(const P& p, const Expected& e) {
  SCOPED_TRACE(e.call);
  EXPECT_EQ(p.Arg(), e.arg);
  EXPECT_EQ(p.Words(), e.words);
  EXPECT_EQ(p.DimIndex(), e.dimIndex);
  EXPECT_EQ(p.InputElements(), e.inputElements);
  EXPECT_EQ(p.InputValues(), e.inputValues);
  EXPECT_EQ(p.OutputElements(), e.outputElements);
  EXPECT_EQ(p.SolverInputs(), e.solverInputs);
}

// Runs each step and checks the state after it.
template <class P>
void Walk(P& p, const std::vector<std::pair<std::function<void()>, Expected>>& steps) {
  for (const auto& step : steps) {
    step.first();
    ExpectState(p, step.second);
  }
}

class InterpolateLayoutTest : public ProcedureTest {};

// x a solver variable, a (5) and b (3) arrays of parameters, k an integer
// constant, y the output: the worked sequence, call by call, in both passes.
TEST_F(InterpolateLayoutTest, WorkedSequenceWithVariableXAndConstantK) {
  InterpolateProbe p(false, 0);
  InterpolateVariables v;
  ExpectState(p, {"start", -1, 0, 0, 0, 0, 0, 0});
  Walk(p,
       {
           {[&] { p.Argument(v.x); }, {"Argument(x)", 0, 1, 0, 1, 1, 0, 1}},
           {[&] { p.Argument(); }, {"Argument()", 1, 1, 0, 1, 1, 0, 1}},
           {[&] { p.SetDimensionSize(5); }, {"SetDimensionSize(5)", 1, 6, 1, 1, 1, 0, 1}},
           {[&] {
              for (auto& e : v.a) p.Element(e);
            },
            {"Element(a1..a5)", 1, 6, 1, 6, 6, 0, 1}},
           {[&] { p.Argument(); }, {"Argument()", 2, 6, 1, 6, 6, 0, 1}},
           {[&] { p.SetDimensionSize(3); }, {"SetDimensionSize(3)", 2, 9, 2, 6, 6, 0, 1}},
           {[&] {
              for (auto& e : v.b) p.Element(e);
            },
            {"Element(b1..b3)", 2, 9, 2, 9, 9, 0, 1}},
           {[&] { p.Argument(7); }, {"Argument(k)", 3, 10, 2, 9, 10, 0, 1}},
           {[&] { p.Argument(v.y); }, {"Argument(y)", 4, 11, 2, 9, 10, 1, 1}},
       });
  const int offsets[5] = {0, 1, 6, 9, 10};
  const bool byReference[5] = {true, true, true, false, true};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(p.GetOffset(i), offsets[i]) << "argument " << i;
    EXPECT_EQ(p.StoredOffset(i), offsets[i]) << "argument " << i;
    EXPECT_EQ(p.ByReference(i), byReference[i]) << "argument " << i;
  }
  EXPECT_EQ(p.FirstOutputDim(), 2);
  EXPECT_EQ(p.DimSize(0), 5);
  EXPECT_EQ(p.DimSize(1), 3);
  EXPECT_EQ(p.DimCapacity(), 3);
  EXPECT_EQ(p.DimSize(2), 0);  // the spare entry reaches the routine zeroed
  EXPECT_EQ(p.GetIntegerArg(3), 7);

  Walk(p, {{[&] { p.LastArgument(); }, {"LastArgument()", -1, 11, 2, 0, 0, 0, 1}}});
  EXPECT_FALSE(p.Constructing());
  EXPECT_EQ(p.OutputOffset(), 10);
  EXPECT_EQ(p.ArgumentWords(), 11);

  // Binding pass: the same calls list the variables.
  Walk(p,
       {
           {[&] { p.Argument(v.x); }, {"bind Argument(x)", 0, 11, 2, 1, 1, 0, 1}},
           {[&] { DeclareArray(p, {5}, v.a); }, {"bind a", 1, 11, 2, 6, 6, 0, 1}},
           {[&] { DeclareArray(p, {3}, v.b); }, {"bind b", 2, 11, 2, 9, 9, 0, 1}},
           {[&] { p.Argument(7); }, {"bind Argument(k)", 3, 11, 2, 9, 10, 0, 1}},
           {[&] { p.Argument(v.y); }, {"bind Argument(y)", 4, 11, 2, 9, 10, 1, 1}},
           {[&] { p.LastArgument(); }, {"bind LastArgument()", 4, 11, 2, 9, 10, 1, 1}},
       });
  std::vector<TQ_VarParam*> expected{&v.x};
  for (auto& e : v.a) expected.push_back(&e);
  for (auto& e : v.b) expected.push_back(&e);
  expected.push_back(&v.y);
  ASSERT_EQ(p.ElementRoom(), 10);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(p.ElementAt(i), expected[static_cast<std::size_t>(i)]) << "entry " << i;
  for (int i = 0; i < 5; ++i) EXPECT_EQ(p.ByReference(i), byReference[i]) << "argument " << i;
  EXPECT_EQ(p.FirstOutputDim(), 2);
  EXPECT_EQ(p.DimIndex(), 2);
  EXPECT_TRUE(Errors().empty());
}

// x a real constant, a and b arrays of solver variables, k an integer
// variable (not a solver variable): the same layout, other flags and counts.
TEST_F(InterpolateLayoutTest, ConstantXAndVariableK) {
  InterpolateProbe p(false, 0);
  TQ_REALVARIABLE a[5], b[3], y;
  TQ_INTEGERPARAMETER k;
  Walk(p,
       {
           {[&] { p.Argument(2.5); }, {"Argument(2.5)", 0, 1, 0, 0, 1, 0, 0}},
           {[&] { DeclareArray(p, {5}, a); }, {"a", 1, 6, 1, 5, 6, 0, 5}},
           {[&] { DeclareArray(p, {3}, b); }, {"b", 2, 9, 2, 8, 9, 0, 8}},
           {[&] { p.Argument(k); }, {"Argument(k)", 3, 10, 2, 9, 10, 0, 8}},
           {[&] { p.Argument(y); }, {"Argument(y)", 4, 11, 2, 9, 10, 1, 8}},
       });
  const bool byReference[5] = {false, true, true, true, true};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(p.ByReference(i), byReference[i]) << "argument " << i;
  EXPECT_DOUBLE_EQ(p.GetRealArg(0), 2.5);
  const int offsets[5] = {0, 1, 6, 9, 10};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(p.GetOffset(i), offsets[i]) << "argument " << i;
  p.LastArgument();
  EXPECT_EQ(p.DerivativeCount(), 10);  // one output element by ten input values
  EXPECT_EQ(p.InputElementRoom(), 9);
  EXPECT_EQ(p.ElementRoom(), 10);
  EXPECT_TRUE(Errors().empty());
}

// With language base 1 every stored offset is one more; GetOffset takes it off.
TEST_F(InterpolateLayoutTest, LanguageBaseIndexIsStoredNotReturned) {
  InterpolateProbe p(false, 1);
  InterpolateVariables v;
  DeclareInterpolate(p, v, 3);
  const int offsets[5] = {0, 1, 6, 9, 10};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(p.GetOffset(i), offsets[i]);
    EXPECT_EQ(p.StoredOffset(i), offsets[i] + 1);
    EXPECT_EQ(p.GetOffsets(0)[i], offsets[i] + 1);  // the table the routine receives
  }
  EXPECT_EQ(p.GetOffsets(4), p.GetOffsets(0) + 4);
  EXPECT_EQ(p.OutputOffset(), 10);  // handed to the host without the base
}

// A vector of size 0 takes no words; the 0 still stands in the size table.
TEST_F(InterpolateLayoutTest, ZeroSizedVectorTakesNoWords) {
  InterpolateProbe p(false, 0);
  TQ_REALVARIABLE x, y;
  TQ_REALPARAMETER b[2];
  p.Argument(x);
  p.Argument();
  p.SetDimensionSize(0);
  DeclareArray(p, {2}, b);
  p.Argument(2);
  p.Argument(y);
  EXPECT_EQ(p.GetOffset(1), 1);
  EXPECT_EQ(p.GetOffset(2), 1);
  EXPECT_EQ(p.GetOffset(3), 3);
  EXPECT_EQ(p.Words(), 5);
  EXPECT_EQ(p.DimSize(0), 0);
  EXPECT_EQ(p.DimSize(1), 2);
  EXPECT_EQ(p.InputElements(), 3);
  EXPECT_TRUE(Errors().empty());
}

// The host is handed the outputs' offset and the buffer's length once, after
// the derivatives are set up; a second LastArgument hands nothing.
TEST_F(InterpolateLayoutTest, FinalizeConstructionOnceWithOutputOffsetAndLength) {
  Probe<RecordedInterpolate> p;
  InterpolateVariables v;
  DeclareInterpolate(p, v, 4);
  EXPECT_EQ(p.calls, (std::vector<std::string>{"HandleDerivatives(false)", "FinalizeConstruction(10,11)"}));
  p.LastArgument();
  EXPECT_EQ(p.calls.size(), 2u);

  // The INTERPOLATE class itself: the host laid out an 11-word buffer, zeroed
  // (the integer's unused upper half included), with the output at word 10.
  InterpolateProbe q(false, 0);
  DeclareInterpolate(q, v, 4);
  const double* buffer = q.ArgumentBuffer();
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(q.OutputOffset(), 10);
  EXPECT_EQ(q.ArgumentWords(), 11);
  EXPECT_TRUE(q.LayoutFinalised());
  unsigned char zero[88] = {};
  EXPECT_EQ(std::memcmp(buffer, zero, sizeof zero), 0);
  q.LastArgument();
  EXPECT_EQ(q.ArgumentBuffer(), buffer);
  EXPECT_TRUE(Errors().empty());
}

// Without outputs the outputs' offset is the end of the buffer.
TEST_F(InterpolateLayoutTest, ProcedureWithoutOutputsHandsTheBufferEnd) {
  Probe<NoOutputProc> p;
  TQ_REALVARIABLE x;
  TQ_INTEGERPARAMETER k[3];
  p.Argument(x);
  DeclareArray(p, {3}, k);
  EXPECT_EQ(p.GetOffset(1), 1);
  EXPECT_EQ(p.Words(), 3);  // (3 * 4 + 7) >> 3 = 2 words of integers
  EXPECT_EQ(p.GetOffset(2), 3);
  p.LastArgument();
  EXPECT_EQ(p.OutputOffset(), 3);
  EXPECT_EQ(p.ArgumentWords(), 3);
  EXPECT_EQ(p.FirstOutputDim(), 0);
  EXPECT_TRUE(Errors().empty());
}

class StringLayoutTest : public ProcedureTest, public ::testing::WithParamInterface<bool> {};

// Words of a character-pointer table of n entries in this build.
int TableWords(int n) { return static_cast<int>((static_cast<std::uint32_t>(n) * TQ_CHARPOINTER_BYTES + 7) >> 3); }

TEST(CharPointerWidth, IsTheAddressWidthOfTheBuild) {
  EXPECT_EQ(TQ_CHARPOINTER_BYTES, sizeof(char*));
#if defined(_WIN32) && !defined(_WIN64)
  EXPECT_EQ(TQ_CHARPOINTER_BYTES, 4u);
  EXPECT_EQ(TableWords(3), 2);
  EXPECT_EQ(TableWords(6), 3);
#else
  EXPECT_EQ(TQ_CHARPOINTER_BYTES, 8u);
  EXPECT_EQ(TableWords(3), 3);
  EXPECT_EQ(TableWords(6), 6);
#endif
  EXPECT_EQ(TableWords(1), 1);
  EXPECT_EQ(TableWords(0), 0);
}

// Strings of 40 bytes, string arrays with their tables in C mode only, a 2 by
// 2 real output array and a string output array.
TEST_P(StringLayoutTest, OffsetsWordsAndSizes) {
  const bool fortran = GetParam();
  Probe<StringsProc> p(fortran);
  ASSERT_EQ(p.IsFortran(), fortran);
  TQ_STRINGPARAMETER s[3], t[6], out2;
  TQ_REALVARIABLE r[2];
  TQ_REALVARIABLE out1[4];
  const int table = fortran ? 0 : 1;  // 1 where a table is laid out

  // Expected words per argument.
  const int w0 = table * TableWords(3) + 15;  // 3 strings: (3 * 40 + 7) >> 3
  const int w1 = 2;
  const int w2 = table * TableWords(6) + 30;  // 2 x 3 strings
  const int w3 = 5;                           // a scalar string never has a table
  const int w4 = 4;                           // 2 x 2 reals
  const int w5 = table * TableWords(1) + 5;   // the output's table is laid out too

  p.Argument();
  p.SetDimensionSize(3);
  EXPECT_EQ(p.Words(), w0);
  for (auto& e : s) p.Element(e);
  DeclareArray(p, {2}, r);
  p.Argument();
  p.SetDimensionSize(2);
  EXPECT_EQ(p.Words(), w0 + w1);  // no words until the last size
  EXPECT_EQ(p.ArrayElements(), 2);
  p.SetDimensionSize(3);
  EXPECT_EQ(p.ArrayElements(), 6);
  for (auto& e : t) p.Element(e);
  p.Argument("units");
  p.Argument();
  p.SetDimensionSize(2);
  p.SetDimensionSize(2);
  for (auto& e : out1) p.Element(e);
  p.Argument();
  p.SetDimensionSize(1);
  p.Element(out2);

  const int offsets[6] = {0, w0, w0 + w1, w0 + w1 + w2, w0 + w1 + w2 + w3, w0 + w1 + w2 + w3 + w4};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(p.GetOffset(i), offsets[i]) << "argument " << i;
  EXPECT_EQ(p.Words(), offsets[5] + w5);
  const int sizes[7] = {3, 2, 2, 3, 2, 2, 1};
  for (int d = 0; d < 7; ++d) EXPECT_EQ(p.DimSize(d), sizes[d]) << "entry " << d;
  EXPECT_EQ(p.DimSize(7), 0);
  EXPECT_EQ(p.FirstOutputDim(), 4);
  EXPECT_EQ(p.InputElements(), 11);
  EXPECT_EQ(p.InputValues(), 12);  // the string constant counts as a value
  EXPECT_EQ(p.OutputElements(), 5);
  EXPECT_EQ(p.SolverInputs(), 2);  // the two real variables
  EXPECT_STREQ(p.GetStringArg(3), "units");

  p.LastArgument();
  EXPECT_EQ(p.OutputOffset(), offsets[4]);
  EXPECT_EQ(p.ArgumentWords(), offsets[5] + w5);
  EXPECT_TRUE(Errors().empty());
}

// The concrete numbers of this build, as the layout gives them.
TEST_P(StringLayoutTest, ThreeStringsTakeTheirWords) {
  const bool fortran = GetParam();
  Probe<StringsProc> p(fortran);
  TQ_STRINGPARAMETER s[3];
  DeclareArray(p, {3}, s);
#if defined(_WIN32) && !defined(_WIN64)
  EXPECT_EQ(p.Words(), fortran ? 15 : 17);  // 2 words of 4-byte pointers, 15 of strings
#else
  EXPECT_EQ(p.Words(), fortran ? 15 : 18);  // 3 words of 8-byte pointers, 15 of strings
#endif
}

INSTANTIATE_TEST_SUITE_P(Conventions,
                         StringLayoutTest,
                         ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("Fortran") : std::string("C");
                         });

// Integer types 2 and 3 take 4 bytes: three integers share two words.
TEST_F(InterpolateLayoutTest, IntegerArraysAndScalars) {
  Probe<IntegersProc> p;
  TQ_INTEGERPARAMETER k[3], out;
  TQ_REALVARIABLE x, r[2];
  DeclareArray(p, {3}, k);
  p.Argument(x);
  p.Argument(out);
  DeclareArray(p, {2}, r);
  EXPECT_EQ(p.GetOffset(0), 0);
  EXPECT_EQ(p.GetOffset(1), 2);
  EXPECT_EQ(p.GetOffset(2), 3);
  EXPECT_EQ(p.GetOffset(3), 4);
  EXPECT_EQ(p.Words(), 6);
  EXPECT_EQ(p.FirstOutputDim(), 1);
  EXPECT_EQ(p.OutputElements(), 3);
  EXPECT_EQ(p.SolverInputs(), 1);
  EXPECT_TRUE(Errors().empty());
}

}  // namespace
