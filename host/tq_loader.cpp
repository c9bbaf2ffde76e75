// Dynamic library loading. The platform calls are gathered in the
// anonymous namespace below; everything after it is portable.
#include "tq_loader.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tq_loader_elf.h"
#include "tq_loader_trial.h"

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#endif

namespace fs = std::filesystem;

namespace {

// What a file named by its path is, when it is something else than a regular file; empty for a
// regular file and for a path that leads to nothing (the platform's loader then says so).
std::string OtherThanAFile(const std::string& file) {
  std::error_code ec;
  switch (fs::status(fs::path(file), ec).type()) {
    case fs::file_type::regular:
    case fs::file_type::not_found:
    case fs::file_type::none:
      return {};
    case fs::file_type::directory:
      return "a directory";
    case fs::file_type::fifo:
      return "a FIFO";
    case fs::file_type::socket:
      return "a socket";
    case fs::file_type::character:
      return "a character device";
    case fs::file_type::block:
      return "a block device";
    default:
      return ec ? std::string() : "a special file";
  }
}

#if defined(_WIN32)

std::string LastSystemMessage() {
  const DWORD code = GetLastError();
  char* text = nullptr;
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr,
                     code,
                     0,
                     reinterpret_cast<char*>(&text),
                     0,
                     nullptr);
  std::string message =
      length != 0 && text != nullptr ? std::string(text, length) : "system error " + std::to_string(code);
  if (text != nullptr) LocalFree(text);
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  return message;
}

void KeepStandardDescriptors() {}

void* PlatformOpen(const std::string& file, int /*trialMilliseconds*/, std::string& message, std::string& /*untried*/) {
  HMODULE module = LoadLibraryA(file.c_str());
  if (module == nullptr) message = LastSystemMessage();
  return reinterpret_cast<void*>(module);
}

void PlatformClose(void* handle) { FreeLibrary(reinterpret_cast<HMODULE>(handle)); }

TQ_ProcAddress PlatformSymbol(void* handle, const char* symbol, std::string& message) {
  FARPROC address = GetProcAddress(reinterpret_cast<HMODULE>(handle), symbol);
  if (address == nullptr) message = LastSystemMessage();
  return reinterpret_cast<TQ_ProcAddress>(address);
}

std::string ModulePath(HMODULE module) {
  char buffer[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameA(module, buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return {};
  return std::string(buffer, length);
}

std::string PlatformPathOf(void* handle) { return ModulePath(reinterpret_cast<HMODULE>(handle)); }

// The names of the module's export table, read from its image in memory.
bool PlatformExportedNames(void* handle,
                           const std::string& /*path*/,
                           std::vector<std::string>& names,
                           std::string& message) {
  const auto* base = reinterpret_cast<const unsigned char*>(handle);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) {
    message = "the module is no executable image";
    return false;
  }
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) {
    message = "the module is no executable image";
    return false;
  }
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (directory.VirtualAddress == 0 || directory.Size == 0) return true;
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
  const auto* nameAddresses = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  for (DWORD k = 0; k < exports->NumberOfNames; ++k)
    names.emplace_back(reinterpret_cast<const char*>(base + nameAddresses[k]));
  return true;
}

std::string ModulePathAt(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCSTR>(address),
                          &module))
    return {};
  return ModulePath(module);
}

#else

std::string LastSystemMessage() {
  const char* text = dlerror();
  return text != nullptr ? text : "unknown reason";
}

void PlatformClose(void* handle) { dlclose(handle); }

TQ_ProcAddress PlatformSymbol(void* handle, const char* symbol, std::string& message) {
  dlerror();
  void* address = dlsym(handle, symbol);
  if (address == nullptr) {
    const char* text = dlerror();
    message = text != nullptr ? text : "the symbol's address is null";
  }
  return reinterpret_cast<TQ_ProcAddress>(address);
}

std::string PlatformPathOf(void* handle) {
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr) return {};
  return map->l_name;
}

// Whether a file of `fileSize` bytes holds `size` bytes at `offset`.
bool Holds(std::uint64_t fileSize, std::uint64_t offset, std::uint64_t size) {
  return offset <= fileSize && size <= fileSize - offset;
}

// Reads `size` bytes at `offset` of an open file into `out`; false when the file holds fewer.
bool ReadAt(std::ifstream& file, std::uint64_t fileSize, std::uint64_t offset, std::uint64_t size, void* out) {
  if (!Holds(fileSize, offset, size)) return false;
  file.seekg(static_cast<std::streamoff>(offset));
  file.read(static_cast<char*>(out), static_cast<std::streamsize>(size));
  return static_cast<bool>(file);
}

// A symbol an ELF file defines for others: its name (an offset into the table's text), its type
// (STT_FUNC, STT_OBJECT or STT_GNU_IFUNC), and whether a look-up by its name alone must find it at
// an address in the file's memory: a symbol of no version or of the global one (a named version
// may be kept from such look-ups: the C library's private ones are), at an address of the file
// (not an absolute value, such as a version's name), and no indirect function (its resolver may
// find none).
struct Export {
  std::uint64_t name;
  unsigned type;
  bool findable;
};
struct Exports {
  std::string text;  // the dynamic string table, each name ending in a NUL
  std::vector<Export> symbols;
  const char* Name(const Export& symbol) const { return text.c_str() + symbol.name; }
};

// The symbols an ELF file defines for others (its dynamic symbol table: global or weak, visible,
// defined in the file, functions, indirect functions and data), read from the file: its header,
// its section table, and the symbol table with its strings; nothing else of it.
template <typename Header, typename Section, typename Symbol>
bool ElfExports(std::ifstream& file, std::uint64_t fileSize, Exports& exports, std::string& message) {
  // Every size is checked against the file's before anything is made of that size.
  Header header;
  if (!ReadAt(file, fileSize, 0, sizeof header, &header) || header.e_shentsize != sizeof(Section) ||
      !Holds(fileSize, header.e_shoff, std::uint64_t{header.e_shnum} * sizeof(Section))) {
    message = "its section table cannot be read";
    return false;
  }
  std::vector<Section> sections(header.e_shnum);
  if (!ReadAt(file, fileSize, header.e_shoff, sections.size() * sizeof(Section), sections.data())) {
    message = "its section table cannot be read";
    return false;
  }
  for (std::size_t index = 0; index < sections.size(); ++index) {
    const Section& table = sections[index];
    if (table.sh_type != SHT_DYNSYM) continue;
    if (table.sh_link >= sections.size()) break;
    const Section& strings = sections[table.sh_link];
    if (!Holds(fileSize, table.sh_offset, table.sh_size) || !Holds(fileSize, strings.sh_offset, strings.sh_size)) break;
    std::vector<Symbol> symbols(table.sh_size / sizeof(Symbol));
    std::string& text = exports.text;
    text.assign(strings.sh_size, '\0');
    if (!ReadAt(file, fileSize, table.sh_offset, symbols.size() * sizeof(Symbol), symbols.data()) ||
        !ReadAt(file, fileSize, strings.sh_offset, text.size(), text.data()))
      break;
    text.push_back('\0');  // the last name ends, whatever the table holds
    // The symbols' versions, when the file has them.
    std::vector<std::uint16_t> versions(symbols.size(), 0);
    for (const Section& section : sections)
      if (section.sh_type == SHT_GNU_versym && section.sh_link == index &&
          section.sh_size >= versions.size() * sizeof(std::uint16_t) &&
          !ReadAt(file, fileSize, section.sh_offset, versions.size() * sizeof(std::uint16_t), versions.data()))
        std::fill(versions.begin(), versions.end(), 0);
    for (std::size_t k = 0; k < symbols.size(); ++k) {
      const Symbol& symbol = symbols[k];
      const unsigned bind = symbol.st_info >> 4;
      const unsigned type = symbol.st_info & 0xf;
      const unsigned visibility = symbol.st_other & 0x3;
      if (symbol.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK) ||
          (type != STT_FUNC && type != STT_OBJECT && type != STT_GNU_IFUNC) ||
          (visibility != STV_DEFAULT && visibility != STV_PROTECTED) || symbol.st_name >= strings.sh_size)
        continue;
      const bool findable =
          versions[k] <= 1 && symbol.st_shndx != SHN_ABS && symbol.st_value != 0 && type != STT_GNU_IFUNC;
      exports.symbols.push_back({symbol.st_name, type, findable});
    }
    return true;
  }
  message = "its dynamic symbol table cannot be read";
  return false;
}

bool ReadExports(const std::string& path, Exports& exports, std::string& message) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) {
    message = "the file cannot be read";
    return false;
  }
  const auto fileSize = static_cast<std::uint64_t>(file.tellg());
  unsigned char ident[EI_NIDENT];
  if (!ReadAt(file, fileSize, 0, sizeof ident, ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0 ||
      ident[EI_DATA] != (std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB)) {
    message = "it is no ELF file of this machine";
    return false;
  }
  if (ident[EI_CLASS] == ELFCLASS64)
    return ElfExports<Elf64_Ehdr, Elf64_Shdr, Elf64_Sym>(file, fileSize, exports, message);
  if (ident[EI_CLASS] == ELFCLASS32)
    return ElfExports<Elf32_Ehdr, Elf32_Shdr, Elf32_Sym>(file, fileSize, exports, message);
  message = "its ELF class is unknown";
  return false;
}

// The exported functions and data; an indirect function is not named, as it is no address of
// its own until its resolver has run.
bool PlatformExportedNames(void* /*handle*/,
                           const std::string& path,
                           std::vector<std::string>& names,
                           std::string& message) {
  Exports exports;
  if (!ReadExports(path, exports, message)) return false;
  for (const Export& symbol : exports.symbols)
    if (symbol.type != STT_GNU_IFUNC) names.emplace_back(exports.Name(symbol));
  return true;
}

// Whether the process holds the file loaded already, under this path or another (the same device
// and inode). It loaded well then, and the platform's loader hands back what it mapped, reading
// none of the file's tables again: it is neither checked nor tried a second time. (Each run of a
// host that loads its library anew, with the library held meanwhile, then costs neither.)
bool HeldLoaded(const std::string& file) {
  struct stat wanted {};
  if (stat(file.c_str(), &wanted) != 0) return false;
  struct Search {
    dev_t device;
    ino_t inode;
    bool found;
  } search{wanted.st_dev, wanted.st_ino, false};
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* data) {
        auto& s = *static_cast<Search*>(data);
        struct stat loaded {};
        if (info->dlpi_name == nullptr || info->dlpi_name[0] == '\0' || stat(info->dlpi_name, &loaded) != 0 ||
            loaded.st_dev != s.device || loaded.st_ino != s.inode)
          return 0;
        s.found = true;
        return 1;
      },
      &search);
  return search.found;
}

// A stand-in for each closed standard descriptor (TQ_KeepStandardDescriptors). The lowest free
// number is the one looked at, as the lower ones are open or were just given theirs, so open()
// takes it. O_PATH allows neither read nor write, which then fail with EBADF as on a closed
// descriptor; where it cannot be had, /dev/null opened for the other direction fails the same.
void KeepStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    int standIn = -1;
#if defined(O_PATH)
    standIn = open("/", O_PATH | O_CLOEXEC);
#endif
    if (standIn < 0) standIn = open("/dev/null", (fd == 0 ? O_WRONLY : O_RDONLY) | O_CLOEXEC);
    if (standIn < 0 || standIn == fd) continue;
    // Another thread took the number first: what it opened is left to it, and this is given up.
    close(standIn);
  }
}

// A library is loaded into the host's process only once it has loaded in a child process, with
// every symbol it exports resolved there: the platform's loader trusts the file's tables, and
// damage they hold would otherwise stop the host with a fault or an assertion. A file named by its
// path is looked at first: one that is no regular file is refused before anything opens it (the
// platform's loader would wait for ever on a FIFO), and its headers are checked against the file
// so that a file cut short or damaged is refused with what is wrong with it. A bare name is left
// to the platform's search, which finds the system's libraries; its trial only loads it. Where
// the trial cannot be made (no child process or pipe), that says nothing of the library: it is
// loaded as it was before there was a trial, and `untried` says why.
void* PlatformOpen(const std::string& file, int trialMilliseconds, std::string& message, std::string& untried) {
  KeepStandardDescriptors();
  Exports exports;
  std::vector<tq_loader::TrialSymbol> symbols;
  bool held = false;
  if (file.find('/') != std::string::npos) {
    const std::string kind = OtherThanAFile(file);
    if (!kind.empty()) {
      message = "it is no library: it is " + kind + ", not a regular file";
      return nullptr;
    }
    std::error_code ec;
    const bool regular = fs::is_regular_file(fs::path(file), ec);
    held = regular && HeldLoaded(file);
    if (regular && !held) {
      if (!tq_loader::ElfFileHoldsWhatItMaps(file, message)) return nullptr;
      // The symbols the host may resolve: every one the library exports. A table that cannot be
      // read leaves the trial to the load alone; the host says what it lacks when it asks.
      std::string unread;
      if (ReadExports(file, exports, unread))
        for (const Export& symbol : exports.symbols)
          symbols.push_back({exports.Name(symbol), symbol.type != STT_OBJECT, symbol.findable});
    }
  }
  if (!held) {
    switch (tq_loader::TryLoading(file, symbols, trialMilliseconds, message)) {
      case tq_loader::TrialOutcome::kLoaded:
        break;
      case tq_loader::TrialOutcome::kUntried:
        untried = message;
        message.clear();
        break;
      default:
        return nullptr;
    }
  }
  dlerror();
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) message = LastSystemMessage();
  return handle;
}

std::string ModulePathAt(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  return info.dli_fname;
}

#endif

#if defined(_WIN32)
constexpr const char* kSuffix = ".dll";
constexpr const char* kPrefix = nullptr;
#else
constexpr const char* kSuffix = ".so";
constexpr const char* kPrefix = "lib";
#endif

bool EndsWithIgnoringCase(const std::string& text, const std::string& end) {
  if (text.size() < end.size()) return false;
  for (size_t i = 0; i < end.size(); ++i) {
    const unsigned char a = static_cast<unsigned char>(text[text.size() - end.size() + i]);
    const unsigned char b = static_cast<unsigned char>(end[i]);
    if (std::tolower(a) != std::tolower(b)) return false;
  }
  return true;
}

bool HasDirectoryPart(const std::string& name) {
  return name.find('/') != std::string::npos || name.find('\\') != std::string::npos;
}

// A file that exists is named by its absolute, normal path, so that the
// same file reached in two ways is one entry; anything else is left to the
// platform's search as it stands.
std::string FileKey(const std::string& file) {
  std::error_code ec;
  if (!fs::is_regular_file(fs::path(file), ec)) return file;
  const fs::path absolute = fs::absolute(fs::path(file), ec);
  if (ec) return file;
  return absolute.lexically_normal().make_preferred().string();
}

TQ_LibraryRef Held(const std::map<std::string, std::weak_ptr<TQ_LoadedLibrary>>& held, const std::string& key) {
  const auto found = held.find(key);
  return found == held.end() ? nullptr : found->second.lock();
}

}  // namespace

void TQ_KeepStandardDescriptors() { KeepStandardDescriptors(); }

TQ_LoadedLibrary::TQ_LoadedLibrary(std::string name, std::string path, void* handle, std::string untried)
    : m_name(std::move(name)), m_path(std::move(path)), m_handle(handle), m_untried(std::move(untried)) {}

TQ_LoadedLibrary::~TQ_LoadedLibrary() { PlatformClose(m_handle); }

TQ_ProcAddress TQ_LoadedLibrary::FindFunction(const std::string& symbol, std::string& error) const {
  if (symbol.empty()) {
    error = "cannot resolve an empty symbol name in library \"" + m_path + "\"";
    return nullptr;
  }
  std::string message;
  const TQ_ProcAddress address = PlatformSymbol(m_handle, symbol.c_str(), message);
  if (address == nullptr) error = "symbol \"" + symbol + "\" not found in library \"" + m_path + "\": " + message;
  return address;
}

void* TQ_LoadedLibrary::FindData(const std::string& symbol, std::string& error) const {
  return reinterpret_cast<void*>(FindFunction(symbol, error));
}

std::vector<std::string> TQ_LoadedLibrary::ExportedNames(std::string& error) const {
  std::vector<std::string> names;
  std::string message;
  if (!PlatformExportedNames(m_handle, m_path, names, message)) {
    error = "cannot read the exports of library \"" + m_path + "\": " + message;
    names.clear();
  }
  return names;
}

void TQ_LibraryLoader::SetUserDirectories(std::vector<std::string> directories) {
  m_userDirectories = std::move(directories);
}

void TQ_LibraryLoader::SetModelLibraryDirectory(std::string directory) { m_modelDirectory = std::move(directory); }

void TQ_LibraryLoader::SetTrialTimeLimit(int milliseconds) { m_trialMilliseconds = std::max(milliseconds, 1); }

std::vector<std::string> TQ_LibraryLoader::SearchDirectories() const {
  std::vector<std::string> candidates = m_userDirectories;
  candidates.push_back(m_modelDirectory);
  candidates.push_back(ModuleDirectory());
  std::vector<std::string> directories;
  for (const std::string& candidate : candidates) {
    if (candidate.empty()) continue;
    const std::string normal = fs::path(candidate).lexically_normal().make_preferred().string();
    bool repeated = false;
    for (const std::string& directory : directories) repeated = repeated || directory == normal;
    if (!repeated) directories.push_back(normal);
  }
  return directories;
}

std::vector<std::string> TQ_LibraryLoader::FileNames(const std::string& name) {
  if (EndsWithIgnoringCase(name, kSuffix)) return {name};
#if !defined(_WIN32)
  // A versioned file name ("libm.so.6") carries the suffix as well.
  if (name.find(std::string(kSuffix) + ".") != std::string::npos) return {name};
#endif
  std::vector<std::string> names{name + kSuffix};
  if (kPrefix != nullptr) names.push_back(kPrefix + name + kSuffix);
  return names;
}

std::string TQ_LibraryLoader::ModuleDirectory() {
  return ModuleDirectoryOf(reinterpret_cast<const void*>(&TQ_LibraryLoader::ModuleDirectory));
}

std::string TQ_LibraryLoader::ModuleDirectoryOf(const void* address) {
  const std::string path = address != nullptr ? ModulePathAt(address) : std::string();
  if (path.empty()) return {};
  std::error_code ec;
  const fs::path absolute = fs::absolute(fs::path(path), ec);
  return (ec ? fs::path(path) : absolute).lexically_normal().parent_path().make_preferred().string();
}

TQ_LibraryRef TQ_LibraryLoader::Open(const std::string& name, const std::string& file, std::string& error) {
  if (TQ_LibraryRef held = Held(m_byFile, file)) return held;
  std::string message;
  std::string untried;
  void* handle = PlatformOpen(file, m_trialMilliseconds, message, untried);
  if (handle == nullptr) {
    error = "cannot load library \"" + file + "\": " + message;
    return nullptr;
  }
  // The same file reached under another name is the object already held;
  // the platform counts the second open, which is given back at once.
  const std::string loaded = PlatformPathOf(handle);
  const std::string key = FileKey(loaded.empty() ? file : loaded);
  if (TQ_LibraryRef held = Held(m_byFile, key)) {
    PlatformClose(handle);
    m_byFile[file] = held;
    return held;
  }
  TQ_LibraryRef library(new TQ_LoadedLibrary(name, key, handle, std::move(untried)));
  m_byFile[key] = library;
  m_byFile[file] = library;
  return library;
}

TQ_LibraryRef TQ_LibraryLoader::LoadFile(const std::string& path, std::string& error) {
  if (path.empty()) {
    error = "cannot load a library from an empty file name";
    return nullptr;
  }
  return Open(path, FileKey(path), error);
}

TQ_LibraryRef TQ_LibraryLoader::LoadByName(const std::string& name, std::string& error) {
  if (name.empty()) {
    error = "cannot load a library with an empty name";
    return nullptr;
  }
  if (HasDirectoryPart(name)) return LoadFile(name, error);
  if (TQ_LibraryRef held = Held(m_byName, name)) return held;

  const std::vector<std::string> files = FileNames(name);
  // One line, each place tried after the one before it: first the files of the name that were
  // found and refused, with why (what the user most likely meant), then the places that held none.
  std::string refused;
  std::string tried;
  const auto note = [](std::string& lines, const std::string& line) { lines += (lines.empty() ? " " : "; ") + line; };

  TQ_LibraryRef library;
  // A name that a directory holds as something else than a regular file is not asked of the
  // platform's search either: its path may lead to the same file.
  std::vector<std::string> unsearched;
  for (const std::string& directory : SearchDirectories()) {
    for (const std::string& file : files) {
      const fs::path candidate = fs::path(directory) / file;
      const std::string kind = OtherThanAFile(candidate.string());
      if (!kind.empty()) {
        note(refused, candidate.string() + ": it is no library: it is " + kind + ", not a regular file");
        unsearched.push_back(file);
        continue;
      }
      std::error_code ec;
      if (!fs::is_regular_file(candidate, ec)) {
        note(tried, candidate.string() + ": no such file");
        continue;
      }
      std::string message;
      library = Open(name, FileKey(candidate.string()), message);
      if (library) break;
      note(refused, message);
    }
    if (library) break;
  }
  for (size_t i = 0; !library && i < files.size(); ++i) {
    if (std::find(unsearched.begin(), unsearched.end(), files[i]) != unsearched.end()) continue;
    std::string message;
    library = Open(name, files[i], message);
    if (!library) note(tried, message + " (platform search path)");
  }
  if (!library) {
    error = refused.empty() ? "cannot find library \"" + name + "\"; tried:" + tried
                            : "library \"" + name + "\" was found and refused:" + refused +
                                  (tried.empty() ? std::string() : "; tried besides:" + tried);
    return nullptr;
  }
  m_byName[name] = library;
  return library;
}
