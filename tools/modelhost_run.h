// One run of the command-line host: the model library, the objects a
// configuration names, and the model cycle over them with its checks.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host/tq_executive.h"
#include "host/tq_loader.h"
#include "host/tq_model_library.h"
#include "modelhost_configuration.h"

namespace modelhost {

class Run {
 public:
  Run();
  // Releases the objects before the library that holds their code goes.
  ~Run();
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  // Loads the model library: a path, a name found through the loader's
  // search path, or, when empty, Morvane230_1 beside the host layer.
  bool LoadLibrary(const std::string& library, std::string& error);
  // Why the loaded library was not tried in a child process before it was loaded (no child
  // process or pipe could be made), as a warning; empty when it was.
  const std::string& LibraryWarning() const { return libraryWarning_; }

  // Creates the objects of the configuration, links them and fixes their
  // values (ConfigureObjects). Stops at the first fault, with a one-line
  // message in `error`.
  bool Configure(const nlohmann::json& configuration, std::string& error);

  // Runs ExecuteAssignments, SetDims, SetUpEquations and JacPattern. False
  // when a phase failed or any model reported an error. After SetDims, every
  // array element on the path of a value the configuration fixed must lie in
  // its array's index sets; one that does not is bad input: the cycle stops
  // there and BadInput() names the element and the set. When a model had reported an error by
  // then (a domain the size budget refused its nodes keeps fewer), that is the cause: the cycle
  // stops there with its messages, the element and the set among them.
  bool Cycle();

  // Values of the configuration taken as they come that may not be what was meant, one line each,
  // bounded as the host's messages are: of one form (the same text but for its numbers and the
  // names of objects) the first ten, and one line that counts the rest.
  const std::vector<std::string>& Warnings() const { return warnings_.Errors(); }

  // Why the configuration was found bad during the cycle; empty when it was not.
  const std::string& BadInput() const { return badInput_; }

  // Whether the equations emitted are those declared.
  bool Matches() const { return matches_; }

  // The messages of the last cycle (the host's own, should copying them
  // have failed for want of memory).
  const std::vector<std::string>& Errors() const { return lostErrors_ ? TQ_Executive::Instance().Errors() : errors_; }

 private:
  // False, with the reason in `error`, when an array element on the path of a
  // fixed value lies outside its array's index sets.
  bool FixedElementsInsideTheirSets(std::string& error) const;

  TQ_LibraryLoader loader_;
  TQ_ModelLibrary models_;
  std::vector<std::string> errors_;
  ConfigurationOutcome configured_;
  TQ_MessageLog warnings_;
  std::string badInput_;
  std::string libraryWarning_;
  bool lostErrors_ = false;
  bool matches_ = false;
  std::string difference_;
};

}  // namespace modelhost
