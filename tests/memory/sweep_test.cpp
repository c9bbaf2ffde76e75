// Allocation failure along the whole road, as modelhost drives it: the configuration is applied
// (objects made, linked, values fixed) and the model cycle runs (ExecuteAssignments, SetDims,
// SetUpEquations, JacPattern), for a domain under each discretization method with a distribution
// over one, two or three of them. Allocation k fails (and, in the persistent sweep, every one
// after it too), for k = 1, 2, ... until the road completes with no allocation failing. Each run
// must end in a clean error: the configuration refused with a message, or the cycle failed with
// a reported error; never a crash, never success. Afterwards the host heap holds what it held
// before (the sanitized build also finds leaks of the host's own containers).
//
// Allocations counted are those of the host heap (MyAllocate: every object of the host's class
// hierarchy and everything the model library makes) and, through this program's global
// operators, those of the host layer's and modelhost's standard containers. Both go through one
// count.
//
// Every k is run up to kEveryUpTo (the configuration and the first model's assignments); beyond
// it k steps by a stride, from an offset that differs between roads so that together they cover
// other residues. The stride keeps the allocations a road's runs make together near
// kAllocationsPerRoad (a run costs about as much as the allocations it makes), and each sweep of
// a road between kFewestSamples and kMostSamples runs: every k would take minutes under the
// sanitizers (about 200,000 runs in all). MORVANE_SWEEP_FULL=1 in the environment runs every k.
//
// The three-axis roads take the method along X, with BFD1, the smallest grid, along Y and Z;
// the two-axis roads take it along both axes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "modelhost_run.h"
#include "host/tq_memory_gate.h"
#include "host/vekexp.h"

namespace {

struct Injection {
  bool armed = false;
  bool persistent = false;
  std::int64_t fail = 0;   // the allocation (from 1) that fails first
  std::int64_t count = 0;  // allocations asked for while armed
  bool failed = false;     // whether one was made to fail
};
Injection g_injection;

// Where a debugger stops to see the allocation that is made to fail first.
[[gnu::noinline]] void FirstFailure() { asm volatile(""); }

bool Allows(std::size_t) {
  Injection& j = g_injection;
  if (!j.armed) return true;
  ++j.count;
  const bool fail = j.persistent ? j.count >= j.fail : j.count == j.fail;
  if (fail && !j.failed) FirstFailure();
  if (fail) j.failed = true;
  return !fail;
}

}  // namespace

// The program's global operators, which the host layer's containers use too. The blocks come
// from malloc through calls of their own, which the compiler does not follow into the operators'
// callers (it would take malloc's block freed by an operator delete for a mismatch).
[[gnu::noinline]] void* Obtain(std::size_t size) noexcept { return std::malloc(size == 0 ? 1 : size); }
[[gnu::noinline]] void Give(void* block) noexcept { std::free(block); }

void* operator new(std::size_t size) {
  if (!Allows(size)) throw std::bad_alloc();
  if (void* block = Obtain(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allows(size) ? Obtain(size) : nullptr; }
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return ::operator new(size, tag); }
void operator delete(void* block) noexcept { Give(block); }
void operator delete[](void* block) noexcept { Give(block); }
void operator delete(void* block, std::size_t) noexcept { Give(block); }
void operator delete[](void* block, std::size_t) noexcept { Give(block); }

// Under AddressSanitizer the C++ runtime's own calls of the sized operator delete may reach the
// sanitizer's operator rather than this program's, which then sees a block of malloc's freed by
// an operator delete. The block is malloc's either way: no fault, and not reported as one.
extern "C" [[gnu::used, gnu::visibility("default")]] const char* __asan_default_options() {
  return "alloc_dealloc_mismatch=0";
}

namespace {

using nlohmann::json;

constexpr const char* kMethods[] = {"BFD1", "BFD2", "FFD1", "FFD2", "CFD2", "CFD4", "UBFD4", "OCFE2", "OCFE3", "OCFE4"};
constexpr std::int64_t kEveryUpTo = 150;
constexpr std::int64_t kAllocationsPerRoad = 100000;
constexpr std::int64_t kFewestSamples = 40;
constexpr std::int64_t kMostSamples = 400;

// Domains X, Y, Z as the distribution needs, each of one section of few nodes with second
// derivatives, under `method` (in three axes X only, Y and Z under BFD1), and the distribution with
// every integral it has.
json Road(const std::string& method, int axes) {
  static const char* const kDistributions[] = {"DISTRIBUTION1D", "DISTRIBUTION2D", "DISTRIBUTION3D"};
  static const std::vector<std::vector<const char*>> kIntegrals = {
      {"idx"}, {"idx", "idy", "idxdy"}, {"idx", "idy", "idz", "idxdy", "idxdz", "idydz", "idxdydz"}};
  json objects = json::array();
  json links = json::object();
  for (int a = 0; a < axes; ++a) {
    const std::string name(1, "XYZ"[a]);
    objects.push_back({{"name", name},
                       {"type", "DOMAIN"},
                       {"fix",
                        {{"DISCRETIZATIONMETHOD", axes == 3 && a > 0 ? std::string("BFD1") : method},
                         {"NUMSECTIONS", 1},
                         {"HIGHESTORDERDERIVATIVE", 2},
                         {"SPACINGPREFERENCE", 0.5}}}});
    links[name + "DOMAIN"] = name;
  }
  json integrals = json::array();
  for (const char* integral : kIntegrals[axes - 1]) integrals.push_back(integral);
  objects.push_back(
      {{"name", "D"}, {"type", kDistributions[axes - 1]}, {"links", links}, {"fix", {{"INTEGRALS", integrals}}}});
  return {{"objects", objects}};
}

struct Outcome {
  bool ok = false;               // the road claimed success
  bool failed = false;           // an allocation on the road was made to fail
  bool failedAfter = false;      // one was made to fail after it, as the run was taken down
  std::int64_t allocations = 0;  // on the road and after it
  std::string message;           // the refusal of the configuration, or the first error of the cycle
  std::int64_t heapChange = 0;
};

// One run of the road with allocation `fail` failing (and every one after it when persistent);
// fail 0 fails none. The run is taken down (its objects released, the executive reset) with the
// failures still armed.
Outcome RunRoad(const json& configuration, std::int64_t fail, bool persistent) {
  Outcome outcome;
  const std::int64_t before = TQ_HeapStats::LiveBlocks();
  {
    modelhost::Run run;
    std::string error;
    if (!run.LoadLibrary("", error)) {
      outcome.message = "library not loaded: " + error;
      return outcome;
    }
    g_injection = Injection{true, persistent, fail, 0, false};
    bool ok = run.Configure(configuration, error);
    if (ok) ok = run.Cycle();
    outcome.ok = ok;
    outcome.failed = g_injection.failed;
    if (!ok) outcome.message = !error.empty() ? error : run.Errors().empty() ? "" : run.Errors().front();
  }
  g_injection.armed = false;
  outcome.failedAfter = g_injection.failed && !outcome.failed;
  outcome.allocations = g_injection.count;
  outcome.heapChange = TQ_HeapStats::LiveBlocks() - before;
  return outcome;
}

struct SweepCase {
  std::string method;
  int axes;
  friend void PrintTo(const SweepCase& c, std::ostream* out) { *out << c.method << " over " << c.axes << " axes"; }
};

std::vector<SweepCase> Cases() {
  std::vector<SweepCase> cases;
  for (int axes = 1; axes <= 3; ++axes)
    for (const char* method : kMethods) cases.push_back({method, axes});
  return cases;
}

class AllocationSweep : public ::testing::TestWithParam<SweepCase> {
 protected:
  static void SetUpTestSuite() {
    // The library stays loaded across the runs (each run's own load finds it so), as it would
    // in one modelhost process.
    static TQ_LibraryLoader loader;
    loader.SetModelLibraryDirectory(TQ_LibraryLoader::ModuleDirectory());
    std::string error;
    static const TQ_LibraryRef held = loader.LoadByName("Morvane230_1", error);
    ASSERT_NE(held, nullptr) << error;
    TQ_SetAllocationGate(&Allows);
  }
  static void TearDownTestSuite() { TQ_SetAllocationGate(nullptr); }
};

TEST_P(AllocationSweep, EveryRunEndsInACleanError) {
  const SweepCase& c = GetParam();
  const json configuration = Road(c.method, c.axes);
  // A whole road first: it must succeed, and it makes what lives on after it (the library's
  // function-local statics), so that the runs after it start from the heap they end with.
  const Outcome whole = RunRoad(configuration, 0, false);
  ASSERT_TRUE(whole.ok) << whole.message;
  ASSERT_FALSE(whole.failed);
  const Outcome again = RunRoad(configuration, 0, false);
  ASSERT_TRUE(again.ok) << again.message;
  EXPECT_EQ(again.heapChange, 0);
  const std::int64_t total = again.allocations;

  const bool full = std::getenv("MORVANE_SWEEP_FULL") != nullptr;
  const std::int64_t samples =
      std::clamp(kAllocationsPerRoad / std::max<std::int64_t>(total, 1), kFewestSamples, kMostSamples);
  const std::int64_t stride =
      full || total <= kEveryUpTo ? 1 : std::max<std::int64_t>(1, (total - kEveryUpTo) / samples);
  const std::int64_t offset = stride > 1 ? (c.axes * 7 + static_cast<std::int64_t>(c.method.size()) * 3) % stride : 0;
  int runs = 0;
  for (const bool persistent : {false, true}) {
    for (std::int64_t k = 1;; k = k < kEveryUpTo ? k + 1 : (k == kEveryUpTo ? k + 1 + offset : k + stride)) {
      const Outcome run = RunRoad(configuration, k, persistent);
      ++runs;
      const std::string where = c.method + " over " + std::to_string(c.axes) + " axes, allocation " +
                                std::to_string(k) + (persistent ? " on" : "") + " failing";
      EXPECT_EQ(run.heapChange, 0) << where << ": the host heap does not return to where it was";
      if (!run.failed) {
        // Past the road's last allocation (or failing only as the run is taken down): the road
        // completes.
        EXPECT_TRUE(run.ok) << where << ": " << run.message;
        if (!run.failedAfter) break;
        continue;
      }
      EXPECT_FALSE(run.ok) << where << ": success claimed after a failed allocation";
      EXPECT_FALSE(run.message.empty()) << where << ": the failure was not reported";
      if (::testing::Test::HasFailure()) return;
    }
  }
  RecordProperty("allocations", std::to_string(total));
  RecordProperty("runs", std::to_string(runs));
}

INSTANTIATE_TEST_SUITE_P(Roads,
                         AllocationSweep,
                         ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<SweepCase>& info) {
                           return info.param.method + "_" + std::to_string(info.param.axes) + "D";
                         });

}  // namespace
