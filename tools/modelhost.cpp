// modelhost: runs the model library as the host executive does. It loads
// the library by file name, creates objects through its exported factories,
// fixes their parameters, links them, runs the model cycle (ExecuteAssignments,
// SetDims, SetUpEquations, JacPattern) and shows what the library produced.
//
// The parts, one concern each: the options (modelhost_options), the
// configuration (modelhost_configuration), the run and its checks
// (modelhost_run), the text and JSON lines reports (modelhost_report).
#include <cstdio>
#include <iostream>
#include <new>
#include <nlohmann/json.hpp>
#include <string>

#include "host/tq_memory.h"
#include "modelhost_options.h"
#include "modelhost_report.h"
#include "modelhost_run.h"

namespace {

int RunProgram(int argc, char** argv);

}  // namespace

// Memory that runs out anywhere ends the run with a message and status 2, as
// a model that reported an error does; writing the message asks for none.
int main(int argc, char** argv) {
  try {
    return RunProgram(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("modelhost: out of memory\n", stderr);
    return 2;
  }
}

namespace {

int RunProgram(int argc, char** argv) {
  modelhost::Options options;
  const int status = modelhost::ParseOptions(argc, argv, options);
  if (status >= 0) return status;

  if (options.showDefault) {
    std::cout << modelhost::ConfigurationOf(modelhost::ModelOptions()).dump(2) << "\n";
    return 0;
  }

  // A configuration, an object or a fixed value the size budget refused did not fit: that is no
  // fault of the configuration's form, and it ends the run as a model that did not fit does.
  if (options.memoryBudget > 0) TQ_SizeBudget::SetLimit(options.memoryBudget);
  const std::int64_t refusalsBefore = TQ_SizeBudget::Refusals();
  const auto failed = [refusalsBefore] { return TQ_SizeBudget::Refusals() > refusalsBefore ? 2 : 1; };

  // The configuration's document is counted in what the host holds while it is kept.
  nlohmann::json configuration;
  modelhost::HeldBytes held;
  std::string error;
  if (!modelhost::ConfigurationOf(options, configuration, error, &held)) {
    std::cerr << "modelhost: " << error << "\n";
    return failed();
  }

  modelhost::Run run;
  if (!run.LoadLibrary(options.library, error)) {
    std::cerr << "modelhost: " << error << "\n";
    return 1;
  }
  if (!run.Configure(configuration, error)) {
    std::cerr << "modelhost: " << error << "\n";
    return failed();
  }
  // The objects are made: the document is not needed in the cycle.
  configuration = nlohmann::json();
  held.Set(0);
  for (const std::string& warning : run.Warnings()) std::cerr << "modelhost: warning: " << warning << "\n";
  bool ok = run.Cycle();
  if (!run.BadInput().empty()) {
    std::cerr << "modelhost: " << run.BadInput() << "\n";
    return 1;
  }
  // Memory that runs out while the report is written still leaves the
  // cycle's messages to be given.
  try {
    if (options.format == "jsonl")
      modelhost::WriteJsonLines(std::cout, run, options.summaryOnly);
    else
      modelhost::WriteText(std::cout, options.summaryOnly);
  } catch (const std::bad_alloc&) {
    std::cout.flush();
    std::fputs("modelhost: out of memory while writing the report\n", stderr);
    ok = false;
  }
  for (const std::string& message : run.Errors()) std::cerr << "modelhost: " << message << "\n";
  return ok ? 0 : 2;
}

}  // namespace
