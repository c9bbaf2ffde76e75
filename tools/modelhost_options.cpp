#include "modelhost_options.h"

#include <CLI/CLI.hpp>
#include <cstddef>
#include <utility>

#include "modelhost_configuration.h"

using nlohmann::json;

namespace modelhost {

namespace {

// The configuration the program runs when it is given none: a domain of two
// sections under CFD4 with second derivatives, and a distribution over it
// with its integrals.
const char* const kDefaultConfiguration = R"({
  "objects": [
    { "name": "X", "type": "DOMAIN",
      "fix": { "DISCRETIZATIONMETHOD": "CFD4", "NUMSECTIONS": 2, "HIGHESTORDERDERIVATIVE": 2 } },
    { "name": "D", "type": "DISTRIBUTION1D",
      "links": { "XDOMAIN": "X" },
      "fix": { "INTEGRALS": ["idx"] } }
  ]
})";

}  // namespace

const char* DefaultConfiguration() { return kDefaultConfiguration; }

int ParseOptions(int argc, char** argv, Options& options) {
  CLI::App app{"Runs the model library as the host executive does and shows what it produced."};
  app.add_option("--library", options.library, "Model library file or name (default: Morvane230_1 beside this program)");
  CLI::Option* configOption = app.add_option("--config", options.configFile, "Configuration file (JSON)");
  app.add_option("--format", options.format, "Output format")->check(CLI::IsMember({"text", "jsonl"}));
  app.add_option("--domain-type", options.domainType, "Type of the domain made from the options")
      ->check(CLI::IsMember({"DOMAIN", "LENGTHDOMAIN", "ANGLEDOMAIN"}));
  app.add_option(
         "--method", options.methods, "Discretization method of the domain; one per axis (x, y, z), or one for all")
      ->delimiter(',');
  app.add_option("--sections", options.sections, "Number of sections of the domain; one per axis, or one for all")
      ->check(CLI::PositiveNumber)
      ->delimiter(',');
  app.add_option(
         "--order", options.orders, "Highest order of derivative of the domain; one per axis, or one for all")
      ->check(CLI::Range(0, 2))
      ->delimiter(',');
  app.add_option("--length", options.length, "Length of the domain (of each domain)");
  app.add_option("--distribution",
                 options.distribution,
                 "Distribution type laid over the domains: DISTRIBUTION1D, DISTRIBUTION2D or DISTRIBUTION3D")
      ->transform(CLI::IsMember({"DISTRIBUTION1D", "DISTRIBUTION2D", "DISTRIBUTION3D"}, CLI::ignore_case));
  app.add_option("--integrals",
                 options.integrals,
                 "Integrals of the distribution (idx, idy, idz, idxdy, idxdz, idydz, idxdydz)")
      ->delimiter(',');
  app.add_flag(
      "--summary", options.summaryOnly, "Write only the summary of the run (the figures, no objects or equations)");
  app.add_option("--memory-budget",
                 options.memoryBudget,
                 "Most memory the models' elements and equations may take (bytes, or with a unit: 512MB, 8GB); "
                 "default: three quarters of the machine's memory")
      ->transform(CLI::AsSizeValue(false));
  app.add_flag("--print-default-config", options.showDefault, "Print the built-in configuration and exit");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  options.configGiven = configOption->count() > 0;
  return -1;
}

bool ConfigurationOf(const Options& options, json& configuration, std::string& error) {
  const bool fromOptions = !options.methods.empty() || !options.sections.empty() || !options.orders.empty() ||
                           options.length != 0.0 || !options.distribution.empty() || !options.integrals.empty() ||
                           options.domainType != "DOMAIN";
  if (options.configGiven) {
    if (fromOptions) {
      error = "--config cannot be combined with the domain and distribution options";
      return false;
    }
    return ReadConfigurationFile(options.configFile, configuration, error);
  }
  if (!fromOptions) {
    configuration = json::parse(kDefaultConfiguration);
    return true;
  }
  // One domain per axis of the distribution (X, Y, Z, linked as XDOMAIN, YDOMAIN, ZDOMAIN); an
  // option given once holds for every axis.
  static const char* const kAxisNames[] = {"X", "Y", "Z"};
  std::size_t axes = 1;
  if (options.distribution == "DISTRIBUTION2D") axes = 2;
  if (options.distribution == "DISTRIBUTION3D") axes = 3;
  const std::pair<const char*, std::size_t> given[] = {{"--method", options.methods.size()},
                                                       {"--sections", options.sections.size()},
                                                       {"--order", options.orders.size()}};
  for (const auto& [option, count] : given) {
    if (count > 1 && count != axes) {
      error = std::string(option) + " takes one value for every domain or one value per domain, but " +
              std::to_string(count) + " were given for " + std::to_string(axes) + " domain" + (axes == 1 ? "" : "s") +
              " (choose the distribution with --distribution)";
      return false;
    }
  }
  auto valueFor = [](const auto& values, std::size_t axis) { return values[values.size() == 1 ? 0 : axis]; };
  configuration["objects"] = json::array();
  json links = json::object();
  for (std::size_t a = 0; a < axes; ++a) {
    json domain = {{"name", kAxisNames[a]}, {"type", options.domainType}, {"fix", json::object()}};
    if (!options.methods.empty()) domain["fix"]["DISCRETIZATIONMETHOD"] = valueFor(options.methods, a);
    if (!options.sections.empty()) domain["fix"]["NUMSECTIONS"] = valueFor(options.sections, a);
    if (!options.orders.empty()) domain["fix"]["HIGHESTORDERDERIVATIVE"] = valueFor(options.orders, a);
    if (options.length != 0.0) domain["fix"]["LENGTH"] = options.length;
    configuration["objects"].push_back(domain);
    links[std::string(1, "XYZ"[a]) + "DOMAIN"] = kAxisNames[a];
  }
  if (!options.distribution.empty() || !options.integrals.empty()) {
    json dist = {{"name", "D"},
                 {"type", options.distribution.empty() ? std::string("DISTRIBUTION1D") : options.distribution},
                 {"links", links},
                 {"fix", json::object()}};
    if (!options.integrals.empty()) dist["fix"]["INTEGRALS"] = options.integrals;
    configuration["objects"].push_back(dist);
  }
  return true;
}

}  // namespace modelhost
