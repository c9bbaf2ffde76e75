// Fuzz target: a configuration as modelhost reads it, with the whole run
// behind it: the JSON is parsed, the objects are created through the model
// library (loaded at run time, as modelhost loads it), linked and fixed, the
// model cycle runs and both reports are written. Bad input must end in an
// error, never in a crash, a leak or undefined behaviour.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "modelhost_configuration.h"
#include "modelhost_report.h"
#include "modelhost_run.h"
#include "host/tq_executive.h"
#include "host/tq_memory.h"
#include "host/vekexp.h"

namespace {

constexpr std::size_t kMostEquationsReported = 500;
// The size budget of the fuzzing session: a model the fuzzer makes large is refused before its
// elements are made, as a user's would be on a small machine, rather than running out of time.
constexpr std::int64_t kFuzzBudgetBytes = std::int64_t{256} << 20;

modelhost::Run* TheRun() {
  // One library load for the whole fuzzing session; every input starts from
  // an empty executive.
  static modelhost::Run* run = [] {
    TQ_SizeBudget::SetLimit(kFuzzBudgetBytes);
    auto* made = new modelhost::Run;
    std::string error;
    if (!made->LoadLibrary("", error)) {
      std::cerr << "fuzz_config: " << error << "\n";
      std::abort();
    }
    return made;
  }();
  return run;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  TheRun();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  nlohmann::json configuration;
  std::string error;
  // Text that is not JSON, or holds a number beyond a double's range, is refused as modelhost
  // refuses it, with one line and nothing run.
  if (!modelhost::ParseConfiguration(
          std::string_view(reinterpret_cast<const char*>(data), size), "input", configuration, error))
    return 0;
  modelhost::Run& run = *TheRun();
  TQ_Executive::Instance().Reset();
  if (run.Configure(configuration, error)) {
    run.Cycle();
    // The reports go nowhere: only their making is under test. They are made
    // for small models only: under the sanitizers they take milliseconds per
    // equation, and a larger model tells the fuzzer nothing more of them.
    if (TQ_Executive::Instance().Emitted().size() <= kMostEquationsReported) {
      std::ostream nowhere(nullptr);
      modelhost::WriteText(nowhere);
      modelhost::WriteJsonLines(nowhere, run);
    }
  }
  TQ_Executive::Instance().Reset();
  return 0;
}
