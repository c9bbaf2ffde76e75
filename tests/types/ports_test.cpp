// The three standard ports and the nine multiport classes.
#include <gtest/gtest.h>

#include <typeinfo>

#include "framework/tq_instances.h"
#include "types/tq_ports.h"
#include "types_support.h"
#include "host/tq_executive_testing.h"

namespace {

class PortTest : public StandardTypeTest {};

TEST_F(PortTest, GenericPortRegistersItsThreeMembersPlainly) {
  TQ_GENERICPORT port;
  EXPECT_EQ(RegisteredProperties(port),
            (std::vector<Registered>{Plain("ISCONNECTED"), Plain("ISLINKED"), Plain("COMPONENTLIST")}));
  EXPECT_EQ(port.PropertyAt(0).property, &port.ISCONNECTED);
  EXPECT_EQ(port.PropertyAt(2).property, &port.COMPONENTLIST);
  EXPECT_TRUE(port.ISCONNECTED.SystemAttributesInitialised());
  EXPECT_FALSE(port.ISCONNECTED.v());
  TQ_GENERICPORT bare(false);
  EXPECT_EQ(bare.PropertyCount(), 0);
}

TEST_F(PortTest, ControlAndConnectionPortsHaveNoPropertiesOfTheirOwn) {
  TQ_CONTROLPORT control;
  TQ_CONNECTIONPORT connection;
  EXPECT_EQ(control.PropertyCount(), 0);
  EXPECT_EQ(connection.PropertyCount(), 0);
}

TEST_F(PortTest, GenericPortHandsOutItsOwnMembers) {
  TQ_GENERICPORT port;
  TQ_ModelType& asHost = port;
  EXPECT_EQ(asHost.IsConnected(), &port.ISCONNECTED);
  EXPECT_EQ(asHost.IsConnected(), asHost.IsConnected());
  EXPECT_EQ(asHost.ComponentList(), &port.COMPONENTLIST);
  TQ_CONTROLPORT control;
  EXPECT_EQ(static_cast<TQ_ModelType&>(control).ComponentList(), nullptr) << "the host's answer";
  EXPECT_EQ(static_cast<TQ_ModelType&>(control).IsConnected(), nullptr);
}

TEST_F(PortTest, PortsAnswerForTheirOwnIdOnly) {
  TQ_CONTROLPORT control;
  TQ_GENERICPORT generic;
  TQ_CONNECTIONPORT connection;
  EXPECT_STREQ(control.TQ_DefaultDESCRIPTION(), "Port CONTROLPORT\tV7.1");
  EXPECT_STREQ(generic.TQ_DefaultDESCRIPTION(), "Port GENERICPORT\tV7.1");
  EXPECT_STREQ(connection.TQ_DefaultDESCRIPTION(), "Port CONNECTIONPORT\tV7.1");
  for (const char* id : {"Port CONTROLPORT\tV7.1", "port controlport\tv7.1", "PORT CONTROLPORT\tV7.1"})
    EXPECT_TRUE(control.ContainerDerivesFrom(id)) << id;
  EXPECT_FALSE(control.ContainerDerivesFrom(generic.TQ_DefaultDESCRIPTION()));
  EXPECT_FALSE(control.ContainerDerivesFrom(connection.TQ_DefaultDESCRIPTION()));
  EXPECT_FALSE(generic.ContainerDerivesFrom("Port CONTROLPORT\tV7.1"));
  EXPECT_TRUE(connection.ContainerDerivesFrom("Port ConnectionPort\tV7.1"));
}

TEST_F(PortTest, PortsHaveNoEquationsOrAssignments) {
  TQ_GENERICPORT port;
  TQ_ExecutiveTesting::SetRootSetUpResult(TQ_Executive::Instance(), 3);
  EXPECT_EQ(port.SetUpEquations(), 3);
  EXPECT_EQ(port.LocalEqnCount, 0);
  TQ_ExecutiveTesting::SetRootSetUpResult(TQ_Executive::Instance(), -2);
  EXPECT_EQ(port.SetUpEquations(), -2);
  TQ_ExecutiveTesting::SetRootAssignmentStatus(TQ_Executive::Instance(), 9);
  EXPECT_EQ(port.ExecuteAssignments(4, 1), 9);
  int* rows = nullptr;
  int* cols = nullptr;
  TQ_ExecutiveTesting::SetRootJacResult(TQ_Executive::Instance(), 5);
  EXPECT_EQ(port.JacPattern(rows, cols, nullptr), 5);
  EXPECT_EQ(port.LocalNonZeroCount, 0);
  EXPECT_EQ(port.Residuals(nullptr, 0, 0), 0);
  EXPECT_EQ(port.Jacobian(nullptr, 0, 0), 0);
}

// ---- multiports ---------------------------------------------------------------------

// The same checks for the three multiport classes over one port type.
template <class Multiport, class Port>
void ExpectMultiportBehaviour() {
  Multiport* port = new Multiport();
  port->AddRef();
  SCOPED_TRACE(typeid(Multiport).name());
  ASSERT_EQ(port->PropertyCount(), 1);
  EXPECT_STREQ(port->PropertyAt(0).name, "CONNECTION");
  EXPECT_STREQ(port->PropertyAt(0).description, "Active Multiport connections");
  EXPECT_EQ(port->PortCount(false), 1);
  EXPECT_EQ(&**port, port);

  TQ_PortType* a = port->CreateConnectionPort("a", 0);
  TQ_PortType* b = port->CreateConnectionPort("b", 0);
  ASSERT_NE(dynamic_cast<Port*>(a), nullptr) << "connection ports are of the port type";
  ASSERT_NE(dynamic_cast<Port*>(b), nullptr);
  EXPECT_EQ(port->PortCount(true), 3);
  EXPECT_EQ(port->FindConnectionPort("b"), b);
  int i = 0;
  EXPECT_EQ(port->GetPort(i, false), port);
  i = 2;
  EXPECT_EQ(port->GetPort(i, true), b);
  port->Release();
}

TEST_F(PortTest, MultiportsOfOnePortTypeBehaveAlike) {
  ExpectMultiportBehaviour<TQ_TQ_MICONTROLPORT, TQ_CONTROLPORT>();
  ExpectMultiportBehaviour<TQ_TQ_MOCONTROLPORT, TQ_CONTROLPORT>();
  ExpectMultiportBehaviour<TQ_TQ_MIOCONTROLPORT, TQ_CONTROLPORT>();
  ExpectMultiportBehaviour<TQ_TQ_MIGENERICPORT, TQ_GENERICPORT>();
  ExpectMultiportBehaviour<TQ_TQ_MOGENERICPORT, TQ_GENERICPORT>();
  ExpectMultiportBehaviour<TQ_TQ_MIOGENERICPORT, TQ_GENERICPORT>();
  ExpectMultiportBehaviour<TQ_TQ_MICONNECTIONPORT, TQ_CONNECTIONPORT>();
  ExpectMultiportBehaviour<TQ_TQ_MOCONNECTIONPORT, TQ_CONNECTIONPORT>();
  ExpectMultiportBehaviour<TQ_TQ_MIOCONNECTIONPORT, TQ_CONNECTIONPORT>();
}

TEST_F(PortTest, MultiportClassesDifferOnlyInTheirRunTimeType) {
  TQ_TQ_MICONTROLPORT in;
  TQ_TQ_MOCONTROLPORT out;
  TQ_TQ_MIOCONTROLPORT both;
  TQ_MULTIPORT<TQ_CONTROLPORT>* all[] = {&in, &out, &both};
  EXPECT_NE(typeid(*all[0]), typeid(*all[1]));
  EXPECT_NE(typeid(*all[1]), typeid(*all[2]));
  for (TQ_MULTIPORT<TQ_CONTROLPORT>* port : all) EXPECT_EQ(port->Direction(), TQ_DIR_NONE) << "none sets a direction";

  TQ_TQ_MOGENERICPORT source;
  TQ_TQ_MOGENERICPORT target;
  source.CreateConnectionPort("x", 0);
  EXPECT_EQ(&(target = source), &target);
  EXPECT_EQ(target.ConnectionNames.v().SetSize(), 1);
}

TEST_F(PortTest, GenericPortsMadeAsConnectionsRegisterTheirMembers) {
  TQ_TQ_MIGENERICPORT multiport;
  TQ_PortType* port = multiport.CreateConnectionPort("feed", 0);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(port->PropertyCount(), 3);
  EXPECT_STREQ(port->Name(), "\"feed\"");
}

}  // namespace
