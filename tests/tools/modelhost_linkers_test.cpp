// The model library as other linkers make it: the build links it again from the same objects by
// GNU ld, gold and lld with the options people link with, each copy in bin/linkers/<name>. Every
// copy the platform's loader loads, the host's loader loads as well, and modelhost gives with it,
// byte for byte, what it gives with the library as built. The pages the platform's loader makes
// read-only after relocation are judged as that loader makes them: whole pages, from the start of
// the segment that names them to its end, both rounded down to this machine's page.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <dlfcn.h>
#include <elf.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "host/tq_loader.h"
#include "host/tq_model_library.h"
#include "library_bytes.h"
#include "modelhost_tool.h"

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

constexpr int kLimitSeconds = 60;

// A copy of the library linked by another linker or with other options.
struct LinkerVariant {
  const char* name;
  const char* options;  // how it was linked
  const char* missing;  // why the build could not make it; empty when it did
  bool platformMayRefuse;
};

const LinkerVariant kVariants[] = {
#include "linker_variants.inc"
};

void PrintTo(const LinkerVariant& variant, std::ostream* out) {
  *out << variant.name << " (" << variant.options << ")";
}

fs::path VariantFile(const std::string& name) {
  return fs::path(TQ_LibraryLoader::ModuleDirectory()) / "linkers" / name / "Morvane230_1.so";
}

// Whether the platform's loader alone loads the file, in a child process (where a fault ends only
// the child): empty when it does, its reason otherwise.
std::string PlatformRefusal(const fs::path& file) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return "no pipe";
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    const bool loaded = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL) != nullptr;
    if (!loaded) {
      const char* reason = dlerror();
      const std::string text = reason != nullptr ? reason : "no reason given";
      if (write(pipeEnds[1], text.data(), text.size()) < 0) _exit(2);
    }
    _exit(loaded ? 0 : 1);
  }
  close(pipeEnds[1]);
  std::string said;
  char buffer[512];
  for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) said.append(buffer, got);
  close(pipeEnds[0]);
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return "no child process";
  if (WIFSIGNALED(status)) return "ended by signal " + std::to_string(WTERMSIG(status));
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : said;
}

// The runs compared: the default model as text and as JSON lines, two and three axes.
const std::vector<std::vector<std::string>> kRuns = {
    {},
    {"--format", "jsonl"},
    {"--distribution", "DISTRIBUTION2D", "--integrals", "idx,idy,idxdy"},
    {"--distribution", "DISTRIBUTION3D", "--sections", "1", "--format", "jsonl"},
};

std::vector<std::string> WithLibrary(std::vector<std::string> args, const fs::path& library) {
  args.insert(args.end(), {"--library", library.string()});
  return args;
}

std::vector<std::string> SortedExports(const TQ_LibraryRef& library) {
  std::string error;
  std::vector<std::string> names = library->ExportedNames(error);
  EXPECT_TRUE(error.empty()) << error;
  std::sort(names.begin(), names.end());
  return names;
}

class LinkedBy : public ::testing::TestWithParam<LinkerVariant> {
 protected:
  void SetUp() override {
    if (*GetParam().missing != '\0') {
      GTEST_SKIP() << GetParam().options << " not built: " << GetParam().missing;
    }
    file_ = VariantFile(GetParam().name);
    ASSERT_TRUE(fs::is_regular_file(file_)) << file_;
    refusal_ = PlatformRefusal(file_);
    if (!GetParam().platformMayRefuse) {
      ASSERT_EQ(refusal_, "") << "the platform's loader refuses " << file_;
    }
  }
  fs::path file_;
  std::string refusal_;  // the platform's own reason, when it refuses the file
};

TEST_P(LinkedBy, TheHostsLoaderLoadsWhatThePlatformsLoaderLoads) {
  TQ_LibraryLoader loader;
  TQ_ModelLibrary library;
  std::string error;
  const bool loaded = library.Load(loader, file_.string(), error);
  if (!refusal_.empty()) {
    EXPECT_FALSE(loaded);
    EXPECT_NE(error.find(refusal_), std::string::npos) << error;
    EXPECT_EQ(error.find("damaged"), std::string::npos) << error;
    return;
  }
  ASSERT_TRUE(loaded) << error;
  TQ_LibraryLoader builtLoader;
  TQ_ModelLibrary built;
  ASSERT_TRUE(built.Load(builtLoader, BuiltLibrary().string(), error)) << error;
  // The same objects export the names the library as built exports (gold exports the allocation
  // operators besides, which the version script keeps local) and make the same types.
  const std::vector<std::string> exported = SortedExports(library.Library());
  const std::vector<std::string> builtExported = SortedExports(built.Library());
  EXPECT_TRUE(std::includes(exported.begin(), exported.end(), builtExported.begin(), builtExported.end()));
  std::string typesError;
  const std::vector<std::string> types = library.TypeNames(typesError);
  EXPECT_EQ(types, built.TypeNames(typesError)) << typesError;
  EXPECT_NE(std::find(types.begin(), types.end(), "DISTRIBUTION3D"), types.end());
}

TEST_P(LinkedBy, ModelhostGivesWhatItGivesWithTheLibraryAsBuilt) {
  for (const std::vector<std::string>& args : kRuns) {
    std::string named;
    for (const std::string& arg : args) named += " " + arg;
    SCOPED_TRACE("modelhost" + named);
    const Outcome run = RunTool(WithLibrary(args, file_), "", kLimitSeconds);
    if (!refusal_.empty()) {
      ExpectOneLineError(run, refusal_);
      continue;
    }
    const Outcome expected = RunTool(WithLibrary(args, BuiltLibrary()), "", kLimitSeconds);
    ASSERT_EQ(expected.status, 0) << expected.err;
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out == expected.out) << "the output differs from the built library's";
    EXPECT_EQ(run.err, expected.err);
  }
}

INSTANTIATE_TEST_SUITE_P(Linkers, LinkedBy, ::testing::ValuesIn(kVariants), [](const auto& info) {
  std::string name = info.param.name;
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
});

// ------------------------------------------------------------ the pages made read-only

std::uint64_t PageSize() { return static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)); }
std::uint64_t PageDown(std::uint64_t address) { return address & ~(PageSize() - 1); }

// The segment made read-only after relocation, and the writable loadable segment that holds its
// start.
const Elf64_Phdr& Relro(const Layout& layout) {
  return layout.programs[(layout.ProgramAt(PT_GNU_RELRO) - layout.header.e_phoff) / sizeof(Elf64_Phdr)];
}
const Elf64_Phdr& Holder(const Layout& layout) {
  const Elf64_Phdr& relro = Relro(layout);
  for (const Elf64_Phdr& load : layout.programs)
    if (load.p_type == PT_LOAD && relro.p_vaddr >= load.p_vaddr && relro.p_vaddr < load.p_vaddr + load.p_memsz)
      return load;
  ADD_FAILURE() << "no loadable segment holds the segment made read-only";
  return relro;
}
// The first writable section the segment made read-only names.
const Elf64_Shdr& FirstNamed(const Layout& layout) {
  for (const Elf64_Shdr& section : layout.sections)
    if ((section.sh_flags & SHF_WRITE) != 0 && section.sh_addr == Relro(layout).p_vaddr) return section;
  ADD_FAILURE() << "no section starts the segment made read-only";
  return layout.sections.front();
}

// The segment moved to start at `start` and end at `end`; its bytes in the file follow.
void MoveRelro(std::vector<char>& bytes, const Layout& layout, std::uint64_t start, std::uint64_t end) {
  Elf64_Phdr relro = Relro(layout);
  const std::uint64_t fileEnd = relro.p_offset + relro.p_filesz;
  relro.p_offset = relro.p_offset + start - relro.p_vaddr;
  relro.p_vaddr = relro.p_paddr = start;
  relro.p_memsz = end - start;
  relro.p_filesz = std::min(relro.p_memsz, fileEnd > relro.p_offset ? fileEnd - relro.p_offset : 0);
  Put(bytes, layout.ProgramAt(PT_GNU_RELRO), relro);
}

// An edit of the segment made read-only in a copy of the library as built (GNU ld) or as lld
// links it, and what becomes of the copy: it loads and runs as the library as built does, or it
// is refused as damaged with the reason.
struct PageEdit {
  const char* name;
  const char* variant;  // empty: the library as built
  std::function<void(std::vector<char>&, const Layout&)> apply;
  const char* refusal;  // null: it loads
};

std::uint64_t RelroEnd(const Layout& layout) { return Relro(layout).p_vaddr + Relro(layout).p_memsz; }
std::uint64_t HolderPagesEnd(const Layout& layout) {
  return PageDown(Holder(layout).p_vaddr + Holder(layout).p_memsz - 1) + PageSize();
}

const PageEdit kPageEdits[] = {
    // GNU ld ends the segment at a page's start, with the library's data in the page after it.
    {"EndingInThePageAfterTheLastOneItCovers",
     "",
     [](auto& bytes, const auto& layout) {
       MoveRelro(bytes, layout, Relro(layout).p_vaddr, PageDown(RelroEnd(layout)) + PageSize() - 1);
     },
     nullptr},
    {"EndingAPageFurther",
     "",
     [](auto& bytes, const auto& layout) {
       MoveRelro(bytes, layout, Relro(layout).p_vaddr, PageDown(RelroEnd(layout)) + PageSize());
     },
     ", which the library writes as it runs"},
    // lld ends it at the end of the page its own writable segment ends in.
    {"EndingWithinThePageAfterItsSegment",
     "lld",
     [](auto& bytes, const auto& layout) {
       MoveRelro(bytes, layout, Relro(layout).p_vaddr, HolderPagesEnd(layout) + PageSize() - 1);
     },
     nullptr},
    {"EndingAPagePastItsSegment",
     "lld",
     [](auto& bytes, const auto& layout) {
       MoveRelro(bytes, layout, Relro(layout).p_vaddr, HolderPagesEnd(layout) + PageSize());
     },
     "reaches outside the writable loadable segment it belongs to"},
    // Nothing is made read-only of a segment within one page, wherever it lies.
    {"WithinOnePageOfCode",
     "lld",
     [](auto& bytes, const auto& layout) {
       const std::uint64_t code = layout.DynamicValue(bytes, DT_INIT);
       MoveRelro(bytes, layout, code, PageDown(code) + PageSize() - 1);
     },
     nullptr},
    {"OverAPageOfCode",
     "lld",
     [](auto& bytes, const auto& layout) {
       const std::uint64_t code = PageDown(layout.DynamicValue(bytes, DT_INIT)) - PageSize();
       MoveRelro(bytes, layout, code, code + PageSize());
     },
     "reaches outside the writable loadable segment it belongs to"},
    // Its first page is made read-only whole: a writable section the segment does not name, there,
    // would be as well.
    {"StartingPastAWritableSectionInItsFirstPage",
     "",
     [](auto& bytes, const auto& layout) {
       const Elf64_Shdr& first = FirstNamed(layout);
       MoveRelro(bytes, layout, first.sh_addr + first.sh_size, RelroEnd(layout));
     },
     "which lies before it and is to stay writable"},
    {"StartingAtThePageAfterAWritableSection",
     "lld",
     [](auto& bytes, const auto& layout) {
       MoveRelro(bytes, layout, PageDown(Relro(layout).p_vaddr) + PageSize(), RelroEnd(layout));
     },
     nullptr},
};

void PrintTo(const PageEdit& edit, std::ostream* out) { *out << edit.name; }

class RelroPages : public LibraryFileTest, public ::testing::WithParamInterface<PageEdit> {};

TEST_P(RelroPages, AreJudgedAsThePlatformsLoaderProtectsThem) {
  const fs::path source = *GetParam().variant == '\0' ? BuiltLibrary() : VariantFile(GetParam().variant);
  ASSERT_TRUE(fs::is_regular_file(source)) << source;
  const std::vector<char> whole = FileBytes(source);
  const Layout layout(whole);
  std::vector<char> bytes = whole;
  GetParam().apply(bytes, layout);
  ASSERT_NE(bytes, whole);
  const fs::path file = directory_ / "Edited.so";
  WriteBytes(file, bytes);

  TQ_LibraryLoader loader;
  std::string error;
  const bool loaded = loader.LoadFile(file.string(), error) != nullptr;
  const Outcome run = RunTool({"--library", file.string()}, "", kLimitSeconds);
  if (GetParam().refusal == nullptr) {
    EXPECT_TRUE(loaded) << error;
    const Outcome expected = RunTool({"--library", BuiltLibrary().string()}, "", kLimitSeconds);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out == expected.out) << "the output differs from the built library's";
    return;
  }
  EXPECT_FALSE(loaded);
  const std::string said = "cannot load library \"" + file.string() +
                           "\": it is damaged: its segment made read-only after relocation (program header";
  EXPECT_EQ(error.rfind(said, 0), 0u) << error;
  EXPECT_NE(error.find(GetParam().refusal), std::string::npos) << error;
  ExpectOneLineError(run, said);
  EXPECT_NE(run.err.find(GetParam().refusal), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Edits, RelroPages, ::testing::ValuesIn(kPageEdits), [](const auto& info) {
  return std::string(info.param.name);
});

}  // namespace
#endif
