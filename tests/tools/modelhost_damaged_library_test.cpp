// A library that is no regular file, or whose tables are damaged while the file keeps its length,
// is bad input as well: the loader refuses it, and modelhost says so in one line with status 1 -
// never waiting for ever on the file, and never stopped by a fault or an assertion of the
// platform's loader, which trusts the tables further than any check of the file can follow them.
// Copies of the built model library are damaged one field at a time, by a table of chosen edits
// and by a seeded sweep; others are refused by the platform's loader for the usual reasons.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <elf.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "host/tq_loader.h"
#include "library_bytes.h"
#include "modelhost_tool.h"
#include "non_regular_files.h"

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

// Seconds a run may take before it counts as hanging.
constexpr int kLimitSeconds = 60;

// The refusal modelhost gives for a library: status 1, one line that starts with its name.
void ExpectRefused(const Outcome& run, const std::string& fragment) {
  ExpectOneLineError(run, fragment);
  EXPECT_EQ(run.err.rfind("modelhost: ", 0), 0u) << run.err;
}

// ------------------------------------------------------------ one field damaged

// An edit of one field of the library, and what the refusal says besides that it is damaged
// (empty where only the trial load finds it, and the platform's words depend on the build). An
// edit of an exported symbol that the library's own relocations name (a build whose code tables
// point at every function does) is met by the platform's loader while it relocates the library,
// before the trial looks the symbol up: the refusal then says what became of that loader, or
// what it could not find (`whenRelocated`, where it differs).
struct Edit {
  const char* name;
  std::function<void(std::vector<char>&, const Layout&)> apply;
  const char* reason;
  const char* relocatedSymbol = nullptr;
  const char* whenRelocated = nullptr;
};

void PutDynamic(std::vector<char>& bytes, const Layout& layout, std::int64_t tag, std::uint64_t value) {
  Put(bytes, layout.DynamicAt(bytes, tag) + offsetof(Elf64_Dyn, d_un), value);
}
// The entry of `tag` given another tag: the table keeps its length, and loses that entry.
void Retag(std::vector<char>& bytes, const Layout& layout, std::int64_t tag, std::int64_t other) {
  Put(bytes, layout.DynamicAt(bytes, tag) + offsetof(Elf64_Dyn, d_tag), other);
}
std::uint64_t RelocationAt(const std::vector<char>& bytes, const Layout& layout, std::uint64_t index) {
  return layout.FileOffset(layout.DynamicValue(bytes, DT_RELA)) + index * sizeof(Elf64_Rela);
}
// The relative relocation that writes the first entry of the initialisation array, which the
// platform's loader calls.
std::uint64_t InitialisationRelocation(const std::vector<char>& bytes, const Layout& layout) {
  const std::uint64_t entry = layout.DynamicValue(bytes, DT_INIT_ARRAY);
  for (std::uint64_t k = 0; k < layout.DynamicValue(bytes, DT_RELACOUNT); ++k)
    if (At<Elf64_Rela>(bytes, RelocationAt(bytes, layout, k)).r_offset == entry) return RelocationAt(bytes, layout, k);
  ADD_FAILURE() << "no relative relocation writes the initialisation array";
  return 0;
}
// The first relocation past the relative ones whose symbol the library defines itself.
std::uint64_t DefinedSymbolRelocation(const std::vector<char>& bytes, const Layout& layout) {
  const std::uint64_t count = layout.DynamicValue(bytes, DT_RELASZ) / sizeof(Elf64_Rela);
  for (std::uint64_t k = layout.DynamicValue(bytes, DT_RELACOUNT); k < count; ++k) {
    const auto entry = At<Elf64_Rela>(bytes, RelocationAt(bytes, layout, k));
    if (layout.Defines(bytes, ELF64_R_SYM(entry.r_info))) return RelocationAt(bytes, layout, k);
  }
  ADD_FAILURE() << "no relocation names a symbol the library defines";
  return 0;
}
std::uint64_t ProgramField(const Layout& layout, std::uint32_t type, std::size_t index, std::size_t field) {
  return layout.ProgramAt(type, index) + field;
}

const Edit kEdits[] = {
    {"RelocationEntrySize",
     [](auto& bytes, const auto& layout) { PutDynamic(bytes, layout, DT_RELAENT, 16); },
     "(DT_RELA) says its entries take 16 bytes, not 24"},
    {"InitialisationArrayWithoutItsSize",
     [](auto& bytes, const auto& layout) { Retag(bytes, layout, DT_INIT_ARRAYSZ, DT_DEBUG); },
     "its initialisation array has no size entry"},
    {"RelocationTableWithoutItsSize",
     [](auto& bytes, const auto& layout) { Retag(bytes, layout, DT_RELASZ, DT_DEBUG); },
     "its relocation table (DT_RELA) has no size entry"},
    {"RelativeRelocationTableWithoutItsSizes",
     [](auto& bytes, const auto& layout) { Retag(bytes, layout, DT_RELACOUNT, DT_RELR); },
     "(DT_RELR) has no size entry"},
    {"ProcedureRelocationsOfAnotherKind",
     [](auto& bytes, const auto& layout) { Retag(bytes, layout, DT_RELACOUNT, DT_PLTREL); },
     "neither DT_REL nor DT_RELA"},
    {"RelativeCountPastTheRelativeRelocations",
     [](auto& bytes, const auto& layout) {
       PutDynamic(bytes, layout, DT_RELACOUNT, layout.DynamicValue(bytes, DT_RELACOUNT) + 100);
     },
     "relative relocations, but holds"},
    {"DynamicTableAddressMovedFromItsOffset",
     [](auto& bytes, const auto& layout) {
       const std::uint64_t at = ProgramField(layout, PT_DYNAMIC, 0, offsetof(Elf64_Phdr, p_vaddr));
       Put(bytes, at, At<std::uint64_t>(bytes, at) - 0x100);
     },
     "not from its own offset"},
    {"LoadableSegmentWithoutPermissions",
     [](auto& bytes, const auto& layout) {
       Put(bytes, ProgramField(layout, PT_LOAD, 0, offsetof(Elf64_Phdr, p_flags)), std::uint32_t{0});
     },
     "may be neither read, written nor run"},
    {"LoadableSegmentPastTheAddressSpace",
     [](auto& bytes, const auto& layout) {
       Put(bytes, ProgramField(layout, PT_LOAD, 3, offsetof(Elf64_Phdr, p_memsz)), std::uint64_t{0xffffffffffff0000});
     },
     "runs past the end of the address space"},
    {"ReadOnlyAfterRelocationEnlarged",
     [](auto& bytes, const auto& layout) {
       const std::uint64_t at = ProgramField(layout, PT_GNU_RELRO, 0, offsetof(Elf64_Phdr, p_memsz));
       Put(bytes, at, At<std::uint64_t>(bytes, at) + 0x1000);
     },
     // Past the writable segment, or over the data in it, as the build lays the segment out.
     "its segment made read-only after relocation (program header"},
    {"SymbolVersionIndexPastTheVersions",
     [](auto& bytes, const auto& layout) {
       const std::uint64_t versions = layout.FileOffset(layout.DynamicValue(bytes, DT_VERSYM));
       std::uint64_t k = 1;
       while (At<std::uint16_t>(bytes, versions + 2 * k) < 2) ++k;
       Put(bytes, versions + 2 * k, std::uint16_t{0x7fff});
     },
     "the version index 32767 of its symbol"},
    {"VersionNeedNamingNoNeededLibrary",
     [](auto& bytes, const auto& layout) {
       const std::uint64_t need = layout.FileOffset(layout.DynamicValue(bytes, DT_VERNEED));
       Put(bytes,
           need + offsetof(Elf64_Verneed, vn_file),
           static_cast<std::uint32_t>(layout.DynamicValue(bytes, DT_SONAME)));
     },
     "Inconsistency detected by ld.so"},
    {"ThreadLocalRelocationWithoutThreadLocalData",
     [](auto& bytes, const auto& layout) {
       const std::uint64_t at = DefinedSymbolRelocation(bytes, layout) + offsetof(Elf64_Rela, r_info);
       Put(bytes, at, ELF64_R_INFO(ELF64_R_SYM(At<std::uint64_t>(bytes, at)), R_X86_64_TPOFF64));
     },
     ""},
    {"IndirectRelocation",
     [](auto& bytes, const auto& layout) {
       const std::uint64_t at = RelocationAt(bytes, layout, layout.DynamicValue(bytes, DT_RELACOUNT));
       Put(bytes, at + offsetof(Elf64_Rela, r_info), ELF64_R_INFO(0, R_X86_64_IRELATIVE));
     },
     ""},
    {"FactoryTypedIndirect",
     [](auto& bytes, const auto& layout) {
       Put(bytes,
           layout.SymbolAt(bytes, "DOMAINFactory") + offsetof(Elf64_Sym, st_info),
           static_cast<unsigned char>(ELF64_ST_INFO(STB_GLOBAL, STT_GNU_IFUNC)));
     },
     "\"DOMAINFactory\" resolves to",
     "DOMAINFactory",
     "it is damaged: the platform's loader"},
    {"ExportHiddenFromItsHashTable",
     [](auto& bytes, const auto& layout) {
       // The hash kept for the symbol in its chain no longer matches its name's.
       const Elf64_Shdr& hash = layout.Section(SHT_GNU_HASH);
       const auto buckets = At<std::uint32_t>(bytes, hash.sh_offset);
       const auto first = At<std::uint32_t>(bytes, hash.sh_offset + 4);
       const auto filter = At<std::uint32_t>(bytes, hash.sh_offset + 8);
       const std::uint64_t chains = hash.sh_offset + 16 + std::uint64_t{filter} * 8 + std::uint64_t{buckets} * 4;
       const std::uint64_t at = chains + (layout.SymbolIndex(bytes, "DOMAINFactory") - first) * 4;
       Put(bytes, at, At<std::uint32_t>(bytes, at) ^ 2u);
     },
     "\"DOMAINFactory\", which it exports, cannot be found through its hash table",
     "DOMAINFactory",
     "undefined symbol: DOMAINFactory"},
    {"FactoryOutsideEverySegment",
     [](auto& bytes, const auto& layout) {
       Put(bytes,
           layout.SymbolAt(bytes, "DOMAINFactory") + offsetof(Elf64_Sym, st_value),
           std::uint64_t{0x7fff00000000});
     },
     "\"DOMAINFactory\" lies at 0x7fff00000000, outside every segment that may be run"},
    {"InitialisationCodeInData",
     [](auto& bytes, const auto& layout) {
       PutDynamic(bytes, layout, DT_INIT, layout.DynamicValue(bytes, DT_INIT_ARRAY));
     },
     "its initialisation code at"},
    {"FinalisationArrayInCode",
     [](auto& bytes, const auto& layout) {
       PutDynamic(bytes, layout, DT_FINI_ARRAY, layout.DynamicValue(bytes, DT_INIT));
     },
     "its finalisation array holds at"},
    {"ZeroedDataFilledFromTheFile",
     [](auto& bytes, const auto& layout) {
       const std::uint64_t at = layout.ProgramAt(PT_LOAD, 3);
       Put(bytes, at + offsetof(Elf64_Phdr, p_filesz), At<Elf64_Phdr>(bytes, at).p_memsz);
     },
     "is to start as zeros"},
    {"RelocationTableSaidShorter",
     [](auto& bytes, const auto& layout) {
       PutDynamic(bytes, layout, DT_RELASZ, layout.DynamicValue(bytes, DT_RELASZ) - 100 * sizeof(Elf64_Rela));
     },
     "but its section .rela.dyn holds"},
    {"InitialisationEntryLeadingOutOfTheLibrary",
     [](auto& bytes, const auto& layout) {
       Put(bytes,
           InitialisationRelocation(bytes, layout) + offsetof(Elf64_Rela, r_addend),
           std::int64_t{0x5500000000000000});
     },
     "its initialisation array holds at"},
    {"InitialisationEntryLeadingIntoData",
     [](auto& bytes, const auto& layout) {
       Put(bytes,
           InitialisationRelocation(bytes, layout) + offsetof(Elf64_Rela, r_addend),
           layout.DynamicValue(bytes, DT_INIT_ARRAY));
     },
     "which lies in no segment that may be run"},
};

class DamagedLibrary : public LibraryFileTest, public ::testing::WithParamInterface<Edit> {};

TEST_P(DamagedLibrary, IsRefusedAsDamagedInOneLine) {
  const std::vector<char> whole = FileBytes(BuiltLibrary());
  const Layout layout(whole);
  std::vector<char> bytes = whole;
  GetParam().apply(bytes, layout);
  ASSERT_NE(bytes, whole);
  const fs::path file = directory_ / "Damaged.so";
  WriteBytes(file, bytes);

  const Edit& edit = GetParam();
  const bool relocated =
      edit.relocatedSymbol != nullptr && layout.Relocates(whole, layout.SymbolIndex(whole, edit.relocatedSymbol));
  const std::string reason = relocated ? edit.whenRelocated : edit.reason;
  const std::string said = "cannot load library \"" + file.string() + "\": " + (relocated ? "" : "it is damaged: ");

  TQ_LibraryLoader loader;
  std::string error;
  EXPECT_EQ(loader.LoadFile(file.string(), error), nullptr);
  EXPECT_EQ(error.rfind(said, 0), 0u) << error;
  EXPECT_NE(error.find(reason), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;

  const Outcome run = RunTool({"--library", file.string()}, "", kLimitSeconds);
  ExpectRefused(run, said);
  EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Edits, DamagedLibrary, ::testing::ValuesIn(kEdits), [](const auto& info) {
  return std::string(info.param.name);
});

// ------------------------------------------------------------ a sweep of random edits

// The structures the check and the platform's loader read, each as the byte ranges it takes:
// the headers, the program, dynamic and section tables, the hash table, the dynamic symbols with
// their names and versions, and the relocations' kinds and the high half of their symbols'
// numbers (which no symbol of the library reaches). What a relocation writes is left alone - its
// target, its addend, and which of the library's symbols it names: the platform's loader writes
// what they say where they say it, and damage there shows only once the library's code follows
// the pointer.
using Range = std::pair<std::uint64_t, std::uint64_t>;  // offset, size
std::vector<std::vector<Range>> Structures(const std::vector<char>& bytes, const Layout& layout) {
  const auto dynamic = At<Elf64_Phdr>(bytes, layout.ProgramAt(PT_DYNAMIC));
  std::vector<std::vector<Range>> structures = {
      {{0, sizeof(Elf64_Ehdr)}},
      {{layout.header.e_phoff, layout.programs.size() * sizeof(Elf64_Phdr)}},
      {{layout.header.e_shoff, layout.sections.size() * sizeof(Elf64_Shdr)}},
      {{dynamic.p_offset, dynamic.p_filesz}},
  };
  const Elf64_Shdr& symbols = layout.Section(SHT_DYNSYM);
  for (const Elf64_Shdr* section : {&layout.Section(SHT_GNU_HASH),
                                    &symbols,
                                    &layout.sections[symbols.sh_link],
                                    &layout.Section(SHT_GNU_versym),
                                    &layout.Section(SHT_GNU_verneed)})
    structures.push_back({{section->sh_offset, section->sh_size}});
  std::vector<Range> kinds;
  const Elf64_Shdr& relocations = layout.Section(SHT_RELA);
  for (std::uint64_t at = relocations.sh_offset; at < relocations.sh_offset + relocations.sh_size;
       at += sizeof(Elf64_Rela)) {
    kinds.emplace_back(at + offsetof(Elf64_Rela, r_info), 4);      // the kind
    kinds.emplace_back(at + offsetof(Elf64_Rela, r_info) + 6, 2);  // the symbol number's bits 16 to 31
  }
  structures.push_back(kinds);
  return structures;
}

TEST_F(LibraryFileTest, EverySeededEditOfItsStructuresLoadsOrIsRefusedInOneLine) {
  const std::vector<char> whole = FileBytes(BuiltLibrary());
  const Layout layout(whole);
  const auto structures = Structures(whole, layout);
  constexpr std::uint64_t kSeed = 20240607;
  constexpr int kEditCount = 48;
  std::mt19937_64 random(kSeed);
  int loaded = 0;
  int refused = 0;
  const fs::path file = directory_ / "Edited.so";
  for (int k = 0; k < kEditCount; ++k) {
    // A structure, then one of its ranges, then a byte of it set to any other value.
    const std::vector<Range>& ranges = structures[random() % structures.size()];
    const Range& range = ranges[random() % ranges.size()];
    const std::uint64_t at = range.first + random() % range.second;
    const auto value = static_cast<char>(whole[at] + 1 + static_cast<int>(random() % 255));
    std::vector<char> bytes = whole;
    bytes[at] = value;
    WriteBytes(file, bytes);
    SCOPED_TRACE("seed " + std::to_string(kSeed) + ", edit " + std::to_string(k) + ": byte " + std::to_string(at) +
                 " set to " + std::to_string(static_cast<unsigned char>(value)));
    const Outcome run = RunTool({"--library", file.string(), "--summary"}, "", kLimitSeconds);
    if (run.status == 0) {
      ++loaded;
      EXPECT_TRUE(run.err.empty()) << run.err;
      continue;
    }
    ++refused;
    ExpectRefused(run, "modelhost: ");
  }
  // The sweep reached both ends: edits that change nothing the loader needs, and damage.
  EXPECT_GT(loaded, 0);
  EXPECT_GT(refused, 0);
}

// ------------------------------------------------------------ refused by the platform's loader

// A library the platform's loader refuses for the usual reasons is reported with its reason, as
// before the trial load: such a library is not damaged.
struct Refusal {
  const char* name;
  std::function<void(std::vector<char>&, const Layout&)> apply;
  const char* reason;
};

// Changes one letter of the name at `offset` of the dynamic string table.
void Misspell(std::vector<char>& bytes, const Layout& layout, std::uint64_t offset) {
  const std::uint64_t at = layout.FileOffset(layout.DynamicValue(bytes, DT_STRTAB)) + offset;
  bytes[at] = bytes[at] == 'w' ? 'x' : 'w';
}

// The offset in the dynamic string table of a needed library's name.
std::uint64_t NeededName(const std::vector<char>& bytes, const Layout& layout, const std::string& library) {
  const auto dynamic = At<Elf64_Phdr>(bytes, layout.ProgramAt(PT_DYNAMIC));
  const std::uint64_t strings = layout.FileOffset(layout.DynamicValue(bytes, DT_STRTAB));
  for (std::uint64_t at = dynamic.p_offset; at < dynamic.p_offset + dynamic.p_filesz; at += sizeof(Elf64_Dyn)) {
    const auto entry = At<Elf64_Dyn>(bytes, at);
    if (entry.d_tag == DT_NEEDED && library == bytes.data() + strings + entry.d_un.d_val) return entry.d_un.d_val;
  }
  ADD_FAILURE() << "the library does not need " << library;
  return 0;
}

const Refusal kRefusals[] = {
    {"MissingDependency",
     [](auto& bytes, const auto& layout) { Misspell(bytes, layout, NeededName(bytes, layout, "vekexp.so")); },
     "ekexp.so: cannot open shared object file"},
    {"UndefinedSymbol",
     [](auto& bytes, const auto& layout) {
       // The host layer's allocation, which every object of the library goes through.
       const std::uint64_t symbol = layout.SymbolAt(bytes, "_Z10MyAllocatej");
       Misspell(bytes, layout, At<Elf64_Sym>(bytes, symbol).st_name + 5);
     },
     "undefined symbol: _Z10M"},
};

class RefusedLibrary : public LibraryFileTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedLibrary, IsReportedWithThePlatformsReason) {
  const std::vector<char> whole = FileBytes(BuiltLibrary());
  const Layout layout(whole);
  std::vector<char> bytes = whole;
  GetParam().apply(bytes, layout);
  const fs::path file = directory_ / "Refused.so";
  WriteBytes(file, bytes);

  TQ_LibraryLoader loader;
  std::string error;
  EXPECT_EQ(loader.LoadFile(file.string(), error), nullptr);
  EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
  EXPECT_EQ(error.find("damaged"), std::string::npos) << error;

  ExpectRefused(RunTool({"--library", file.string()}, "", kLimitSeconds), GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(Reasons, RefusedLibrary, ::testing::ValuesIn(kRefusals), [](const auto& info) {
  return std::string(info.param.name);
});

// ------------------------------------------------------------ no regular file

// Something that is no regular file: made at the path it is given, or found where it stands
// (the path it returns), and what the refusal calls it.
struct NotAFile {
  const char* name;
  std::function<fs::path(const fs::path&)> make;
  const char* kind;
  bool throughSymlink;
};

fs::path MakeFifo(const fs::path& path) {
  non_regular_files::MakeFifo(path);
  return path;
}
fs::path MakeSocket(const fs::path& path) {
  non_regular_files::MakeSocket(path);
  return path;
}
fs::path MakeDirectory(const fs::path& path) {
  fs::create_directory(path);
  return path;
}
fs::path NullDevice(const fs::path&) { return "/dev/null"; }

const NotAFile kNotFiles[] = {
    {"Fifo", MakeFifo, "a FIFO", false},
    {"FifoThroughSymlink", MakeFifo, "a FIFO", true},
    {"Socket", MakeSocket, "a socket", false},
    {"SocketThroughSymlink", MakeSocket, "a socket", true},
    {"Directory", MakeDirectory, "a directory", false},
    {"DirectoryThroughSymlink", MakeDirectory, "a directory", true},
    {"NullDevice", NullDevice, "a character device", false},
    {"NullDeviceThroughSymlink", NullDevice, "a character device", true},
};

class NotARegularFile : public LibraryFileTest, public ::testing::WithParamInterface<NotAFile> {};

TEST_P(NotARegularFile, IsRefusedQuicklyBeforeAnythingOpensIt) {
  const fs::path target = GetParam().make(directory_ / "Target.so");
  fs::path library = target;
  if (GetParam().throughSymlink) {
    library = directory_ / "Link.so";
    fs::create_symlink(target, library);
  }
  const std::string expected = "cannot load library \"" + library.string() + "\": it is no library: it is " +
                               GetParam().kind + ", not a regular file";
  // In a process of its own with an alarm: a loader that opens a FIFO waits for a writer for ever.
  EXPECT_EXIT(
      {
        alarm(kLimitSeconds);
        TQ_LibraryLoader loader;
        std::string error;
        const bool refused = loader.LoadFile(library.string(), error) == nullptr;
        std::fprintf(stderr, "%s\n", error.c_str());
        _exit(refused && error == expected ? 0 : 1);
      },
      ::testing::ExitedWithCode(0),
      "");
  ExpectRefused(RunTool({"--library", library.string()}, "", kLimitSeconds), expected);
}

INSTANTIATE_TEST_SUITE_P(Kinds, NotARegularFile, ::testing::ValuesIn(kNotFiles), [](const auto& info) {
  return std::string(info.param.name);
});

}  // namespace
#endif
