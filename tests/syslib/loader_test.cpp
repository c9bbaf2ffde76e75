// Loading TQSysLib by name and by file through the host's loader, and the
// reports for what cannot be loaded or resolved: among them, on Linux, a
// search directory's entry that is no regular file, and a library whose
// trial load in a child process does not finish.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "closed_descriptors.h"
#include "interp_harness.h"
#include "no_new_processes.h"
#include "non_regular_files.h"
#include "host/tq_loader.h"
#include "tqsyslib.h"

namespace fs = std::filesystem;

namespace {

#if defined(_WIN32)
const std::string kLibraryFile = "TQSysLib.dll";
#else
const std::string kLibraryFile = "TQSysLib.so";
#endif

// The build puts TQSysLib beside the test program.
fs::path BuiltLibrary() { return fs::path(TQ_LibraryLoader::ModuleDirectory()) / kLibraryFile; }

// A directory of its own for one test, removed with everything in it.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    static std::atomic<int> counter{0};
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    m_path = fs::temp_directory_path() / ("tqloader_" + std::string(info->name()) + "_" + std::to_string(counter++));
    fs::remove_all(m_path);
    fs::create_directories(m_path);
  }
  ~ScratchDirectory() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
  }
  const fs::path& Path() const { return m_path; }

 private:
  fs::path m_path;
};

// y of the two-point table (0, 0), (2, 4) at x = 1 through `routine`.
double CallThrough(TQInterpRoutine routine) {
  PackedCall call(2, 2);
  call.Set(1.0, {0.0, 2.0}, {0.0, 4.0}, 2);
  EXPECT_EQ(call.Run(0, routine), TQSYSLIB_OK);
  return call.Y();
}

bool SameFile(const std::string& a, const fs::path& b) {
  std::error_code ec;
  return fs::equivalent(fs::path(a), b, ec);
}

TEST(LoaderByName, FindsTheBuiltLibraryBesideTheProgramAndCallsInterp) {
  ASSERT_TRUE(fs::exists(BuiltLibrary())) << BuiltLibrary();
  TQ_LibraryLoader loader;
  std::string error;
  TQ_LibraryRef library = loader.LoadByName("TQSysLib", error);
  ASSERT_TRUE(library) << error;
  EXPECT_EQ(library->Name(), "TQSysLib");
  EXPECT_TRUE(SameFile(library->Path(), BuiltLibrary())) << library->Path();
  const auto routine = library->Function<TQInterpRoutine>("INTERP", error);
  ASSERT_NE(routine, nullptr) << error;
  EXPECT_DOUBLE_EQ(CallThrough(routine), 2.0);
}

TEST(LoaderByName, UserDirectoriesComeFirstInTheirOrder) {
  ScratchDirectory first, second;
  fs::copy_file(BuiltLibrary(), second.Path() / kLibraryFile);
  TQ_LibraryLoader loader;
  loader.SetUserDirectories({first.Path().string(), second.Path().string()});
  std::string error;
  {
    TQ_LibraryRef library = loader.LoadByName("TQSysLib", error);
    ASSERT_TRUE(library) << error;
    EXPECT_TRUE(SameFile(library->Path(), second.Path() / kLibraryFile)) << library->Path();
    const auto routine = library->Function<TQInterpRoutine>("INTERP", error);
    ASSERT_NE(routine, nullptr) << error;
    EXPECT_DOUBLE_EQ(CallThrough(routine), 2.0);
  }
}

TEST(LoaderByName, ModelLibraryDirectoryComesBeforeTheModulesOwn) {
  ScratchDirectory model;
  fs::copy_file(BuiltLibrary(), model.Path() / kLibraryFile);
  TQ_LibraryLoader loader;
  loader.SetModelLibraryDirectory(model.Path().string());
  std::string error;
  TQ_LibraryRef library = loader.LoadByName("TQSysLib", error);
  ASSERT_TRUE(library) << error;
  EXPECT_TRUE(SameFile(library->Path(), model.Path() / kLibraryFile)) << library->Path();
}

TEST(LoaderByName, SearchDirectoriesInOrderWithoutRepeats) {
  TQ_LibraryLoader loader;
  const std::string module = TQ_LibraryLoader::ModuleDirectory();
  ASSERT_FALSE(module.empty());
  ScratchDirectory a, b;
  loader.SetUserDirectories({a.Path().string(), b.Path().string(), a.Path().string()});
  loader.SetModelLibraryDirectory(b.Path().string());
  const std::vector<std::string> directories = loader.SearchDirectories();
  ASSERT_EQ(directories.size(), 3u);
  EXPECT_TRUE(SameFile(directories[0], a.Path()));
  EXPECT_TRUE(SameFile(directories[1], b.Path()));
  EXPECT_TRUE(SameFile(directories[2], module));
}

TEST(LoaderByName, PlatformFileNameForms) {
#if defined(_WIN32)
  EXPECT_EQ(TQ_LibraryLoader::FileNames("TQSysLib"), std::vector<std::string>{"TQSysLib.dll"});
  EXPECT_EQ(TQ_LibraryLoader::FileNames("TQSysLib.DLL"), std::vector<std::string>{"TQSysLib.DLL"});
#else
  EXPECT_EQ(TQ_LibraryLoader::FileNames("TQSysLib"), (std::vector<std::string>{"TQSysLib.so", "libTQSysLib.so"}));
  EXPECT_EQ(TQ_LibraryLoader::FileNames("TQSysLib.so"), std::vector<std::string>{"TQSysLib.so"});
#endif
}

#if !defined(_WIN32)
TEST(LoaderByName, FindsTheLibPrefixedFileName) {
  ScratchDirectory directory;
  fs::copy_file(BuiltLibrary(), directory.Path() / ("lib" + kLibraryFile));
  TQ_LibraryLoader loader;
  loader.SetUserDirectories({directory.Path().string()});
  std::string error;
  TQ_LibraryRef library = loader.LoadByName("TQSysLib", error);
  ASSERT_TRUE(library) << error;
  EXPECT_TRUE(SameFile(library->Path(), directory.Path() / ("lib" + kLibraryFile)));
}
#endif

TEST(LoaderByName, AFileThatIsNoLibraryIsPassedOver) {
  ScratchDirectory directory;
  std::ofstream(directory.Path() / kLibraryFile) << "not a library\n";
  TQ_LibraryLoader loader;
  loader.SetUserDirectories({directory.Path().string()});
  std::string error;
  TQ_LibraryRef library = loader.LoadByName("TQSysLib", error);
  ASSERT_TRUE(library) << error;
  EXPECT_TRUE(SameFile(library->Path(), BuiltLibrary())) << library->Path();
}

TEST(LoaderByName, ANameWithADirectoryIsLoadedAsAPath) {
  TQ_LibraryLoader loader;
  std::string error;
  TQ_LibraryRef library = loader.LoadByName(BuiltLibrary().string(), error);
  ASSERT_TRUE(library) << error;
  EXPECT_TRUE(SameFile(library->Path(), BuiltLibrary()));
}

TEST(LoaderOnce, TheSameNameOrFileGivesTheSameLoadedLibrary) {
  TQ_LibraryLoader loader;
  std::string error;
  TQ_LibraryRef byName = loader.LoadByName("TQSysLib", error);
  ASSERT_TRUE(byName) << error;
  EXPECT_EQ(loader.LoadByName("TQSysLib", error), byName);
  EXPECT_EQ(loader.LoadFile(BuiltLibrary().string(), error), byName);
  EXPECT_EQ(loader.LoadFile(byName->Path(), error), byName);
}

TEST(LoaderOnce, TheLibraryIsReleasedWithItsLastReference) {
  TQ_LibraryLoader loader;
  std::string error;
  TQ_LibraryRef library = loader.LoadFile(BuiltLibrary().string(), error);
  ASSERT_TRUE(library) << error;
  std::weak_ptr<TQ_LoadedLibrary> watch = library;
  TQ_LibraryRef second = loader.LoadByName("TQSysLib", error);
  library.reset();
  EXPECT_FALSE(watch.expired()) << "a reference still lives";
  second.reset();
  EXPECT_TRUE(watch.expired()) << "the loader itself must not keep it";
  // Loading it afterwards works again.
  library = loader.LoadByName("TQSysLib", error);
  ASSERT_TRUE(library) << error;
  EXPECT_NE(library->Function<TQInterpRoutine>("INTERP", error), nullptr) << error;
}

TEST(LoaderByFile, LoadsTheBuiltFileByItsPath) {
  TQ_LibraryLoader loader;
  std::string error;
  TQ_LibraryRef library = loader.LoadFile(BuiltLibrary().string(), error);
  ASSERT_TRUE(library) << error;
  const auto routine = library->Function<TQInterpRoutine>("INTERP", error);
  ASSERT_NE(routine, nullptr) << error;
  EXPECT_DOUBLE_EQ(CallThrough(routine), 2.0);
}

// ------------------------------------------------------------ reports

TEST(LoaderReports, AMissingLibraryNamesTheLibraryAndEveryFileTried) {
  ScratchDirectory directory;
  TQ_LibraryLoader loader;
  loader.SetUserDirectories({directory.Path().string()});
  std::string error;
  TQ_LibraryRef library = loader.LoadByName("NoSuchRoutineLibrary", error);
  EXPECT_FALSE(library);
  EXPECT_EQ(error.rfind("cannot find library \"NoSuchRoutineLibrary\"; tried: ", 0), 0u) << error;
  for (const std::string& file : TQ_LibraryLoader::FileNames("NoSuchRoutineLibrary")) {
    EXPECT_NE(error.find((directory.Path() / file).string()), std::string::npos) << error;
    EXPECT_NE(error.find((fs::path(TQ_LibraryLoader::ModuleDirectory()) / file).string()), std::string::npos) << error;
  }
  EXPECT_NE(error.find("platform search path"), std::string::npos) << error;
  // One message, one line: a program gives it as it is.
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

// A file of the name that is there but cannot be loaded is what the user most likely meant: the
// message says it was found and refused, and why, before the places that held nothing.
TEST(LoaderReports, AFileOfTheNameThatIsRefusedIsNamedFirstWithWhy) {
  ScratchDirectory directory;
  const fs::path refused = directory.Path() / TQ_LibraryLoader::FileNames("NoSuchRoutineLibrary").front();
  std::ofstream(refused) << "not a library\n";
  TQ_LibraryLoader loader;
  loader.SetUserDirectories({directory.Path().string()});
  std::string error;
  EXPECT_FALSE(loader.LoadByName("NoSuchRoutineLibrary", error));
  const std::string opening =
      "library \"NoSuchRoutineLibrary\" was found and refused: cannot load library \"" + refused.string() + "\": ";
  EXPECT_EQ(error.rfind(opening, 0), 0u) << error;
  const std::size_t besides = error.find("; tried besides: ");
  ASSERT_NE(besides, std::string::npos) << error;
  EXPECT_GT(besides, opening.size()) << "the reason comes before the other places: " << error;
  EXPECT_NE(error.find((fs::path(TQ_LibraryLoader::ModuleDirectory()) / refused.filename()).string() + ": no such file",
                       besides),
            std::string::npos)
      << error;
  EXPECT_NE(error.find("platform search path", besides), std::string::npos) << error;
  EXPECT_EQ(error.find("cannot find"), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

#if !defined(_WIN32)
TEST(LoaderReports, AVersionedFileNameIsTakenAsItIs) {
  // The suffix stands inside a versioned name: no further suffix or prefix is tried for it.
  EXPECT_EQ(TQ_LibraryLoader::FileNames("libm.so.6"), std::vector<std::string>{"libm.so.6"});
  EXPECT_EQ(TQ_LibraryLoader::FileNames("libfoo.so.1.2"), std::vector<std::string>{"libfoo.so.1.2"});
  EXPECT_EQ(TQ_LibraryLoader::FileNames("foo"), (std::vector<std::string>{"foo.so", "libfoo.so"}));
}
#endif

TEST(LoaderReports, AMissingOrBrokenFileNamesTheFileAndTheReason) {
  ScratchDirectory directory;
  TQ_LibraryLoader loader;
  std::string error;
  const fs::path missing = directory.Path() / ("Missing_" + kLibraryFile);
  EXPECT_FALSE(loader.LoadFile(missing.string(), error));
  EXPECT_NE(error.find(missing.string()), std::string::npos) << error;

  const fs::path broken = directory.Path() / kLibraryFile;
  std::ofstream(broken) << "not a library\n";
  error.clear();
  EXPECT_FALSE(loader.LoadFile(broken.string(), error));
  EXPECT_NE(error.find(broken.string()), std::string::npos) << error;
  EXPECT_GT(error.size(), broken.string().size() + 25) << "the platform's reason: " << error;

  error.clear();
  EXPECT_FALSE(loader.LoadFile("", error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(loader.LoadByName("", error));
  EXPECT_FALSE(error.empty());
}

TEST(LoaderReports, AMissingRoutineIsNamedAndNeverANullAddressReturnedAsFound) {
  TQ_LibraryLoader loader;
  std::string error;
  TQ_LibraryRef library = loader.LoadByName("TQSysLib", error);
  ASSERT_TRUE(library) << error;
  error.clear();
  EXPECT_EQ(library->Function<TQInterpRoutine>("NOSUCHROUTINE", error), nullptr);
  EXPECT_NE(error.find("\"NOSUCHROUTINE\""), std::string::npos) << error;
  EXPECT_NE(error.find(library->Path()), std::string::npos) << error;
  error.clear();
  EXPECT_EQ(library->FindData("NOSUCHROUTINE", error), nullptr);
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_EQ(library->FindFunction("", error), nullptr);
  EXPECT_FALSE(error.empty());
  // The decorated or lower-case forms are not the routine's name.
  error.clear();
  EXPECT_EQ(library->FindFunction("interp", error), nullptr);
  EXPECT_FALSE(error.empty());
}

#if !defined(_WIN32)
// ------------------------------------------------------------ no regular file, no end

// Something that is no regular file, made at a path, and what the loader calls it.
struct NotAFile {
  const char* name;
  std::function<void(const fs::path&)> make;
  const char* kind;
};

const NotAFile kNotFiles[] = {
    {"Fifo", non_regular_files::MakeFifo, "a FIFO"},
    {"Socket", non_regular_files::MakeSocket, "a socket"},
    {"Directory", [](const fs::path& path) { fs::create_directory(path); }, "a directory"},
    {"NullDeviceThroughSymlink",
     [](const fs::path& path) { fs::create_symlink("/dev/null", path); },
     "a character device"},
};

class LoaderSearch : public ::testing::TestWithParam<NotAFile> {};

// Each runs in a process of its own with an alarm: a loader that opens a FIFO waits for a writer
// for ever, and the test fails rather than stops.
TEST_P(LoaderSearch, AnEntryThatIsNoRegularFileIsNamedAndNotAskedOfThePlatformsSearch) {
  ScratchDirectory directory;
  const fs::path entry = directory.Path() / "NoSuchRoutineLibrary.so";
  GetParam().make(entry);
  const std::string named = entry.string() + ": it is no library: it is " + GetParam().kind + ", not a regular file";
  EXPECT_EXIT(
      {
        alarm(60);
        TQ_LibraryLoader loader;
        loader.SetUserDirectories({directory.Path().string()});
        std::string error;
        const bool refused = loader.LoadByName("NoSuchRoutineLibrary", error) == nullptr;
        std::fprintf(stderr, "%s\n", error.c_str());
        // The other file name is still asked of the platform's search; this one is not.
        _exit(refused && error.rfind("library \"NoSuchRoutineLibrary\" was found and refused: " + named, 0) == 0 &&
                      error.find('\n') == std::string::npos &&
                      error.find("\"NoSuchRoutineLibrary.so\"") == std::string::npos &&
                      error.find("\"libNoSuchRoutineLibrary.so\"") != std::string::npos
                  ? 0
                  : 1);
      },
      ::testing::ExitedWithCode(0),
      "");
}

TEST_P(LoaderSearch, AnEntryThatIsNoRegularFileIsPassedOverForTheNextPlace) {
  ScratchDirectory directory;
  GetParam().make(directory.Path() / kLibraryFile);
  EXPECT_EXIT(
      {
        alarm(60);
        TQ_LibraryLoader loader;
        loader.SetUserDirectories({directory.Path().string()});
        std::string error;
        TQ_LibraryRef library = loader.LoadByName("TQSysLib", error);
        std::fprintf(stderr, "%s\n", error.c_str());
        _exit(library && SameFile(library->Path(), BuiltLibrary()) ? 0 : 1);
      },
      ::testing::ExitedWithCode(0),
      "");
}

INSTANTIATE_TEST_SUITE_P(Kinds, LoaderSearch, ::testing::ValuesIn(kNotFiles), [](const auto& info) {
  return std::string(info.param.name);
});

// The build puts beside the test program a library whose initialisation ends the process.
TEST(LoaderTrial, ALibraryWhoseLoadingEndsTheProcessIsRefusedAndTheProcessGoesOn) {
  const fs::path exiting = fs::path(TQ_LibraryLoader::ModuleDirectory()) / "ExitingLoad.so";
  ASSERT_TRUE(fs::is_regular_file(exiting)) << exiting;
  TQ_LibraryLoader loader;
  std::string error;
  EXPECT_EQ(loader.LoadFile(exiting.string(), error), nullptr);
  EXPECT_EQ(error,
            "cannot load library \"" + exiting.string() +
                "\": it is damaged: the platform's loader ended with status 3 before it finished loading it");
  // The library that loads is loaded as before, by the same loader.
  error.clear();
  EXPECT_NE(loader.LoadFile(BuiltLibrary().string(), error), nullptr) << error;
}

// A process that lets the system reap its children cannot wait for the trial's child: what the
// child said, or did not say, decides alone. In a process of its own, for the signal's setting.
TEST(LoaderTrial, AProcessThatIgnoresItsChildrenStillLoadsAndRefuses) {
  const fs::path exiting = fs::path(TQ_LibraryLoader::ModuleDirectory()) / "ExitingLoad.so";
  EXPECT_EXIT(
      {
        alarm(60);
        signal(SIGCHLD, SIG_IGN);
        TQ_LibraryLoader loader;
        std::string loaded;
        std::string refused;
        const bool ok = loader.LoadFile(BuiltLibrary().string(), loaded) != nullptr &&
                        loader.LoadFile(exiting.string(), refused) == nullptr;
        std::fprintf(stderr, "%s|%s\n", loaded.c_str(), refused.c_str());
        _exit(ok && refused.find("it is damaged: the platform's loader ended before it finished loading it") !=
                          std::string::npos
                  ? 0
                  : 1);
      },
      ::testing::ExitedWithCode(0),
      "");
}

// A pointer in a library's data that leads outside the library is the library's own: the
// platform's loader writes it as it stands, and the library loads and runs.
TEST(LoaderByFile, ALibraryWhosePointerLeadsOutsideItLoadsAndRuns) {
  const fs::path far = fs::path(TQ_LibraryLoader::ModuleDirectory()) / "FarPointer.so";
  ASSERT_TRUE(fs::is_regular_file(far)) << far;
  TQ_LibraryLoader loader;
  std::string error;
  TQ_LibraryRef library = loader.LoadFile(far.string(), error);
  ASSERT_TRUE(library) << error;
  const auto first = library->Function<int (*)()>("FarPointerFirst", error);
  ASSERT_NE(first, nullptr) << error;
  EXPECT_EQ(first(), 7);
}

// The build puts beside the test program a library whose initialisation never returns.
TEST(LoaderTrial, ALibraryWhoseLoadingNeverEndsIsStoppedAtTheTimeLimitAndNamed) {
  const fs::path hanging = fs::path(TQ_LibraryLoader::ModuleDirectory()) / "HangingLoad.so";
  ASSERT_TRUE(fs::is_regular_file(hanging)) << hanging;
  const std::string expected = "cannot load library \"" + hanging.string() +
                               "\": it did not load: the platform's loader had not finished loading it after 300 ms, "
                               "and the trial was stopped";
  EXPECT_EXIT(
      {
        alarm(60);
        TQ_LibraryLoader loader;
        loader.SetTrialTimeLimit(300);
        std::string error;
        const auto start = std::chrono::steady_clock::now();
        const bool refused = loader.LoadFile(hanging.string(), error) == nullptr;
        const auto took = std::chrono::steady_clock::now() - start;
        std::fprintf(stderr, "%s\n", error.c_str());
        _exit(refused && error == expected && took < std::chrono::seconds(20) ? 0 : 1);
      },
      ::testing::ExitedWithCode(0),
      "");
}

// Standard input, output or error closed by whoever started the process: the trial's pipes must
// not take their numbers (the child writes its output over them), and nothing opened later may
// stand in for them. Each set of closed descriptors in a process of its own; the child says by
// its status what went wrong, as it may have no standard error to say it on.
class LoaderClosedStandardDescriptors : public ::testing::TestWithParam<int> {};

TEST_P(LoaderClosedStandardDescriptors, TheLibraryIsTriedAndLoadedAndTheClosedOnesStayClosed) {
  const int closed = GetParam();  // bit k: descriptor k
  // A copy, which the process does not hold loaded (a file held loaded is not tried again).
  ScratchDirectory directory;
  const fs::path copy = directory.Path() / kLibraryFile;
  fs::copy_file(BuiltLibrary(), copy);
  EXPECT_EXIT(
      {
        alarm(60);
        for (int fd = 0; fd <= 2; ++fd)
          if (closed_descriptors::Closed(closed, fd)) close(fd);
        TQ_LibraryLoader loader;
        std::string error;
        TQ_LibraryRef library = loader.LoadFile(copy.string(), error);
        if (!library) _exit(3);
        if (!library->Untried().empty()) _exit(4);
        const auto routine = library->Function<TQInterpRoutine>("INTERP", error);
        if (routine == nullptr || CallThrough(routine) != 2.0) _exit(5);
        // What stands in for a closed descriptor is read and written as a closed one is.
        char byte = 'x';
        for (int fd = 0; fd <= 2; ++fd) {
          if (!closed_descriptors::Closed(closed, fd)) continue;
          if (write(fd, &byte, 1) != -1 || errno != EBADF) _exit(6);
          if (read(fd, &byte, 1) != -1 || errno != EBADF) _exit(7);
        }
        _exit(0);
      },
      ::testing::ExitedWithCode(0),
      "");
}

INSTANTIATE_TEST_SUITE_P(EverySet,
                         LoaderClosedStandardDescriptors,
                         closed_descriptors::EverySet(),
                         closed_descriptors::Name);

// A process limit, or a sandbox that forbids fork: the trial cannot be made, which says nothing
// of the library. The file that passed the check is loaded as it was before there was a trial,
// and the library says why it was not tried.
TEST(LoaderTrial, WhereNoChildProcessCanBeMadeTheLibraryIsLoadedUntriedAndSaysWhy) {
  ScratchDirectory directory;
  const fs::path copy = directory.Path() / kLibraryFile;
  fs::copy_file(BuiltLibrary(), copy);
  EXPECT_EXIT(
      {
        alarm(60);
        if (!no_new_processes::Forbid()) _exit(2);
        TQ_LibraryLoader loader;
        std::string error;
        TQ_LibraryRef library = loader.LoadFile(copy.string(), error);
        std::fprintf(stderr, "%s|%s\n", error.c_str(), library ? library->Untried().c_str() : "");
        if (!library || library->Untried() != "fork: Operation not permitted") _exit(1);
        const auto routine = library->Function<TQInterpRoutine>("INTERP", error);
        _exit(routine != nullptr && CallThrough(routine) == 2.0 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0),
      "");
}
#endif

}  // namespace
