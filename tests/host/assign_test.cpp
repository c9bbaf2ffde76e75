// Assignments through the host: a default that takes effect unless the user
// fixed the value, readable at once, logged with pass, level and number; and
// the initialisation of internal index sets per sweep.
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "host_fixture.h"
#include "host/tq_executive_testing.h"

namespace {

class Assignments : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    TQ_ExecutiveTesting::EnableLog(Host(), true);
    N.AddProperty(&owner, "N", nullptr, TQ_DIR_NONE, false);
    L.AddProperty(&owner, "L", nullptr, TQ_DIR_NONE, false);
    M.AddProperty(&owner, "M", nullptr, TQ_DIR_NONE, false);
    INTEGRALS.AddProperty(&owner, "INTEGRALS", nullptr, TQ_DIR_NONE, false);
    TQ_SET1.AddProperty(&owner, "TQ_VALUE_SET1", nullptr, TQ_DIR_NONE, false);
  }

  TQ_Container owner;
  TQ_INTEGERPARAMETER N;
  TQ_REALPARAMETER L;
  TQ_STRINGPARAMETER M;
  TQ_STRINGSET INTEGRALS;
  TQ_INTEGERSET TQ_SET1;
};

TEST_F(Assignments, ADefaultTakesEffectAndIsReadableAtOnce) {
  TQ_Value four(4, 1u, 9u, 3);
  EXPECT_EQ(N.Assign(&four), TQ_ASSIGN_DONE);
  EXPECT_EQ(N.v(), 4);
  EXPECT_EQ(N.fv(), 4);

  ASSERT_EQ(TQ_ExecutiveTesting::Log(Host()).size(), 1u);
  const TQ_LogEntry& entry = TQ_ExecutiveTesting::Log(Host())[0];
  EXPECT_EQ(entry.kind, TQ_LogEntry::Assignment);
  EXPECT_EQ(entry.target, &N);
  EXPECT_EQ(entry.value.Integer(), 4);
  EXPECT_EQ(entry.value.Pass(), 1u);
  EXPECT_EQ(entry.value.Level(), 9u);
  EXPECT_EQ(entry.value.Number(), 3);
  EXPECT_EQ(entry.status, TQ_ASSIGN_DONE);
}

TEST_F(Assignments, ALaterDefaultReplacesAnEarlierOne) {
  TQ_Value first(4, 1u, 9u, 1);
  TQ_Value second(7, 1u, 9u, 2);
  N.Assign(&first);
  N.Assign(&second);
  EXPECT_EQ(N.v(), 7);
  ASSERT_EQ(TQ_ExecutiveTesting::Log(Host()).size(), 2u);
  EXPECT_EQ(TQ_ExecutiveTesting::Log(Host())[0].value.Number(), 1);
  EXPECT_EQ(TQ_ExecutiveTesting::Log(Host())[1].value.Number(), 2);
}

TEST_F(Assignments, AFixedValueStaysAndTheStatusSaysSo) {
  ASSERT_EQ(N.Fix(TQ_Value(12, 0u, 0u, 0)), TQ_ASSIGN_DONE);
  TQ_Value offered(4, 1u, 9u, 3);
  EXPECT_EQ(N.Assign(&offered), TQ_ASSIGN_KEPT_FIXED);
  EXPECT_EQ(N.v(), 12);
  EXPECT_TRUE(N.IsFixed());
  ASSERT_EQ(TQ_ExecutiveTesting::Log(Host()).size(), 1u);
  EXPECT_EQ(TQ_ExecutiveTesting::Log(Host())[0].status, TQ_ASSIGN_KEPT_FIXED);
  EXPECT_EQ(TQ_ExecutiveTesting::Log(Host())[0].value.Integer(), 4) << "the log keeps what the library offered";

  N.Unfix();
  TQ_Value later(5, 1u, 9u, 4);
  EXPECT_EQ(N.Assign(&later), TQ_ASSIGN_DONE);
  EXPECT_EQ(N.v(), 5);
}

TEST_F(Assignments, TheHostKeepsItsOwnCopyOfTheValue) {
  char text[] = "CFD4";
  {
    TQ_Value method(text, 1u, 9u, 1);
    M.Assign(&method);
  }
  text[0] = 'X';
  EXPECT_STREQ(M.v(), "CFD4");
  EXPECT_STREQ(TQ_ExecutiveTesting::Log(Host())[0].value.Text(), "CFD4");
}

TEST_F(Assignments, ValuesOfAnotherKindAreConvertedOrRefused) {
  TQ_Value three(3, 1u, 9u, 1);
  EXPECT_EQ(L.Assign(&three), TQ_ASSIGN_DONE);
  EXPECT_EQ(L.v(), 3.0);

  TQ_Value half(2.5, 1u, 9u, 2);
  N.Assign(&three);
  EXPECT_EQ(N.Assign(&half), TQ_ASSIGN_REFUSED);
  EXPECT_EQ(N.v(), 3) << "a refused value changes nothing";

  EXPECT_EQ(N.Assign(nullptr), TQ_ASSIGN_REFUSED);
  EXPECT_EQ(N.v(), 3);
  EXPECT_EQ(TQ_ExecutiveTesting::Log(Host()).back().status, TQ_ASSIGN_REFUSED);
}

TEST_F(Assignments, ATextGivenToAStringSetStandsForItsMembers) {
  TQ_Value none("None", 1u, 9u, 1);
  EXPECT_EQ(INTEGRALS.Assign(&none), TQ_ASSIGN_DONE);
  EXPECT_EQ(INTEGRALS.v(), TQ_StrSetValue("None"));
  TQ_Value two("idx\"idy\"", 1u, 9u, 2);
  INTEGRALS.Assign(&two);
  EXPECT_EQ((INTEGRALS.fv() >= "idy"), 1);
  EXPECT_EQ((INTEGRALS.fv() >= "None"), 0);
}

TEST_F(Assignments, FixingOutsideTheBoundsOrValidSetIsRefusedWithAReason) {
  class Bounded : public TQ_INTEGERPARAMETER {
   public:
    Bounded() : TQ_INTEGERPARAMETER(false) { InitializeSystemAttributes(); }
    TQ_Value* TQ_DefaultLOWER() const override {
      static TQ_Value lower(1, 0u);
      return &lower;
    }
  } sections;
  class Method : public TQ_STRINGPARAMETER {
   public:
    Method() : TQ_STRINGPARAMETER(false) { InitializeSystemAttributes(); }
    TQ_Value* TQ_DefaultVALID() const override {
      static TQ_Value valid(TQ_StrSetValue("BFD1\"CFD4\""), 0u);
      return &valid;
    }
  } method;

  std::string why;
  EXPECT_EQ(sections.Fix(TQ_Value(0, 0u, 0u, 0), &why), TQ_ASSIGN_REFUSED);
  EXPECT_NE(why.find("lower bound"), std::string::npos) << why;
  EXPECT_FALSE(sections.IsFixed());
  EXPECT_EQ(sections.Fix(TQ_Value(2, 0u, 0u, 0), &why), TQ_ASSIGN_DONE);

  why.clear();
  EXPECT_EQ(method.Fix(TQ_Value("XYZ", 0u, 0u, 0), &why), TQ_ASSIGN_REFUSED);
  EXPECT_NE(why.find("valid set"), std::string::npos) << why;
  EXPECT_EQ(method.Fix(TQ_Value("cfd4", 0u, 0u, 0), &why), TQ_ASSIGN_DONE);
  EXPECT_STREQ(method.v(), "cfd4");
}

TEST_F(Assignments, PropertiesReadTheirInitialValueBeforeAnyAssignment) {
  TQ_FalseLOGICALPARAMETER flag;
  TQ_REALVARIABLE x;
  EXPECT_EQ(N.v(), 0);
  EXPECT_EQ(L.v(), 0.0);
  EXPECT_STREQ(M.v(), "");
  EXPECT_FALSE(flag.v());
  EXPECT_EQ(x.v(), 0.0);
  EXPECT_EQ(INTEGRALS.v().SetSize(), 0);
}

// ---- internal index sets ---------------------------------------------------------

TEST_F(Assignments, AnIndexSetTakesItsValuePerSweepAndIsLogged) {
  TQ_Value sweep0(TQ_IntSetValue(0, 4), 1u, 9u, 1);
  owner.InitialiseInternalIndexSet(TQ_SET1, &sweep0, 0);
  EXPECT_EQ(TQ_SET1.v(), TQ_IntSetValue(0, 4));
  TQ_Value sweep1(TQ_IntSetValue(1, 3), 1u, 9u, 1);
  owner.InitialiseInternalIndexSet(TQ_SET1, &sweep1, 1);
  EXPECT_EQ(TQ_SET1.fv(), TQ_IntSetValue(1, 3));

  ASSERT_EQ(TQ_ExecutiveTesting::Log(Host()).size(), 2u);
  for (int sweep = 0; sweep < 2; ++sweep) {
    const TQ_LogEntry& entry = TQ_ExecutiveTesting::Log(Host())[static_cast<std::size_t>(sweep)];
    EXPECT_EQ(entry.kind, TQ_LogEntry::IndexSet);
    EXPECT_EQ(entry.target, &TQ_SET1);
    EXPECT_EQ(entry.sweep, sweep);
    EXPECT_EQ(entry.status, TQ_ASSIGN_DONE);
    EXPECT_EQ(entry.value.Pass(), 1u);
    EXPECT_EQ(entry.value.Level(), 9u);
    EXPECT_EQ(entry.value.Number(), 1);
  }
  EXPECT_TRUE(Host().Errors().empty()) << AllErrors();
}

TEST_F(Assignments, AnIndexSetGivenAValueItCannotHoldReportsAndKeepsItsValue) {
  TQ_Value good(TQ_IntSetValue(0, 2), 1u, 9u, 1);
  owner.InitialiseInternalIndexSet(TQ_SET1, &good, 0);

  TQ_Value strings(TQ_StrSetValue("a\"b\""), 1u, 9u, 2);
  owner.InitialiseInternalIndexSet(TQ_SET1, &strings, 0);
  EXPECT_EQ(TQ_SET1.v(), TQ_IntSetValue(0, 2));
  EXPECT_TRUE(ErrorMentions("TQ_VALUE_SET1")) << AllErrors();

  Host().ClearErrors();
  TQ_Value number(5, 1u, 9u, 3);
  owner.InitialiseInternalIndexSet(TQ_SET1, &number, 1);
  EXPECT_EQ(TQ_SET1.v(), TQ_IntSetValue(0, 2));
  EXPECT_TRUE(ErrorMentions("TQ_VALUE_SET1")) << AllErrors();

  Host().ClearErrors();
  owner.InitialiseInternalIndexSet(TQ_SET1, nullptr, 1);
  EXPECT_TRUE(ErrorMentions("TQ_VALUE_SET1")) << AllErrors();
  EXPECT_EQ(TQ_SET1.v(), TQ_IntSetValue(0, 2));

  // Every value handed over is recorded, the refused ones as refused.
  ASSERT_EQ(TQ_ExecutiveTesting::Log(Host()).size(), 4u);
  EXPECT_EQ(TQ_ExecutiveTesting::Log(Host())[0].status, TQ_ASSIGN_DONE);
  for (std::size_t i = 1; i < 4; ++i) {
    EXPECT_EQ(TQ_ExecutiveTesting::Log(Host())[i].kind, TQ_LogEntry::IndexSet);
    EXPECT_EQ(TQ_ExecutiveTesting::Log(Host())[i].status, TQ_ASSIGN_REFUSED) << i;
  }
  EXPECT_EQ(TQ_ExecutiveTesting::Log(Host())[2].value.Number(), 3);
}

// A fix of what the model computes cannot be honoured: the set is refused its fix when the model
// first initialises it, with an error naming it, and takes the model's value; the refusal is on
// the executive's list. A fixed property the model assigns keeps its fix.
TEST_F(Assignments, AFixedIndexSetIsRefusedItsFixAndTakesTheModelsValue) {
  owner.SetObjectName("X");
  ASSERT_EQ(TQ_SET1.Fix(TQ_Value(TQ_IntSetValue(1, 3), 0u, 0u, 0)), TQ_ASSIGN_DONE);
  ASSERT_EQ(N.Fix(TQ_Value(12, 0u, 0u, 0)), TQ_ASSIGN_DONE);
  for (int sweep = 0; sweep < 2; ++sweep) {
    TQ_Value computed(TQ_IntSetValue(0, 4 + sweep), 1u, 9u, 1);
    owner.InitialiseInternalIndexSet(TQ_SET1, &computed, sweep);
    EXPECT_EQ(TQ_SET1.v(), TQ_IntSetValue(0, 4 + sweep));
    EXPECT_FALSE(TQ_SET1.IsFixed());
    if (sweep == 0) {
      TQ_Value offered(4, 1u, 9u, 2);
      EXPECT_EQ(N.Assign(&offered), TQ_ASSIGN_KEPT_FIXED);
    }
  }
  EXPECT_EQ(Host().Errors(),
            std::vector<std::string>{"X.TQ_VALUE_SET1 is fixed, but it is an index set that X computes; the fix is "
                                     "refused and X's value is taken"});
  EXPECT_EQ(Host().RefusedFixes(), std::vector<std::string>{"X.TQ_VALUE_SET1"});
  EXPECT_EQ(N.v(), 12);
  EXPECT_TRUE(N.IsFixed());
  // Both sweeps' values were taken.
  ASSERT_EQ(TQ_ExecutiveTesting::Log(Host()).size(), 3u);
  EXPECT_EQ(TQ_ExecutiveTesting::Log(Host())[0].status, TQ_ASSIGN_DONE);
  EXPECT_EQ(TQ_ExecutiveTesting::Log(Host())[2].status, TQ_ASSIGN_DONE);

  // A value the set cannot hold leaves the fix alone: nothing of the model's is taken.
  Host().Reset();
  ASSERT_EQ(TQ_SET1.Fix(TQ_Value(TQ_IntSetValue(1, 3), 0u, 0u, 0)), TQ_ASSIGN_DONE);
  TQ_Value strings(TQ_StrSetValue("a\"b\""), 1u, 9u, 1);
  owner.InitialiseInternalIndexSet(TQ_SET1, &strings, 0);
  EXPECT_TRUE(TQ_SET1.IsFixed());
  EXPECT_EQ(TQ_SET1.v(), TQ_IntSetValue(1, 3));
  EXPECT_TRUE(Host().RefusedFixes().empty());
}

TEST_F(Assignments, TheLogRecordsNothingWhenSwitchedOff) {
  TQ_ExecutiveTesting::EnableLog(Host(), false);
  TQ_Value four(4, 1u, 9u, 3);
  N.Assign(&four);
  EXPECT_TRUE(TQ_ExecutiveTesting::Log(Host()).empty());
  EXPECT_EQ(N.v(), 4);
}

}  // namespace
