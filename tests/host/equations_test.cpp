// The equation side of the host: the model cycle over models that declare and
// emit equations, the pattern arrays and AddTerm's refusal to write past them,
// and the comparison of declared and emitted equations (the evaluation and
// printing of equation programs: programs_test.cpp).
#include <cmath>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "host_fixture.h"
#include "host/tq_executive_testing.h"

namespace {

// ---- the model cycle ----------------------------------------------------------------

class ModelCycle : public HostTest {};

TEST_F(ModelCycle, DeclaresAndEmitsEquationByEquation) {
  auto* model = Add<TwoEquationModel>("M");
  ASSERT_TRUE(Host().RunCycle()) << AllErrors();
  EXPECT_TRUE(Host().Errors().empty()) << AllErrors();

  ASSERT_EQ(Host().Declared().size(), 2u);
  EXPECT_EQ(Host().Declared()[0].group, 1);
  EXPECT_EQ(Host().Declared()[1].group, 2);
  EXPECT_EQ(Host().DeclaredNonZeros(), (std::vector<TQ_VarParam*>{&model->X, &model->Y, &model->Y, &model->H}));

  ASSERT_EQ(Host().Emitted().size(), 2u);
  EXPECT_STREQ(Host().EquationName(Host().Emitted()[0]), "TQ_Eqn1");
  EXPECT_STREQ(Host().EquationName(Host().Emitted()[1]), "TQ_Eqn2");
  EXPECT_EQ(Host().Infix(Host().Emitted()[0]), "X-Y");
  EXPECT_EQ(Host().Infix(Host().Emitted()[1]), "Y*H-2.5");
  EXPECT_EQ(Host().Infix(Host().Emitted()[1], true), "M.Y*M.H-2.5");

  // The pattern: one entry per term, row = equation index, column = the
  // term's own column.
  EXPECT_EQ(Host().PatternEntriesWritten(), 4);
  EXPECT_EQ(Host().PatternRows(), (std::vector<int>{0, 0, 1, 1}));
  EXPECT_EQ(Host().PatternColumns(),
            (std::vector<int>{model->X.Column(), model->Y.Column(), model->Y.Column(), model->H.Column()}));
  EXPECT_EQ(model->LocalEqnCount, 2);
  EXPECT_EQ(model->LocalNonZeroCount, 4);

  std::string difference;
  EXPECT_TRUE(Host().DeclaredMatchesEmitted(&difference)) << difference;
}

TEST_F(ModelCycle, EachModelStartsAfterTheGroupsAndEquationsOfTheOnesBefore) {
  auto* first = Add<TwoEquationModel>("A");
  auto* second = Add<TwoEquationModel>("B");
  ASSERT_TRUE(Host().RunCycle()) << AllErrors();

  EXPECT_EQ(first->FirstGroup, 0);
  EXPECT_EQ(second->FirstGroup, 2) << "the second model starts past the first one's last group";
  EXPECT_EQ(TQ_ModelType::m_stLastGroup, 4);
  ASSERT_EQ(Host().Summaries().size(), 2u);
  EXPECT_EQ(Host().Summaries()[1].firstGroup, 2);
  EXPECT_EQ(Host().Summaries()[1].lastGroup, 4);
  EXPECT_EQ(Host().Summaries()[1].firstDeclared, 2);
  EXPECT_EQ(Host().Summaries()[1].emittedCount, 2);

  // The second model's equations are rows 2 and 3 of the whole problem.
  EXPECT_EQ(Host().PatternRows(), (std::vector<int>{0, 0, 1, 1, 2, 2, 3, 3}));
  EXPECT_EQ(Host().Emitted()[2].group, 3);
  EXPECT_EQ(Host().Emitted()[3].owner, second);
  std::string difference;
  EXPECT_TRUE(Host().DeclaredMatchesEmitted(&difference)) << difference;

  // A second cycle starts the groups and the stores afresh.
  ASSERT_TRUE(Host().RunCycle()) << AllErrors();
  EXPECT_EQ(first->FirstGroup, 0);
  EXPECT_EQ(Host().Emitted().size(), 4u);
  EXPECT_EQ(Host().PatternEntriesWritten(), 8);
}

TEST_F(ModelCycle, DeclaredAgainstEmittedFindsEachKindOfDifference) {
  struct Case {
    TwoEquationModel::Mismatch mismatch;
    const char* expected;
  };
  for (const Case& c : {Case{TwoEquationModel::SwappedTerms, "term 0"},
                        Case{TwoEquationModel::OtherGroup, "group declared 2, emitted 3"},
                        Case{TwoEquationModel::ExtraTerm, "2 non-zeros declared, 3 terms emitted"}}) {
    Host().Reset();
    auto* model = Add<TwoEquationModel>("M");
    model->mismatch = c.mismatch;
    Host().RunCycle();
    std::string difference;
    EXPECT_FALSE(Host().DeclaredMatchesEmitted(&difference)) << c.expected;
    EXPECT_NE(difference.find(c.expected), std::string::npos) << difference;
  }
}

TEST_F(ModelCycle, MissingEquationsAreADifferenceToo) {
  class Silent : public TwoEquationModel {
   public:
    int JacPattern(int*& rows, int*& cols, TQ_EquationType** types) override {
      ResetExpressions();
      return TQ_ModelTypeEx2::JacPattern(rows, cols, types);
    }
  };
  Add<Silent>("M");
  Host().RunCycle();
  std::string difference;
  EXPECT_FALSE(Host().DeclaredMatchesEmitted(&difference));
  EXPECT_NE(difference.find("2 equations declared, 0 emitted"), std::string::npos) << difference;
}

TEST_F(ModelCycle, ANegativeSetUpResultIsPassedOnAndReported) {
  auto* model = Add<TwoEquationModel>("M");
  TQ_ExecutiveTesting::SetRootSetUpResult(Host(), -3);
  EXPECT_FALSE(Host().RunSetUpEquations());
  EXPECT_TRUE(ErrorMentions("M: SetUpEquations failed with code -3")) << AllErrors();
  EXPECT_EQ(model->FirstGroup, -1) << "a failing parent leaves the model's counters alone";
  EXPECT_TRUE(Host().Declared().empty());
  EXPECT_EQ(TQ_ModelType::m_stLastGroup, 0);

  TQ_ExecutiveTesting::SetRootSetUpResult(Host(), std::nullopt);
  Host().ClearErrors();
  EXPECT_TRUE(Host().RunSetUpEquations()) << AllErrors();
  EXPECT_EQ(Host().Declared().size(), 2u);
}

TEST_F(ModelCycle, TheLocalCountResultIsWhatSetUpEquationsReturns) {
  Add<TwoEquationModel>("M");
  TQ_ExecutiveTesting::SetLocalEqnCountResult(Host(), -8);
  EXPECT_FALSE(Host().RunSetUpEquations());
  EXPECT_TRUE(ErrorMentions("code -8")) << AllErrors();
}

TEST_F(ModelCycle, AssignmentsRunWithTheCycleLevelAndPass) {
  class Assigning : public TwoEquationModel {
   public:
    Assigning() { TQ_SET1.AddProperty(this, "TQ_X_SET1", nullptr, TQ_DIR_NONE, false); }
    long ExecuteAssignments(int level, int pass) override {
      long status = TwoEquationModel::ExecuteAssignments(level - 1, pass);
      for (int sweep = 0; sweep < 2; ++sweep) {
        TQ_Value set(TQ_IntSetValue(0, 3), static_cast<unsigned>(pass), static_cast<unsigned>(level), 1);
        InitialiseInternalIndexSet(TQ_SET1, &set, sweep);
        if (sweep == 0) {
          TQ_Value h(0.5, static_cast<unsigned>(pass), static_cast<unsigned>(level), 2);
          H.Assign(&h);
        }
      }
      return status;
    }
    TQ_INTEGERSET TQ_SET1;
  };
  auto* model = Add<Assigning>("M");
  TQ_ExecutiveTesting::EnableLog(Host(), true);
  TQ_Executive::CycleOptions options;
  options.level = 6;
  options.pass = 3;
  ASSERT_TRUE(Host().RunAssignments(options)) << AllErrors();

  const auto& log = TQ_ExecutiveTesting::Log(Host());
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].kind, TQ_LogEntry::IndexSet);
  EXPECT_EQ(log[0].sweep, 0);
  EXPECT_EQ(log[1].kind, TQ_LogEntry::Assignment);
  EXPECT_EQ(log[1].target, &model->H);
  EXPECT_EQ(log[1].value.Number(), 2);
  EXPECT_EQ(log[2].kind, TQ_LogEntry::IndexSet);
  EXPECT_EQ(log[2].sweep, 1);
  EXPECT_EQ(log[2].value.Number(), 1);
  for (const TQ_LogEntry& entry : log) {
    EXPECT_EQ(entry.value.Pass(), 3u);
    EXPECT_EQ(entry.value.Level(), 6u);
  }
  EXPECT_EQ(model->H.v(), 0.5);
  EXPECT_EQ(model->TQ_SET1.v(), TQ_IntSetValue(0, 3));

  TQ_ExecutiveTesting::SetRootAssignmentStatus(Host(), -1);
  EXPECT_FALSE(Host().RunAssignments(options));
  EXPECT_TRUE(ErrorMentions("ExecuteAssignments returned -1")) << AllErrors();
}

TEST_F(ModelCycle, AFailureInOneModelIsReportedAndTheOthersStillRun) {
  class Throwing : public TwoEquationModel {
   public:
    void SetDims() override { throw TQ_LinkError("link M.XDOMAIN has no object attached"); }
  };
  Add<Throwing>("M");
  auto* other = Add<TwoEquationModel>("OK");
  EXPECT_FALSE(Host().RunCycle());
  EXPECT_TRUE(ErrorMentions("M: SetDims: link M.XDOMAIN has no object attached")) << AllErrors();
  EXPECT_EQ(other->LocalEqnCount, 2);
}

// ---- names of emitted equations ---------------------------------------------------------

TEST_F(ModelCycle, EquationNamesAreReadFromTheTextNotItsAddress) {
  class Numbered : public TwoEquationModel {
   public:
    int JacPattern(int*& rows, int*& cols, TQ_EquationType** types) override {
      ResetExpressions();
      int n = TQ_ModelTypeEx2::JacPattern(rows, cols, types);
      char name[32];
      for (int k = 1; k <= 2; ++k) {
        std::snprintf(name, sizeof name, "TQ_Eqn%d", k);
        AddEquation(name, n, FirstGroup + k);
        AddOp(EOp_Root, n - 1);
        AddTerm(k == 1 ? static_cast<TQ_VarParam&>(X) : H, rows, cols, n - 1);
      }
      return n;
    }
  };
  Add<Numbered>("M");
  Host().RunCycle();
  ASSERT_EQ(Host().Emitted().size(), 2u);
  EXPECT_STREQ(Host().EquationName(Host().Emitted()[0]), "TQ_Eqn1");
  EXPECT_STREQ(Host().EquationName(Host().Emitted()[1]), "TQ_Eqn2");
}

TEST_F(ModelCycle, OneBufferRewrittenWithLongerShorterAndEqualTextsKeepsEachName) {
  auto* model = Add<TwoEquationModel>("M");
  int* rows = nullptr;
  int* cols = nullptr;
  TQ_ExecutiveTesting::BeginEmission(Host(), 0, rows, cols);
  char buffer[16];
  // Texts that are prefixes of one another, given in turn at one address.
  const std::vector<std::string> texts = {"TQ_Eqn1", "TQ_Eqn12", "TQ_Eqn1", "TQ_Eqn", "", "TQ_Eqn1", "TQ_Eqn2"};
  int n = 0;
  for (const std::string& text : texts) {
    std::snprintf(buffer, sizeof buffer, "%s", text.c_str());
    model->AddEquation(buffer, n, 1);
  }
  char other[16] = "TQ_Eqn1";  // the same text elsewhere
  model->AddEquation(other, n, 1);
  const auto& emitted = Host().Emitted();
  ASSERT_EQ(emitted.size(), texts.size() + 1);
  for (std::size_t k = 0; k < texts.size(); ++k) EXPECT_EQ(Host().EquationName(emitted[k]), texts[k]) << k;
  EXPECT_STREQ(Host().EquationName(emitted.back()), "TQ_Eqn1");
  EXPECT_EQ(emitted[0].name, emitted[2].name) << "one text, one name";
  EXPECT_EQ(emitted[0].name, emitted.back().name);
  EXPECT_NE(emitted[0].name, emitted[1].name);
  EXPECT_TRUE(Host().Errors().empty()) << AllErrors();
}

TEST_F(ModelCycle, NonZeroCountsReadWhileDeclaringFollowLaterNonZeros) {
  auto* a = Add<TwoEquationModel>("A");
  a->SetGroupLimits(1);
  a->AddNonZero(a->X);
  ASSERT_EQ(Host().Declared().size(), 1u);
  EXPECT_EQ(Host().Declared()[0].nonZeroCount, 1u);
  a->AddNonZero(a->Y);
  EXPECT_EQ(Host().Declared()[0].nonZeroCount, 2u);
  a->SetGroupLimits(2);
  a->AddNonZero(a->H);
  ASSERT_EQ(Host().Declared().size(), 2u);
  EXPECT_EQ(Host().Declared()[0].nonZeroCount, 2u);
  EXPECT_EQ(Host().Declared()[1].nonZeroCount, 1u);
  EXPECT_EQ(Host().Declared()[1].firstNonZero, 2u);
  a->SetGroupLimits(3);  // an equation without non-zeros
  ASSERT_EQ(Host().Declared().size(), 3u);
  EXPECT_EQ(Host().Declared()[1].nonZeroCount, 1u);
  EXPECT_EQ(Host().Declared()[2].nonZeroCount, 0u);
}

TEST_F(ModelCycle, CountsReadOnlyAfterManyEquationsAreEachEquationsOwn) {
  auto* a = Add<TwoEquationModel>("A");
  auto* b = Add<TwoEquationModel>("B");
  // Nothing is read while the models declare and emit; each cycle starts the
  // stores afresh, with fewer or more entries than the last.
  for (int cycle = 0; cycle < 2; ++cycle) {
    ASSERT_TRUE(Host().RunCycle()) << AllErrors();
    const auto& declared = Host().Declared();
    ASSERT_EQ(declared.size(), 4u) << cycle;
    for (std::size_t e = 0; e < declared.size(); ++e) {
      EXPECT_EQ(declared[e].nonZeroCount, 2u) << cycle << " " << e;
      EXPECT_EQ(declared[e].firstNonZero, 2 * e) << cycle << " " << e;
    }
    const auto& emitted = Host().Emitted();
    ASSERT_EQ(emitted.size(), 4u) << cycle;
    const std::vector<std::uint32_t> items = {3, 5, 3, 5};  // X-Y, Y*H-2.5
    for (std::size_t e = 0; e < emitted.size(); ++e) EXPECT_EQ(emitted[e].itemCount, items[e]) << cycle << " " << e;
  }
  // Dropping the first model's programs keeps the second's counts; an
  // equation emitted after them counts its own items only.
  a->ResetExpressions();
  int n = 4;
  b->AddEquation("TQ_Eqn3", n, 9);
  b->AddOp(EOp_Root, 4);
  b->AddTerm(1, 4);
  const auto& emitted = Host().Emitted();
  ASSERT_EQ(emitted.size(), 3u);
  EXPECT_EQ(emitted[0].itemCount, 3u);
  EXPECT_EQ(emitted[1].itemCount, 5u);
  EXPECT_EQ(emitted[2].itemCount, 2u);
  EXPECT_EQ(emitted[2].firstItem, 8u);
  EXPECT_EQ(Host().Infix(emitted[1]), "Y*H-2.5");
  EXPECT_EQ(Host().Infix(emitted[2]), "1");
  EXPECT_TRUE(Host().Errors().empty()) << AllErrors();
  // A shorter declaration after a longer one reads its own count.
  Host().RunSetUpEquations();
  a->SetGroupLimits(7);
  a->AddNonZero(a->X);
  ASSERT_EQ(Host().Declared().size(), 5u);
  EXPECT_EQ(Host().Declared()[3].nonZeroCount, 2u);
  EXPECT_EQ(Host().Declared()[4].nonZeroCount, 1u);
}

// ---- the pattern arrays -----------------------------------------------------------------

TEST_F(ModelCycle, AddTermRefusesToWritePastTheDeclaredNonZeros) {
  // Declares two non-zeros fewer than it emits.
  class Overflowing : public TwoEquationModel {
   public:
    int SetUpEquations() override {
      int n = TQ_ModelTypeEx2::SetUpEquations();
      FirstGroup = m_stLastGroup;
      SetGroupLimits(FirstGroup + 1);
      AddNonZero(X);
      SetGroupLimits(FirstGroup + 2);
      AddNonZero(Y);
      return SetLocalEqnCount(n + 2);
    }
  };
  auto* model = Add<Overflowing>("M");
  Host().RunCycle();
  EXPECT_TRUE(ErrorMentions("would write past the 2 declared non-zeros; refused")) << AllErrors();
  EXPECT_EQ(Host().PatternEntriesWritten(), 2);
  ASSERT_EQ(Host().PatternRows().size(), 2u);
  EXPECT_EQ(Host().PatternRows(), (std::vector<int>{0, 0}));
  EXPECT_EQ(model->LocalNonZeroCount, 2) << "the cursors stop at the end of the arrays";
  // The programs themselves are complete.
  EXPECT_EQ(Host().Infix(Host().Emitted()[1]), "Y*H-2.5");
}

TEST_F(ModelCycle, EntriesNoTermWroteReadAsMinusOneWhereverTheCursorsWent) {
  auto* model = Add<TwoEquationModel>("M");
  const int x = model->X.Column();
  const int y = model->Y.Column();
  const int h = model->H.Column();
  int* rows = nullptr;
  int* cols = nullptr;
  // A longer emission first, so that the arrays hold entries of an earlier
  // one.
  TQ_ExecutiveTesting::BeginEmission(Host(), 8, rows, cols);
  int n = 0;
  model->AddEquation("E", n, 1);
  for (int k = 0; k < 8; ++k) model->AddTerm(model->H, rows, cols, 0);
  ASSERT_EQ(Host().PatternEntriesWritten(), 8);

  TQ_ExecutiveTesting::BeginEmission(Host(), 6, rows, cols);
  int* const rowStart = rows;
  int* const colStart = cols;
  n = 3;
  model->AddEquation("E", n, 1);
  model->AddTerm(model->X, rows, cols, 3);  // entry 0
  // Both cursors moved on past entries 1 and 2.
  rows += 2;
  cols += 2;
  model->AddTerm(model->Y, rows, cols, 3);  // entry 3
  // Both cursors moved back to entry 0, written again.
  int* r = rowStart;
  int* c = colStart;
  model->AddTerm(model->H, r, c, 3);
  EXPECT_EQ(r, rowStart + 1);
  EXPECT_EQ(Host().PatternEntriesWritten(), 3);
  EXPECT_EQ(Host().PatternRows(), (std::vector<int>{3, -1, -1, 3, -1, -1}));
  EXPECT_EQ(Host().PatternColumns(), (std::vector<int>{h, -1, -1, y, -1, -1}));

  // Read while emitting, the emission goes on from where it was.
  model->AddTerm(model->X, rows, cols, 3);  // entry 4
  EXPECT_EQ(Host().PatternEntriesWritten(), 4);
  EXPECT_EQ(Host().PatternRows(), (std::vector<int>{3, -1, -1, 3, 3, -1}));
  EXPECT_EQ(Host().PatternColumns(), (std::vector<int>{h, -1, -1, y, x, -1}));
  model->AddTerm(model->Y, rows, cols, 3);  // entry 5, the last
  EXPECT_EQ(Host().PatternColumns(), (std::vector<int>{h, -1, -1, y, x, y}));
  EXPECT_EQ(Host().PatternEntriesWritten(), 5);
  EXPECT_TRUE(Host().Errors().empty()) << AllErrors();

  // One term more is refused, and so are cursors that stand between two
  // entries.
  model->AddTerm(model->X, rows, cols, 3);
  EXPECT_TRUE(ErrorMentions("would write past the 6 declared non-zeros; refused")) << AllErrors();
  Host().ClearErrors();
  const auto between = [](int* entry) { return reinterpret_cast<int*>(reinterpret_cast<char*>(entry) + 2); };
  int* rowBetween = between(rowStart + 1);
  int* colBetween = between(colStart + 1);
  model->AddTerm(model->X, rowBetween, colBetween, 3);
  EXPECT_TRUE(ErrorMentions("do not point into the host's pattern arrays")) << AllErrors();
  EXPECT_EQ(Host().PatternEntriesWritten(), 5);
  EXPECT_EQ(Host().PatternRows(), (std::vector<int>{3, -1, -1, 3, 3, 3}));

  // A fresh emission shows nothing of the last one.
  TQ_ExecutiveTesting::BeginEmission(Host(), 3, rows, cols);
  EXPECT_EQ(Host().PatternEntriesWritten(), 0);
  EXPECT_EQ(Host().PatternRows(), (std::vector<int>{-1, -1, -1}));
  EXPECT_EQ(Host().PatternColumns(), (std::vector<int>{-1, -1, -1}));
}

TEST_F(ModelCycle, AddTermWithNoDeclaredNonZerosIsRefusedAsAnOverflow) {
  class Undeclared : public TwoEquationModel {
   public:
    int SetUpEquations() override { return TQ_ModelTypeEx2::SetUpEquations(); }
  };
  Add<Undeclared>("M");
  Host().RunCycle();
  EXPECT_TRUE(ErrorMentions("would write past the 0 declared non-zeros; refused")) << AllErrors();
  EXPECT_EQ(Host().PatternEntriesWritten(), 0);
}

TEST_F(ModelCycle, AddTermRefusesCursorsOutsideTheHostsArrays) {
  auto* model = Add<TwoEquationModel>("M");
  Host().RunSetUpEquations();
  int* rows = nullptr;
  int* cols = nullptr;
  TQ_ExecutiveTesting::BeginEmission(Host(), Host().DeclaredNonZeros().size(), rows, cols);
  int n = 0;
  model->AddEquation("E", n, 1);
  int mine[2] = {-7, -7};
  int* r = mine;
  int* c = mine + 1;
  model->AddTerm(model->X, r, c, 0);
  EXPECT_EQ(mine[0], -7);
  EXPECT_EQ(mine[1], -7);
  EXPECT_EQ(r, mine);
  EXPECT_TRUE(ErrorMentions("do not point into the host's pattern arrays")) << AllErrors();

  // Row and column cursors that stand at different entries are refused too.
  Host().ClearErrors();
  int* skewed = cols + 1;
  model->AddTerm(model->X, rows, skewed, 0);
  EXPECT_TRUE(ErrorMentions("do not point into the host's pattern arrays")) << AllErrors();
  EXPECT_EQ(Host().PatternEntriesWritten(), 0);
}

TEST_F(ModelCycle, ProgramItemsForAnEquationNotBeingEmittedAreRefused) {
  auto* model = Add<TwoEquationModel>("M");
  int* rows = nullptr;
  int* cols = nullptr;
  TQ_ExecutiveTesting::BeginEmission(Host(), 4, rows, cols);
  model->AddOp(EOp_Plus, 0);  // before any AddEquation
  EXPECT_TRUE(ErrorMentions("not the equation being emitted")) << AllErrors();
  int n = 0;
  model->AddEquation("E", n, 1);
  model->AddTerm(1.0, 5);  // the wrong index
  EXPECT_EQ(Host().Emitted()[0].itemCount, 0u);
}

TEST_F(ModelCycle, ItemsAreTakenFromAnyInterfaceOfTheEmittingModelOnly) {
  // A second expression interface of a model, made where the test says.
  class Interface : public TQ_ModelExtensions {
   public:
    explicit Interface(TQ_ModelType* model) : TQ_ModelExtensions(model) {}
    ~Interface() override = default;
  };
  auto* a = Add<TwoEquationModel>("A");
  auto* b = Add<TwoEquationModel>("B");
  int* rows = nullptr;
  int* cols = nullptr;
  TQ_ExecutiveTesting::BeginEmission(Host(), 0, rows, cols);
  int n = 0;
  a->AddEquation("E", n, 1);
  a->AddOp(EOp_Root, 0);
  Interface other(a);
  other.AddTerm(1, 0);  // another interface of the emitting model
  a->AddEquation("E", n, 1);
  a->AddOp(EOp_Root, 1);
  other.AddTerm(2, 1);
  b->AddTerm(3, 1);  // not the emitting model
  EXPECT_TRUE(ErrorMentions("B: program item for equation 1, which is not the equation being emitted")) << AllErrors();
  ASSERT_EQ(Host().Emitted().size(), 2u);
  EXPECT_EQ(Host().Infix(Host().Emitted()[0]), "1");
  EXPECT_EQ(Host().Infix(Host().Emitted()[1]), "2");

  // An interface destroyed and another, of a model that does not emit, made
  // at its address: the newcomer's items are refused.
  Host().ClearErrors();
  alignas(Interface) unsigned char place[sizeof(Interface)];
  auto* first = new (place) Interface(a);
  a->AddEquation("E", n, 1);
  first->AddOp(EOp_Root, 2);
  first->~Interface();
  auto* second = new (place) Interface(b);
  second->AddTerm(4, 2);
  EXPECT_TRUE(ErrorMentions("B: program item for equation 2, which is not the equation being emitted")) << AllErrors();
  a->AddTerm(5, 2);
  a->AddEquation("E", n, 1);
  second->AddTerm(6, 3);
  second->~Interface();
  ASSERT_EQ(Host().Emitted().size(), 4u);
  EXPECT_EQ(Host().Infix(Host().Emitted()[2]), "5");
  EXPECT_EQ(Host().Emitted()[3].itemCount, 0u);
  EXPECT_EQ(Host().Errors().size(), 2u) << AllErrors();
}

TEST_F(ModelCycle, ANonZeroOutsideAnyEquationIsReported) {
  auto* a = Add<TwoEquationModel>("A");
  auto* b = Add<TwoEquationModel>("B");
  a->AddNonZero(a->X);
  EXPECT_TRUE(ErrorMentions("A: non-zero A.X declared outside any equation")) << AllErrors();
  a->SetGroupLimits(1);
  b->AddNonZero(b->X);  // the open equation is A's
  EXPECT_TRUE(ErrorMentions("B: non-zero B.X declared outside any equation")) << AllErrors();
  EXPECT_TRUE(Host().DeclaredNonZeros().empty());
}

TEST_F(ModelCycle, ResetExpressionsDropsOnlyTheModelsOwnPrograms) {
  auto* a = Add<TwoEquationModel>("A");
  auto* b = Add<TwoEquationModel>("B");
  Host().RunCycle();
  ASSERT_EQ(Host().Emitted().size(), 4u);
  a->ResetExpressions();
  ASSERT_EQ(Host().Emitted().size(), 2u);
  EXPECT_EQ(Host().Emitted()[0].owner, b);
  EXPECT_EQ(Host().Infix(Host().Emitted()[0]), "X-Y");
  EXPECT_EQ(Host().Infix(Host().Emitted()[1]), "Y*H-2.5");
}

}  // namespace
