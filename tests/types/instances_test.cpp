// The template instances over the ports, multiports and generic types: the
// type ids they answer with and the default objects they make.
#include <gtest/gtest.h>

#include "types/tq_generic_types.h"
#include "framework/tq_instances.h"
#include "types/tq_ports.h"
#include "types_support.h"

namespace {

class InstanceTest : public StandardTypeTest {};

// The link and the virtual property over T answer with the same literal.
template <class T>
const char* TypeNameOf() {
  TQ_External<T> link;
  TQ_Virtual<T> property;
  EXPECT_EQ(link.ExternalTypeName(), property.VirtualBaseType()) << typeid(T).name();
  return link.ExternalTypeName();
}

TEST_F(InstanceTest, LinksOverGeneratedTypesNameTheTypeItself) {
  EXPECT_STREQ(TypeNameOf<TQ_CONTROLPORT>(), "Port CONTROLPORT\tV7.1");
  EXPECT_STREQ(TypeNameOf<TQ_GENERICPORT>(), "Port GENERICPORT\tV7.1");
  EXPECT_STREQ(TypeNameOf<TQ_CONNECTIONPORT>(), "Port CONNECTIONPORT\tV7.1");
  EXPECT_STREQ(TypeNameOf<TQ_GENERICMODEL>(), "Model GENERICMODEL\tV7.1");
  EXPECT_STREQ(TypeNameOf<TQ_GENERICSTRUCTURE>(), "Structure GENERICSTRUCTURE\tV7.1");
  EXPECT_STREQ(TypeNameOf<TQ_GENERICSTREAM>(), "Model GENERICSTREAM\tV7.1");
  EXPECT_STREQ(TypeNameOf<TQ_GENERICCONTROLSIGNAL>(), "Model GENERICCONTROLSIGNAL\tV7.1");
  EXPECT_STREQ(TypeNameOf<TQ_GENERICCONNECTION>(), "Model GENERICCONNECTION\tV7.1");
  EXPECT_STREQ(TypeNameOf<TQ_CONTROLSIGNAL>(), "Model CONTROLSIGNAL\tV7.1") << "not its parent's id";
  EXPECT_STREQ(TypeNameOf<TQ_CONNECTION>(), "Model CONNECTION\tV7.1");
}

TEST_F(InstanceTest, LinksOverArraysAndMultiportsNameTheHostBase) {
  EXPECT_EQ((TypeNameOf<TQ_ARRAY_S<TQ_CONTROLPORT, TQ_CONTROLPORT>>()), TQ_Matrix::TQ_ContainerId());
  EXPECT_EQ((TypeNameOf<TQ_ARRAY_S<TQ_GENERICPORT, TQ_GENERICPORT>>()), TQ_Matrix::TQ_ContainerId());
  EXPECT_EQ((TypeNameOf<TQ_ARRAY_S<TQ_CONNECTIONPORT, TQ_CONNECTIONPORT>>()), TQ_Matrix::TQ_ContainerId());
  for (const char* id : {TypeNameOf<TQ_TQ_MICONTROLPORT>(),
                         TypeNameOf<TQ_TQ_MOCONTROLPORT>(),
                         TypeNameOf<TQ_TQ_MIOCONTROLPORT>(),
                         TypeNameOf<TQ_TQ_MIGENERICPORT>(),
                         TypeNameOf<TQ_TQ_MOGENERICPORT>(),
                         TypeNameOf<TQ_TQ_MIOGENERICPORT>(),
                         TypeNameOf<TQ_TQ_MICONNECTIONPORT>(),
                         TypeNameOf<TQ_TQ_MOCONNECTIONPORT>(),
                         TypeNameOf<TQ_TQ_MIOCONNECTIONPORT>()})
    EXPECT_EQ(id, TQ_MULTIPORT_BaseType::TQ_ContainerId());
}

TEST_F(InstanceTest, DefaultObjectsAreBuiltWithTheirFlag) {
  TQ_Virtual<TQ_GENERICSTREAM> stream;
  TQ_Type* made = stream.NewDefaultVirtual();
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->PropertyCount(), 6);
  EXPECT_EQ(made->RefCount(), 0);
  delete made;

  TQ_Virtual<TQ_TQ_MICONTROLPORT> multiport;
  TQ_TQ_MICONTROLPORT& port = *multiport;
  EXPECT_EQ(port.PropertyCount(), 1);
  EXPECT_STREQ(port.PropertyAt(0).name, "CONNECTION");

  TQ_Virtual<TQ_ARRAY_S<TQ_GENERICPORT, TQ_GENERICPORT>> ports;
  TQ_GENERICPORT& element = (*ports)("p");
  EXPECT_EQ(element.PropertyCount(), 3);
}

TEST_F(InstanceTest, LinkOverAControlPortLeadsToAControlPort) {
  TQ_External<TQ_CONTROLPORT> link;
  TQ_CONTROLPORT* port = new TQ_CONTROLPORT(true);
  port->AddRef();
  ASSERT_TRUE(link.Attach(port));
  EXPECT_EQ(&*link, port);
  TQ_GENERICPORT* other = new TQ_GENERICPORT(true);
  other->AddRef();
  std::string error;
  EXPECT_FALSE(link.Attach(other, &error)) << "the host checks the type id";
  EXPECT_FALSE(error.empty());
  link.Detach();
  port->Release();
  other->Release();
}

TEST_F(InstanceTest, GlobalStructureReferenceOverTheGenericStructure) {
  TQ_GLOBALSTRUCTUREREFNAME<TQ_GENERICSTRUCTURE> reference;
  TQ_ModelType* dummy = reference.CreateDummyInstance();
  ASSERT_NE(dummy, nullptr);
  EXPECT_EQ(dummy->PropertyCount(), 2);
  EXPECT_EQ(dummy->RefCount(), 0);
  EXPECT_TRUE(reference.CheckCompatibleStructureType(dummy));
  TQ_GENERICMODEL model;
  EXPECT_FALSE(reference.CheckCompatibleStructureType(&model));
  delete dummy;
}

}  // namespace
