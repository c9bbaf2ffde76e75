// The whole model cycle of one distribution over one, two or three domains, through the host
// layer: the domains and the distribution are made by the library's factories and held by the
// executive, the distribution is linked to its domains, and the executive runs
// ExecuteAssignments, SetDims, SetUpEquations and JacPattern. Second derivatives and every
// integral on:
//   - one axis, "CFD4" or "OCFE4", 10^3 to 10^6 nodes;
//   - two axes, "CFD4" or "OCFE4" on both, 10^4 to 10^6 nodes;
//   - three axes, "BFD1" on all three at 20^3, 50^3 and 100^3 nodes, "CFD4" at 20^3 and 52^3
//     (about 1.7 million equations; 100^3 under CFD4 asks for more memory and time than a
//     benchmark run should), every one of the seven integrals on.
//
// Each benchmark times the equation phases (SetUpEquations and JacPattern of every object) and,
// apart, the whole cycle, and beside them a baseline that only writes the same number of program
// items into a buffer sized beforehand. Figures per program item: time of the equation phases,
// of the whole cycle and of the baseline, their ratios, and the bytes of the host's equation
// store (programs, names, pattern). The element objects (variables, parameters, sections) live
// on the host heap and are given apart. A table of all runs follows the benchmark output.
//
// A second reference, "host calls": the least that one host call per program item costs. A
// model that does nothing else makes the same number of calls as the distribution, in two long
// loops each phase: SetUpEquations declares one equation with as many non-zeros (AddNonZero),
// JacPattern emits one equation with as many variable terms (AddTerm, with the pattern) and
// operators for the other program items (AddOp), always naming the same variable. It is the
// part of the equation phases' time that no distribution can remove while every program item
// and non-zero is a call into the host.
//
// A third reference, "replay": the distribution's own host calls made again, with the same
// arguments in the same order (each declared equation and its non-zeros, each emitted equation
// by its name and group and its program items, naming the same element objects), from a record
// taken of the store, by a model that does nothing else. It runs alone in the executive once the
// distribution's equations are released, the distribution and its elements kept alive beside it,
// so that the store is filled once, as in the distribution's own cycles. Beside "host calls",
// which always name one variable, it adds what the host does with the calls the distribution
// actually makes: it reads every element an equation names, on a large grid a trip to memory.
// What the equation phases take beyond it is the library's own walk.
//
// The references that need memory of their own run after the distribution's cycles, each once
// what came before it has given its memory back, so that the largest rows hold little more at
// once than the distribution's own cycle.
//
// Every phase is timed in several runs and the least run stands (other work on the machine only
// adds to a run's time); the first cycle and the fresh memory are one run each.
//
// Apart from the table, the cycle against the shape of the model and the number of models: a
// two-axis CFD4 distribution of 20 x 20,000 node intervals beside its transpose (the long axis
// second, as an axial grid with a short radial one often is), and 800 small three-axis
// distributions, each on domains of its own, beside 200. Each case's first cycle (on a fresh
// executive, the least of several) and a later cycle are timed per program item and printed as
// the ratio of one case to the other: 1 when the cost follows the program items alone.
//
//   bench_distribution [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "references.h"
#include "library/export_table.h"
#include "domain/tq_domain.h"
#include "host/tq_executive.h"
#include "host/vekexp.h"

// The factories, as the export table defines them.
#define MORVANE_DECLARE_FACTORY(NAME) extern "C" TQ_ModelType* NAME##Factory();
MORVANE_CREATABLE_TYPES(MORVANE_DECLARE_FACTORY)
#undef MORVANE_DECLARE_FACTORY

namespace {

using namespace morvane_bench;  // the benchmark's own helpers (references.h)

struct Figures {
  std::string method;
  int axes = 1;
  std::int64_t nodes = 0;
  std::int64_t equations = 0;
  std::int64_t nonZeros = 0;
  std::int64_t items = 0;
  double firstCycle = 0.0;      // seconds, the elements made on the way
  double equationPhases = 0.0;  // seconds, the least of the runs
  double setUp = 0.0;           // of which SetUpEquations, seconds, the least of the runs
  double cycle = 0.0;           // seconds, the least of the runs
  double baseline = 0.0;        // seconds, the least of the runs
  double hostCalls = 0.0;       // seconds, the least of the runs of the host calls alone
  double replay = 0.0;          // seconds, the least of the runs of the distribution's own calls made again
  double storeBytes = 0.0;
  double elementBytes = 0.0;
  std::int64_t elements = 0;  // array elements the first cycle made
  double freshMemory = 0.0;   // seconds to write as many bytes of fresh memory as it took
  double making = 0.0;        // seconds the host takes to make as many elements, at the least
};

std::vector<Figures>& Results() {
  static std::vector<Figures> results;
  return results;
}

// Fixes a property as a user does; stops the program when the path leads nowhere.
void Fix(TQ_Executive& host, const char* path, const TQ_Value& value) {
  std::string error;
  auto* property = dynamic_cast<TQ_VarParamProp*>(host.FindByPath(path, true, &error));
  if (property == nullptr || property->Fix(value, &error) != TQ_ASSIGN_DONE) {
    std::fprintf(stderr, "cannot fix %s: %s\n", path, error.c_str());
    std::abort();
  }
}

// Adds to the executive one domain per axis ("X", "Y", "Z", each followed by `suffix`), axis a
// of `perAxis[a]` node intervals under `method`, and the distribution "D" (with the suffix) over
// them with second derivatives and `integrals`.
void AddDistribution(TQ_Executive& host,
                     const std::string& suffix,
                     const char* method,
                     const std::vector<std::int64_t>& perAxis,
                     const char* integrals) {
  static const char* const kDomains[] = {"X", "Y", "Z"};
  static const char* const kLinks[] = {".XDOMAIN", ".YDOMAIN", ".ZDOMAIN"};
  const std::size_t axes = perAxis.size();
  TQ_ModelType* distribution = axes == 1   ? DISTRIBUTION1DFactory()
                               : axes == 2 ? DISTRIBUTION2DFactory()
                                           : DISTRIBUTION3DFactory();
  const std::string name = "D" + suffix;
  std::string error;
  bool ok = distribution != nullptr;
  std::vector<TQ_DOMAIN*> domains;
  for (std::size_t a = 0; ok && a < axes; ++a) {
    auto* domain = dynamic_cast<TQ_DOMAIN*>(DOMAINFactory());
    ok = domain != nullptr && host.AddObject((kDomains[a] + suffix).c_str(), domain, &error);
    domains.push_back(domain);
  }
  ok = ok && host.AddObject(name.c_str(), distribution, &error);
  for (std::size_t a = 0; ok && a < axes; ++a) {
    auto* link = dynamic_cast<TQ_ExternalBase*>(host.FindByPath((name + kLinks[a]).c_str(), false, &error));
    ok = link != nullptr && link->Attach(domains[a], &error);
  }
  if (!ok) {
    std::fprintf(stderr, "cannot set the problem up: %s\n", error.c_str());
    std::abort();
  }
  for (std::size_t a = 0; a < axes; ++a) {
    const std::string domain = kDomains[a] + suffix;
    Fix(host, (domain + ".DISCRETIZATIONMETHOD").c_str(), TQ_Value(method, 0u, 0u, 0));
    Fix(host, (domain + ".HIGHESTORDERDERIVATIVE").c_str(), TQ_Value(2, 0u, 0u, 0));
    Fix(host, (domain + ".SPACINGPREFERENCE").c_str(), TQ_Value(1.0 / static_cast<double>(perAxis[a]), 0u, 0u, 0));
  }
  TQ_StrSetValue selected(integrals);
  Fix(host, (name + ".INTEGRALS").c_str(), TQ_Value(static_cast<const TQ_SetValue&>(selected), 0u, 0u, 0));
}

// A fresh executive holding the distribution "D" over `axes` domains of `perAxis` node intervals
// each (see AddDistribution).
void MakeProblem(TQ_Executive& host, int axes, const char* method, std::int64_t perAxis, const char* integrals) {
  host.Reset();
  AddDistribution(host, "", method, std::vector<std::int64_t>(static_cast<std::size_t>(axes), perAxis), integrals);
}

// Runs `run`, which returns the seconds a run took, once for each of the benchmark's iterations
// and then again up to kLeastRuns runs in all: a large case's runs are long, and the benchmark
// runs them once or twice, so that each least time is the least of several. Returns the runs.
template <class Run>
int RunSeveralTimes(benchmark::State& state, const Run& run) {
  int runs = 0;
  for (auto _ : state) {
    state.SetIterationTime(run());
    ++runs;
  }
  for (; runs < kLeastRuns; ++runs) run();
  return runs;
}

// One benchmark: a distribution over `axes` domains of `state.range(0)` node intervals each.
void BM_DistributionCycle(
    benchmark::State& state, const char* label, int axes, const char* method, const char* integrals) {
  TQ_Executive& host = TQ_Executive::Instance();
  Figures f;
  f.method = label;
  f.axes = axes;
  f.nodes = 1;
  for (int a = 0; a < axes; ++a) f.nodes *= state.range(0);
  const std::int64_t heapBefore = TQ_HeapStats::LiveBytes();
  MakeProblem(host, axes, method, state.range(0), integrals);
  Clock::time_point start = Clock::now();
  Check(host, host.RunCycle(), "the first cycle");
  f.firstCycle = SecondsSince(start);
  f.elementBytes = static_cast<double>(TQ_HeapStats::LiveBytes() - heapBefore);
  f.equations = static_cast<std::int64_t>(host.Emitted().size());
  f.nonZeros = static_cast<std::int64_t>(host.DeclaredNonZeros().size());
  f.items = static_cast<std::int64_t>(host.Items().size());
  f.storeBytes = static_cast<double>(host.StoreBytes());
  f.elements = CountElements(host);
  std::vector<TQ_ProgramItem> buffer(static_cast<std::size_t>(f.items));

  f.equationPhases = f.setUp = f.cycle = f.baseline = kNoRun;
  // One run of the equation phases, the cycle and the baseline; the equation phases' seconds.
  auto run = [&] {
    Clock::time_point begin = Clock::now();
    bool ok = host.RunSetUpEquations();
    const double setUp = SecondsSince(begin);
    ok = host.RunJacPattern() && ok;
    const double phases = SecondsSince(begin);
    Check(host, ok, "the equation phases");
    if (phases < f.equationPhases) {
      f.equationPhases = phases;
      f.setUp = setUp;
    }

    begin = Clock::now();
    Check(host, host.RunCycle(), "the cycle");
    f.cycle = std::min(f.cycle, SecondsSince(begin));

    f.baseline = std::min(f.baseline, Baseline(buffer));
    return phases;
  };
  const int runs = RunSeveralTimes(state, run);
  if (static_cast<std::int64_t>(host.Items().size()) != f.items) std::abort();
  std::vector<TQ_ProgramItem>().swap(buffer);
  // The other references, each once what came before it has given its memory back (the largest
  // rows' elements and store take several GB each): the fresh memory while the distribution's
  // elements are alive and its store given back, the replay (which then releases the
  // distribution), the host calls, and the making of the elements.
  f.replay = ReplayCalls(host, f.items, runs, [&] {
    f.freshMemory = FreshMemory(static_cast<std::size_t>(f.elementBytes + f.storeBytes));
  });
  f.hostCalls = HostCalls(host, f.nonZeros, f.items, runs);
  f.making = MakeElements(f.elements);

  const double items = static_cast<double>(f.items);
  state.counters["equations"] = static_cast<double>(f.equations);
  state.counters["nonzeros"] = static_cast<double>(f.nonZeros);
  state.counters["items"] = items;
  state.counters["ns/item_eq"] = f.equationPhases * 1e9 / items;
  state.counters["ns/item_setup"] = f.setUp * 1e9 / items;
  state.counters["ns/item_cycle"] = f.cycle * 1e9 / items;
  state.counters["ns/item_base"] = f.baseline * 1e9 / items;
  state.counters["eq/base"] = f.equationPhases / f.baseline;
  state.counters["cycle/base"] = f.cycle / f.baseline;
  state.counters["ns/item_calls"] = f.hostCalls * 1e9 / items;
  state.counters["calls/base"] = f.hostCalls / f.baseline;
  state.counters["eq/calls"] = f.equationPhases / f.hostCalls;
  state.counters["ns/item_replay"] = f.replay * 1e9 / items;
  state.counters["eq/replay"] = f.equationPhases / f.replay;
  state.counters["store_B/item"] = f.storeBytes / items;
  state.counters["elements_MB"] = f.elementBytes / 1e6;
  state.counters["B/element"] = f.elementBytes / static_cast<double>(f.elements);
  state.counters["first/cycle"] = f.firstCycle / f.cycle;
  // Google Benchmark may run a benchmark more than once; the last run's figures stand.
  for (Figures& kept : Results()) {
    if (kept.method == f.method && kept.axes == f.axes && kept.nodes == f.nodes) {
      kept = f;
      host.Reset();
      return;
    }
  }
  Results().push_back(f);
  host.Reset();
}

// The integrals of each distribution, as the string-set text the host reads ("a\"b\"").
constexpr const char* k1DIntegrals = "idx";
constexpr const char* k2DIntegrals = "idx\"idy\"idxdy";
constexpr const char* k3DIntegrals = "idx\"idy\"idz\"idxdy\"idxdz\"idydz\"idxdydz";

BENCHMARK_CAPTURE(BM_DistributionCycle, CFD4, "CFD4", 1, "CFD4", k1DIntegrals)
    ->RangeMultiplier(10)
    ->Range(1000, 1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DistributionCycle, OCFE4, "OCFE4", 1, "OCFE4", k1DIntegrals)
    ->RangeMultiplier(10)
    ->Range(1000, 1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
// Two axes: 100^2, 316^2 and 1000^2 nodes (rounded to whole elements by the domains).
BENCHMARK_CAPTURE(BM_DistributionCycle, CFD4xCFD4, "CFD4^2", 2, "CFD4", k2DIntegrals)
    ->Arg(100)
    ->Arg(316)
    ->Arg(1000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DistributionCycle, OCFE4xOCFE4, "OCFE4^2", 2, "OCFE4", k2DIntegrals)
    ->Arg(100)
    ->Arg(316)
    ->Arg(1000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
// Three axes (CFD4 needs whole elements of four intervals: 52 = 13 elements).
BENCHMARK_CAPTURE(BM_DistributionCycle, BFD1xBFD1xBFD1, "BFD1^3", 3, "BFD1", k3DIntegrals)
    ->Arg(20)
    ->Arg(50)
    ->Arg(100)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DistributionCycle, CFD4xCFD4xCFD4, "CFD4^3", 3, "CFD4", k3DIntegrals)
    ->Arg(20)
    ->Arg(52)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// ---- shapes and numbers of models ---------------------------------------------------------
//
// The cycle costs in proportion to its model whatever the model's shape or the number of models:
// the first cycle (in which the arrays take in their index values and make their elements) and a
// later one, timed per program item, for a long second axis beside its transpose, and for many
// small models beside a quarter as many. Printed as ratios after the table.

struct CycleFigures {
  std::string label;
  std::int64_t items = 0;
  double firstCycle = kNoRun;  // seconds, the least of the runs, each on a fresh executive
  double laterCycle = kNoRun;  // seconds, the least of the runs
};

std::vector<CycleFigures>& CycleResults() {
  static std::vector<CycleFigures> results;
  return results;
}

// Times the first cycle of what `make` adds to a fresh executive, and a later cycle after it, in
// kLeastRuns runs at least.
template <class Make>
void TimeCycles(benchmark::State& state, const std::string& label, const Make& make) {
  TQ_Executive& host = TQ_Executive::Instance();
  CycleFigures f;
  f.label = label;
  auto run = [&] {
    host.Reset();
    make(host);
    Clock::time_point start = Clock::now();
    Check(host, host.RunCycle(), "the first cycle");
    const double first = SecondsSince(start);
    f.firstCycle = std::min(f.firstCycle, first);
    start = Clock::now();
    Check(host, host.RunCycle(), "a later cycle");
    f.laterCycle = std::min(f.laterCycle, SecondsSince(start));
    f.items = static_cast<std::int64_t>(host.Items().size());
    return first;
  };
  RunSeveralTimes(state, run);
  host.Reset();
  const double items = static_cast<double>(f.items);
  state.counters["items"] = items;
  state.counters["ns/item_first"] = f.firstCycle * 1e9 / items;
  state.counters["ns/item_later"] = f.laterCycle * 1e9 / items;
  for (CycleFigures& kept : CycleResults()) {
    if (kept.label == f.label) {
      kept = f;
      return;
    }
  }
  CycleResults().push_back(f);
}

// A distribution over two CFD4 domains of `x` and `y` node intervals.
void BM_Shape(benchmark::State& state, const char* label, std::int64_t x, std::int64_t y) {
  TimeCycles(state, label, [&](TQ_Executive& host) { AddDistribution(host, "", "CFD4", {x, y}, k2DIntegrals); });
}

constexpr const char* kLongSecondAxis = "CFD4 20 x 20000";
constexpr const char* kLongFirstAxis = "CFD4 20000 x 20";
BENCHMARK_CAPTURE(BM_Shape, LongSecondAxis, kLongSecondAxis, 20, 20000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Shape, LongFirstAxis, kLongFirstAxis, 20000, 20)->UseManualTime()->Unit(benchmark::kMillisecond);

// `state.range(0)` distributions over three CFD4 domains of four node intervals each (one
// element), every distribution on domains of its own.
std::string ModelsLabel(std::int64_t models) { return std::to_string(models) + " x CFD4^3 (4^3)"; }

void BM_ManyModels(benchmark::State& state) {
  const std::int64_t models = state.range(0);
  TimeCycles(state, ModelsLabel(models), [&](TQ_Executive& host) {
    for (std::int64_t k = 0; k < models; ++k) AddDistribution(host, std::to_string(k), "CFD4", {4, 4, 4}, k3DIntegrals);
  });
}
BENCHMARK(BM_ManyModels)->Arg(200)->Arg(800)->UseManualTime()->Unit(benchmark::kMillisecond);

// Each pair that ran: the time per program item of the first cycle and of a later one, of the
// first case against the second (1 when the cost follows the items alone).
void PrintRatios() {
  const std::pair<std::string, std::string> pairs[] = {{kLongSecondAxis, kLongFirstAxis},
                                                       {ModelsLabel(800), ModelsLabel(200)}};
  auto find = [](const std::string& label) -> const CycleFigures* {
    for (const CycleFigures& f : CycleResults())
      if (f.label == label) return &f;
    return nullptr;
  };
  bool header = false;
  for (const auto& [one, other] : pairs) {
    const CycleFigures* a = find(one);
    const CycleFigures* b = find(other);
    if (a == nullptr || b == nullptr) continue;
    if (!header) {
      std::printf("\n%-24s %-24s | %10s %10s | %9s %9s %11s | %9s %9s %11s\n",
                  "case",
                  "against",
                  "items",
                  "items",
                  "1st ns/it",
                  "1st ns/it",
                  "1st ratio",
                  "later ns",
                  "later ns",
                  "later ratio");
      header = true;
    }
    auto perItem = [](const CycleFigures& f, double seconds) { return seconds * 1e9 / static_cast<double>(f.items); };
    std::printf("%-24s %-24s | %10lld %10lld | %9.2f %9.2f %11.2f | %9.2f %9.2f %11.2f\n",
                a->label.c_str(),
                b->label.c_str(),
                static_cast<long long>(a->items),
                static_cast<long long>(b->items),
                perItem(*a, a->firstCycle),
                perItem(*b, b->firstCycle),
                perItem(*a, a->firstCycle) / perItem(*b, b->firstCycle),
                perItem(*a, a->laterCycle),
                perItem(*b, b->laterCycle),
                perItem(*a, a->laterCycle) / perItem(*b, b->laterCycle));
  }
}

// "1st/cyc" is the first cycle against a later one; "fresh s" the time to write as many bytes
// of memory new to the process as the first cycle took (host heap and equation store), which no
// first cycle can go below; "floor/cyc" a later cycle and that fresh memory together, against a
// later cycle: the least the first cycle can come to against it, since it does what a later one
// does and makes the memory the later ones reuse; "make s" the least time the host takes to make
// as many elements (MakeElements), and "+make/cyc" the floor with it: what the first cycle takes
// beyond that is the arrays' bookkeeping as the library's lookups make the elements.
void PrintTable() {
  std::fflush(stdout);
  std::printf(
      "\n%-11s %4s %8s %9s %9s %10s | %8s %8s %8s %8s %8s %8s | %7s %7s %7s %7s %7s | %8s %9s %9s %7s | %9s %7s %7s "
      "%7s "
      "%9s %9s\n",
      "method",
      "axes",
      "nodes",
      "equations",
      "nonzeros",
      "items",
      "eq ns/it",
      "(setup)",
      "cyc ns/it",
      "calls ns",
      "replay ns",
      "base ns",
      "eq/base",
      "cyc/base",
      "cal/base",
      "eq/cal",
      "eq/rep",
      "store B/it",
      "elements MB",
      "elements",
      "B/elem",
      "1st cyc s",
      "fresh s",
      "make s",
      "1st/cyc",
      "floor/cyc",
      "+make/cyc");
  for (const Figures& f : Results()) {
    const double items = static_cast<double>(f.items);
    std::printf(
        "%-11s %4d %8lld %9lld %9lld %10lld | %8.2f %8.2f %8.2f %8.2f %8.2f %8.2f | %7.2f %7.2f %7.2f %7.2f %7.2f | "
        "%8.1f %9.1f %9lld %7.1f | %9.3f %7.3f %7.3f %7.2f %9.2f %9.2f\n",
        f.method.c_str(),
        f.axes,
        static_cast<long long>(f.nodes),
        static_cast<long long>(f.equations),
        static_cast<long long>(f.nonZeros),
        static_cast<long long>(f.items),
        f.equationPhases * 1e9 / items,
        f.setUp * 1e9 / items,
        f.cycle * 1e9 / items,
        f.hostCalls * 1e9 / items,
        f.replay * 1e9 / items,
        f.baseline * 1e9 / items,
        f.equationPhases / f.baseline,
        f.cycle / f.baseline,
        f.hostCalls / f.baseline,
        f.equationPhases / f.hostCalls,
        f.equationPhases / f.replay,
        f.storeBytes / items,
        f.elementBytes / 1e6,
        static_cast<long long>(f.elements),
        f.elementBytes / static_cast<double>(f.elements),
        f.firstCycle,
        f.freshMemory,
        f.making,
        f.firstCycle / f.cycle,
        (f.cycle + f.freshMemory) / f.cycle,
        (f.cycle + f.freshMemory + f.making) / f.cycle);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintTable();
  PrintRatios();
  return 0;
}
