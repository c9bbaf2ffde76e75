// The model library as a Windows host sees it: loaded by file name, its
// image, entry routine, exports, content resource and version block, read
// through the system's loader, resource and version APIs.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "../content/content_check.h"
#include "../export/required_exports.h"

namespace {

constexpr wchar_t kLibraryFile[] = L"Morvane230_1.dll";
constexpr WORD kLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK);  // 2057

// The library, loaded once for the whole program as a host would load it.
class LibraryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = LoadLibraryW(kLibraryFile);
    load_error_ = module_ ? 0 : GetLastError();
  }
  static void TearDownTestSuite() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(module_, nullptr) << "LoadLibrary(Morvane230_1.dll) failed, error " << load_error_;
  }

  static const unsigned char* Image() { return reinterpret_cast<const unsigned char*>(module_); }
  static const IMAGE_NT_HEADERS32* Headers() {
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Image());
    return reinterpret_cast<const IMAGE_NT_HEADERS32*>(Image() + dos->e_lfanew);
  }
  static const IMAGE_DATA_DIRECTORY& Directory(int which) { return Headers()->OptionalHeader.DataDirectory[which]; }

  static std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    DWORD n = GetModuleFileNameW(module_, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n);
    return path;
  }

  static inline HMODULE module_ = nullptr;
  static inline DWORD load_error_ = 0;
};

TEST_F(LibraryTest, IsA32BitWindowsDll) {
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Image());
  ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
  ASSERT_EQ(Headers()->Signature, IMAGE_NT_SIGNATURE);
  EXPECT_EQ(Headers()->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_TRUE(Headers()->FileHeader.Characteristics & IMAGE_FILE_DLL);
  EXPECT_EQ(Headers()->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
  const std::wstring path = ModulePath();
  ASSERT_GE(path.size(), std::size(kLibraryFile) - 1);
  EXPECT_EQ(path.substr(path.size() - (std::size(kLibraryFile) - 1)), kLibraryFile);
}

// The names a module imports from one system library, read from its import
// directory.
std::set<std::string> ImportedNames(const unsigned char* image, const IMAGE_DATA_DIRECTORY& dir, const char* library) {
  std::set<std::string> names;
  if (dir.VirtualAddress == 0) return names;
  for (auto d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image + dir.VirtualAddress); d->Name != 0; ++d) {
    if (lstrcmpiA(reinterpret_cast<const char*>(image + d->Name), library) != 0) continue;
    auto thunk = reinterpret_cast<const IMAGE_THUNK_DATA32*>(
        image + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
    for (; thunk->u1.AddressOfData != 0; ++thunk) {
      if (IMAGE_SNAP_BY_ORDINAL32(thunk->u1.Ordinal)) continue;
      auto by_name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(image + thunk->u1.AddressOfData);
      names.insert(reinterpret_cast<const char*>(by_name->Name));
    }
  }
  return names;
}

DWORD WINAPI ThreadReturningSeven(void*) { return 7; }

// The entry routine succeeded on process attach (the load succeeded) and is the
// library's own, which switches thread notifications off: the runtime's
// default entry routine does not import DisableThreadLibraryCalls. (The loader
// honours the call only for modules without static thread-local storage; the
// MinGW runtime gives every module a TLS directory, so the loader's flag for
// it cannot be checked here.)
TEST_F(LibraryTest, EntryRoutineSwitchesThreadNotificationsOff) {
  const auto kernel = ImportedNames(Image(), Directory(IMAGE_DIRECTORY_ENTRY_IMPORT), "KERNEL32.dll");
  EXPECT_TRUE(kernel.count("DisableThreadLibraryCalls"));
  EXPECT_NE(Headers()->OptionalHeader.AddressOfEntryPoint, 0u);

  // A new thread starts and ends normally with the library loaded.
  HANDLE thread = CreateThread(nullptr, 0, ThreadReturningSeven, nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 7u);
  CloseHandle(thread);
}

TEST_F(LibraryTest, LoadsAndUnloadsRepeatedly) {
  // Each further load only counts up; each unload counts down; the entry
  // routine reports success on every attach.
  for (int i = 0; i < 3; ++i) {
    HMODULE again = LoadLibraryW(kLibraryFile);
    ASSERT_EQ(again, module_);
    EXPECT_TRUE(FreeLibrary(again));
  }
}

// ---- exports -----------------------------------------------------------------

std::vector<std::string> ExportNames(const unsigned char* image, const IMAGE_DATA_DIRECTORY& dir) {
  std::vector<std::string> names;
  if (dir.VirtualAddress == 0) return names;
  auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(image + dir.VirtualAddress);
  auto name_rvas = reinterpret_cast<const DWORD*>(image + exports->AddressOfNames);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    names.emplace_back(reinterpret_cast<const char*>(image + name_rvas[i]));
  }
  return names;
}

TEST_F(LibraryTest, CreatableTypesExportAllFourUnderPlainNames) {
  const std::vector<std::string> names = ExportNames(Image(), Directory(IMAGE_DIRECTORY_ENTRY_EXPORT));
  const std::set<std::string> exported(names.begin(), names.end());
  std::set<void*> cells;
  int types_present = 0;
  for (const std::string& type : required_exports::kHostCreatableTypes) {
    const std::string name = type;
    const std::array<std::string, 4> symbols = {
        name + "Factory", name + "PropertyInfo", "_Compatibility" + name, "_JacData" + name};
    int present = 0;
    for (const auto& symbol : symbols) present += exported.count(symbol) ? 1 : 0;
    if (present == 0) continue;
    ++types_present;
    SCOPED_TRACE(name);
    EXPECT_EQ(present, 4) << "a creatable type exports all four or none";
    for (const auto& symbol : symbols) {
      EXPECT_NE(GetProcAddress(module_, symbol.c_str()), nullptr) << symbol;
    }
    if (auto compatibility = reinterpret_cast<const std::int32_t*>(GetProcAddress(module_, symbols[2].c_str()))) {
      EXPECT_EQ(*compatibility, 6);
    }
    if (auto jac_data = reinterpret_cast<const std::int32_t*>(GetProcAddress(module_, symbols[3].c_str()))) {
      EXPECT_EQ(jac_data[0], 22);
    }
    if (auto info =
            reinterpret_cast<void* (*)()>(reinterpret_cast<void (*)()>(GetProcAddress(module_, symbols[1].c_str())))) {
      void* cell = info();
      ASSERT_NE(cell, nullptr);
      EXPECT_EQ(info(), cell) << "the same cell on every call";
      std::uint32_t value = 1;
      std::memcpy(&value, cell, sizeof value);
      EXPECT_EQ(value, 0u) << "the cell is zero at load";
      EXPECT_TRUE(cells.insert(cell).second) << "each type has a cell of its own";
    }
  }
  EXPECT_EQ(exported.count("DISTRIBUTION2DFactory"), 1u) << "the two-dimensional distribution is built";
  RecordProperty("creatable_types_exported", types_present);
  for (const char* built : {"DISTRIBUTION1D", "DISTRIBUTION3D", "DOMAIN", "GENERICMODEL"})
    EXPECT_TRUE(exported.count(std::string(built) + "Factory")) << built << " is built and exported";
}

// Every export of the required list is in the DLL's export directory;
// INTERPOLATE's argument tables lie in a writable section and hold their
// entries.
TEST_F(LibraryTest, ExportsEverythingTheRequiredListNames) {
  std::set<std::string> exported;
  std::map<std::string, std::string> byName;
  for (const auto& name : ExportNames(Image(), Directory(IMAGE_DIRECTORY_ENTRY_EXPORT))) {
    const std::string demangled = required_exports::Demangled(name);
    exported.insert(demangled);
    byName[demangled] = name;
  }
  for (const std::string& missing : required_exports::Missing(exported)) ADD_FAILURE() << "not exported: " << missing;

  const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(Headers());
  auto writable = [&](const void* address) {
    const auto rva = static_cast<DWORD>(static_cast<const unsigned char*>(address) - Image());
    for (WORD s = 0; s < Headers()->FileHeader.NumberOfSections; ++s)
      if (rva >= sections[s].VirtualAddress && rva < sections[s].VirtualAddress + sections[s].Misc.VirtualSize)
        return (sections[s].Characteristics & IMAGE_SCN_MEM_WRITE) != 0;
    return false;
  };
  for (const required_exports::ArgumentTable& table : required_exports::kArgumentTables) {
    SCOPED_TRACE(table.symbol);
    const auto found = byName.find(required_exports::Compact(table.symbol));
    ASSERT_NE(found, byName.end());
    const auto* entries = reinterpret_cast<const unsigned char*>(GetProcAddress(module_, found->second.c_str()));
    ASSERT_NE(entries, nullptr);
    EXPECT_TRUE(writable(entries)) << "in a read-only section";
    EXPECT_EQ(std::vector<unsigned char>(entries, entries + 5),
              std::vector<unsigned char>(table.entries, table.entries + 5));
  }
}

TEST_F(LibraryTest, FrameInternalsAreNotExported) {
  EXPECT_EQ(GetProcAddress(module_, "NOSUCHTYPEFactory"), nullptr);
  for (const auto& name : ExportNames(Image(), Directory(IMAGE_DIRECTORY_ENTRY_EXPORT))) {
    EXPECT_EQ(name.find("StringInSet"), std::string::npos) << name;
    EXPECT_FALSE(name.starts_with("_Znw") || name.starts_with("_Zna") || name.starts_with("_Zdl") ||
                 name.starts_with("_Zda"))
        << "allocation operator exported: " << name;
  }
}

// The library's allocation operators are its own: the DLL takes none from the
// C++ runtime and reaches the host heap through vekexp.dll.
TEST_F(LibraryTest, AllocationGoesToTheHostHeap) {
  const auto& imports = Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
  for (const auto& name : ImportedNames(Image(), imports, "libstdc++-6.dll")) {
    EXPECT_FALSE(name.starts_with("_Znw") || name.starts_with("_Zna") || name.starts_with("_Zdl") ||
                 name.starts_with("_Zda"))
        << "allocation operator taken from the runtime: " << name;
  }
  const auto host = ImportedNames(Image(), imports, "vekexp.dll");
  auto imports_a = [&](std::string_view what) {
    for (const auto& name : host) {
      if (name.find(what) != std::string::npos) return true;
    }
    return false;
  };
  EXPECT_TRUE(imports_a("MyAllocate"));
  EXPECT_TRUE(imports_a("MyFree"));
}

// ---- content resource ----------------------------------------------------------

// The language entries and their code pages of one resource, read from the
// image's resource directory (type and name given as strings).
std::map<WORD, DWORD> ResourceLanguages(const unsigned char* image,
                                        const IMAGE_DATA_DIRECTORY& dir,
                                        const std::wstring& type,
                                        const std::wstring& name) {
  std::map<WORD, DWORD> languages;
  if (dir.VirtualAddress == 0) return languages;
  const unsigned char* base = image + dir.VirtualAddress;
  auto entries = [](const IMAGE_RESOURCE_DIRECTORY* d) {
    auto first = reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY_ENTRY*>(d + 1);
    return std::span(first, d->NumberOfNamedEntries + d->NumberOfIdEntries);
  };
  auto find_named = [&](const IMAGE_RESOURCE_DIRECTORY* d,
                        const std::wstring& wanted) -> const IMAGE_RESOURCE_DIRECTORY* {
    for (const auto& e : entries(d)) {
      if (!e.NameIsString || !e.DataIsDirectory) continue;
      auto s = reinterpret_cast<const IMAGE_RESOURCE_DIR_STRING_U*>(base + e.NameOffset);
      if (std::wstring(s->NameString, s->Length) == wanted) {
        return reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY*>(base + e.OffsetToDirectory);
      }
    }
    return nullptr;
  };
  auto root = reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY*>(base);
  const IMAGE_RESOURCE_DIRECTORY* by_type = find_named(root, type);
  const IMAGE_RESOURCE_DIRECTORY* by_name = by_type ? find_named(by_type, name) : nullptr;
  if (!by_name) return languages;
  for (const auto& e : entries(by_name)) {
    auto data = reinterpret_cast<const IMAGE_RESOURCE_DATA_ENTRY*>(base + e.OffsetToData);
    languages[static_cast<WORD>(e.Id)] = data->CodePage;
  }
  return languages;
}

TEST_F(LibraryTest, ContentResourceHoldsTheNinetyNineBytes) {
  HRSRC found = FindResourceW(module_, L"XML", L"CONTENT");
  ASSERT_NE(found, nullptr) << "error " << GetLastError();
  EXPECT_EQ(FindResourceExW(module_, L"CONTENT", L"XML", kLanguage), found);
  ASSERT_EQ(SizeofResource(module_, found), 99u);
  HGLOBAL loaded = LoadResource(module_, found);
  ASSERT_NE(loaded, nullptr);
  auto bytes = static_cast<const unsigned char*>(LockResource(loaded));
  ASSERT_NE(bytes, nullptr);
  ExpectContentResource(std::span(bytes, 99));
}

TEST_F(LibraryTest, ContentResourceIsBritishEnglishInCodePage1252) {
  const auto languages = ResourceLanguages(Image(), Directory(IMAGE_DIRECTORY_ENTRY_RESOURCE), L"CONTENT", L"XML");
  ASSERT_EQ(languages.size(), 1u);
  EXPECT_EQ(languages.begin()->first, 2057);
  EXPECT_EQ(languages.begin()->second, 1252u);
}

TEST_F(LibraryTest, OtherResourceNamesAreNotFound) {
  EXPECT_EQ(FindResourceW(module_, L"JSON", L"CONTENT"), nullptr);
  EXPECT_EQ(FindResourceW(module_, L"XML", L"TEXT"), nullptr);
}

// ---- version block --------------------------------------------------------------

class VersionBlockTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    const std::wstring path = ModulePath();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u) << "no version block, error " << GetLastError();
    block_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block_.data()));
  }

  // The string of the "080904b0" table, or nothing when VerQueryValue finds none.
  bool QueryString(const std::wstring& key, std::wstring& value) {
    const std::wstring sub = L"\\StringFileInfo\\080904b0\\" + key;
    void* data = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block_.data(), sub.c_str(), &data, &length)) return false;
    value = length ? std::wstring(static_cast<const wchar_t*>(data)) : std::wstring();
    return true;
  }

  std::vector<unsigned char> block_;
};

TEST_F(VersionBlockTest, ResourceIsTypeSixteenIdOneBritishEnglish) {
  EXPECT_NE(FindResourceExW(module_, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1), kLanguage), nullptr);
}

TEST_F(VersionBlockTest, FixedPartCarriesTheVersionNumbers) {
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block_.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, (23u << 16) | 0u);
  EXPECT_EQ(fixed->dwFileVersionLS, (0u << 16) | 19u);
  EXPECT_EQ(fixed->dwProductVersionMS, (23u << 16) | 0u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
  EXPECT_EQ(fixed->dwFileFlags, 0u);
  EXPECT_EQ(fixed->dwFileOS, 0x40004u);
  EXPECT_EQ(fixed->dwFileType, 2u);
  EXPECT_EQ(fixed->dwFileSubtype, 0u);
  EXPECT_EQ(fixed->dwFileDateMS, 0u);
  EXPECT_EQ(fixed->dwFileDateLS, 0u);
}

TEST_F(VersionBlockTest, OneTranslationBritishEnglishUnicode) {
  WORD* pairs = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block_.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pairs), &length));
  ASSERT_EQ(length, 2 * sizeof(WORD));
  EXPECT_EQ(pairs[0], 0x0809);
  EXPECT_EQ(pairs[1], 1200);
}

TEST_F(VersionBlockTest, StringTableHoldsTheNamesAndVersions) {
  const std::pair<const wchar_t*, const wchar_t*> expected[] = {
      {L"FileDescription", L"Morvane230_1"},
      {L"InternalName", L"Morvane230_1"},
      {L"ProductName", L"Morvane230_1"},
      {L"OriginalFilename", L"Morvane230_1.dll"},
      {L"FileVersion", L"23, 0, 0, 19"},
      {L"ProductVersion", L"23, 0, 0, 0"},
      {L"CompanyName", L""},
      {L"LegalTrademarks", L""},
      {L"PrivateBuild", L""},
      {L"SpecialBuild", L""},
  };
  for (const auto& [key, value] : expected) {
    std::wstring got;
    ASSERT_TRUE(QueryString(key, got)) << "missing string";
    EXPECT_EQ(got, value) << "string " << std::string(key, key + std::wcslen(key));
  }
  // The two remaining standard strings carry the maker's texts.
  for (const wchar_t* key : {L"Comments", L"LegalCopyright"}) {
    std::wstring got;
    ASSERT_TRUE(QueryString(key, got));
    EXPECT_FALSE(got.empty());
  }
}

TEST_F(VersionBlockTest, NoOtherStringTable) {
  void* data = nullptr;
  UINT length = 0;
  EXPECT_FALSE(VerQueryValueW(block_.data(), L"\\StringFileInfo\\040904b0\\ProductName", &data, &length));
}

}  // namespace
