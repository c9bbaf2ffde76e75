// The trial load of a library in a child process: the child loads it and resolves its symbols,
// writes what became of that to a pipe and ends; the parent reads the pipe and the child's
// output, and tells from how the child ended whether the library can be loaded.
#include "tq_loader_trial.h"

#if !defined(_WIN32)
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <ctime>

namespace tq_loader {
namespace {

using Clock = std::chrono::steady_clock;

// The child's report: one mark, then its text.
constexpr char kLoadedMark = 'L';   // loaded, every symbol resolved
constexpr char kRefusedMark = 'R';  // refused: the platform's message follows
constexpr char kNoCodeMark = 'C';   // a symbol of code resolved to no library's code: address, name
constexpr char kLostMark = 'M';     // a symbol that must be found was not: its name

// What is kept of the child's report and of its output.
constexpr std::size_t kKept = 16384;

void WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

// The code of the loaded libraries, as address ranges: room for them is made before the fork, so
// that the child allocates nothing.
struct CodeRange {
  std::uintptr_t start;
  std::uintptr_t end;
};
struct CodeRanges {
  std::vector<CodeRange> ranges;  // sized before the fork
  std::size_t count = 0;
  bool complete = true;  // false when there were more ranges than room: then nothing is judged
};
constexpr std::size_t kCodeRangeRoom = 4096;

int AddCodeRanges(dl_phdr_info* info, std::size_t /*size*/, void* data) {
  auto& code = *static_cast<CodeRanges*>(data);
  for (ElfW(Half) k = 0; k < info->dlpi_phnum; ++k) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[k];
    if (segment.p_type != PT_LOAD || (segment.p_flags & PF_X) == 0) continue;
    if (code.count == code.ranges.size()) {
      code.complete = false;
      return 1;
    }
    const std::uintptr_t start = info->dlpi_addr + segment.p_vaddr;
    code.ranges[code.count++] = {start, start + segment.p_memsz};
  }
  return 0;
}

bool InCode(const CodeRanges& code, const void* address) {
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  for (std::size_t k = 0; k < code.count; ++k)
    if (at >= code.ranges[k].start && at < code.ranges[k].end) return true;
  return !code.complete;
}

// The child's whole work: the loader's calls, writes and _exit. It runs in a copy of a process
// that may have had other threads, so it does no more than the platform's loader does for a load
// (the C library makes its loader's and its allocator's locks usable again in the child) and
// allocates nothing of its own: everything it reads, and the room it fills, was made before the
// fork.
[[noreturn]] void Child(const char* file,
                        const std::vector<const char*>& names,
                        const std::vector<char>& code,
                        const std::vector<char>& required,
                        CodeRanges& ranges,
                        int resultFd,
                        int outputFd) {
  // What the platform's loader and the library print goes to the parent, not to the host's output.
  dup2(outputFd, STDOUT_FILENO);
  dup2(outputFd, STDERR_FILENO);
  void* handle = dlopen(file, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* text = dlerror();
    WriteAll(resultFd, &kRefusedMark, 1);
    if (text != nullptr) WriteAll(resultFd, text, std::strlen(text));
    _exit(0);
  }
  dl_iterate_phdr(AddCodeRanges, &ranges);
  for (std::size_t k = 0; k < names.size(); ++k) {
    void* address = dlsym(handle, names[k]);
    if (address == nullptr && required[k] != 0) {
      WriteAll(resultFd, &kLostMark, 1);
      WriteAll(resultFd, names[k], std::strlen(names[k]));
      _exit(0);
    }
    if (address == nullptr || code[k] == 0 || InCode(ranges, address)) continue;
    // Code the host would call lies in no library's code: say which symbol, and where it led.
    char hex[2 + 2 * sizeof(std::uintptr_t)];
    auto value = reinterpret_cast<std::uintptr_t>(address);
    std::size_t length = 0;
    do {
      hex[sizeof hex - 1 - length++] = "0123456789abcdef"[value & 0xf];
      value >>= 4;
    } while (value != 0);
    hex[sizeof hex - 1 - length++] = 'x';
    hex[sizeof hex - 1 - length++] = '0';
    WriteAll(resultFd, &kNoCodeMark, 1);
    WriteAll(resultFd, hex + sizeof hex - length, length);
    WriteAll(resultFd, " ", 1);
    WriteAll(resultFd, names[k], std::strlen(names[k]));
    _exit(0);
  }
  WriteAll(resultFd, &kLoadedMark, 1);
  _exit(0);
}

// Appends what `fd` holds to `text`, keeping at most kKept bytes; false once the pipe is closed
// (or fails).
bool Drain(int fd, std::string& text) {
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got > 0) {
      text.append(buffer, std::min(static_cast<std::size_t>(got), kKept - std::min(kKept, text.size())));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    return got < 0 && errno == EAGAIN;
  }
}

struct Ending {
  bool known = false;    // the child was waited for
  bool stopped = false;  // the time limit ran out and the child was killed
  int status = 0;        // as waitpid gives it, when known
};

// Waits for the child until the deadline, then kills it. A child that cannot be waited for (the
// process ignores SIGCHLD, so the system reaps its children itself) leaves its end unknown.
Ending Wait(pid_t child, Clock::time_point deadline) {
  Ending ending;
  // A child that has closed its pipes is ending: it is looked at again soon, then less often.
  long pauseNanoseconds = 20000;
  for (;;) {
    const pid_t done = waitpid(child, &ending.status, WNOHANG);
    if (done == child) {
      ending.known = true;
      return ending;
    }
    if (done < 0 && errno != EINTR) return ending;
    if (Clock::now() >= deadline) break;
    const timespec pause{0, pauseNanoseconds};
    nanosleep(&pause, nullptr);
    pauseNanoseconds = std::min(2 * pauseNanoseconds, 1000000L);
  }
  kill(child, SIGKILL);
  ending.stopped = true;
  while (waitpid(child, &ending.status, 0) < 0)
    if (errno != EINTR) return ending;
  ending.known = true;
  return ending;
}

std::string SignalName(int signal) {
  switch (signal) {
    case SIGSEGV:
      return "SIGSEGV";
    case SIGBUS:
      return "SIGBUS";
    case SIGFPE:
      return "SIGFPE";
    case SIGILL:
      return "SIGILL";
    case SIGABRT:
      return "SIGABRT";
    case SIGTRAP:
      return "SIGTRAP";
    case SIGSYS:
      return "SIGSYS";
    case SIGKILL:
      return "SIGKILL";
    default:
      return "signal " + std::to_string(signal);
  }
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// The line of the child's output that says best what went wrong: the platform's loader's own
// assertion, a sanitizer's error line, or else the first line that says anything.
std::string TellingLine(const std::string& output) {
  std::string first;
  for (std::size_t at = 0; at < output.size();) {
    const std::size_t end = std::min(output.find('\n', at), output.size());
    const std::string line = output.substr(at, end - at);
    at = end + 1;
    if (line.find("Inconsistency detected") != std::string::npos || line.find("ERROR:") != std::string::npos)
      return line;
    if (first.empty() && line.find_first_not_of("= \t\r") != std::string::npos) first = line;
  }
  return first;
}

}  // namespace

TrialOutcome TryLoading(const std::string& file,
                        const std::vector<TrialSymbol>& symbols,
                        int limitMilliseconds,
                        std::string& reason) {
  // Everything the child reads is made before the fork.
  std::vector<const char*> names;
  std::vector<char> code;
  std::vector<char> required;
  names.reserve(symbols.size());
  code.reserve(symbols.size());
  required.reserve(symbols.size());
  for (const TrialSymbol& symbol : symbols) {
    names.push_back(symbol.name);
    code.push_back(symbol.code ? 1 : 0);
    required.push_back(symbol.required ? 1 : 0);
  }
  CodeRanges ranges;
  ranges.ranges.resize(kCodeRangeRoom);
  int result[2] = {-1, -1};
  int output[2] = {-1, -1};
  if (pipe2(result, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
    reason = std::string("no pipe: ") + std::strerror(errno);
    for (int fd : {result[0], result[1], output[0], output[1]})
      if (fd >= 0) close(fd);
    return TrialOutcome::kUntried;
  }
  const pid_t child = fork();
  if (child == 0) {
    close(result[0]);
    close(output[0]);
    Child(file.c_str(), names, code, required, ranges, result[1], output[1]);
  }
  const int forkError = errno;
  close(result[1]);
  close(output[1]);
  if (child < 0) {
    close(result[0]);
    close(output[0]);
    reason = std::string("fork: ") + std::strerror(forkError);
    return TrialOutcome::kUntried;
  }

  // The child's report and output, until it closes both pipes or the time runs out. A child that
  // ended while a process it started still holds the pipes has said all it will.
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limitMilliseconds);
  std::string said;
  std::string printed;
  pollfd fds[2] = {{result[0], POLLIN, 0}, {output[0], POLLIN, 0}};
  std::string* texts[2] = {&said, &printed};
  fcntl(result[0], F_SETFL, O_NONBLOCK);
  fcntl(output[0], F_SETFL, O_NONBLOCK);
  int open = 2;
  Ending ending;
  while (open > 0 && Clock::now() < deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const int ready = poll(fds, 2, static_cast<int>(std::clamp<long long>(left, 1, 100)));
    if (ready < 0 && errno != EINTR) break;
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd < 0 || fds[k].revents == 0) continue;
      if (!Drain(fds[k].fd, *texts[k])) {
        fds[k].fd = -1;
        --open;
      }
    }
    if (ready == 0 && waitpid(child, &ending.status, WNOHANG) == child) {
      // What it wrote just before it ended is in the pipes still.
      for (int k = 0; k < 2; ++k)
        if (fds[k].fd >= 0) Drain(fds[k].fd, *texts[k]);
      ending.known = true;
      break;
    }
  }
  close(result[0]);
  close(output[0]);
  if (!ending.known) ending = Wait(child, open > 0 ? Clock::now() : deadline);

  if (ending.stopped && (!ending.known || WIFSIGNALED(ending.status))) {
    const std::string limit = limitMilliseconds % 1000 == 0 ? std::to_string(limitMilliseconds / 1000) + " s"
                                                            : std::to_string(limitMilliseconds) + " ms";
    reason = "it did not load: the platform's loader had not finished loading it after " + limit +
             ", and the trial was stopped";
    return TrialOutcome::kUnfinished;
  }
  const bool endedWell = !ending.known || (WIFEXITED(ending.status) && WEXITSTATUS(ending.status) == 0);
  if (endedWell && !said.empty()) {
    if (said[0] == kLoadedMark) return TrialOutcome::kLoaded;
    if (said[0] == kRefusedMark) {
      reason = FirstLine(said.substr(1));
      return TrialOutcome::kRefused;
    }
    if (said[0] == kLostMark) {
      reason = "it is damaged: its symbol \"" + FirstLine(said.substr(1)) +
               "\", which it exports, cannot be found through its hash table";
      return TrialOutcome::kDamaged;
    }
    if (said[0] == kNoCodeMark) {
      const std::string where = said.substr(1, said.find(' ') - 1);
      reason = "it is damaged: its symbol \"" + FirstLine(said.substr(said.find(' ') + 1)) + "\" resolves to " + where +
               ", which is no library's code";
      return TrialOutcome::kDamaged;
    }
  }
  const std::string line = TellingLine(printed);
  if (line.find("Inconsistency detected") != std::string::npos) {
    reason = "it is damaged: the platform's loader stopped: " + line;
  } else if (ending.known && WIFSIGNALED(ending.status)) {
    reason =
        "it is damaged: the platform's loader died of " + SignalName(WTERMSIG(ending.status)) + " while loading it";
    if (!line.empty()) reason += " (" + line + ")";
  } else {
    reason = "it is damaged: the platform's loader ended" +
             (ending.known ? " with status " + std::to_string(WEXITSTATUS(ending.status)) : std::string()) +
             " before it finished loading it";
    if (!line.empty()) reason += " (" + line + ")";
  }
  return TrialOutcome::kDamaged;
}

}  // namespace tq_loader
#endif
