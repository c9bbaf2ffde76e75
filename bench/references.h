// The references the model cycle of a distribution is measured against (see
// distribution_bench.cpp): the host calls alone, the distribution's own calls made again, a
// write-only baseline, fresh memory and the making of elements; and what the benchmark's parts
// share.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

class TQ_Executive;
struct TQ_ProgramItem;

namespace morvane_bench {

using Clock = std::chrono::steady_clock;

// Every timed phase is run several times and its least time stands: on a shared machine other
// work only ever adds to a run's time.
constexpr double kNoRun = std::numeric_limits<double>::infinity();
constexpr int kLeastRuns = 3;

inline double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Stops the program, with the host's first error, when a step failed or left an error.
void Check(TQ_Executive& host, bool ok, const char* what);

// Times the host calls alone for a problem of `nonZeros` non-zeros and `items` program items,
// `runs` times, in `host` (which it resets); the seconds of the least run.
double HostCalls(TQ_Executive& host, std::int64_t nonZeros, std::int64_t items, int runs);

// Times the calls the distribution made in its last cycle, made again by a model that does
// nothing else, `runs` times; the seconds of the replay's two phases in the least run. The
// executive holds the distribution after its cycles (`items` program items). The calls are
// recorded and the executive is reset, which releases the distribution's equations; the
// distribution and its elements are kept alive outside it, `meanwhile` runs (while they hold
// their memory, as after a first cycle, the store's given back), and the replay runs alone. The
// executive is reset at the end, and the distribution released.
double ReplayCalls(TQ_Executive& host, std::int64_t items, int runs, const std::function<void()>& meanwhile);

// Writes as many program items as `buffer` holds into it: the least any equation store does per
// item. Its seconds.
double Baseline(std::vector<TQ_ProgramItem>& buffer);

// The elements of the arrays of the executive's objects (the domains' nodes and sections, the
// distributions' variables), each counted once.
std::int64_t CountElements(TQ_Executive& host);

// The seconds to write `bytes` of memory just taken from the heap, new to the process.
double FreshMemory(std::size_t bytes);

// The least seconds, of kLeastRuns runs, the host takes to make `count` real variables (see
// references.cpp).
double MakeElements(std::int64_t count);

}  // namespace morvane_bench
