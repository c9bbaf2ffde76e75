// The built model library as the host meets it: loaded by file name through
// the host's loader, its creatable types found by name, its factories, cells
// and data, and the exported classes and template instances.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "library/export_table.h"
#include "required_exports.h"
#include "distribution/tq_distribution1d.h"
#include "distribution/tq_distribution2d.h"
#include "distribution/tq_distribution3d.h"
#include "domain/tq_domain.h"
#include "host/tq_executive.h"
#include "types/tq_generic_types.h"
#include "host/tq_model_library.h"
#include "types/tq_parameters.h"
#include "types/tq_ports.h"
#include "host/vekexp.h"

#if !defined(_WIN32)
#include <elf.h>
#endif

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

// The names the host may create; the table holds those built so far.
const std::set<std::string> kHostCreatable(required_exports::kHostCreatableTypes.begin(),
                                           required_exports::kHostCreatableTypes.end());

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
  for (const std::string& name : required_exports::kHostCreatableTypes) EXPECT_TRUE(names.count(name)) << name;
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

// On Windows the DLL's export directory is checked against the same list by
// the Windows library test.
#if !defined(_WIN32)
// The library's dynamic symbols that it defines and exports, each with
// whether it lies in writable memory, read from the file's ELF tables.
struct DynamicSymbol {
  std::string name;
  bool writable;
};

std::vector<DynamicSymbol> ExportedSymbols(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<DynamicSymbol> symbols;
  if (image.size() < sizeof(Elf64_Ehdr)) return symbols;
  Elf64_Ehdr header;
  std::memcpy(&header, image.data(), sizeof header);
  auto section = [&](std::size_t index) {
    Elf64_Shdr entry;
    std::memcpy(&entry, image.data() + header.e_shoff + index * header.e_shentsize, sizeof entry);
    return entry;
  };
  for (std::size_t s = 0; s < header.e_shnum; ++s) {
    const Elf64_Shdr table = section(s);
    if (table.sh_type != SHT_DYNSYM) continue;
    const Elf64_Shdr names = section(table.sh_link);
    for (std::size_t k = 0; k < table.sh_size / sizeof(Elf64_Sym); ++k) {
      Elf64_Sym symbol;
      std::memcpy(&symbol, image.data() + table.sh_offset + k * sizeof symbol, sizeof symbol);
      const int binding = ELF64_ST_BIND(symbol.st_info);
      if (symbol.st_shndx == SHN_UNDEF || symbol.st_shndx >= header.e_shnum ||
          ELF64_ST_VISIBILITY(symbol.st_other) != STV_DEFAULT ||
          (binding != STB_GLOBAL && binding != STB_WEAK && binding != STB_GNU_UNIQUE))
        continue;
      symbols.push_back(
          {image.data() + names.sh_offset + symbol.st_name, (section(symbol.st_shndx).sh_flags & SHF_WRITE) != 0});
    }
  }
  return symbols;
}

// Every export of the required list is in the library's dynamic symbol
// table; INTERPOLATE's argument tables lie in writable data and hold their
// entries.
TEST_F(LibraryExportsTest, ExportsEverythingTheRequiredListNames) {
  const std::vector<DynamicSymbol> symbols = ExportedSymbols(BuiltLibrary());
  ASSERT_FALSE(symbols.empty()) << "no dynamic symbols read from " << BuiltLibrary();
  std::set<std::string> exported;
  std::map<std::string, const DynamicSymbol*> byName;
  for (const DynamicSymbol& symbol : symbols) {
    const std::string name = required_exports::Demangled(symbol.name);
    exported.insert(name);
    byName[name] = &symbol;
  }
  for (const std::string& missing : required_exports::Missing(exported)) ADD_FAILURE() << "not exported: " << missing;

  for (const required_exports::ArgumentTable& table : required_exports::kArgumentTables) {
    SCOPED_TRACE(table.symbol);
    const auto found = byName.find(required_exports::Compact(table.symbol));
    ASSERT_NE(found, byName.end());
    EXPECT_TRUE(found->second->writable) << "in read-only memory";
    const auto* entries = static_cast<const unsigned char*>(Symbol(found->second->name));
    ASSERT_NE(entries, nullptr);
    EXPECT_EQ(std::vector<unsigned char>(entries, entries + 5),
              std::vector<unsigned char>(table.entries, table.entries + 5));
  }
}

#endif

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
