// The loader's trial load of a library in a child process, before the library is loaded into
// the host's own process. The platform's loader trusts a library's tables further than any check
// of the file can follow them: a damaged library can make it fault, or stop the process with an
// assertion, while it loads the library or resolves its symbols. The trial does that work in a
// child process, the same as the host does it, and reports how the child ended; the host's
// process loads the library only after the child did so and ended well. Only the loader
// (tq_loader.cpp) uses it; there is none on Windows.
#pragma once

#if !defined(_WIN32)
#include <string>
#include <vector>

namespace tq_loader {

// A symbol the trial resolves; whether it names code (a function, or an indirect function whose
// resolver, the library's own code, gives the address), whose address must then lie in a loaded
// library's code; and whether it must be found (the library defines it for everyone: only damage
// to its hash tables hides it).
struct TrialSymbol {
  const char* name;  // kept by the caller until the trial ends
  bool code = false;
  bool required = false;
};

enum class TrialOutcome {
  kLoaded,      // the child loaded the library and resolved every symbol
  kRefused,     // the platform's loader refused the library in the child (`reason` is its message)
  kDamaged,     // the child died or stopped while loading it, or a symbol was lost or led to no code
  kUnfinished,  // the child had not finished within the time limit and was stopped
  kUntried,     // no child process or pipe could be made (`reason`: "fork: ..." or "no pipe: ...")
};

// Loads `file` in a child process as the host's process would (dlopen with RTLD_NOW |
// RTLD_LOCAL, then dlsym of each symbol) and waits at most `limitMilliseconds` for the child to
// report. Everything but kLoaded comes with the reason in `reason`, as one line. The child's
// output is taken on pipes of its own, and so is its report: the process's standard descriptors
// must be open (TQ_KeepStandardDescriptors), or the pipes would take their numbers and the
// child's output would be written over its report.
TrialOutcome TryLoading(const std::string& file,
                        const std::vector<TrialSymbol>& symbols,
                        int limitMilliseconds,
                        std::string& reason);

}  // namespace tq_loader
#endif
