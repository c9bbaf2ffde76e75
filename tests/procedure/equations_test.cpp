// The procedure's output equations: counted in the owner's SetUpEquations,
// created in its JacPattern, for a model and for a structure as owner.
#include "procedure_support.h"
#include "host/tq_executive_testing.h"

namespace {

// What the executive recorded of one procedure equation.
struct Recorded {
  std::string name;
  int group;
  const TQ_ProcedureEquationType* type;
  std::vector<const TQ_VarParam*> terms;
};

std::vector<Recorded> RecordedEquations() {
  TQ_Executive& host = TQ_Executive::Instance();
  std::vector<Recorded> out;
  for (const TQ_EmittedEquation& e : host.Emitted()) {
    Recorded r{host.EquationName(e), e.group, dynamic_cast<const TQ_ProcedureEquationType*>(e.type), {}};
    for (std::uint32_t i = 0; i < e.itemCount; ++i) {
      const TQ_ProgramItem& item = host.Items()[e.firstItem + i];
      if (item.kind == TQ_ProgramItem::Term) r.terms.push_back(item.term);
    }
    out.push_back(r);
  }
  return out;
}

template <class Owner>
class EquationsTest : public ProcedureTest {};

using Owners = ::testing::Types<OwnerModel, OwnerStructure>;
class OwnerNames {
 public:
  template <typename T>
  static std::string GetName(int) {
    return std::is_same_v<T, OwnerModel> ? "Model" : "Structure";
  }
};
TYPED_TEST_SUITE(EquationsTest, Owners, OwnerNames);

// INTERPOLATE, x a solver variable, the vectors parameters: one equation
// [1], its terms y then x, one non-zero per term, then the call.
TYPED_TEST(EquationsTest, InterpolateGivesOneEquationWithItsTerms) {
  TypeParam owner;
  InterpolateProbe p(false, 0);
  InterpolateVariables v;
  DeclareInterpolate(p, v, 3);
  DeclareInterpolate(p, v, 3);
  TQ_Executive& host = TQ_Executive::Instance();

  int eqnCount = 4;
  const int nonZeros = p.NZAndEqnContribution(&owner, 7, eqnCount);
  EXPECT_EQ(nonZeros, 2);
  EXPECT_EQ(eqnCount, 5);
  ASSERT_EQ(host.Declared().size(), 1u);  // one SetGroupLimits for the whole procedure
  EXPECT_EQ(host.Declared()[0].group, 7);
  EXPECT_EQ(host.Declared()[0].owner, &owner);

  eqnCount = CreateEquations(p, &owner, nonZeros, 4, 7, "PROC", 31, 77);
  EXPECT_EQ(eqnCount, 5);

  std::vector<Recorded> equations = RecordedEquations();
  ASSERT_EQ(equations.size(), 1u);
  EXPECT_EQ(equations[0].name, "PROC[1]");
  EXPECT_EQ(equations[0].group, 7);
  EXPECT_EQ(equations[0].terms, (std::vector<const TQ_VarParam*>{&v.y, &v.x}));
  const TQ_ProcedureEquationType* type = equations[0].type;
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->Procedure(), static_cast<TQ_ProcedureType*>(&p));
  EXPECT_EQ(type->Number(), 1);
  EXPECT_EQ(type->Arg3(), 31);
  EXPECT_EQ(type->EquationOwner(), static_cast<TQ_Containable*>(&owner));
  EXPECT_STREQ(type->BaseName(), "PROC");
  EXPECT_EQ(type->Row(), 4);
  EXPECT_EQ(type->Arg7(), 77);
  EXPECT_STREQ(type->Suffix(), "[1]");

  ASSERT_EQ(host.ProcExpressions().size(), 1u);
  const TQ_ProcExpression& expression = host.ProcExpressions()[0];
  EXPECT_EQ(expression.owner, &owner);
  EXPECT_EQ(expression.procedure, &p);
  EXPECT_EQ(expression.number, 1);
  EXPECT_EQ(expression.row, 4);
  EXPECT_STREQ(host.ProcExpressionName(expression), "PROC");

  EXPECT_EQ(host.PatternEntriesWritten(), nonZeros);
  EXPECT_EQ(host.PatternRows(), (std::vector<int>{4, 4}));
  EXPECT_EQ(host.PatternColumns(), (std::vector<int>{v.y.Column(), v.x.Column()}));

  ASSERT_EQ(host.ProcCalls().size(), 1u);
  EXPECT_EQ(host.ProcCalls()[0].owner, &owner);
  EXPECT_EQ(host.ProcCalls()[0].procedure, &p);
  EXPECT_EQ(host.ProcCalls()[0].group, 7);
  EXPECT_TRUE(this->Errors().empty());
}

// Array outputs: [1_1] to [1_4] for the 2 x 2 output, [2_1] for the string
// output; each equation's terms are its output element and the solver
// inputs in element-list order; the non-zeros equal the terms.
TYPED_TEST(EquationsTest, ArrayOutputsAreNumberedPerElement) {
  TypeParam owner;
  Probe<StringsProc> p(false);
  StringsVariables v;
  v.r[1].Fix(TQ_Value(1.0, 0u));  // a fixed variable is no solver variable
  DeclareStrings(p, v, {2, 3, {1, 1}, {2, 2}, 1});
  TQ_Executive& host = TQ_Executive::Instance();
  int eqnCount = 0;
  const int nonZeros = p.NZAndEqnContribution(&owner, 2, eqnCount);
  EXPECT_EQ(eqnCount, 5);
  EXPECT_EQ(nonZeros, 5 * 3);

  eqnCount = CreateEquations(p, &owner, nonZeros, 10, 2, "S", 0, 0);
  EXPECT_EQ(eqnCount, 15);
  std::vector<Recorded> equations = RecordedEquations();
  ASSERT_EQ(equations.size(), 5u);
  const char* names[5] = {"S[1_1]", "S[1_2]", "S[1_3]", "S[1_4]", "S[2_1]"};
  const TQ_VarParam* outputs[5] = {&v.out1[0], &v.out1[1], &v.out1[2], &v.out1[3], &v.out2[0]};
  for (int e = 0; e < 5; ++e) {
    SCOPED_TRACE(names[e]);
    EXPECT_EQ(equations[static_cast<std::size_t>(e)].name, names[e]);
    EXPECT_EQ(equations[static_cast<std::size_t>(e)].group, 2);
    EXPECT_EQ(equations[static_cast<std::size_t>(e)].terms,
              (std::vector<const TQ_VarParam*>{outputs[e], &v.r[0], &v.r[2]}));
    EXPECT_EQ(equations[static_cast<std::size_t>(e)].type->Number(), e + 1);
    EXPECT_EQ(equations[static_cast<std::size_t>(e)].type->Row(), 10 + e);
    EXPECT_EQ(host.ProcExpressions()[static_cast<std::size_t>(e)].number, e + 1);
    EXPECT_EQ(host.ProcExpressions()[static_cast<std::size_t>(e)].row, 10 + e);
  }
  EXPECT_EQ(host.PatternEntriesWritten(), nonZeros);
  ASSERT_EQ(host.ProcCalls().size(), 1u);
  EXPECT_EQ(host.ProcCalls()[0].procedure, &p);

  // A second call numbers its equations from 1 again and takes the rows that
  // follow on the owner's count.
  eqnCount = CreateEquations(p, &owner, nonZeros, 15, 3, "S");
  ASSERT_EQ(host.Emitted().size(), 5u);
  const auto* first = dynamic_cast<const TQ_ProcedureEquationType*>(host.Emitted()[0].type);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Number(), 1);
  EXPECT_EQ(first->Row(), 15);
  EXPECT_EQ(eqnCount, 20);
  EXPECT_TRUE(this->Errors().empty());
}

// Without solver inputs each equation has its output element alone; an
// output array of size 0 gives no equation, and without any output element
// the call is registered with no procedure.
TYPED_TEST(EquationsTest, NoSolverInputsAndNoOutputElements) {
  TypeParam owner;
  TQ_Executive& host = TQ_Executive::Instance();
  {
    Probe<IntegersProc> p;
    TQ_INTEGERPARAMETER k[2], out;
    TQ_REALVARIABLE r[2];
    for (int pass = 0; pass < 2; ++pass) {
      DeclareArray(p, {2}, k);
      p.Argument(1.5);
      p.Argument(out);
      DeclareArray(p, {2}, r);
      p.LastArgument();
    }
    int eqnCount = 0;
    const int nonZeros = p.NZAndEqnContribution(&owner, 1, eqnCount);
    EXPECT_EQ(nonZeros, 3);
    eqnCount = CreateEquations(p, &owner, nonZeros, 0, 1, "I", 0, 0);
    std::vector<Recorded> equations = RecordedEquations();
    ASSERT_EQ(equations.size(), 3u);
    EXPECT_EQ(equations[0].name, "I[1]");
    EXPECT_EQ(equations[1].name, "I[2_1]");
    EXPECT_EQ(equations[2].name, "I[2_2]");
    EXPECT_EQ(equations[0].terms, (std::vector<const TQ_VarParam*>{&out}));
    EXPECT_EQ(equations[2].terms, (std::vector<const TQ_VarParam*>{&r[1]}));
    EXPECT_EQ(host.PatternEntriesWritten(), nonZeros);
  }
  {
    Probe<IntegersProc> p;
    TQ_INTEGERPARAMETER k[1];
    TQ_INTEGERPARAMETER out;
    for (int pass = 0; pass < 2; ++pass) {
      DeclareArray(p, {1}, k);
      p.Argument(1.5);
      p.Argument(out);
      DeclareArray(p, {0});
      p.LastArgument();
    }
    int eqnCount = 3;
    EXPECT_EQ(p.NZAndEqnContribution(&owner, 1, eqnCount), 1);
    EXPECT_EQ(eqnCount, 4);
    eqnCount = CreateEquations(p, &owner, 1, 3, 1, "I", 0, 0);
    EXPECT_EQ(RecordedEquations().size(), 1u);  // the scalar output only
    EXPECT_EQ(eqnCount, 4);
  }
  {
    Probe<StringsProc> p(false);
    StringsVariables v;
    DeclareStrings(p, v, {1, 0, {0, 4}, {3, 0}, 0});
    int eqnCount = 6;
    EXPECT_EQ(p.NZAndEqnContribution(&owner, 4, eqnCount), 0);
    EXPECT_EQ(eqnCount, 6);
    eqnCount = CreateEquations(p, &owner, 0, eqnCount, 4, "S");
    EXPECT_TRUE(host.Emitted().empty());
    ASSERT_EQ(host.ProcCalls().size(), 1u);
    EXPECT_EQ(host.ProcCalls()[0].procedure, nullptr);
    EXPECT_EQ(host.ProcCalls()[0].group, 4);
    EXPECT_EQ(eqnCount, 6);
  }
  EXPECT_TRUE(this->Errors().empty());
}

// A variable whose solver answer changes is asked once, when declared: the
// count, the terms and the non-zeros agree.
TYPED_TEST(EquationsTest, SolverAnswerIsTakenOnceAtDeclaration) {
  TypeParam owner;
  InterpolateProbe p(false, 0);
  FickleVariable x;
  CountingVariable a[2]{CountingVariable(true), CountingVariable(false)};
  CountingVariable b[2]{CountingVariable(true), CountingVariable(true)};
  CountingVariable y;
  for (int pass = 0; pass < 2; ++pass) {
    p.Argument(x);
    DeclareArray(p, {2}, a);
    DeclareArray(p, {2}, b);
    p.Argument(2);
    p.Argument(y);
    p.LastArgument();
  }
  b[1].solver = false;  // changes its answer after the declaration
  int eqnCount = 0;
  const int nonZeros = p.NZAndEqnContribution(&owner, 0, eqnCount);
  EXPECT_EQ(nonZeros, 1 * (4 + 1));  // x, a1, b1 and b2 were solver variables
  TQ_Executive& host = TQ_Executive::Instance();
  eqnCount = CreateEquations(p, &owner, nonZeros, 0, 0, "P", 0, 0);
  std::vector<Recorded> equations = RecordedEquations();
  ASSERT_EQ(equations.size(), 1u);
  EXPECT_EQ(equations[0].terms, (std::vector<const TQ_VarParam*>{&y, &x, &a[0], &b[0], &b[1]}));
  EXPECT_EQ(host.PatternEntriesWritten(), nonZeros);
  EXPECT_EQ(x.asked, 1);
  for (auto& e : a) EXPECT_EQ(e.asked, 1);
  for (auto& e : b) EXPECT_EQ(e.asked, 1);
  EXPECT_EQ(y.asked, 0);  // an output is never asked
  EXPECT_TRUE(this->Errors().empty());
}

// An equation object the host heap refuses is not used: the failure is
// reported and thrown, the equations before it stay, no call is registered.
TYPED_TEST(EquationsTest, RefusedEquationObjectIsNotUsed) {
  TypeParam owner;
  Probe<StringsProc> p(false);
  StringsVariables v;
  DeclareStrings(p, v, {1, 1, {1, 1}, {1, 2}, 1});
  TQ_Executive& host = TQ_Executive::Instance();
  int* rows = nullptr;
  int* cols = nullptr;
  TQ_ExecutiveTesting::BeginEmission(host, 6, rows, cols);
  int eqnCount = 0;
  TQ_HeapStats::FailAllocations(1, 1);  // the second equation object
  EXPECT_THROW(p.CreateEquationsAndSetGroup(0, 0, rows, cols, eqnCount, &owner, "S", 0), std::bad_alloc);
  TQ_HeapStats::FailAllocations(0);
  EXPECT_TRUE(this->OneErrorWith("no memory for the equation object of output [1_2]"));
  ASSERT_EQ(host.Emitted().size(), 1u);
  EXPECT_STREQ(host.EquationName(host.Emitted()[0]), "S[1_1]");
  EXPECT_EQ(eqnCount, 1);
  EXPECT_TRUE(host.ProcCalls().empty());
}

// The host takes a null equation object as a plain equation and says so; the
// count still advances, so later terms cannot land on the wrong equation.
TEST(ProcedureHost, NullEquationObjectIsReportedAndCounted) {
  TQ_Executive& host = TQ_Executive::Instance();
  host.Reset();
  host.ClearErrors();
  OwnerModel owner;
  int* rows = nullptr;
  int* cols = nullptr;
  TQ_ExecutiveTesting::BeginEmission(host, 0, rows, cols);
  int count = 3;
  owner.AddEquation(static_cast<TQ_EquationType*>(nullptr), count, 1);
  EXPECT_EQ(count, 4);
  ASSERT_EQ(host.Emitted().size(), 1u);
  EXPECT_EQ(host.Emitted()[0].type, nullptr);
  ASSERT_EQ(host.Errors().size(), 1u);
  EXPECT_NE(host.Errors()[0].find("without its equation object"), std::string::npos);
  host.ClearErrors();
}

// The host releases the equation objects with the owner's expressions.
TEST(ProcedureHost, EquationObjectsAreReleasedWithTheExpressions) {
  TQ_Executive& host = TQ_Executive::Instance();
  host.Reset();
  host.ClearErrors();
  OwnerModel owner;
  InterpolateProbe p(false, 0);
  InterpolateVariables v;
  DeclareInterpolate(p, v, 3);
  DeclareInterpolate(p, v, 3);
  const std::int64_t live = TQ_HeapStats::LiveBlocks();
  CreateEquations(p, &owner, 2, 0);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 1);
  owner.ResetExpressions();
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);
  EXPECT_TRUE(host.Emitted().empty());
  EXPECT_TRUE(host.ProcExpressions().empty());
  EXPECT_TRUE(host.ProcCalls().empty());
  EXPECT_TRUE(host.Errors().empty());
}

}  // namespace
