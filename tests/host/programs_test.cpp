// The host's evaluation and printing of equation programs, over programs built by hand item by
// item: every operator code, the parentheses, the constants' text, and programs too deep or
// malformed to follow.
#include <string>
#include <vector>

#include "host_fixture.h"
#include "host/tq_executive_testing.h"

namespace {

// A model whose variables A..D the programs use, and one open equation to
// which the tests append items.
class Programs : public HostTest {
 protected:
  class Vars : public TQ_ModelTypeEx2 {
   public:
    Vars() {
      A.AddProperty(this, "A", nullptr, TQ_DIR_NONE, false);
      B.AddProperty(this, "B", nullptr, TQ_DIR_NONE, false);
      C.AddProperty(this, "C", nullptr, TQ_DIR_NONE, false);
      H.AddProperty(this, "H", nullptr, TQ_DIR_NONE, false);
    }
    TQ_REALVARIABLE A, B, C;
    TQ_REALPARAMETER H;
  };

  void SetUp() override {
    HostTest::SetUp();
    m = Add<Vars>("P");
    m->A.SetNumericValue(3.0);
    m->B.SetNumericValue(5.0);
    m->C.SetNumericValue(-2.0);
    m->H.SetNumericValue(0.5);
    TQ_ExecutiveTesting::BeginEmission(Host(), 64, rows, cols);
  }
  // Starts a new equation; items go to it through Op/Int/Real/Term.
  void Begin() { m->AddEquation("E", count, 1); }
  void Op(int code) { m->AddOp(static_cast<EOp>(code), count - 1); }
  void Int(int value) { m->AddTerm(value, count - 1); }
  void Real(double value) { m->AddTerm(value, count - 1); }
  void Term(TQ_VarParam& v) { m->AddTerm(v, rows, cols, count - 1); }
  const TQ_EmittedEquation& Last() const { return Host().Emitted().back(); }
  double Value(bool* ok = nullptr) const { return Host().Evaluate(Last(), {}, ok); }

  Vars* m = nullptr;
  int* rows = nullptr;
  int* cols = nullptr;
  int count = 0;
};

TEST_F(Programs, EveryOperatorCodeEvaluatesAndPrints) {
  struct Expect {
    const char* infix;
    double value;
  };
  std::vector<Expect> expected;
  Begin();
  Op(1);
  Term(m->A);
  expected.push_back({"A", 3.0});
  Begin();
  Op(19);
  Term(m->A);
  Int(2);
  expected.push_back({"A+2", 5.0});
  Begin();
  Op(20);
  Term(m->A);
  Term(m->B);
  expected.push_back({"A-B", -2.0});
  Begin();
  Op(21);
  Term(m->B);
  Term(m->C);
  expected.push_back({"B*C", -10.0});
  Begin();
  Op(22);
  Term(m->A);
  Term(m->H);
  expected.push_back({"A/H", 6.0});
  Begin();
  Op(40);
  Term(m->C);
  expected.push_back({"sq(C)", 4.0});
  Begin();
  Op(1);
  Op(40);
  Op(19);
  Term(m->A);
  Real(1);
  expected.push_back({"sq(A+1.0)", 16.0});
  // Code 1 within a program: its operand in parentheses where an operator takes it, alone in a
  // unary form's.
  Begin();
  Op(21);
  Term(m->B);
  Op(1);
  Op(19);
  Term(m->A);
  Real(1);
  expected.push_back({"B*(A+1.0)", 20.0});
  Begin();
  Op(40);
  Op(1);
  Op(20);
  Term(m->A);
  Term(m->C);
  expected.push_back({"sq(A-C)", 25.0});
  ASSERT_EQ(Host().Emitted().size(), expected.size());
  for (std::size_t e = 0; e < expected.size(); ++e) {
    bool ok = false;
    EXPECT_EQ(Host().Infix(Host().Emitted()[e]), expected[e].infix);
    EXPECT_DOUBLE_EQ(Host().Evaluate(Host().Emitted()[e], {}, &ok), expected[e].value) << expected[e].infix;
    EXPECT_TRUE(ok) << expected[e].infix;
  }
  EXPECT_TRUE(Host().Errors().empty()) << AllErrors();
}

TEST_F(Programs, ParenthesesStandWhereTheTreeDiffersFromLeftToRightReading) {
  Begin();
  Op(20);
  Op(20);
  Term(m->A);
  Term(m->B);
  Term(m->C);
  EXPECT_EQ(Host().Infix(Last()), "A-B-C");
  EXPECT_DOUBLE_EQ(Value(), 0.0);
  Begin();
  Op(20);
  Term(m->A);
  Op(20);
  Term(m->B);
  Term(m->C);
  EXPECT_EQ(Host().Infix(Last()), "A-(B-C)");
  EXPECT_DOUBLE_EQ(Value(), -4.0);
  Begin();
  Op(19);
  Term(m->A);
  Op(21);
  Term(m->B);
  Term(m->C);
  EXPECT_EQ(Host().Infix(Last()), "A+B*C");
  Begin();
  Op(21);
  Op(19);
  Term(m->A);
  Term(m->B);
  Term(m->C);
  EXPECT_EQ(Host().Infix(Last()), "(A+B)*C");
  EXPECT_DOUBLE_EQ(Value(), -16.0);
  Begin();
  Op(22);
  Term(m->A);
  Op(21);
  Term(m->B);
  Term(m->C);
  EXPECT_EQ(Host().Infix(Last()), "A/(B*C)");
  EXPECT_DOUBLE_EQ(Value(), -0.3);
  Begin();
  Op(22);
  Op(21);
  Term(m->A);
  Term(m->B);
  Term(m->C);
  EXPECT_EQ(Host().Infix(Last()), "A*B/C");
}

TEST_F(Programs, AFormulaOfTheCollocationTablesPrintsAsWritten) {
  // D(b)*h+(V(b+2)-(-3.0*V(b)+4.0*V(b+1))) with D = A, h = H, V(b+2) = B,
  // V(b) = C, V(b+1) = A.
  Begin();
  Op(19);
  Op(21);
  Term(m->A);
  Term(m->H);
  Op(20);
  Term(m->B);
  Op(19);
  Op(21);
  Real(-3.0);
  Term(m->C);
  Op(21);
  Real(4.0);
  Term(m->A);
  EXPECT_EQ(Host().Infix(Last()), "A*H+(B-(-3.0*C+4.0*A))");
  EXPECT_DOUBLE_EQ(Value(), 1.5 + (5.0 - (6.0 + 12.0)));

  // Constants print in their shortest exact form.
  Begin();
  Op(20);
  Term(m->A);
  Op(21);
  Term(m->H);
  Op(21);
  Real(0.20833);
  Term(m->B);
  EXPECT_EQ(Host().Infix(Last()), "A-H*(0.20833*B)");
  Begin();
  Op(21);
  Real(1e-7);
  Real(-2.5e10);
  EXPECT_EQ(Host().Infix(Last()), "1e-07*-2.5e+10");
}

TEST_F(Programs, ItemCountsReadMidEquationFollowLaterItems) {
  Begin();
  Op(19);
  Term(m->A);
  EXPECT_EQ(Last().itemCount, 2u);
  const TQ_EmittedEquation& held = Last();
  Int(2);
  EXPECT_EQ(Host().Infix(held), "A+2") << "a reader sees the items added since";
  EXPECT_DOUBLE_EQ(Host().Evaluate(held), 5.0);
  EXPECT_EQ(Last().itemCount, 3u);
  Begin();
  Op(1);
  Term(m->B);
  Begin();
  ASSERT_EQ(Host().Emitted().size(), 3u);
  EXPECT_EQ(Host().Emitted()[0].itemCount, 3u);
  EXPECT_EQ(Host().Emitted()[1].itemCount, 2u);
  EXPECT_EQ(Host().Emitted()[2].itemCount, 0u);
  EXPECT_EQ(Host().Emitted()[2].firstItem, 5u);
  // A refused item counts nowhere.
  m->AddOp(EOp_Plus, count);
  EXPECT_EQ(Last().itemCount, 0u);
  EXPECT_FALSE(Host().Errors().empty());
}

TEST_F(Programs, TermsReadTheValuesTheCallerSupplies) {
  Begin();
  Op(20);
  Op(21);
  Term(m->A);
  Term(m->B);
  Term(m->H);
  bool ok = false;
  double r = Host().Evaluate(
      Last(), [&](const TQ_VarParam& v) { return &v == &m->A ? 2.0 : 10.0; }, &ok);
  EXPECT_TRUE(ok);
  EXPECT_DOUBLE_EQ(r, 2.0 * 10.0 - 10.0);
}

TEST_F(Programs, MalformedProgramsAndUnknownCodesAreReportedNotFollowed) {
  struct Case {
    const char* what;
    std::vector<int> items;  // >= 0: operator code; -1: term A; -2: integer 7
  };
  const std::vector<Case> cases = {
      {"an empty program", {}},
      {"an operator short of an operand", {20, -1}},
      {"an operator with no operands", {19}},
      {"a square with no operand", {40}},
      {"items after the whole expression", {20, -1, -1, -1}},
      {"two items and no operator", {-1, -2}},
      {"an unknown code", {99, -1, -1}},
      {"code 0", {0, -1}},
      {"a negative code", {-5}},
  };
  for (const Case& c : cases) {
    Begin();
    for (int item : c.items) {
      if (item == -1)
        Term(m->A);
      else if (item == -2)
        Int(7);
      else
        Op(item);
    }
    bool ok = true;
    Host().Evaluate(Last(), {}, &ok);
    EXPECT_FALSE(ok) << c.what;
    EXPECT_NE(Host().Infix(Last()).find("[malformed program]"), std::string::npos) << c.what;
  }
}

TEST_F(Programs, AnOperatorChainTooDeepToFollowIsMalformedNotACrash) {
  TQ_ExecutiveTesting::BeginEmission(Host(), 1, rows, cols);
  count = 0;
  Begin();
  for (int k = 0; k < 1000000; ++k) Op(19);
  bool ok = true;
  Host().Evaluate(Last(), {}, &ok);
  EXPECT_FALSE(ok);
  EXPECT_NE(Host().Infix(Last()).find("[malformed program]"), std::string::npos);
}

TEST_F(Programs, ALongWellFormedSumEvaluatesAndPrints) {
  // A+A+...+A with 2000 terms, grouped from the left.
  Begin();
  for (int k = 0; k < 1999; ++k) Op(19);
  for (int k = 0; k < 2000; ++k) Int(1);
  bool ok = false;
  EXPECT_DOUBLE_EQ(Value(&ok), 2000.0);
  EXPECT_TRUE(ok);
  const std::string infix = Host().Infix(Last());
  EXPECT_EQ(infix.size(), 2000u + 1999u);
  EXPECT_EQ(infix.find('('), std::string::npos);
}

}  // namespace
