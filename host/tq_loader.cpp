// Dynamic library loading. The platform calls are gathered in the
// anonymous namespace below; everything after it is portable.
#include "tq_loader.h"

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
#include <link.h>
#endif

namespace fs = std::filesystem;

namespace {

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

void* PlatformOpen(const std::string& file, std::string& message) {
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

void* PlatformOpen(const std::string& file, std::string& message) {
  dlerror();
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) message = LastSystemMessage();
  return handle;
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

TQ_LoadedLibrary::TQ_LoadedLibrary(std::string name, std::string path, void* handle)
    : m_name(std::move(name)), m_path(std::move(path)), m_handle(handle) {}

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

void TQ_LibraryLoader::SetUserDirectories(std::vector<std::string> directories) {
  m_userDirectories = std::move(directories);
}

void TQ_LibraryLoader::SetModelLibraryDirectory(std::string directory) { m_modelDirectory = std::move(directory); }

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
  void* handle = PlatformOpen(file, message);
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
  TQ_LibraryRef library(new TQ_LoadedLibrary(name, key, handle));
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
  std::string tried;
  const auto note = [&tried](const std::string& line) { tried += "\n  " + line; };

  TQ_LibraryRef library;
  for (const std::string& directory : SearchDirectories()) {
    for (const std::string& file : files) {
      const fs::path candidate = fs::path(directory) / file;
      std::error_code ec;
      if (!fs::is_regular_file(candidate, ec)) {
        note(candidate.string() + ": no such file");
        continue;
      }
      std::string message;
      library = Open(name, FileKey(candidate.string()), message);
      if (library) break;
      note(message);
    }
    if (library) break;
  }
  for (size_t i = 0; !library && i < files.size(); ++i) {
    std::string message;
    library = Open(name, files[i], message);
    if (!library) note(message + " (platform search path)");
  }
  if (!library) {
    error = "cannot find library \"" + name + "\"; tried:" + tried;
    return nullptr;
  }
  m_byName[name] = library;
  return library;
}
