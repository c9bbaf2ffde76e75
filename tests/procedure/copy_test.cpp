// Copying, assigning and deleting procedure objects: each array has one
// owner, and a copy continues where its source stood.
#include "procedure_support.h"

namespace {

class CopyTest : public ProcedureTest {};

TEST_F(CopyTest, CopyOfANewObjectOwnsNothingOfTheSource) {
  InterpolateProbe source(false, 0);
  InterpolateProbe copy(source);
  EXPECT_EQ(copy.Arg(), -1);
  EXPECT_EQ(copy.Words(), 0);
  EXPECT_TRUE(copy.Constructing());
  EXPECT_TRUE(copy.Evaluated());
  EXPECT_FALSE(copy.HostFlag());
  EXPECT_EQ(copy.BaseOutputs(), nullptr);
  EXPECT_EQ(copy.Rows(), nullptr);
  EXPECT_EQ(copy.Cols(), nullptr);
  EXPECT_STREQ(copy.ProcedureName(), "INTERP");
}

// A copy made while arguments are declared goes on with the next argument,
// at the same word, and ends the pass with a buffer of its own.
TEST_F(CopyTest, CopyContinuesTheDeclaration) {
  InterpolateProbe source(false, 1);
  InterpolateVariables v;
  source.Argument(v.x);
  DeclareArray(source, {5}, v.a);
  InterpolateProbe copy(source);
  EXPECT_EQ(copy.Arg(), 1);
  EXPECT_EQ(copy.Words(), 6);
  EXPECT_EQ(copy.DimIndex(), 1);
  EXPECT_EQ(copy.DimSize(0), 5);
  EXPECT_EQ(copy.InputElements(), 6);
  EXPECT_EQ(copy.SolverInputs(), 1);
  EXPECT_EQ(copy.LanguageBaseIndex(), 1);

  copy.Argument();
  EXPECT_EQ(copy.GetOffset(2), 6);
  copy.SetDimensionSize(3);
  for (auto& e : v.b) copy.Element(e);
  copy.Argument(4);
  copy.Argument(v.y);
  copy.LastArgument();
  EXPECT_EQ(copy.OutputOffset(), 10);
  EXPECT_EQ(copy.ArgumentWords(), 11);
  EXPECT_EQ(copy.GetIntegerArg(3), 4);
  // The source is still in its construction pass, without a buffer.
  EXPECT_TRUE(source.Constructing());
  EXPECT_EQ(source.ArgumentBuffer(), nullptr);
  EXPECT_EQ(source.Arg(), 1);
  EXPECT_TRUE(Errors().empty());
}

// A copy of a declared procedure has its own buffer and element list with
// the same entries, and the same constants.
TEST_F(CopyTest, CopyOfADeclaredProcedureHasItsOwnBuffer) {
  InterpolateProbe source(false, 0);
  InterpolateVariables v;
  DeclareInterpolate(source, v, 6);
  DeclareInterpolate(source, v, 6);
  source.Buffer()[3] = 42.0;
  InterpolateProbe copy(source);
  ASSERT_NE(copy.ArgumentBuffer(), nullptr);
  EXPECT_NE(copy.ArgumentBuffer(), source.ArgumentBuffer());
  EXPECT_EQ(copy.ArgumentBuffer()[3], 42.0);
  EXPECT_NE(copy.ElementList(), source.ElementList());
  for (int i = 0; i < 10; ++i) EXPECT_EQ(copy.ElementAt(i), source.ElementAt(i));
  EXPECT_EQ(copy.GetIntegerArg(3), 6);
  EXPECT_EQ(copy.DerivativeCount(), 10);
  EXPECT_NE(copy.DerivativeArray(), source.DerivativeArray());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(copy.GetOffset(i), source.GetOffset(i));

  OwnerModel owner;
  int count = CreateEquations(copy, &owner, 2, 0, 0, "C", 0, 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(TQ_Executive::Instance().PatternEntriesWritten(), 2);
  EXPECT_TRUE(Errors().empty());
}

// The arrays the call of the routine makes are never shared: a copy starts
// without them, an assignment releases the target's, self-assignment keeps
// them. The sanitizer run shows no double release and no leak.
TEST_F(CopyTest, CallArraysHaveOneOwner) {
  InterpolateVariables v;
  InterpolateProbe source(false, 0);
  DeclareInterpolate(source, v, 2);
  DeclareInterpolate(source, v, 2);
  source.GiveCallArrays(10);
  const std::int32_t* rows = source.Rows();

  InterpolateProbe copy(source);
  EXPECT_EQ(copy.Rows(), nullptr);
  EXPECT_EQ(copy.Cols(), nullptr);
  EXPECT_EQ(copy.BaseOutputs(), nullptr);
  EXPECT_EQ(source.Rows(), rows);

  InterpolateProbe target(true, 1);
  target.GiveCallArrays(4);
  target = source;
  EXPECT_EQ(target.Rows(), nullptr);
  EXPECT_EQ(target.Cols(), nullptr);
  EXPECT_EQ(target.BaseOutputs(), nullptr);
  EXPECT_FALSE(target.IsFortran());  // the host part is the source's
  EXPECT_EQ(target.Words(), 11);
  EXPECT_FALSE(target.Constructing());

  InterpolateProbe& same = source;
  source = same;
  EXPECT_EQ(source.Rows(), rows);
  EXPECT_NE(source.Cols(), nullptr);
  EXPECT_EQ(source.Words(), 11);
  EXPECT_EQ(source.GetIntegerArg(3), 2);
  EXPECT_EQ(source.ElementRoom(), 10);
}

// The procedure class's copy is an INTERPOLATE without a new SetMode (which
// would refuse once the layout is final); assignment keeps each object's
// class.
TEST_F(CopyTest, InterpolateCopiesStayInterpolate) {
  TQProc_INTERPOLATE source(true, 1);
  InterpolateVariables v;
  DeclareInterpolate(source, v, 2);
  EXPECT_THROW(source.SetMode(false, 0), std::logic_error);
  TQProc_INTERPOLATE copy(source);
  const TQ_ProcedureType& asHost = copy;
  EXPECT_STREQ(asHost.ProcedureName(), "INTERP");
  EXPECT_STREQ(asHost.DLLName(), "TQSysLib");
  EXPECT_TRUE(copy.IsFortran());
  EXPECT_EQ(copy.LanguageBaseIndex(), 1);

  TQProc_INTERPOLATE target(false, 0);
  TQ_ProcedureType& targetAsHost = target;
  target = source;
  EXPECT_STREQ(targetAsHost.ProcedureName(), "INTERP");
  EXPECT_TRUE(target.LayoutFinalised());
}

// Deleting an array of procedures destroys the last one first and releases
// every host array each one held.
class CountedInterpolate : public TQProc_INTERPOLATE {
 public:
  static std::vector<int>& Destroyed() {
    static std::vector<int> destroyed;
    return destroyed;
  }
  static int& Next() {
    static int next = 0;
    return next;
  }
  CountedInterpolate() : TQProc_INTERPOLATE(false, 0), id(Next()++) {}
  ~CountedInterpolate() override { Destroyed().push_back(id); }
  int id;
};

TEST_F(CopyTest, ArrayDeleteDestroysLastToFirst) {
  const std::int64_t live = TQ_HeapStats::LiveBlocks();
  CountedInterpolate::Destroyed().clear();
  CountedInterpolate::Next() = 0;
  InterpolateVariables v;
  CountedInterpolate* procedures = new CountedInterpolate[3];
  for (int i = 0; i < 3; ++i) {
    DeclareInterpolate(procedures[i], v, i + 2);
    DeclareInterpolate(procedures[i], v, i + 2);
  }
  EXPECT_GT(TQ_HeapStats::LiveBlocks(), live);
  delete[] procedures;
  EXPECT_EQ(CountedInterpolate::Destroyed(), (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);
}

// Single objects live on the host heap and go back to it.
TEST_F(CopyTest, SingleObjectsUseTheHostHeap) {
  const std::int64_t live = TQ_HeapStats::LiveBlocks();
  TQProc_INTERPOLATE* procedure = new TQProc_INTERPOLATE(false, 0);
  ASSERT_NE(procedure, nullptr);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 1);
  TQProc_INTERPOLATE* copy = new TQProc_INTERPOLATE(*procedure);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 2);
  procedure->Destroy();
  delete copy;
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);
}

// When the host heap refuses a copy's arrays, the copy says so and has none;
// it refuses to make equations rather than read a missing list.
TEST_F(CopyTest, CopyWithoutArraysRefusesEquations) {
  InterpolateProbe source(false, 0);
  InterpolateVariables v;
  DeclareInterpolate(source, v, 2);
  DeclareInterpolate(source, v, 2);
  TQ_HeapStats::FailAllocations(4);
  InterpolateProbe copy(source);
  TQ_HeapStats::FailAllocations(0);
  EXPECT_TRUE(OneErrorWith("refused its arrays"));
  EXPECT_EQ(copy.ArgumentBuffer(), nullptr);
  EXPECT_EQ(copy.ElementList(), nullptr);
  EXPECT_EQ(copy.ElementRoom(), 0);
  OwnerModel owner;
  int count = CreateEquations(copy, &owner, 2, 0, 0, "C", 0, 0);
  EXPECT_TRUE(OneErrorWith("before the binding pass has listed every element variable"));
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(TQ_Executive::Instance().Emitted().empty());
}

}  // namespace
