// modelhost's own options: parsing them, checking them, and the configuration
// they stand for (a file, the model made from the options, or the default).
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace modelhost {

struct Options {
  std::string library;
  std::string configFile;
  bool configGiven = false;
  std::string format = "text";
  std::string domainType = "DOMAIN";
  std::vector<std::string> methods;
  std::vector<int> sections;
  std::vector<int> orders;
  double length = 0.0;
  std::string distribution;
  std::vector<std::string> integrals;
  bool showDefault = false;
  bool summaryOnly = false;
  std::uint64_t memoryBudget = 0;
};

// The configuration the program runs when it is given none, as JSON text.
const char* DefaultConfiguration();

// Reads the options of the command line into `options`. Returns -1 when the
// program goes on, else the status it ends with, having written what the
// options asked for (the help) or why they were refused.
int ParseOptions(int argc, char** argv, Options& options);

// The configuration the options stand for: the file given with --config, the
// model the domain and distribution options make, or the default. False,
// with a one-line reason in `error`, when the options or the file are bad.
bool ConfigurationOf(const Options& options, nlohmann::json& configuration, std::string& error);

}  // namespace modelhost
