// Declarations that break the protocol are refused with an error and change
// nothing: no table entry, count or list entry is written past its place.
#include <limits>

#include "procedure_support.h"
#include "host/tq_executive_testing.h"

namespace {

// Everything the declaration writes, to show that a refused call wrote none
// of it.
template <class P>
struct Snapshot {
  explicit Snapshot(const P& p)
      : arg(p.Arg()),
        words(p.Words()),
        dimIndex(p.DimIndex()),
        firstOutputDim(p.FirstOutputDim()),
        dimsLeft(p.DimsLeft()),
        arrayElements(p.ArrayElements()),
        inputElements(p.InputElements()),
        inputValues(p.InputValues()),
        outputElements(p.OutputElements()),
        solverInputs(p.SolverInputs()),
        constructing(p.Constructing()),
        finalised(p.LayoutFinalised()) {
    for (int d = 0; d < p.DimCapacity(); ++d) dims.push_back(p.DimSize(d));
    for (int i = 0; i < P::TotalArgs(); ++i) {
      offsets.push_back(p.StoredOffset(i));
      byReference.push_back(p.ByReference(i) ? 1 : 0);
      integers.push_back(p.GetIntegerArg(i));
    }
    for (int i = 0; i < p.ElementRoom(); ++i) elements.push_back(p.ElementAt(i));
  }
  bool operator==(const Snapshot&) const = default;

  int arg, words, dimIndex, firstOutputDim, dimsLeft, arrayElements;
  int inputElements, inputValues, outputElements, solverInputs;
  bool constructing, finalised;
  std::vector<int> dims, offsets, byReference, integers;
  std::vector<TQ_VarParam*> elements;
};

class ProtocolTest : public ProcedureTest {
 protected:
  // Runs a call that must be refused: one error with `text`, and the state
  // unchanged.
  template <class P, class Call>
  void ExpectRefused(P& p, Call call, const std::string& text) {
    Snapshot<P> before(p);
    ClearErrorsFromSnapshot();
    call();
    EXPECT_TRUE(OneErrorWith(text));
    EXPECT_TRUE(Snapshot<P>(p) == before) << "a refused call changed the procedure's state";
  }
  static void ClearErrorsFromSnapshot() { TQ_Executive::Instance().ClearErrors(); }
};

TEST_F(ProtocolTest, ArgumentsBeyondTheCountAreRefusedInEveryPass) {
  InterpolateProbe p(false, 0);
  InterpolateVariables v;
  TQ_REALVARIABLE extra;
  p.Argument(v.x);
  DeclareArray(p, {5}, v.a);
  DeclareArray(p, {3}, v.b);
  p.Argument(1);
  p.Argument(v.y);
  ASSERT_TRUE(Errors().empty());
  ExpectRefused(
      p, [&] { p.Argument(2.0); }, "argument 5 declared, but the procedure takes 5 arguments");
  ExpectRefused(
      p, [&] { p.Argument(extra); }, "argument 5 declared");
  ExpectRefused(
      p, [&] { p.Argument(); }, "argument 5 declared");
  ExpectRefused(
      p, [&] { p.SetArg(true); }, "argument 5 declared");
  p.LastArgument();

  // The binding pass, then a further pass: refused, the list unchanged.
  DeclareInterpolate(p, v, 1);
  ASSERT_TRUE(Errors().empty());
  ExpectRefused(
      p, [&] { p.Argument(extra); }, "argument 5 declared");
  ExpectRefused(
      p, [&] { p.Element(extra); }, "the argument has all its elements already");
}

TEST_F(ProtocolTest, DimensionSizesOutsideTheArgumentsAreRefused) {
  InterpolateProbe p(false, 0);
  InterpolateVariables v;
  ExpectRefused(
      p, [&] { p.SetDimensionSize(2); }, "given before any argument");
  p.Argument(v.x);
  ExpectRefused(
      p, [&] { p.SetDimensionSize(2); }, "the argument is a scalar");
  p.Argument();
  ExpectRefused(
      p, [&] { p.SetDimensionSize(-1); }, "a size is not negative");
  ExpectRefused(
      p, [&] { p.SetDimensionSize(std::numeric_limits<int>::max()); }, "too large for the argument buffer");
  p.SetDimensionSize(5);
  ExpectRefused(
      p, [&] { p.SetDimensionSize(1); }, "the argument has its 1 sizes already");
  for (auto& e : v.a) p.Element(e);
  DeclareArray(p, {3}, v.b);
  p.Argument(2);
  p.Argument(v.y);
  p.LastArgument();
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(p.DimSize(2), 0);  // the spare entry was never written
}

// A procedure class whose table asks for more sizes than its dimension count
// holds: the size beyond the table's capacity is refused.
TEST_F(ProtocolTest, SizeTableCapacityIsKept) {
  Probe<OverDimensionedProc> p;
  p.Argument();
  p.SetDimensionSize(2);
  ExpectRefused(
      p, [&] { p.SetDimensionSize(3); }, "the procedure declares 1 dimension sizes in all");
  EXPECT_EQ(p.DimCapacity(), 2);
  EXPECT_EQ(p.DimSize(1), 0);
}

TEST_F(ProtocolTest, ElementVariablesOutsideTheirArgumentsAreRefused) {
  InterpolateProbe p(false, 0);
  InterpolateVariables v;
  TQ_REALPARAMETER extra;
  ExpectRefused(
      p, [&] { p.Element(extra); }, "element variable given before any argument");
  p.Argument(2.0);
  ExpectRefused(
      p, [&] { p.Element(extra); }, "the argument is a constant");
  p.Argument();
  ExpectRefused(
      p, [&] { p.Element(extra); }, "before the argument's dimension sizes");
  p.SetDimensionSize(5);
  for (auto& e : v.a) p.Element(e);
  ExpectRefused(
      p, [&] { p.Element(extra); }, "the argument has all its elements already");
  EXPECT_EQ(p.InputElements(), 5);
}

TEST_F(ProtocolTest, DeclarationsOfTheWrongKindAreRefused) {
  InterpolateProbe p(false, 0);
  InterpolateVariables v;
  p.Argument(v.x);
  // Argument 1 is an array: neither a constant nor a scalar variable.
  ExpectRefused(
      p, [&] { p.Argument(1.0); }, "argument 1 is an array of 1 dimensions");
  ExpectRefused(
      p, [&] { p.Argument(v.a[0]); }, "argument 1 is an array of 1 dimensions");
  p.Argument();
  p.SetDimensionSize(5);
  for (int i = 0; i < 3; ++i) p.Element(v.a[i]);
  // The next argument waits for the elements still due.
  ExpectRefused(
      p, [&] { p.Argument(); }, "argument 1 still lacks 2 element variables");
  for (int i = 3; i < 5; ++i) p.Element(v.a[i]);
  p.Argument();
  ExpectRefused(
      p, [&] { p.Argument(); }, "argument 2 still lacks dimension sizes");
  p.SetDimensionSize(3);
  for (auto& e : v.b) p.Element(e);
  p.Argument(3);
  // Argument 4 is the output: it takes a variable, not a constant.
  ExpectRefused(
      p, [&] { p.Argument(1.0); }, "argument 4 is an output");
  ExpectRefused(
      p, [&] { p.Argument("text"); }, "argument 4 is an output");
  p.Argument(v.y);
  p.LastArgument();
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(p.OutputOffset(), 10);
}

TEST_F(ProtocolTest, IncompleteConstructionPassIsNotHandedOver) {
  InterpolateProbe p(false, 0);
  InterpolateVariables v;
  p.Argument(v.x);
  DeclareArray(p, {5}, v.a);
  ExpectRefused(
      p, [&] { p.LastArgument(); }, "2 of 5 arguments declared");
  EXPECT_EQ(p.ArgumentBuffer(), nullptr);
  p.Argument();
  p.SetDimensionSize(3);
  p.Element(v.b[0]);
  p.Argument();  // refused: argument 2 lacks elements
  EXPECT_TRUE(OneErrorWith("still lacks 2 element variables"));
  ExpectRefused(
      p, [&] { p.LastArgument(); }, "3 of 5 arguments declared");
  p.Element(v.b[1]);
  p.Element(v.b[2]);
  p.Argument(1);
  p.Argument(v.y);
  p.LastArgument();
  EXPECT_TRUE(Errors().empty());
  EXPECT_TRUE(p.LayoutFinalised());
  EXPECT_EQ(p.ArgumentWords(), 11);
}

// A binding pass that lists more elements than the construction pass
// counted cannot write past the element list.
TEST_F(ProtocolTest, BindingPassCannotOverrunTheElementList) {
  InterpolateProbe p(false, 0);
  InterpolateVariables v;
  TQ_INTEGERPARAMETER k;
  DeclareInterpolate(p, v, 2);
  p.Argument(v.x);
  p.Argument();
  p.SetDimensionSize(50);  // ignored: the sizes of the construction pass stand
  for (auto& e : v.a) p.Element(e);
  ExpectRefused(
      p, [&] { p.Element(v.a[0]); }, "the argument has all its elements already");
  p.Argument();
  for (auto& e : v.b) p.Element(e);
  // k, a constant in the construction pass, given as a variable now: the list
  // has no entry for a tenth input element.
  p.Argument(k);
  EXPECT_TRUE(OneErrorWith("the element list has no entry for it"));
  p.Argument(v.y);
  EXPECT_TRUE(OneErrorWith("argument 3 still lacks 1 element variables"));
  EXPECT_EQ(p.InputElements(), 9);
  EXPECT_EQ(p.OutputElements(), 0);
  EXPECT_EQ(p.ElementAt(9), nullptr);
  EXPECT_EQ(p.DimSize(0), 5);
}

// Equations are made from a complete declaration only.
TEST_F(ProtocolTest, EquationsNeedACompleteDeclaration) {
  InterpolateProbe p(false, 0);
  InterpolateVariables v;
  OwnerModel owner;
  int count = 0;
  p.Argument(v.x);
  ExpectRefused(
      p, [&] { EXPECT_EQ(p.NZAndEqnContribution(&owner, 0, count), 0); }, "before a pass");
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(TQ_Executive::Instance().Declared().empty());
  DeclareArray(p, {5}, v.a);
  DeclareArray(p, {3}, v.b);
  p.Argument(1);
  p.Argument(v.y);
  // The counts stand at the end of the construction pass.
  EXPECT_EQ(p.NZAndEqnContribution(&owner, 0, count), 2);
  EXPECT_EQ(count, 1);
  p.LastArgument();

  int* rows = nullptr;
  int* cols = nullptr;
  TQ_ExecutiveTesting::BeginEmission(TQ_Executive::Instance(), 2, rows, cols);
  count = 0;
  ExpectRefused(
      p,
      [&] { p.CreateEquationsAndSetGroup(0, 0, rows, cols, count, &owner, "P", 0); },
      "before the binding pass has listed every element variable");
  ExpectRefused(
      p, [&] { p.NZAndEqnContribution(&owner, 0, count); }, "before a pass");
  p.Argument(v.x);
  ExpectRefused(
      p, [&] { p.CreateEquationsAndSetGroup(0, 0, rows, cols, count, &owner, "P", 0); }, "before the binding pass");
  EXPECT_TRUE(TQ_Executive::Instance().Emitted().empty());
  EXPECT_TRUE(TQ_Executive::Instance().ProcCalls().empty());
  EXPECT_EQ(count, 0);

  DeclareInterpolate(p, v, 1);  // x again is refused; the pass goes on from argument 1
  EXPECT_TRUE(OneErrorWith("argument 1 is an array"));
  ExpectRefused(
      p,
      [&] { p.CreateEquationsAndSetGroup(0, 0, rows, cols, count, static_cast<TQ_ModelTypeEx*>(nullptr), "P", 0); },
      "without an owner");
}

// When the host heap refuses the buffer or the element list, the layout is
// not final and nothing is listed or created.
TEST_F(ProtocolTest, RefusedHostArraysLeaveNothingToWriteInto) {
  InterpolateProbe p(false, 0);
  InterpolateVariables v;
  TQ_HeapStats::FailAllocations(1, 2);  // the derivative arrays succeed, the buffer not
  DeclareInterpolate(p, v, 1);
  TQ_HeapStats::FailAllocations(0);
  EXPECT_TRUE(OneErrorWith("refused the argument buffer or the element list"));
  EXPECT_FALSE(p.LayoutFinalised());
  EXPECT_EQ(p.ElementRoom(), 0);
  EXPECT_FALSE(p.Constructing());
  p.Argument(v.x);
  EXPECT_TRUE(OneErrorWith("the element list has no entry for it"));
  OwnerModel owner;
  int count = 0;
  EXPECT_EQ(p.NZAndEqnContribution(&owner, 0, count), 0);
  EXPECT_TRUE(OneErrorWith("before a pass"));
}

TEST_F(ProtocolTest, AccessorsRefuseArgumentsThatDoNotExist) {
  InterpolateProbe p(false, 0);
  InterpolateVariables v;
  DeclareInterpolate(p, v, 8);
  EXPECT_FALSE(p.ByReference(5));
  EXPECT_TRUE(OneErrorWith("ByReference: argument 5 does not exist"));
  EXPECT_EQ(p.GetIntegerArg(-1), 0);
  EXPECT_TRUE(OneErrorWith("GetIntegerArg: argument -1 does not exist"));
  EXPECT_EQ(p.GetRealArg(7), 0.0);
  EXPECT_TRUE(OneErrorWith("GetRealArg"));
  EXPECT_STREQ(p.GetStringArg(9), "");
  EXPECT_TRUE(OneErrorWith("GetStringArg"));
  EXPECT_EQ(p.GetOffsets(6), nullptr);
  EXPECT_TRUE(OneErrorWith("GetOffsets"));
  EXPECT_EQ(p.GetOffset(5), 11);  // the end of the buffer
  EXPECT_TRUE(Errors().empty());
}

// SetMode takes the convention and a base index of 0 or 1; with another the
// constructor throws and leaves nothing behind.
TEST_F(ProtocolTest, SetModeRefusalReachesTheCaller) {
  const std::int64_t live = TQ_HeapStats::LiveBlocks();
  EXPECT_THROW(TQProc_INTERPOLATE(false, 2), std::invalid_argument);
  EXPECT_THROW(delete new TQProc_INTERPOLATE(true, -1), std::invalid_argument);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);  // the object's block went back
  TQProc_INTERPOLATE fine(true, 1);
  EXPECT_TRUE(fine.IsFortran());
  EXPECT_EQ(fine.LanguageBaseIndex(), 1);
}

}  // namespace
