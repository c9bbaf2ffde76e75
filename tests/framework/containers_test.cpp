// Typed arrays, links, virtual properties, the multiport template and the
// global-structure reference, over the library's instances and test types.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_types.h"
#include "types/tq_parameters.h"
#include "host/tq_executive_testing.h"

namespace {

class ContainerTest : public HostTest {};

// ---- typed arrays ---------------------------------------------------------------------

TEST_F(ContainerTest, TypedArrayFindsOrCreatesElementsOfItsType) {
  TQ_ARRAY_I<TQ_REALPARAMETER, TQ_REALPARAMETER> one;
  TQ_REALPARAMETER& a = one(3);
  EXPECT_EQ(&one(3), &a);
  EXPECT_TRUE(a.SystemAttributesInitialised()) << "elements are built with their flag set";
  EXPECT_EQ(a.RefCount(), 0) << "an element takes no reference";
  EXPECT_STREQ(a.Name(), "3");

  TQ_ARRAY_II<TQ_PARTIALDERIVATIVE, TQ_PARTIALDERIVATIVE> two;
  TQ_PARTIALDERIVATIVE& b = two(1, 2);
  EXPECT_EQ(&two(1, 2), &b);
  EXPECT_NE(&two(2, 1), &b);
  EXPECT_EQ(two.ElementCount(), 2);

  TQ_ARRAY_III<TQ_REALVARIABLE, TQ_REALVARIABLE> three;
  TQ_REALVARIABLE& c = three(0, 0, 1);
  EXPECT_EQ(&three(0, 0, 1), &c);
  EXPECT_STREQ(c.Name(), "0,0,1");

  TQ_ARRAY_S<TQ_TESTPORT, TQ_TESTPORT> ports;
  char key[] = "left";
  TQ_TESTPORT& left = ports(key);
  EXPECT_EQ(&ports("left"), &left);
  EXPECT_EQ(left.PropertyCount(), 1) << "a generated element registers its properties";
}

TEST_F(ContainerTest, DereferenceAndValueAreTheArrayItself) {
  TQ_ARRAY_I<TQ_REALVARIABLE, TQ_REALVARIABLE> array;
  EXPECT_EQ(&*array, &array);
  EXPECT_EQ(&array.v(), &array);
  TQ_INTEGERSET set;
  (*array).SetDim(set);
  EXPECT_EQ(array.DeclaredSet(0), &set);
}

TEST_F(ContainerTest, RefusedElementIsReportedNotReferenced) {
  TQ_ARRAY_II<TQ_REALVARIABLE, TQ_REALVARIABLE> array;
  const int built = CountedElement::built;
  TQ_HeapStats::FailAllocations(1);
  EXPECT_EQ(array.NewElement(), nullptr);
  TQ_HeapStats::FailAllocations(1);
  EXPECT_THROW(array(1, 1), TQ_ArrayElementError);
  EXPECT_EQ(array.ElementCount(), 0);
  EXPECT_FALSE(Errors().empty()) << "the host reported the refused element";
  EXPECT_NO_THROW(array(1, 1));

  RecordingArray<TQ_BASE_II> counted;
  TQ_HeapStats::FailAllocations(1);
  EXPECT_EQ(counted.NewElement(), nullptr);
  EXPECT_EQ(CountedElement::built, built) << "no constructor ran";
}

// ---- links --------------------------------------------------------------------------------

TEST_F(ContainerTest, LinkTypeNamesComeFromTheElementType) {
  TQ_External<TQ_TESTMODEL> model;
  TQ_External<TQ_TESTDERIVED> derived;
  EXPECT_STREQ(model.ExternalTypeName(), "Model TESTMODEL\tV7.1");
  EXPECT_STREQ(derived.ExternalTypeName(), "Model TESTDERIVED\tV7.1") << "its own id, not its parent's";
  TQ_External<TQ_TESTMODEL> other;
  EXPECT_EQ(model.ExternalTypeName(), other.ExternalTypeName());
  EXPECT_EQ(model.ExternalTypeName(), model.ExternalTypeName());

  // Types without an id of their own answer with their host base's.
  TQ_External<TQ_ANGLEPARAMETER> angle;
  TQ_External<TQ_LENGTHPARAMETER> length;
  EXPECT_EQ(angle.ExternalTypeName(), TQ_REALPARAMETER::TQ_ContainerId());
  EXPECT_EQ(length.ExternalTypeName(), angle.ExternalTypeName());
  EXPECT_EQ(TQ_External<TQ_DISCRETIZATIONMETHODPARAM>().ExternalTypeName(), TQ_STRINGPARAMETER::TQ_ContainerId());
  EXPECT_EQ(TQ_External<TQ_NUMSECTIONSPARAM>().ExternalTypeName(), TQ_INTEGERPARAMETER::TQ_ContainerId());
  EXPECT_EQ(TQ_External<TQ_POLYPOINTSPARAM>().ExternalTypeName(), TQ_INTEGERPARAMETER::TQ_ContainerId());
  EXPECT_EQ((TQ_External<TQ_ARRAY_I<TQ_REALPARAMETER>>().ExternalTypeName()), TQ_Matrix::TQ_ContainerId());
  EXPECT_EQ((TQ_External<TQ_ARRAY_III<TQ_PARTIALDERIVATIVE>>().ExternalTypeName()), TQ_Matrix::TQ_ContainerId());
  EXPECT_EQ(TQ_External<TQ_MULTIPORT<TQ_TESTPORT>>().ExternalTypeName(), TQ_MULTIPORT_BaseType::TQ_ContainerId());
}

TEST_F(ContainerTest, LinkLeadsToTheAttachedObjectAndOnlyToIt) {
  TQ_External<TQ_TESTMODEL> link;
  EXPECT_FALSE(link.IsRegistered()) << "building a link registers nothing";
  EXPECT_THROW(*link, TQ_LinkError) << "nothing attached";

  TQ_TESTDERIVED* derived = morvane::MakeReferenced<TQ_TESTDERIVED>();
  ASSERT_TRUE(link.Attach(derived));
  EXPECT_EQ(&*link, derived);

  // An object that claims the id without being a TQ_TESTMODEL.
  TQ_IMPOSTOR* impostor = morvane::MakeReferenced<TQ_IMPOSTOR>();
  ASSERT_TRUE(link.Attach(impostor));
  try {
    *link;
    ADD_FAILURE() << "an object of another type was handed out";
  } catch (const TQ_LinkError& e) {
    EXPECT_NE(std::string(e.what()).find("not of its declared type"), std::string::npos) << e.what();
  }

  // Copy and assignment share the attachment; destroying a link leaves the
  // object alive.
  {
    TQ_External<TQ_TESTMODEL> copy(link);
    TQ_External<TQ_TESTMODEL> assigned;
    EXPECT_EQ(&(assigned = link), &assigned);
    EXPECT_EQ(assigned.ExternalLink(), impostor);
    EXPECT_EQ(copy.ExternalLink(), impostor);
  }
  link.Detach();
  EXPECT_EQ(impostor->RefCount(), 1);
  EXPECT_EQ(derived->RefCount(), 1);
  impostor->Release();
  derived->Release();
}

TEST_F(ContainerTest, UnattachedLinkInAModelNamesItsOwner) {
  TQ_TESTMODEL* model = morvane::MakeReferenced<TQ_TESTMODEL>();
  model->SetObjectName("M");
  try {
    *model->PEER;
    ADD_FAILURE() << "dereferenced nothing";
  } catch (const TQ_LinkError& e) {
    EXPECT_STREQ(e.what(), "M.PEER has no object attached");
  }
  model->Release();
}

// ---- virtual properties --------------------------------------------------------------------

TEST_F(ContainerTest, VirtualPropertyMakesItsDefaultOnceWithoutReference) {
  TQ_Virtual<TQ_TESTMODEL> property;
  EXPECT_FALSE(property.IsRegistered());
  EXPECT_TRUE(property.SystemAttributesInitialised());
  EXPECT_STREQ(property.VirtualBaseType(), "Model TESTMODEL\tV7.1");
  EXPECT_EQ(property.VirtualBaseType(), TQ_External<TQ_TESTMODEL>().ExternalTypeName());

  // Each call makes a new object that holds no reference, fully built.
  TQ_Type* first = property.NewDefaultVirtual();
  TQ_Type* second = property.NewDefaultVirtual();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(first->RefCount(), 0);
  EXPECT_EQ(PropertyNames(*first), PropertyNames(*second));
  EXPECT_EQ(first->PropertyCount(), 7);
  delete first;
  delete second;

  // The first dereference takes one default object; later ones reuse it.
  const int built = TQ_TESTMODEL::built;
  TQ_TESTMODEL& object = *property;
  EXPECT_EQ(&*property, &object);
  EXPECT_EQ(TQ_TESTMODEL::built, built + 1);
  EXPECT_TRUE(property.HoldsDefault());
  EXPECT_EQ(object.RefCount(), 1) << "the property's own reference, taken by the host";
}

TEST_F(ContainerTest, VirtualDefaultsOfArraysAndParameters) {
  TQ_Virtual<TQ_ARRAY_I<TQ_REALVARIABLE, TQ_REALVARIABLE>> values;
  EXPECT_EQ(values.VirtualBaseType(), TQ_Matrix::TQ_ContainerId());
  TQ_ARRAY_I<TQ_REALVARIABLE, TQ_REALVARIABLE>& array = *values;
  EXPECT_EQ(array.ElementCount(), 0);
  EXPECT_EQ(array.DeclaredSet(0), nullptr) << "not yet dimensioned";

  TQ_Virtual<TQ_NUMSECTIONSPARAM> sections;
  EXPECT_EQ(sections.VirtualBaseType(), TQ_INTEGERPARAMETER::TQ_ContainerId());
  TQ_NUMSECTIONSPARAM& parameter = *sections;
  EXPECT_TRUE(parameter.SystemAttributesInitialised());
  EXPECT_EQ(parameter.v(), 1);
}

TEST_F(ContainerTest, RefusedDefaultIsReportedAndBuildsNothing) {
  TQ_Virtual<TQ_TESTMODEL> property;
  const int built = TQ_TESTMODEL::built;
  TQ_HeapStats::FailAllocations(1);
  EXPECT_EQ(property.NewDefaultVirtual(), nullptr);
  EXPECT_EQ(TQ_TESTMODEL::built, built);
  TQ_HeapStats::FailAllocations(1);
  EXPECT_THROW(*property, TQ_LinkError);
  EXPECT_EQ(TQ_TESTMODEL::built, built);
  EXPECT_EQ(property.CurrentLink(), nullptr);
}

TEST_F(ContainerTest, VirtualAssignmentSharesTheObjectAndReturnsTheLeftOperand) {
  TQ_Virtual<TQ_TESTMODEL> a;
  TQ_Virtual<TQ_TESTMODEL> b;
  TQ_TESTMODEL& object = *a;
  EXPECT_EQ(&(b = a), &b);
  EXPECT_EQ(&*b, &object);
  EXPECT_EQ(object.RefCount(), 2);
}

// ---- the multiport template -----------------------------------------------------------------

class MultiportTest : public HostTest {
 protected:
  TQ_MULTIPORT<TQ_TESTPORT>* Make() {
    auto* port = morvane::MakeReferenced<TQ_MULTIPORT<TQ_TESTPORT>>();
    port->SetObjectName("MP");
    return port;
  }
};

TEST_F(MultiportTest, RegistersItsConnectionArray) {
  TQ_MULTIPORT<TQ_TESTPORT>* port = Make();
  ASSERT_EQ(port->PropertyCount(), 1);
  const TQ_PropertyRecord& record = port->PropertyAt(0);
  EXPECT_STREQ(record.name, "CONNECTION");
  EXPECT_STREQ(record.description, "Active Multiport connections");
  EXPECT_EQ(record.direction, 0);
  EXPECT_EQ(record.property, &port->CONNECTION);
  EXPECT_EQ(port->CONNECTION.DeclaredSet(0), &port->ConnectionNames);
  EXPECT_EQ(&**port, port);
  EXPECT_EQ(port->PortCount(false), 1);
  port->Release();
}

TEST_F(MultiportTest, ConnectionPortsAreCountedAfterTheMultiportItself) {
  TQ_MULTIPORT<TQ_TESTPORT>* port = Make();
  port->SetDirection(TQ_DIR_INPUT);
  TQ_PortType* a = port->CreateConnectionPort("a", 0);
  TQ_PortType* b = port->CreateConnectionPort("b", 0);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(port->ConnectionNames.v().SetSize(), 2);
  EXPECT_EQ(port->PortCount(false), port->CONNECTION.PortCount(false) + 1);
  EXPECT_EQ(port->PortCount(true), 3);
  EXPECT_EQ(a->Direction(), TQ_DIR_INPUT) << "connections take the multiport's direction";

  int i = 0;
  EXPECT_EQ(port->GetPort(i, true), port);
  EXPECT_EQ(i, -1);
  i = 1;
  EXPECT_EQ(port->GetPort(i, false), a);
  i = 2;
  EXPECT_EQ(port->GetPort(i, true), b);
  i = 3;
  EXPECT_EQ(port->GetPort(i, false), nullptr);
  port->Release();
}

TEST_F(MultiportTest, ExportMarkingGoesToTheConnectionArray) {
  TQ_MULTIPORT<TQ_TESTPORT>* marked = Make();
  marked->HostPortType(4);
  marked->CreateConnectionPort("x", 0);
  EXPECT_EQ(marked->CONNECTION.HostPortType(), 4);
  EXPECT_TRUE(marked->CONNECTION.IsToBeExported());

  TQ_MULTIPORT<TQ_TESTPORT>* hidden = Make();
  hidden->HostPortType(4);
  hidden->UnsetIsToBeExported();
  hidden->CreateConnectionPort("x", 0);
  EXPECT_FALSE(hidden->CONNECTION.IsToBeExported());
  EXPECT_EQ(hidden->CONNECTION.HostPortType(), 0) << "not copied when not exported";
  marked->Release();
  hidden->Release();
}

TEST_F(MultiportTest, RepeatedNameAssignsTheSetAgainAndFindsTheSamePort) {
  TQ_MULTIPORT<TQ_TESTPORT>* port = Make();
  TQ_ExecutiveTesting::EnableLog(TQ_Executive::Instance(), true);
  TQ_PortType* first = port->CreateConnectionPort("a", 7);
  TQ_PortType* again = port->CreateConnectionPort("a", 7);
  EXPECT_EQ(first, again);
  EXPECT_EQ(port->ConnectionNames.v().SetSize(), 1);
  int assignments = 0;
  for (const TQ_LogEntry& entry : TQ_ExecutiveTesting::Log(TQ_Executive::Instance()))
    if (entry.kind == TQ_LogEntry::Assignment && entry.target == &port->ConnectionNames) {
      ++assignments;
      EXPECT_EQ(entry.value.Level(), 7u);
    }
  EXPECT_EQ(assignments, 2);
  port->Release();
}

TEST_F(MultiportTest, FindingAnUnknownNameLeavesTheConnectionNamesAlone) {
  TQ_MULTIPORT<TQ_TESTPORT>* port = Make();
  port->SetDirection(TQ_DIR_OUTPUT);
  TQ_PortType* found = port->FindConnectionPort("nobody");
  ASSERT_NE(found, nullptr) << "the lookup makes what is missing";
  EXPECT_EQ(port->ConnectionNames.v().SetSize(), 0);
  EXPECT_EQ(port->CONNECTION.Direction(), TQ_DIR_NONE);
  EXPECT_EQ(port->FindConnectionPort("nobody"), found);
  EXPECT_EQ(port->FindConnectionPort(nullptr), nullptr);
  EXPECT_EQ(port->CreateConnectionPort(nullptr, 0), nullptr);
  EXPECT_FALSE(Errors().empty());
  port->Release();
}

TEST_F(MultiportTest, RefusedConnectionPortIsNullAndTheNameStays) {
  TQ_MULTIPORT<TQ_TESTPORT>* port = Make();
  TQ_HeapStats::FailAllocations(1);
  EXPECT_EQ(port->CreateConnectionPort("a", 0), nullptr);
  EXPECT_EQ(port->ConnectionNames.v().SetSize(), 1);
  port->Release();
}

TEST_F(MultiportTest, VirtualPropertyOverAMultiportMakesOneWithItsConnectionArray) {
  TQ_Virtual<TQ_MULTIPORT<TQ_TESTPORT>> property;
  TQ_Type* made = property.NewDefaultVirtual();
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->PropertyCount(), 1);
  EXPECT_STREQ(made->PropertyAt(0).name, "CONNECTION");
  delete made;
}

TEST_F(MultiportTest, AssignmentCopiesTheConnectionNames) {
  TQ_MULTIPORT<TQ_TESTPORT>* a = Make();
  TQ_MULTIPORT<TQ_TESTPORT>* b = Make();
  a->CreateConnectionPort("p", 0);
  EXPECT_EQ(&(*b = *a), b);
  EXPECT_EQ(b->ConnectionNames.v().SetSize(), 1);
  EXPECT_TRUE(b->CONNECTION.IndexValuesOf(0) == a->CONNECTION.IndexValuesOf(0));
  EXPECT_EQ(b->CONNECTION.ElementCount(), 0) << "ports belong to one multiport";
  EXPECT_NE(b->FindConnectionPort("p"), a->FindConnectionPort("p"));
  a->Release();
  b->Release();
}

// ---- the global-structure reference ------------------------------------------------------------

TEST_F(ContainerTest, GlobalStructureReferenceMakesAndChecksStructures) {
  TQ_GLOBALSTRUCTUREREFNAME<TQ_TESTSTRUCTURE> reference;
  TQ_ModelType* dummy = reference.CreateDummyInstance();
  TQ_ModelType* another = reference.CreateDummyInstance();
  ASSERT_NE(dummy, nullptr);
  EXPECT_NE(dummy, another);
  EXPECT_EQ(dummy->RefCount(), 0);
  EXPECT_EQ(PropertyNames(*dummy), (std::vector<std::string>{"NOTES"}));

  EXPECT_TRUE(reference.CheckCompatibleStructureType(dummy));
  TQ_TESTMODEL model;
  EXPECT_FALSE(reference.CheckCompatibleStructureType(&model));
  EXPECT_FALSE(reference.CheckCompatibleStructureType(nullptr));

  TQ_HeapStats::FailAllocations(1);
  EXPECT_EQ(reference.CreateDummyInstance(), nullptr);
  delete dummy;
  delete another;
}

TEST_F(ContainerTest, GlobalStructureReferenceDereferencesTheNamedStructure) {
  TQ_GLOBALSTRUCTUREREFNAME<TQ_TESTSTRUCTURE> reference;
  TQ_Value name("S1", 0u, 0u, 1);
  reference.Assign(&name);
  EXPECT_THROW(*reference, TQ_LinkError) << "no such structure yet";

  TQ_TESTSTRUCTURE* structure = morvane::MakeReferenced<TQ_TESTSTRUCTURE>();
  ASSERT_TRUE(TQ_Executive::Instance().AddObject("S1", structure));
  EXPECT_EQ(&*reference, structure);
  TQ_TESTSTRUCTURE& converted = reference;
  EXPECT_EQ(&converted, structure);

  TQ_TESTMODEL* model = morvane::MakeReferenced<TQ_TESTMODEL>();
  ASSERT_TRUE(TQ_Executive::Instance().AddObject("M1", model));
  TQ_Value other("M1", 0u, 0u, 1);
  reference.Assign(&other);
  EXPECT_THROW(*reference, TQ_LinkError) << "a model is not a TQ_TESTSTRUCTURE";
}

}  // namespace
