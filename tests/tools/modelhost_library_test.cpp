// A library file that cannot be loaded, or is no model library, is bad input: the loader refuses
// it before the platform's loader maps it, and modelhost says so in one line with status 1. The
// built model library is cut at every boundary of its headers, segments and sections and at
// steps between, and loaded with its headers' fields damaged one at a time.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <elf.h>
#include <link.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "host/tq_loader.h"
#include "host/tq_model_library.h"
#include "library_bytes.h"
#include "modelhost_tool.h"

using library_bytes::At;
using library_bytes::BuiltLibrary;
using library_bytes::FileBytes;
using library_bytes::Layout;
using library_bytes::LibraryFileTest;
using library_bytes::Put;
using library_bytes::WriteBytes;
using modelhost_test::ExpectOneLineError;
using modelhost_test::Outcome;
using modelhost_test::RunTool;

namespace fs = std::filesystem;

namespace {

// Every length at which a header, a table, a segment or a section of the file begins or ends,
// with the lengths one short and one past, and `steps` lengths evenly spread over the file.
std::vector<std::uint64_t> CutLengths(const Layout& layout, std::uint64_t size, std::uint64_t steps) {
  std::vector<std::uint64_t> bounds = {0, EI_NIDENT, sizeof(Elf64_Ehdr)};
  const auto add = [&bounds](std::uint64_t offset, std::uint64_t length) {
    bounds.push_back(offset);
    bounds.push_back(offset + length);
  };
  add(layout.header.e_phoff, layout.programs.size() * sizeof(Elf64_Phdr));
  add(layout.header.e_shoff, layout.sections.size() * sizeof(Elf64_Shdr));
  for (const Elf64_Phdr& program : layout.programs) add(program.p_offset, program.p_filesz);
  for (const Elf64_Shdr& section : layout.sections)
    if (section.sh_type != SHT_NOBITS) add(section.sh_offset, section.sh_size);
  std::vector<std::uint64_t> lengths;
  for (std::uint64_t bound : bounds)
    for (std::uint64_t length : {bound - 1, bound, bound + 1})
      if (bound > 0 || length == 0) lengths.push_back(length);
  for (std::uint64_t k = 0; k < steps; ++k) lengths.push_back(size * k / steps);
  std::erase_if(lengths, [size](std::uint64_t length) { return length >= size; });
  std::sort(lengths.begin(), lengths.end(), std::greater<>());
  lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
  return lengths;
}

TEST_F(LibraryFileTest, EveryCutOfTheLibraryIsRefusedWithItsLengthAndNeverStopsTheProcess) {
  const std::vector<char> bytes = FileBytes(BuiltLibrary());
  ASSERT_GT(bytes.size(), sizeof(Elf64_Ehdr));
  const Layout layout(bytes);
  // The section table closes the file, so every shorter length lacks something the loader reads.
  ASSERT_EQ(layout.header.e_shoff + layout.sections.size() * sizeof(Elf64_Shdr), bytes.size());
  const fs::path cut = directory_ / "Cut.so";
  WriteBytes(cut, bytes);
  const std::vector<std::uint64_t> lengths = CutLengths(layout, bytes.size(), 128);
  ASSERT_GT(lengths.size(), 200u);
  for (std::uint64_t length : lengths) {  // longest first: each cut shortens the same file
    SCOPED_TRACE("cut to " + std::to_string(length) + " of " + std::to_string(bytes.size()) + " bytes");
    fs::resize_file(cut, length);
    TQ_LibraryLoader loader;
    std::string error;
    EXPECT_EQ(loader.LoadFile(cut.string(), error), nullptr);
    EXPECT_NE(error.find(cut.string()), std::string::npos) << error;
    EXPECT_NE(error.find("holds " + std::to_string(length)), std::string::npos) << error;
    if (length % 8 == 0 || length < 4096) {  // the program itself over a share of the cuts
      const Outcome run = RunTool({"--library", cut.string()});
      ExpectOneLineError(run, cut.string());
    }
  }
  // The whole file loads, through the loader and in modelhost.
  WriteBytes(cut, bytes);
  TQ_LibraryLoader loader;
  std::string error;
  EXPECT_NE(loader.LoadFile(cut.string(), error), nullptr) << error;
  const Outcome whole = RunTool({"--library", cut.string()});
  EXPECT_EQ(whole.status, 0) << whole.err;
}

// One field of the headers given a value the file cannot honour, and what the refusal names.
using Where = std::function<std::uint64_t(const std::vector<char>&, const Layout&)>;
struct Damage {
  const char* name;
  Where where;  // the field's file offset
  std::uint64_t value;
  int width;  // the field's bytes
  const char* reason;
};

void Apply(const Damage& damage, std::vector<char>& bytes, const Layout& layout) {
  const std::uint64_t at = damage.where(bytes, layout);
  switch (damage.width) {
    case 1:
      Put(bytes, at, static_cast<std::uint8_t>(damage.value));
      break;
    case 2:
      Put(bytes, at, static_cast<std::uint16_t>(damage.value));
      break;
    case 4:
      Put(bytes, at, static_cast<std::uint32_t>(damage.value));
      break;
    default:
      Put(bytes, at, damage.value);
      break;
  }
}

Where InHeader(std::size_t field) {
  return [field](const std::vector<char>&, const Layout&) { return std::uint64_t{field}; };
}
// A field of the `index`-th loadable segment's program header.
Where InLoad(std::size_t index, std::size_t field) {
  return [index, field](const std::vector<char>&, const Layout& layout) {
    std::size_t seen = 0;
    for (std::size_t k = 0; k < layout.programs.size(); ++k)
      if (layout.programs[k].p_type == PT_LOAD && seen++ == index)
        return layout.header.e_phoff + k * sizeof(Elf64_Phdr) + field;
    ADD_FAILURE() << "no loadable segment " << index;
    return std::uint64_t{0};
  };
}
Where InProgram(std::uint32_t type, std::size_t field) {
  return [type, field](const std::vector<char>&, const Layout& layout) { return layout.ProgramAt(type) + field; };
}
Where InSectionHeader(std::uint32_t type, std::size_t field) {
  return [type, field](const std::vector<char>&, const Layout& layout) { return layout.SectionAt(type) + field; };
}
// A field of the first entry in the section's bytes.
Where InSectionData(std::uint32_t type, std::size_t field) {
  return [type, field](const std::vector<char>& bytes, const Layout& layout) {
    return At<Elf64_Shdr>(bytes, layout.SectionAt(type)).sh_offset + field;
  };
}
Where InDynamic(std::int64_t tag) {
  return [tag](const std::vector<char>& bytes, const Layout& layout) {
    return layout.DynamicAt(bytes, tag) + offsetof(Elf64_Dyn, d_un);
  };
}

constexpr std::uint64_t kFar = 0x7fff00000000;

const std::vector<Damage> kDamages = {
    {"magic", InHeader(0), 'X', 1, "does not begin as an ELF file"},
    {"byte order", InHeader(EI_DATA), ELFDATA2MSB, 1, "other order"},
    {"class", InHeader(EI_CLASS), 7, 1, "ELF class 7"},
    {"program table offset", InHeader(offsetof(Elf64_Ehdr, e_phoff)), kFar, 8, "program header table"},
    {"program count", InHeader(offsetof(Elf64_Ehdr, e_phnum)), 0, 2, "program header table has 0 entries"},
    {"program entry size", InHeader(offsetof(Elf64_Ehdr, e_phentsize)), 40, 2, "program header table"},
    {"segment offset",
     InLoad(1, offsetof(Elf64_Phdr, p_offset)),
     kFar,
     8,
     "loadable segment (program header 1) takes bytes"},
    {"segment size", InLoad(3, offsetof(Elf64_Phdr, p_filesz)), kFar, 8, "more bytes from the file than it loads"},
    {"dynamic table address",
     InProgram(PT_DYNAMIC, offsetof(Elf64_Phdr, p_vaddr)),
     kFar,
     8,
     "outside the bytes the loadable segments take"},
    {"dynamic table offset", InProgram(PT_DYNAMIC, offsetof(Elf64_Phdr, p_offset)), kFar, 8, "takes bytes"},
    {"note address",
     InProgram(PT_NOTE, offsetof(Elf64_Phdr, p_vaddr)),
     kFar,
     8,
     "outside the bytes the loadable segments take"},
    {"section table offset", InHeader(offsetof(Elf64_Ehdr, e_shoff)), kFar, 8, "section table"},
    {"section count", InHeader(offsetof(Elf64_Ehdr, e_shnum)), 0xfff0, 2, "section table"},
    {"section entry size", InHeader(offsetof(Elf64_Ehdr, e_shentsize)), 40, 2, "section table"},
    {"symbol section offset", InSectionHeader(SHT_DYNSYM, offsetof(Elf64_Shdr, sh_offset)), kFar, 8, "section .dynsym"},
    {"symbol section strings",
     InSectionHeader(SHT_DYNSYM, offsetof(Elf64_Shdr, sh_link)),
     0xfffff,
     4,
     "names string table"},
    {"string table address", InDynamic(DT_STRTAB), kFar, 8, "dynamic string table"},
    {"string table size", InDynamic(DT_STRSZ), kFar, 8, "dynamic string table"},
    {"needed library name", InDynamic(DT_NEEDED), kFar, 8, "past the end of its string table"},
    {"symbol table address", InDynamic(DT_SYMTAB), kFar, 8, "dynamic symbol table"},
    {"symbol entry size", InDynamic(DT_SYMENT), 16, 8, "16 bytes each"},
    {"hash table address", InDynamic(DT_GNU_HASH), kFar, 8, "GNU hash table"},
    {"hash filter words", InSectionData(SHT_GNU_HASH, 8), 3, 4, "not a power of two"},
    {"hash bucket count", InSectionData(SHT_GNU_HASH, 0), 0x40000000, 4, "GNU hash table"},
    {"relocation table size", InDynamic(DT_RELASZ), kFar, 8, "relocation table"},
    {"relocation target", InSectionData(SHT_RELA, offsetof(Elf64_Rela, r_offset)), kFar, 8, "writes at"},
    {"linkage table address", InDynamic(DT_PLTGOT), kFar, 8, "procedure linkage table"},
    {"initialisation code address", InDynamic(DT_INIT), kFar, 8, "initialisation code"},
    {"initialisation array size", InDynamic(DT_INIT_ARRAYSZ), kFar, 8, "initialisation array"},
    {"version needs address", InDynamic(DT_VERNEED), kFar, 8, "version needs"},
    {"version table address", InDynamic(DT_VERSYM), kFar, 8, "symbol version table"},
};

TEST_F(LibraryFileTest, DamagedHeadersAreRefusedWithWhatIsWrong) {
  const std::vector<char> whole = FileBytes(BuiltLibrary());
  const Layout layout(whole);
  for (const Damage& damage : kDamages) {
    SCOPED_TRACE(damage.name);
    std::vector<char> bytes = whole;
    Apply(damage, bytes, layout);
    const fs::path file = directory_ / "Damaged.so";
    WriteBytes(file, bytes);
    TQ_LibraryLoader loader;
    std::string error;
    EXPECT_EQ(loader.LoadFile(file.string(), error), nullptr);
    EXPECT_NE(error.find(file.string()), std::string::npos) << error;
    EXPECT_NE(error.find(damage.reason), std::string::npos) << error;
    ExpectOneLineError(RunTool({"--library", file.string()}), damage.reason);
  }
}

// The shared objects this process has loaded, by their files.
std::vector<std::string> LoadedObjects() {
  std::vector<std::string> files;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* out) {
        std::error_code ec;
        if (info->dlpi_name != nullptr && fs::is_regular_file(info->dlpi_name, ec))
          static_cast<std::vector<std::string>*>(out)->push_back(info->dlpi_name);
        return 0;
      },
      &files);
  return files;
}

// The check refuses nothing that is whole: every library the process runs on loads through it.
TEST(LibraryFile, EveryLibraryThisProcessRunsOnPassesTheLoadersCheck) {
  const std::vector<std::string> files = LoadedObjects();
  ASSERT_GE(files.size(), 3u) << "the host layer, the C++ and the C libraries at least";
  TQ_LibraryLoader loader;
  for (const std::string& file : files) {
    std::string error;
    EXPECT_NE(loader.LoadFile(file, error), nullptr) << error;
  }
}

// A library that loads but makes no model type is named with what it lacks.
TEST(LibraryFile, ALibraryThatIsNoModelLibraryIsRefusedWithWhatItLacks) {
  std::vector<std::string> files = {(fs::path(TQ_LibraryLoader::ModuleDirectory()) / "vekexp.so").string()};
  for (const std::string& file : LoadedObjects())
    if (fs::path(file).filename().string().rfind("libm.so", 0) == 0) files.push_back(file);
  ASSERT_EQ(files.size(), 2u) << "the host layer and the C maths library";
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    TQ_LibraryLoader loader;
    TQ_ModelLibrary models;
    std::string error;
    EXPECT_FALSE(models.Load(loader, file, error));
    EXPECT_FALSE(models.IsLoaded());
    EXPECT_NE(error.find("\"" + file + "\" is not a model library"), std::string::npos) << error;
    EXPECT_NE(error.find("<NAME>Factory"), std::string::npos) << error;
    EXPECT_NE(error.find("_Compatibility<NAME>"), std::string::npos) << error;
    ExpectOneLineError(RunTool({"--library", file}), "\"" + file + "\" is not a model library");
  }
  // The model library itself is one.
  TQ_LibraryLoader loader;
  TQ_ModelLibrary models;
  std::string error;
  EXPECT_TRUE(models.Load(loader, BuiltLibrary().string(), error)) << error;
}

}  // namespace
#endif
