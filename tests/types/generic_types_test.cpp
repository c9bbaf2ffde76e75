// The seven generic types: what their factories make, how they register
// their members, their type ids and ContainerDerivesFrom chains, and their
// frames without equations.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "library/export_table.h"
#include "types/tq_generic_types.h"
#include "types_support.h"
#include "host/tq_executive_testing.h"

// The factories, as the export table defines them.
#define MORVANE_DECLARE_FACTORY(NAME) extern "C" TQ_ModelType* NAME##Factory();
MORVANE_CREATABLE_TYPES(MORVANE_DECLARE_FACTORY)
#undef MORVANE_DECLARE_FACTORY

namespace {

using List = std::vector<Registered>;

class GenericTypeTest : public StandardTypeTest {
 protected:
  // An object from a factory, released at the end of the test.
  template <class T>
  T& Made(TQ_ModelType* (*factory)()) {
    TQ_ModelType* object = factory();
    EXPECT_NE(object, nullptr);
    EXPECT_EQ(object->RefCount(), 1) << "a factory's object holds one reference";
    made_.push_back(object);
    T* typed = dynamic_cast<T*>(object);
    EXPECT_NE(typed, nullptr);
    return *typed;
  }
  void TearDown() override {
    for (TQ_ModelType* object : made_) object->Release();
    StandardTypeTest::TearDown();
  }

 private:
  std::vector<TQ_ModelType*> made_;
};

TEST_F(GenericTypeTest, GenericModelRegistersNotesListAndUnexportedSignals) {
  auto& model = Made<TQ_GENERICMODEL>(GENERICMODELFactory);
  EXPECT_EQ(
      RegisteredProperties(model),
      (List{Plain("USERNOTES"), Plain("COMPONENTLIST"), Unexported("INPUTSIGNAL", 4), Unexported("OUTPUTSIGNAL", 8)}));
  EXPECT_EQ(model.PropertyAt(2).property, &model.INPUTSIGNAL);
  EXPECT_TRUE(model.USERNOTES.SystemAttributesInitialised());
  EXPECT_EQ(static_cast<TQ_ModelType&>(model).ComponentList(), &model.COMPONENTLIST);
}

TEST_F(GenericTypeTest, GenericStructureRegistersNotesAndList) {
  auto& structure = Made<TQ_GENERICSTRUCTURE>(GENERICSTRUCTUREFactory);
  EXPECT_EQ(RegisteredProperties(structure), (List{Plain("USERNOTES"), Plain("COMPONENTLIST")}));
  EXPECT_STREQ(structure.TQ_DefaultDESCRIPTION(), "Structure GENERICSTRUCTURE\tV7.1");
  EXPECT_EQ(static_cast<TQ_ModelType&>(structure).ComponentList(), &structure.COMPONENTLIST);
}

TEST_F(GenericTypeTest, GenericStreamRegistersFourUnexportedControlPorts) {
  auto& stream = Made<TQ_GENERICSTREAM>(GENERICSTREAMFactory);
  EXPECT_EQ(RegisteredProperties(stream),
            (List{Plain("USERNOTES"),
                  Plain("COMPONENTLIST"),
                  Unexported("TQ_UNCONNECTABLEINPUT", 4),
                  Unexported("TQ_UNCONNECTABLEOUTPUT", 8),
                  Unexported("INPUTSIGNAL", 4),
                  Unexported("OUTPUTSIGNAL", 8)}));
  EXPECT_EQ(static_cast<TQ_ModelType&>(stream).ComponentList(), nullptr) << "the host's own answer";
}

TEST_F(GenericTypeTest, ControlSignalsRegisterSourceAndDestUnexported) {
  const List expected{Plain("USERNOTES"), Unexported("SOURCE", 4), Unexported("DEST", 8)};
  auto& generic = Made<TQ_GENERICCONTROLSIGNAL>(GENERICCONTROLSIGNALFactory);
  EXPECT_EQ(RegisteredProperties(generic), expected);
  auto& signal = Made<TQ_CONTROLSIGNAL>(CONTROLSIGNALFactory);
  EXPECT_EQ(RegisteredProperties(signal), expected) << "the parent's properties, once";
  EXPECT_EQ(signal.PropertyAt(1).property, &signal.SOURCE);
}

TEST_F(GenericTypeTest, ConnectionsRegisterSourceAndDestAsHostPortType4) {
  const List expected{Plain("USERNOTES"), HostPort4("SOURCE", 4), HostPort4("DEST", 8)};
  auto& generic = Made<TQ_GENERICCONNECTION>(GENERICCONNECTIONFactory);
  EXPECT_EQ(RegisteredProperties(generic), expected);
  auto& connection = Made<TQ_CONNECTION>(CONNECTIONFactory);
  EXPECT_EQ(RegisteredProperties(connection), expected);
}

TEST_F(GenericTypeTest, TypeIdsAreTheDescriptions) {
  const std::vector<std::pair<TQ_ModelType* (*)(), const char*>> ids{
      {GENERICMODELFactory, "Model GENERICMODEL\tV7.1"},
      {GENERICSTRUCTUREFactory, "Structure GENERICSTRUCTURE\tV7.1"},
      {GENERICSTREAMFactory, "Model GENERICSTREAM\tV7.1"},
      {GENERICCONTROLSIGNALFactory, "Model GENERICCONTROLSIGNAL\tV7.1"},
      {CONTROLSIGNALFactory, "Model CONTROLSIGNAL\tV7.1"},
      {GENERICCONNECTIONFactory, "Model GENERICCONNECTION\tV7.1"},
      {CONNECTIONFactory, "Model CONNECTION\tV7.1"},
  };
  for (const auto& [factory, id] : ids) {
    TQ_ModelType& object = Made<TQ_ModelType>(factory);
    EXPECT_STREQ(object.TQ_DefaultDESCRIPTION(), id);
    EXPECT_TRUE(object.ContainerDerivesFrom(id)) << id;
  }
  EXPECT_EQ(TQ_CONNECTION::TQ_ContainerId(), TQ_CONNECTION::TQ_ContainerId());
}

TEST_F(GenericTypeTest, DerivedTypesAnswerForTheirParentToo) {
  auto& signal = Made<TQ_CONTROLSIGNAL>(CONTROLSIGNALFactory);
  EXPECT_TRUE(signal.ContainerDerivesFrom("Model CONTROLSIGNAL\tV7.1"));
  EXPECT_TRUE(signal.ContainerDerivesFrom("model genericcontrolsignal\tV7.1"));
  EXPECT_FALSE(signal.ContainerDerivesFrom("Model GENERICCONNECTION\tV7.1"));

  auto& connection = Made<TQ_CONNECTION>(CONNECTIONFactory);
  EXPECT_TRUE(connection.ContainerDerivesFrom("Model GENERICCONNECTION\tV7.1"));
  EXPECT_TRUE(connection.ContainerDerivesFrom("MODEL CONNECTION\tV7.1"));
  EXPECT_FALSE(connection.ContainerDerivesFrom("Model GENERICCONTROLSIGNAL\tV7.1"));
  EXPECT_FALSE(connection.ContainerDerivesFrom("Model GENERICCONNECTION V7.1"));

  // The root types answer for themselves only.
  auto& generic = Made<TQ_GENERICCONNECTION>(GENERICCONNECTIONFactory);
  EXPECT_FALSE(generic.ContainerDerivesFrom("Model CONNECTION\tV7.1"));
  auto& model = Made<TQ_GENERICMODEL>(GENERICMODELFactory);
  EXPECT_FALSE(model.ContainerDerivesFrom("Structure GENERICSTRUCTURE\tV7.1"));
}

TEST_F(GenericTypeTest, ControlSignalLevelsEachReportNoEquations) {
  auto& signal = Made<TQ_CONTROLSIGNAL>(CONTROLSIGNALFactory);
  TQ_GENERICCONTROLSIGNAL& parentLevel = signal;
  TQ_Executive& host = TQ_Executive::Instance();
  TQ_ModelType::m_stLastGroup = 4;
  TQ_ExecutiveTesting::SetRootSetUpResult(host, 11);
  EXPECT_EQ(signal.SetUpEquations(), 11);
  EXPECT_EQ(signal.LocalEqnCount, 0);
  EXPECT_EQ(parentLevel.LocalEqnCount, 0);
  EXPECT_EQ(signal.FirstGroup, 4);
  EXPECT_EQ(parentLevel.FirstGroup, 4);

  TQ_ModelType::m_stLastGroup = 8;
  TQ_ExecutiveTesting::SetRootSetUpResult(host, -6);
  EXPECT_EQ(signal.SetUpEquations(), -6) << "through both levels unchanged";
  EXPECT_EQ(signal.FirstGroup, 4);
  EXPECT_EQ(parentLevel.FirstGroup, 4);
  TQ_ModelType::m_stLastGroup = 0;

  TQ_ExecutiveTesting::SetRootAssignmentStatus(host, -1);
  EXPECT_EQ(signal.ExecuteAssignments(5, 1), -1);
  int* rows = nullptr;
  int* cols = nullptr;
  TQ_ExecutiveTesting::SetRootJacResult(host, 2);
  EXPECT_EQ(signal.JacPattern(rows, cols, nullptr), 2);
  EXPECT_EQ(signal.LocalNonZeroCount, 0);
  EXPECT_EQ(parentLevel.LocalNonZeroCount, 0);

  // Assignment copies each level's three counters.
  signal.FirstGroup = 9;
  signal.LocalEqnCount = 3;
  parentLevel.LocalNonZeroCount = 5;
  TQ_CONTROLSIGNAL copy;
  EXPECT_EQ(&(copy = signal), &copy);
  const TQ_GENERICCONTROLSIGNAL& copyParent = copy;
  EXPECT_EQ(std::tuple(copy.FirstGroup, copy.LocalEqnCount, copy.LocalNonZeroCount), std::tuple(9, 3, 0));
  EXPECT_EQ(std::tuple(copyParent.FirstGroup, copyParent.LocalEqnCount, copyParent.LocalNonZeroCount),
            std::tuple(4, 0, 5));
}

TEST_F(GenericTypeTest, GenericTypesRunThroughTheHostsCycle) {
  TQ_Executive& host = TQ_Executive::Instance();
  const std::vector<TQ_ModelType* (*)()> factories{GENERICMODELFactory,
                                                   GENERICSTRUCTUREFactory,
                                                   GENERICSTREAMFactory,
                                                   GENERICCONTROLSIGNALFactory,
                                                   CONTROLSIGNALFactory,
                                                   GENERICCONNECTIONFactory,
                                                   CONNECTIONFactory};
  int n = 0;
  for (auto factory : factories) ASSERT_TRUE(host.AddObject("O" + std::to_string(n++), factory()));
  EXPECT_TRUE(host.RunCycle()) << (host.Errors().empty() ? "" : host.Errors().front());
  EXPECT_TRUE(host.Declared().empty());
  EXPECT_TRUE(host.Emitted().empty());
  EXPECT_TRUE(host.Errors().empty());
}

TEST_F(GenericTypeTest, RefusedFactoryAllocationMakesNothing) {
  const std::int64_t live = TQ_HeapStats::LiveBlocks();
  for (auto factory : {GENERICMODELFactory,
                       GENERICSTRUCTUREFactory,
                       GENERICSTREAMFactory,
                       GENERICCONTROLSIGNALFactory,
                       CONTROLSIGNALFactory,
                       GENERICCONNECTIONFactory,
                       CONNECTIONFactory}) {
    TQ_HeapStats::FailAllocations(1);
    EXPECT_EQ(factory(), nullptr);
    EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);
  }
  EXPECT_EQ(TQ_HeapStats::PendingFailures(), 0) << "each factory asked the host heap once";
}

TEST_F(GenericTypeTest, ObjectsAreReleasedToTheHostHeap) {
  const std::int64_t live = TQ_HeapStats::LiveBlocks();
  TQ_ModelType* stream = GENERICSTREAMFactory();
  EXPECT_GT(TQ_HeapStats::LiveBlocks(), live);
  EXPECT_EQ(stream->Release(), 0);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);
}

}  // namespace
