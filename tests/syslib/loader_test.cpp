// Loading TQSysLib by name and by file through the host's loader, and the
// reports for what cannot be loaded or resolved.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "interp_harness.h"
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
  EXPECT_NE(error.find("\"NoSuchRoutineLibrary\""), std::string::npos) << error;
  for (const std::string& file : TQ_LibraryLoader::FileNames("NoSuchRoutineLibrary")) {
    EXPECT_NE(error.find((directory.Path() / file).string()), std::string::npos) << error;
    EXPECT_NE(error.find((fs::path(TQ_LibraryLoader::ModuleDirectory()) / file).string()), std::string::npos) << error;
  }
  EXPECT_NE(error.find("platform search path"), std::string::npos) << error;
  // One message, one line: a program gives it as it is.
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

}  // namespace
