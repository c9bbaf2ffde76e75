// The built model library as the host meets it: loaded by file name through
// the host's loader, its creatable types found by name, its factories, cells
// and data, and the exported classes and template instances.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <typeinfo>
#include <vector>

#include "export_table.h"
#include "tq_distribution1d.h"
#include "tq_distribution2d.h"
#include "tq_distribution3d.h"
#include "tq_domain.h"
#include "tq_generic_types.h"
#include "tq_instances.h"
#include "tq_model_library.h"
#include "tq_parameters.h"
#include "tq_ports.h"
#include "vekexp.h"

namespace fs = std::filesystem;

namespace {

#if defined(_WIN32)
const char kLibraryFile[] = "Morvane230_1.dll";
#else
const char kLibraryFile[] = "Morvane230_1.so";
#endif

// The build puts the library beside the host layer.
std::string BuiltLibrary() { return (fs::path(TQ_LibraryLoader::ModuleDirectory()) / kLibraryFile).string(); }

// The creatable types of the export table, with the class each stands for.
struct Creatable {
  std::string name;
  const char* typeId;
};

std::vector<Creatable> CreatableTypes() {
  std::vector<Creatable> types;
#define MORVANE_LIST_TYPE(NAME) types.push_back(Creatable{#NAME, TQ_##NAME::TQ_ContainerId()});
  MORVANE_CREATABLE_TYPES(MORVANE_LIST_TYPE)
#undef MORVANE_LIST_TYPE
  return types;
}

// The 14 names the host may create; the table holds those built so far.
const std::set<std::string> kHostCreatable{
    "ANGLEDOMAIN", "CONNECTION", "CONTROLSIGNAL", "DISTRIBUTION1D", "DISTRIBUTION2D", "DISTRIBUTION3D",
    "DOMAIN", "GENERICCONNECTION", "GENERICCONTROLSIGNAL", "GENERICMODEL", "GENERICSTREAM",
    "GENERICSTRUCTURE", "LENGTHDOMAIN", "SECTIONDATAMODEL"};

class LibraryExportsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    loader_ = new TQ_LibraryLoader;
    library_ = new TQ_ModelLibrary;
    loaded_ = library_->Load(*loader_, BuiltLibrary(), loadError_);
  }
  static void TearDownTestSuite() {
    delete library_;
    delete loader_;
  }
  void SetUp() override {
    ASSERT_TRUE(loaded_) << loadError_;
    TQ_Executive::Instance().Reset();
    TQ_HeapStats::FailAllocations(0);
  }
  void TearDown() override { TQ_HeapStats::FailAllocations(0); }

  // The address of an exported symbol of the library, null when missing.
  static void* Symbol(const std::string& name) {
    std::string error;
    return library_->Library()->FindData(name, error);
  }
  // The vtable and typeinfo of a class are exported with it.
  static void ExpectExportedClass(const std::type_info& type) {
    const std::string mangled = type.name();
    EXPECT_NE(Symbol("_ZTV" + mangled), nullptr) << "vtable of " << mangled;
    EXPECT_NE(Symbol("_ZTI" + mangled), nullptr) << "typeinfo of " << mangled;
  }

  static TQ_LibraryLoader* loader_;
  static TQ_ModelLibrary* library_;
  static bool loaded_;
  static std::string loadError_;
};

TQ_LibraryLoader* LibraryExportsTest::loader_ = nullptr;
TQ_ModelLibrary* LibraryExportsTest::library_ = nullptr;
bool LibraryExportsTest::loaded_ = false;
std::string LibraryExportsTest::loadError_;

TEST_F(LibraryExportsTest, TableHoldsTheGenericTypesAndOnlyHostCreatableNames) {
  std::set<std::string> names;
  for (const Creatable& type : CreatableTypes()) {
    EXPECT_TRUE(kHostCreatable.count(type.name)) << type.name << " is not a type the host creates";
    EXPECT_TRUE(names.insert(type.name).second) << type.name << " listed twice";
  }
  for (const char* name : {"GENERICMODEL", "GENERICSTRUCTURE", "GENERICSTREAM", "GENERICCONTROLSIGNAL",
                           "CONTROLSIGNAL", "GENERICCONNECTION", "CONNECTION", "SECTIONDATAMODEL", "DOMAIN",
                           "LENGTHDOMAIN", "ANGLEDOMAIN", "DISTRIBUTION1D", "DISTRIBUTION2D", "DISTRIBUTION3D"})
    EXPECT_TRUE(names.count(name)) << name;
}

TEST_F(LibraryExportsTest, EveryFactoryMakesAReferencedObjectOfItsType) {
  for (const Creatable& type : CreatableTypes()) {
    SCOPED_TRACE(type.name);
    std::string error;
    TQ_ModelFactory factory = library_->FindFactory(type.name, error);
    ASSERT_NE(factory, nullptr) << error;
    TQ_ModelType* object = factory();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->RefCount(), 1);
    EXPECT_STREQ(object->TQ_DefaultDESCRIPTION(), type.typeId);
    EXPECT_NE(object->TQ_DefaultDESCRIPTION(), type.typeId) << "the library file's own literal, not this program's";
    EXPECT_TRUE(object->ContainerDerivesFrom(type.typeId));
    EXPECT_GT(object->PropertyCount(), 0);
    EXPECT_EQ(object->Release(), 0);

    TQ_ModelType* created = library_->Create(type.name, error);
    ASSERT_NE(created, nullptr) << error;
    EXPECT_TRUE(dynamic_cast<TQ_ModelTypeEx*>(created) != nullptr ||
                dynamic_cast<TQ_StructureTypeEx*>(created) != nullptr);
    created->Release();
  }
}

TEST_F(LibraryExportsTest, PropertyInfoCellsAreTheTypesOwnAndZero) {
  std::set<void*> cells;
  for (const Creatable& type : CreatableTypes()) {
    std::string error;
    TQ_PropertyInfoFunction info = library_->FindPropertyInfo(type.name, error);
    ASSERT_NE(info, nullptr) << error;
    void* cell = info();
    ASSERT_NE(cell, nullptr) << type.name;
    EXPECT_EQ(info(), cell) << type.name;
    EXPECT_EQ(*static_cast<const std::int32_t*>(cell), 0) << type.name;
    EXPECT_TRUE(cells.insert(cell).second) << type.name << " shares its cell";
  }
}

TEST_F(LibraryExportsTest, CompatibilityIsSixAndJacobianDataStartsWith22) {
  for (const Creatable& type : CreatableTypes()) {
    std::string error;
    const std::int32_t* compatibility = library_->FindCompatibility(type.name, error);
    ASSERT_NE(compatibility, nullptr) << error;
    EXPECT_EQ(*compatibility, 6) << type.name;
    const std::int32_t* jacData = library_->FindJacData(type.name, error);
    ASSERT_NE(jacData, nullptr) << error;
    EXPECT_EQ(jacData[0], 22) << type.name;
  }
}

TEST_F(LibraryExportsTest, RefusedAllocationMakesNothing) {
  const std::int64_t live = TQ_HeapStats::LiveBlocks();
  for (const Creatable& type : CreatableTypes()) {
    std::string error;
    TQ_HeapStats::FailAllocations(1);
    EXPECT_EQ(library_->Create(type.name, error), nullptr) << type.name;
    EXPECT_NE(error.find("made no object"), std::string::npos) << error;
    EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);
  }
}

TEST_F(LibraryExportsTest, TypesWithoutExportsAreReportedClearly) {
  std::string error;
  for (const char* name : {"CONTROLPORT", "GENERICPORT", "TQ_TQ_MICONTROLPORT", "NUMSECTIONSPARAM", "NOSUCHTYPE"}) {
    error.clear();
    EXPECT_EQ(library_->FindFactory(name, error), nullptr) << name;
    EXPECT_NE(error.find(std::string(name) + "Factory"), std::string::npos) << error;
    EXPECT_NE(error.find(kLibraryFile), std::string::npos) << error;
  }
  error.clear();
  EXPECT_EQ(library_->FindCompatibility("NOSUCHTYPE", error), nullptr);
  EXPECT_NE(error.find("_CompatibilityNOSUCHTYPE"), std::string::npos) << error;
  error.clear();
  EXPECT_EQ(library_->FindFactory("GENERIC MODEL", error), nullptr);
  EXPECT_NE(error.find("not a type name"), std::string::npos) << error;
  error.clear();
  EXPECT_EQ(library_->Create("", error), nullptr);
  EXPECT_FALSE(error.empty());
}

TEST_F(LibraryExportsTest, MissingLibraryIsReportedClearly) {
  TQ_ModelLibrary missing;
  std::string error;
  const std::string file = (fs::path(TQ_LibraryLoader::ModuleDirectory()) / "NoSuchModels.so").string();
  EXPECT_FALSE(missing.Load(*loader_, file, error));
  EXPECT_FALSE(missing.IsLoaded());
  EXPECT_NE(error.find("NoSuchModels.so"), std::string::npos) << error;
  error.clear();
  EXPECT_EQ(missing.FindFactory("GENERICMODEL", error), nullptr);
  EXPECT_NE(error.find("no model library is loaded"), std::string::npos) << error;
  error.clear();
  EXPECT_FALSE(missing.Load(*loader_, "", error));
  EXPECT_FALSE(error.empty());
}

TEST_F(LibraryExportsTest, ClassesAndTemplateInstancesAreExported) {
  // The generated classes and their links and virtual properties.
  ExpectExportedClass(typeid(TQ_CONTROLPORT));
  ExpectExportedClass(typeid(TQ_GENERICPORT));
  ExpectExportedClass(typeid(TQ_CONNECTIONPORT));
  ExpectExportedClass(typeid(TQ_GENERICMODEL));
  ExpectExportedClass(typeid(TQ_GENERICSTRUCTURE));
  ExpectExportedClass(typeid(TQ_GENERICSTREAM));
  ExpectExportedClass(typeid(TQ_GENERICCONTROLSIGNAL));
  ExpectExportedClass(typeid(TQ_CONTROLSIGNAL));
  ExpectExportedClass(typeid(TQ_GENERICCONNECTION));
  ExpectExportedClass(typeid(TQ_CONNECTION));
#define MORVANE_EXPECT_LINKS(...)                            \
  ExpectExportedClass(typeid(TQ_External<__VA_ARGS__>));   \
  ExpectExportedClass(typeid(TQ_Virtual<__VA_ARGS__>))
  MORVANE_EXPECT_LINKS(TQ_CONTROLPORT);
  MORVANE_EXPECT_LINKS(TQ_GENERICPORT);
  MORVANE_EXPECT_LINKS(TQ_CONNECTIONPORT);
  MORVANE_EXPECT_LINKS(TQ_GENERICMODEL);
  MORVANE_EXPECT_LINKS(TQ_GENERICSTRUCTURE);
  MORVANE_EXPECT_LINKS(TQ_GENERICSTREAM);
  MORVANE_EXPECT_LINKS(TQ_GENERICCONTROLSIGNAL);
  MORVANE_EXPECT_LINKS(TQ_CONTROLSIGNAL);
  MORVANE_EXPECT_LINKS(TQ_GENERICCONNECTION);
  MORVANE_EXPECT_LINKS(TQ_CONNECTION);
  MORVANE_EXPECT_LINKS(TQ_ANGLEPARAMETER);
  MORVANE_EXPECT_LINKS(TQ_LENGTHPARAMETER);
  MORVANE_EXPECT_LINKS(TQ_DISCRETIZATIONMETHODPARAM);
  MORVANE_EXPECT_LINKS(TQ_NUMSECTIONSPARAM);
  MORVANE_EXPECT_LINKS(TQ_POLYPOINTSPARAM);

  // The multiports: the nine classes, their three template bases, the
  // connection arrays, and links and virtual properties over each.
#define MORVANE_EXPECT_MULTIPORT(NAME, PORT)                     \
  ExpectExportedClass(typeid(NAME));                             \
  MORVANE_EXPECT_LINKS(NAME);                                    \
  ExpectExportedClass(typeid(TQ_MULTIPORT<PORT>));               \
  ExpectExportedClass(typeid(TQ_ARRAY_S<PORT, PORT>));           \
  MORVANE_EXPECT_LINKS(TQ_ARRAY_S<PORT, PORT>);
  MORVANE_MULTIPORT_CLASSES(MORVANE_EXPECT_MULTIPORT)
#undef MORVANE_EXPECT_MULTIPORT

  // The typed arrays over the host's property types.
#define MORVANE_EXPECT_ARRAY(ARRAY, T)            \
  ExpectExportedClass(typeid(ARRAY<T, T>));       \
  MORVANE_EXPECT_LINKS(ARRAY<T, T>)
  MORVANE_EXPECT_ARRAY(TQ_ARRAY_I, TQ_REALPARAMETER);
  MORVANE_EXPECT_ARRAY(TQ_ARRAY_I, TQ_PARTIALDERIVATIVE);
  MORVANE_EXPECT_ARRAY(TQ_ARRAY_I, TQ_REALVARIABLE);
  MORVANE_EXPECT_ARRAY(TQ_ARRAY_II, TQ_PARTIALDERIVATIVE);
  MORVANE_EXPECT_ARRAY(TQ_ARRAY_II, TQ_REALVARIABLE);
  MORVANE_EXPECT_ARRAY(TQ_ARRAY_III, TQ_PARTIALDERIVATIVE);
  MORVANE_EXPECT_ARRAY(TQ_ARRAY_III, TQ_REALVARIABLE);

  // The section and domain classes, the links and virtual properties over
  // them, and the section array.
  ExpectExportedClass(typeid(TQ_SECTIONDATAMODEL));
  ExpectExportedClass(typeid(TQ_DOMAIN));
  ExpectExportedClass(typeid(TQ_LENGTHDOMAIN));
  ExpectExportedClass(typeid(TQ_ANGLEDOMAIN));
  MORVANE_EXPECT_LINKS(TQ_SECTIONDATAMODEL);
  MORVANE_EXPECT_LINKS(TQ_DOMAIN);
  MORVANE_EXPECT_LINKS(TQ_LENGTHDOMAIN);
  MORVANE_EXPECT_LINKS(TQ_ANGLEDOMAIN);
  MORVANE_EXPECT_ARRAY(TQ_ARRAY_I, TQ_SECTIONDATAMODEL);
  // The three-dimensional distribution and the links and virtual properties over it.
  ExpectExportedClass(typeid(TQ_DISTRIBUTION3D));
  MORVANE_EXPECT_LINKS(TQ_DISTRIBUTION3D);
  // The domain's set functions.
  for (const char* function : {"_ZN9TQ_DOMAIN13Sigma25416536ER17TQ_IntegerSetIter", "_ZN9TQ_DOMAIN14Sigma115370720Ev",
                               "_ZN9TQ_DOMAIN14Sigma115374720Ev", "_ZN9TQ_DOMAIN16UnionFn115365376ER17TQ_IntegerSetIter",
                               "_ZN9TQ_DOMAIN16UnionFn115369808Ev"})
    EXPECT_NE(Symbol(function), nullptr) << function;
  // The two-dimensional distribution, with the link and virtual property
  // over it.
  ExpectExportedClass(typeid(TQ_DISTRIBUTION2D));
  MORVANE_EXPECT_LINKS(TQ_DISTRIBUTION2D);
  ExpectExportedClass(typeid(TQ_GLOBALSTRUCTUREREFNAME<TQ_GENERICSTRUCTURE>));
  ExpectExportedClass(typeid(TQ_ANGLEPARAMETER));
  ExpectExportedClass(typeid(TQ_DISCRETIZATIONMETHODPARAM));
#undef MORVANE_EXPECT_ARRAY
#undef MORVANE_EXPECT_LINKS
}

TEST_F(LibraryExportsTest, TheTwentyEightArrayBasesAreExported) {
  int count = 0;
#define MORVANE_EXPECT_BASE(NAME, ...)                           \
  ExpectExportedClass(typeid(NAME));                             \
  ExpectExportedClass(typeid(TQ_BASE_KEYS<__VA_ARGS__>));        \
  ++count;
  MORVANE_ARRAY_BASE_SHAPES(MORVANE_EXPECT_BASE)
#undef MORVANE_EXPECT_BASE
  EXPECT_EQ(count, 28);
}

TEST_F(LibraryExportsTest, DistributionOverThreeDomainsFromTheLibraryRegistersAndAssigns) {
  std::string error;
  TQ_ModelType* object = library_->Create("DISTRIBUTION3D", error);
  ASSERT_NE(object, nullptr) << error;
  EXPECT_EQ(object->PropertyCount(), 67);
  EXPECT_STREQ(object->TQ_DefaultDESCRIPTION(), "Model DISTRIBUTION3D\tV7.1");
  // Without its domains it reports each link and computes nothing.
  EXPECT_EQ(object->ExecuteAssignments(10, 1), -1);
  EXPECT_EQ(TQ_Executive::Instance().Errors().size(), 3u);
  EXPECT_EQ(object->Release(), 0);
}

TEST_F(LibraryExportsTest, DomainFromTheLibraryBuildsItsGrid) {
  // The library's own code: factory, registration and grid assignments.
  std::string error;
  TQ_ModelType* object = library_->Create("LENGTHDOMAIN", error);
  ASSERT_NE(object, nullptr) << error;
  EXPECT_EQ(object->PropertyCount(), 18);
  TQ_DOMAIN* domain = dynamic_cast<TQ_DOMAIN*>(object);
  ASSERT_NE(domain, nullptr);
  ASSERT_EQ(domain->DISCRETIZATIONMETHOD.Fix(TQ_Value("OCFE3", 0u, 0u, 0)), TQ_ASSIGN_DONE);
  EXPECT_EQ(object->ExecuteAssignments(10, 1), 0);
  EXPECT_EQ(domain->ENDNODE.v(), 9);
  EXPECT_EQ((*domain->SECTION)(1).NUMELEMENTS.v(), 3);
  EXPECT_DOUBLE_EQ((*domain->VALUE)(9).v(), 1.0);
  EXPECT_EQ(object->Release(), 0);
}

}  // namespace
