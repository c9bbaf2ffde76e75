// modelhost's own options: parsing them, checking them, and the configuration
// they stand for (a file, or the model the options make).
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "modelhost_configuration.h"

namespace modelhost {

// The model the options make: a distribution over one domain per axis, X, Y and Z, linked as
// its XDOMAIN, YDOMAIN and ZDOMAIN. Its defaults are the default model: a domain of type DOMAIN
// under CFD4 with two sections and second derivatives, and a DISTRIBUTION1D over it with the
// integral idx. Each option changes only what it names. A list holds one value for every domain
// or one per domain, in axis order.
struct ModelOptions {
  const DistributionType* distribution = &DistributionTypes()[0];
  std::string domainType = "DOMAIN";
  std::vector<std::string> methods = {"CFD4"};
  std::vector<int> sections = {2};
  std::vector<int> orders = {2};
  std::optional<double> length;  // the domain's own when not given
  std::vector<std::string> integrals = {"idx"};
};

struct Options {
  std::string library;
  std::optional<std::string> configFile;
  std::string format = "text";
  bool summaryOnly = false;
  bool showDefault = false;
  // The size budget in bytes; 0 leaves the host's default.
  std::int64_t memoryBudget = 0;
  ModelOptions model;
};

// Reads and checks the options of the command line into `options`. Returns
// -1 when the program goes on, else the status it ends with: 0 after the help
// is written, 1 when an option is refused (one line on standard error says
// why).
int ParseOptions(int argc, char** argv, Options& options);

// The configuration of the model the options make.
nlohmann::ordered_json ConfigurationOf(const ModelOptions& model);

// The configuration the options stand for: the file given with --config, or
// the model the options make. False, with a one-line reason in `error`, when
// the file cannot be read, holds no configuration or would not fit the size
// budget. The bytes of a file's document go to `held` when one is given.
bool ConfigurationOf(const Options& options,
                     nlohmann::json& configuration,
                     std::string& error,
                     HeldBytes* held = nullptr);

}  // namespace modelhost
