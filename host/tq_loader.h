// Loading of dynamic libraries by file name or by library name, and the
// resolution of their exported symbols. This is the host layer's only
// contact with the platform's loader (dlopen on Linux, LoadLibrary on
// Windows).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vekexp_api.h"

// A generic function address; cast it to the routine's own type to call it.
using TQ_ProcAddress = void (*)();

// One library file loaded into the process. The file stays loaded as long
// as any reference to this object lives.
class VEKEXP_API TQ_LoadedLibrary {
 public:
  ~TQ_LoadedLibrary();
  TQ_LoadedLibrary(const TQ_LoadedLibrary&) = delete;
  TQ_LoadedLibrary& operator=(const TQ_LoadedLibrary&) = delete;

  // The name or path the library was asked for.
  const std::string& Name() const { return m_name; }
  // The file it was loaded from.
  const std::string& Path() const { return m_path; }
  // Why the library was loaded without its trial load in a child process (Linux): no child
  // process or pipe could be made ("fork: Resource temporarily unavailable"); empty when it was
  // tried first, or held loaded already. The caller says so as a warning: the file check still
  // passed, and the trial is a guard against damage that the check cannot see.
  const std::string& Untried() const { return m_untried; }

  // Address of an exported function. Null, with a message naming the
  // symbol, the file and the platform's reason in `error`, when the library
  // has no such export; never null otherwise.
  TQ_ProcAddress FindFunction(const std::string& symbol, std::string& error) const;
  // The same for an exported data object.
  void* FindData(const std::string& symbol, std::string& error) const;

  // The names of the symbols the library exports (functions and data), in
  // the order its export table holds them. Empty, with the reason in
  // `error`, when the table cannot be read.
  std::vector<std::string> ExportedNames(std::string& error) const;

  // FindFunction cast to the routine's own pointer type.
  template <class Routine>
  Routine Function(const std::string& symbol, std::string& error) const {
    return reinterpret_cast<Routine>(FindFunction(symbol, error));
  }

 private:
  friend class TQ_LibraryLoader;
  TQ_LoadedLibrary(std::string name, std::string path, void* handle, std::string untried);

  std::string m_name;
  std::string m_path;
  void* m_handle;
  std::string m_untried;
};

using TQ_LibraryRef = std::shared_ptr<TQ_LoadedLibrary>;

// Loads libraries and keeps one loaded object per name and per file: while
// a reference to a library lives, loading it again returns the same object.
//
// A library asked for by name is looked for, in order, in the user's
// directories, the model library's directory, the directory of the module
// that holds this loader, and then the platform's own search path. In each
// directory the platform's file names for the name are tried: NAME.so and
// libNAME.so on Linux, NAME.dll on Windows (the name alone when it already
// carries the suffix, versioned or not: libm.so.6).
class VEKEXP_API TQ_LibraryLoader {
 public:
  TQ_LibraryLoader() = default;
  TQ_LibraryLoader(const TQ_LibraryLoader&) = delete;
  TQ_LibraryLoader& operator=(const TQ_LibraryLoader&) = delete;

  // The time a library's trial load in a child process may take (Linux);
  // one that takes longer is stopped and the library refused. 10 s unless
  // set.
  void SetTrialTimeLimit(int milliseconds);

  // Directories searched first, in this order.
  void SetUserDirectories(std::vector<std::string> directories);
  const std::vector<std::string>& UserDirectories() const { return m_userDirectories; }

  // Directory of the model library, searched after the user's directories.
  void SetModelLibraryDirectory(std::string directory);
  const std::string& ModelLibraryDirectory() const { return m_modelDirectory; }

  // Loads the library at this path, or at this file name as the platform
  // finds it. Null, with a message in `error`, when it cannot be loaded. On
  // Linux a path that leads to something else than a regular file (a FIFO, a
  // socket, a device, a directory) is refused before anything opens it; a
  // file named by its path is then checked against everything its ELF
  // headers name (tq_loader_elf.h), and one cut short or damaged is refused
  // with the reason instead of being mapped; and every library is first
  // loaded in a child process, with each symbol it exports resolved there
  // (tq_loader_trial.h): one that makes the platform's loader die, stop or
  // hang there is refused as damaged, one the platform's loader refuses is
  // refused with its reason, and only one that loaded there is loaded here.
  // Where no child process or pipe can be made (a process limit, a sandbox
  // that forbids fork, no descriptors left), the library is loaded untried,
  // and Untried() says why. A file the process holds loaded already (by any
  // path) is neither checked nor tried again.
  TQ_LibraryRef LoadFile(const std::string& path, std::string& error);

  // Finds and loads a library by its name through the search path. A name
  // with a directory part is loaded as a path. Null, with a message naming
  // every file tried and the platform's reasons, when no file loads: the
  // files of the name that a directory holds and that were refused come
  // first, with why, and the message says "cannot find" only when there
  // were none. A
  // directory's entry of that file name that is no regular file is passed
  // over, and the name is then not asked of the platform's search path.
  TQ_LibraryRef LoadByName(const std::string& name, std::string& error);

  // The directories searched for a name before the platform's search path,
  // in order, without repeats.
  std::vector<std::string> SearchDirectories() const;

  // The file names tried for a library name, in order.
  static std::vector<std::string> FileNames(const std::string& name);

  // Directory of the module (executable or shared library) that holds the
  // loader; empty when the platform cannot tell.
  static std::string ModuleDirectory();
  // Directory of the module whose code or data holds `address`; empty when
  // the platform cannot tell.
  static std::string ModuleDirectoryOf(const void* address);

 private:
  TQ_LibraryRef Open(const std::string& name, const std::string& file, std::string& error);

  std::vector<std::string> m_userDirectories;
  std::string m_modelDirectory;
  int m_trialMilliseconds = 10000;
  std::map<std::string, std::weak_ptr<TQ_LoadedLibrary>> m_byName;
  std::map<std::string, std::weak_ptr<TQ_LoadedLibrary>> m_byFile;
};

// Gives each of standard input, output and error that the process was started without (closed
// by a launcher, a cron job or `<&- >&- 2>&-`) a stand-in on which a read and a write fail as on
// a closed descriptor, so that nothing the process opens later (the loader's pipes, a library's
// file, a file a library opens) takes the number 0, 1 or 2 and is read or written as standard
// input, output or error. A program calls it first thing; the loader calls it before each load.
// The stand-ins are closed on exec, as the descriptors were. Nothing to do on Windows.
VEKEXP_API void TQ_KeepStandardDescriptors();
