// One run of the command-line host: the model library, the objects a
// configuration names, the model cycle over them and the report of it.
#pragma once

#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "host/tq_executive.h"
#include "host/tq_loader.h"
#include "host/tq_model_library.h"

namespace modelhost {

// Reads a configuration from its JSON text. False, with a one-line reason in
// `error` naming `source`, when the text is not JSON or holds a number beyond
// the range of a double ("1e400").
bool ParseConfiguration(std::string_view text,
                        const std::string& source,
                        nlohmann::json& configuration,
                        std::string& error);

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

  // Creates the objects of the configuration, links them and fixes their
  // values. The configuration is an object with "objects": an array of
  // { "name", "type", "links": {property: object}, "fix": {path: value} }.
  // Stops at the first fault, with a one-line message in `error`.
  bool Configure(const nlohmann::json& configuration, std::string& error);

  // Runs ExecuteAssignments, SetDims, SetUpEquations and JacPattern. False
  // when a phase failed or any model reported an error. After SetDims, every
  // array element on the path of a value the configuration fixed must lie in
  // its array's index sets; one that does not is bad input: the cycle stops
  // there and BadInput() names the element and the set.
  bool Cycle();

  // Why the configuration was found bad during the cycle; empty when it was not.
  const std::string& BadInput() const { return m_badInput; }

  // The report, written as it is produced; with `summaryOnly` only its
  // summary (the first line of the text, the last line of the JSON lines).
  void WriteText(std::ostream& out, bool summaryOnly = false) const;
  void WriteJsonLines(std::ostream& out, bool summaryOnly = false) const;

  // The messages of the last cycle (the host's own, should copying them
  // have failed for want of memory).
  const std::vector<std::string>& Errors() const { return m_lostErrors ? TQ_Executive::Instance().Errors() : m_errors; }

 private:
  bool ConfigureObjects(const nlohmann::json& configuration, std::string& error);
  bool CreateObject(const nlohmann::json& entry, std::string& error);
  bool LinkObject(const std::string& name, const nlohmann::json& links, std::string& error);
  bool FixValues(const std::string& name, const nlohmann::json& fixes, std::string& error);
  // False, with the reason in `error`, when an array element on the path of a
  // fixed value lies outside its array's index sets.
  bool FixedElementsInsideTheirSets(std::string& error) const;

  TQ_LibraryLoader m_loader;
  TQ_ModelLibrary m_models;
  std::vector<std::string> m_errors;
  // The paths of the fixed values that pass through an array element.
  std::vector<std::string> m_fixedInArrays;
  std::string m_badInput;
  bool m_lostErrors = false;
  bool m_matches = false;
  std::string m_difference;
};

}  // namespace modelhost
