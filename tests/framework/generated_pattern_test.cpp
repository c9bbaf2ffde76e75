// The generated model class pattern on a two-level test model: construction
// and registration, ContainerDerivesFrom, the two-sweep assignments, array
// sizing, equation declaration and emission, and the factory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_types.h"
#include "host/tq_executive_testing.h"

namespace {

using Strings = std::vector<std::string>;

class GeneratedPatternTest : public HostTest {};

// ---- construction and registration ---------------------------------------------------

TEST_F(GeneratedPatternTest, ConstructRegistersOwnMembersInOrderWithIndexSetBeforeItsArray) {
  TQ_TESTMODEL model;
  EXPECT_EQ(PropertyNames(model), (Strings{"COUNT", "TQ_VALUE_SET1", "VALUE", "INPUT", "OUTPUT", "PEER", "SCALE"}));
  const TQ_PropertyRecord& count = model.PropertyAt(0);
  EXPECT_EQ(count.property, &model.COUNT);
  EXPECT_STREQ(count.description, "Number of values");
  EXPECT_FALSE(count.flag);
  EXPECT_EQ(model.PropertyAt(1).description, nullptr);
  EXPECT_EQ(model.PropertyAt(3).direction, TQ_DIR_INPUT);
  EXPECT_EQ(model.PropertyAt(4).direction, TQ_DIR_OUTPUT);
  EXPECT_EQ(model.PropertyAt(5).property, &model.PEER);
  EXPECT_EQ(model.PropertyAt(6).property, &model.SCALE);
  // The marks made on what AddProperty returned.
  EXPECT_FALSE(model.INPUT.IsToBeExported());
  EXPECT_EQ(model.INPUT.HostPortTypeValue(), 0);
  EXPECT_TRUE(model.OUTPUT.IsToBeExported());
  EXPECT_EQ(model.OUTPUT.HostPortTypeValue(), 4);
  // Members that take a flag are built with it; a port member registers its
  // own properties.
  EXPECT_TRUE(model.COUNT.SystemAttributesInitialised());
  EXPECT_EQ(PropertyNames(model.INPUT), (Strings{"LINKED"}));
  EXPECT_EQ(model.FirstGroup, 0);
  EXPECT_EQ(model.LocalEqnCount, 0);
  EXPECT_EQ(model.LocalNonZeroCount, 0);
}

TEST_F(GeneratedPatternTest, ConstructFlagClearRegistersNothing) {
  TQ_TESTMODEL model(false);
  EXPECT_EQ(model.PropertyCount(), 0);
  EXPECT_TRUE(model.COUNT.SystemAttributesInitialised()) << "members are built all the same";
  EXPECT_TRUE(model.SCALE.SystemAttributesInitialised());
  EXPECT_FALSE(model.SCALE.IsRegistered());
  EXPECT_EQ(model.INPUT.PropertyCount(), 1);
  model.Construct();
  EXPECT_EQ(model.PropertyCount(), 7);
}

TEST_F(GeneratedPatternTest, DerivedObjectRegistersEachLevelOnceParentFirst) {
  TQ_TESTDERIVED derived;
  EXPECT_EQ(PropertyNames(derived),
            (Strings{"COUNT", "TQ_VALUE_SET1", "VALUE", "INPUT", "OUTPUT", "PEER", "SCALE", "NOTE"}));
  TQ_TESTDERIVED unconstructed(false);
  EXPECT_EQ(unconstructed.PropertyCount(), 0);
}

// ---- type id and ContainerDerivesFrom --------------------------------------------------

TEST_F(GeneratedPatternTest, TypeIdIsTheDescriptionAndTheSamePointer) {
  TQ_TESTMODEL model;
  EXPECT_EQ(model.TQ_DefaultDESCRIPTION(), TQ_TESTMODEL::TQ_ContainerId());
  TQ_TESTDERIVED derived;
  EXPECT_STREQ(derived.TQ_DefaultDESCRIPTION(), "Model TESTDERIVED\tV7.1");
  TQ_Type& asHost = derived;
  EXPECT_STREQ(asHost.TQ_DefaultDESCRIPTION(), "Model TESTDERIVED\tV7.1");
}

TEST_F(GeneratedPatternTest, ContainerDerivesFromFollowsTheGeneratedChain) {
  TQ_TESTDERIVED derived;
  TQ_TESTMODEL model;
  TQ_Type& d = derived;
  EXPECT_TRUE(d.ContainerDerivesFrom("Model TESTDERIVED\tV7.1"));
  EXPECT_TRUE(d.ContainerDerivesFrom("model testderived\tv7.1"));
  EXPECT_TRUE(d.ContainerDerivesFrom("MODEL TESTMODEL\tV7.1")) << "the generated parent's id";
  EXPECT_FALSE(model.ContainerDerivesFrom("Model TESTDERIVED\tV7.1")) << "a parent does not derive from its child";
  EXPECT_TRUE(model.ContainerDerivesFrom("Model TestModel\tV7.1"));
  // Only the whole id counts: the TAB, the version and the kind word.
  EXPECT_FALSE(d.ContainerDerivesFrom("Model TESTMODEL V7.1"));
  EXPECT_FALSE(d.ContainerDerivesFrom("Model TESTMODEL\tV7.2"));
  EXPECT_FALSE(d.ContainerDerivesFrom("Model TESTMODEL\t"));
  EXPECT_FALSE(d.ContainerDerivesFrom("Model TESTMODEL\tV7.1 "));
  EXPECT_FALSE(d.ContainerDerivesFrom("Port TESTMODEL\tV7.1"));
  EXPECT_FALSE(d.ContainerDerivesFrom(""));
  EXPECT_FALSE(d.ContainerDerivesFrom(nullptr));
  // Over a host base a class answers for itself only.
  TQ_TESTPORT port;
  EXPECT_TRUE(port.ContainerDerivesFrom("port testport\tV7.1"));
  EXPECT_FALSE(port.ContainerDerivesFrom(TQ_MULTIPORT_BaseType::TQ_ContainerId()));
}

// ---- ExecuteAssignments ------------------------------------------------------------------

struct Handed {
  TQ_LogEntry::Kind kind;
  const TQ_Containable* target;
  int number;
  unsigned level;
  unsigned pass;
  int sweep;
  std::string value;
  bool operator==(const Handed&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Handed& h) {
  return out << (h.kind == TQ_LogEntry::IndexSet ? "set " : "assign ") << h.number << " level " << h.level << " pass "
             << h.pass << " sweep " << h.sweep << " " << h.value;
}

std::vector<Handed> HandedValues() {
  std::vector<Handed> handed;
  for (const TQ_LogEntry& e : TQ_ExecutiveTesting::Log(TQ_Executive::Instance()))
    handed.push_back(Handed{e.kind,
                            e.target,
                            e.value.Number(),
                            e.value.Level(),
                            e.value.Pass(),
                            e.kind == TQ_LogEntry::IndexSet ? e.sweep : -1,
                            e.value.ToString()});
  return handed;
}

TEST_F(GeneratedPatternTest, TwoSweepsNumberIndexSetsThenAssignments) {
  TQ_TESTMODEL model;
  TQ_ExecutiveTesting::EnableLog(TQ_Executive::Instance(), true);
  TQ_ExecutiveTesting::SetRootAssignmentStatus(TQ_Executive::Instance(), 17);
  EXPECT_EQ(model.ExecuteAssignments(10, 2), 17);

  const auto S = TQ_LogEntry::IndexSet;
  const auto A = TQ_LogEntry::Assignment;
  // Sweep 0 sees COUNT before its assignment (0: the empty range), sweep 1
  // the assigned 3; #3 does not run (COUNT is not above 5) and keeps its
  // number free.
  std::vector<Handed> expected{
      {S, &model.TQ_VALUE_SET1, 1, 10, 2, 0, TQ_IntSetValue(1, 0).ToString()},
      {A, &model.COUNT, 2, 10, 2, -1, "3"},
      {A, &model.TAG, 4, 10, 2, -1, "\"set\""},
      {S, &model.TQ_VALUE_SET1, 1, 10, 2, 1, TQ_IntSetValue(1, 3).ToString()},
  };
  EXPECT_EQ(HandedValues(), expected);
  EXPECT_EQ(model.TQ_VALUE_SET1.v(), TQ_IntSetValue(1, 3));
}

TEST_F(GeneratedPatternTest, ConditionalAssignmentRunsWhenItsConditionHolds) {
  TQ_TESTMODEL model;
  std::string error;
  ASSERT_EQ(model.COUNT.Fix(TQ_Value(8, 0u, 0u, 0), &error), TQ_ASSIGN_DONE) << error;
  TQ_ExecutiveTesting::EnableLog(TQ_Executive::Instance(), true);
  model.ExecuteAssignments(3, 1);
  std::vector<int> numbers;
  for (const Handed& h : HandedValues()) numbers.push_back(h.number);
  EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4, 1}));
  EXPECT_EQ(model.COUNT.v(), 8) << "the fixed value stands";
}

TEST_F(GeneratedPatternTest, DerivedLevelRunsItsParentOneLevelLower) {
  TQ_TESTDERIVED derived;
  TQ_ExecutiveTesting::EnableLog(TQ_Executive::Instance(), true);
  TQ_ExecutiveTesting::SetRootAssignmentStatus(TQ_Executive::Instance(), -4);
  EXPECT_EQ(derived.ExecuteAssignments(10, 5), -4) << "a failing status passes through both levels";

  std::vector<Handed> handed = HandedValues();
  ASSERT_EQ(handed.size(), 5u);
  // The parent's level first, with level 9 ...
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(handed[static_cast<std::size_t>(i)].level, 9u) << handed[static_cast<std::size_t>(i)];
    EXPECT_EQ(handed[static_cast<std::size_t>(i)].pass, 5u);
  }
  // ... then the derived level's own, numbered from 1 again, with level 10.
  EXPECT_EQ(handed[4], (Handed{TQ_LogEntry::Assignment, &derived.NOTE, 1, 10, 5, -1, "\"derived\""}));
  EXPECT_STREQ(derived.NOTE.v(), "derived");
}

// ---- SetDims -----------------------------------------------------------------------------

TEST_F(GeneratedPatternTest, SetDimsGivesArraysTheirIndexSets) {
  TQ_TESTDERIVED derived;
  derived.SetDims();
  EXPECT_EQ(derived.VALUE.DeclaredSet(0), &derived.TQ_VALUE_SET1);
  EXPECT_EQ(derived.TQ_VALUE_SET1.DependentCount(), 1);
}

// ---- SetUpEquations and JacPattern ---------------------------------------------------------

TEST_F(GeneratedPatternTest, EquationsAreDeclaredAfterTheParentsAndCounted) {
  TQ_TESTDERIVED* derived = morvane::MakeReferenced<TQ_TESTDERIVED>();
  TQ_TESTMODEL* model = morvane::MakeReferenced<TQ_TESTMODEL>();
  TQ_Executive& host = TQ_Executive::Instance();
  ASSERT_TRUE(host.AddObject("D", derived));
  ASSERT_TRUE(host.AddObject("M", model));
  ASSERT_TRUE(host.RunCycle()) << (host.Errors().empty() ? "" : host.Errors().front());

  // The derived object's equation comes from its parent's level; the derived
  // level adds none.
  const TQ_TESTMODEL& parentLevel = *derived;
  EXPECT_EQ(parentLevel.FirstGroup, 0);
  EXPECT_EQ(parentLevel.LocalEqnCount, 1);
  EXPECT_EQ(parentLevel.LocalNonZeroCount, 1);
  EXPECT_EQ(derived->LocalEqnCount, 0);
  EXPECT_EQ(derived->LocalNonZeroCount, 0);
  // The second object declares after the first's groups.
  EXPECT_EQ(model->FirstGroup, 2);
  EXPECT_EQ(model->LocalEqnCount, 1);

  ASSERT_EQ(host.Declared().size(), 2u);
  EXPECT_EQ(host.Declared()[0].group, 2);
  EXPECT_EQ(host.Declared()[1].group, 4);
  ASSERT_EQ(host.Emitted().size(), 2u);
  EXPECT_STREQ(host.EquationName(host.Emitted()[0]), "TQ_Eqn1");
  EXPECT_EQ(host.Infix(host.Emitted()[1]), "VALUE(1)");
  std::string difference;
  EXPECT_TRUE(host.DeclaredMatchesEmitted(&difference)) << difference;
}

TEST_F(GeneratedPatternTest, SetUpEquationsReturnsWhatSetLocalEqnCountReturns) {
  TQ_Executive& host = TQ_Executive::Instance();
  TQ_TESTDERIVED derived;
  TQ_TESTPORT port;
  TQ_ExecutiveTesting::SetRootSetUpResult(host, 5);
  EXPECT_EQ(port.SetUpEquations(), 5) << "no equations: the parent's count";
  EXPECT_EQ(port.LocalEqnCount, 0);
  EXPECT_EQ(derived.SetUpEquations(), 6);
  // Each level reports its own running count; with the host answering 40,
  // the derived level starts from the parent level's answer.
  TQ_ExecutiveTesting::SetLocalEqnCountResult(host, 40);
  EXPECT_EQ(derived.SetUpEquations(), 40);
  EXPECT_EQ(static_cast<TQ_TESTMODEL&>(derived).LocalEqnCount, 1);
  EXPECT_EQ(derived.LocalEqnCount, 0);
}

TEST_F(GeneratedPatternTest, NegativeSetUpResultPassesThroughEveryLevelUntouched) {
  TQ_Executive& host = TQ_Executive::Instance();
  TQ_TESTDERIVED derived;
  TQ_ModelType::m_stLastGroup = 6;
  TQ_ExecutiveTesting::SetRootSetUpResult(host, 3);
  derived.SetUpEquations();
  TQ_TESTMODEL& parentLevel = derived;
  ASSERT_EQ(parentLevel.FirstGroup, 6);
  ASSERT_EQ(derived.FirstGroup, 6);

  TQ_ModelType::m_stLastGroup = 9;
  TQ_ExecutiveTesting::SetRootSetUpResult(host, -7);
  EXPECT_EQ(derived.SetUpEquations(), -7);
  EXPECT_EQ(parentLevel.FirstGroup, 6) << "not rewritten";
  EXPECT_EQ(parentLevel.LocalEqnCount, 1);
  EXPECT_EQ(derived.FirstGroup, 6);
  TQ_ModelType::m_stLastGroup = 0;
}

TEST_F(GeneratedPatternTest, JacPatternReturnsTheParentsResultUntested) {
  TQ_Executive& host = TQ_Executive::Instance();
  TQ_TESTPORT port;
  int* rows = nullptr;
  int* cols = nullptr;
  TQ_ExecutiveTesting::SetRootJacResult(host, -3);
  EXPECT_EQ(port.JacPattern(rows, cols, nullptr), -3);
  TQ_ExecutiveTesting::SetRootJacResult(host, 12);
  EXPECT_EQ(port.JacPattern(rows, cols, nullptr), 12);
  EXPECT_EQ(port.LocalNonZeroCount, 0);
  EXPECT_EQ(port.Residuals(nullptr, 0, 0), 0);
  EXPECT_EQ(port.Jacobian(nullptr, 3, 4), 0);
}

// ---- copying -------------------------------------------------------------------------------

TEST_F(GeneratedPatternTest, AssignmentCopiesMembersAndEveryLevelsCounters) {
  TQ_TESTDERIVED source;
  source.FirstGroup = 3;
  source.LocalEqnCount = 4;
  static_cast<TQ_TESTMODEL&>(source).LocalNonZeroCount = 5;
  TQ_Value note("copied", 0u, 0u, 1);
  source.NOTE.Assign(&note);
  TQ_TESTDERIVED target;
  EXPECT_EQ(&(target = source), &target);
  EXPECT_EQ(target.FirstGroup, 3);
  EXPECT_EQ(target.LocalEqnCount, 4);
  EXPECT_EQ(static_cast<TQ_TESTMODEL&>(target).LocalNonZeroCount, 5);
  EXPECT_STREQ(target.NOTE.v(), "copied");
  EXPECT_EQ(target.PropertyCount(), 8) << "the target keeps its own registrations";
  EXPECT_EQ(&*target, &target);
}

// ---- factory -------------------------------------------------------------------------------

TEST_F(GeneratedPatternTest, FactoryMakesOneReferencedObjectOrNothing) {
  const std::int64_t live = TQ_HeapStats::LiveBlocks();
  TQ_TESTMODEL* model = morvane::MakeReferenced<TQ_TESTMODEL>();
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->RefCount(), 1);
  EXPECT_EQ(model->PropertyCount(), 7);
  const int destroyed = TQ_TESTMODEL::destroyed;
  EXPECT_EQ(model->Release(), 0);
  EXPECT_EQ(TQ_TESTMODEL::destroyed, destroyed + 1);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live) << "the block goes back to the host heap";

  const int built = TQ_TESTMODEL::built;
  TQ_HeapStats::FailAllocations(1);
  EXPECT_EQ(morvane::MakeReferenced<TQ_TESTMODEL>(), nullptr);
  EXPECT_EQ(TQ_TESTMODEL::built, built) << "nothing constructed";
}

}  // namespace
