// modelhost: runs the model library as the host executive does. It loads
// the library by file name, creates objects through its exported factories,
// fixes their parameters, links them, runs the model cycle (ExecuteAssignments,
// SetDims, SetUpEquations, JacPattern) and shows what the library produced.
//
// The parts, one concern each: the options (modelhost_options), the
// configuration (modelhost_configuration), the run and its checks
// (modelhost_run), the text and JSON lines reports (modelhost_report).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <nlohmann/json.hpp>
#include <string>

#include "host/tq_loader.h"
#include "host/tq_memory.h"
#include "host/tq_message_log.h"
#include "modelhost_options.h"
#include "modelhost_report.h"
#include "modelhost_run.h"

namespace {

// The status of a run whose standard output could not be written (a full disk): what it holds
// is cut short.
constexpr int kOutputFailed = 3;

int RunProgram(int argc, char** argv);
int OutputFailed(int error, int status);
int RunFailed(const char* what) noexcept;

}  // namespace

// Memory that runs out anywhere ends the run with a message and status 2, as
// a model that reported an error does; writing the message asks for none. Any
// other exception that reaches main is said in one line, with status 2.
// Standard output that cannot be written ends it with status 3, or, when its
// reader is gone (a closed pipe), quietly.
int main(int argc, char** argv) {
  // Standard input, output or error closed by whoever started the program keep their numbers, so
  // that nothing opened later is taken for them; what cannot be written is then lost as before.
  TQ_KeepStandardDescriptors();
  // A failed write throws at once, so that a report that cannot be written is not made to its end.
  // Standard error is not tied to it: the messages are given whatever became of the report (which
  // is flushed before them).
  std::cout.exceptions(std::ios::badbit);
  std::cerr.tie(nullptr);
  int status = 0;
  try {
    status = RunProgram(argc, argv);
    // A run whose output failed has said so.
    if (std::cout.good()) std::cout.flush();
  } catch (const std::ios_base::failure&) {
    status = OutputFailed(errno, status);
  } catch (const std::bad_alloc&) {
    std::fputs("modelhost: out of memory\n", stderr);
    status = 2;
  } catch (const std::exception& failed) {
    status = RunFailed(failed.what());
  } catch (...) {
    status = RunFailed(nullptr);
  }
  // Flushed at exit, standard output must not throw.
  std::cout.exceptions(std::ios::goodbit);
  return status;
}

namespace {

// A message on standard error, as one line whatever it quotes.
void Say(const std::string& message) { std::cerr << "modelhost: " << TQ_PrintableText(message) << "\n"; }

// The status after standard output failed with `error` (an errno value) in a run that would have
// ended with `status`. A reader that went away (a closed pipe) took what it wanted: the run ends
// as it would have, without a word, as it does when the signal of a closed pipe ends it.
int OutputFailed(int error, int status) {
  if (error == EPIPE) return status;
  std::fprintf(stderr,
               "modelhost: standard output could not be written (%s); what it holds is cut short\n",
               error != 0 ? std::strerror(error) : "write error");
  return kOutputFailed;
}

// The status of a run that a fault of modelhost's own ended (an exception that nothing else
// caught), said in one line as every message is: the status of a run that did not complete.
int RunFailed(const char* what) noexcept {
  try {
    if (what != nullptr) {
      Say(std::string("the run failed: ") + what);
      return 2;
    }
  } catch (...) {
  }
  std::fputs("modelhost: the run failed\n", stderr);
  return 2;
}

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
    Say(error);
    return failed();
  }

  modelhost::Run run;
  if (!run.LoadLibrary(options.library, error)) {
    Say(error);
    return 1;
  }
  if (!run.Configure(configuration, error)) {
    Say(error);
    return failed();
  }
  // The objects are made: the document is not needed in the cycle.
  configuration = nlohmann::json();
  held.Set(0);
  bool ok = run.Cycle();
  // Bad input is said in one line alone: the warnings are of a configuration that did not run.
  if (!run.BadInput().empty()) {
    Say(run.BadInput());
    return 1;
  }
  if (!run.LibraryWarning().empty()) Say("warning: " + run.LibraryWarning());
  for (const std::string& warning : run.Warnings()) Say("warning: " + warning);
  // Memory that runs out while the report is written still leaves the
  // cycle's messages to be given, and so does an output that fails.
  int writeError = -1;
  std::string reportRefused;
  try {
    if (options.format == "jsonl")
      modelhost::WriteJsonLines(std::cout, run, options.summaryOnly);
    else
      modelhost::WriteText(std::cout, options.summaryOnly);
    std::cout.flush();
  } catch (const std::ios_base::failure&) {
    writeError = errno;
  } catch (const std::bad_alloc& ended) {
    try {
      std::cout.flush();
    } catch (const std::ios_base::failure&) {
      writeError = errno;
    }
    // The size budget's refusal of the report's own tables says what did not fit; memory that
    // ran out says only that.
    const auto* refused = dynamic_cast<const modelhost::ReportRefused*>(&ended);
    reportRefused = refused ? refused->why : "out of memory while writing the report";
    ok = false;
  }
  for (const std::string& message : run.Errors()) Say(message);
  if (!reportRefused.empty()) Say(reportRefused);
  if (writeError >= 0) return OutputFailed(writeError, ok ? 0 : 2);
  return ok ? 0 : 2;
}

}  // namespace
