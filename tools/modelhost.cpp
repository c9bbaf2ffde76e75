// modelhost: runs the model library as the host executive does. It loads
// the library by file name, creates objects through its exported factories,
// fixes their parameters, links them, runs the model cycle (ExecuteAssignments,
// SetDims, SetUpEquations, JacPattern) and shows what the library produced.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "modelhost_run.h"

using nlohmann::json;

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
  CLI::App app{"Runs the model library as the host executive does and shows what it produced."};
  std::string library;
  std::string configFile;
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

  app.add_option("--library", library, "Model library file or name (default: Morvane230_1 beside this program)");
  CLI::Option* configOption = app.add_option("--config", configFile, "Configuration file (JSON)");
  app.add_option("--format", format, "Output format")->check(CLI::IsMember({"text", "jsonl"}));
  app.add_option("--domain-type", domainType, "Type of the domain made from the options")
      ->check(CLI::IsMember({"DOMAIN", "LENGTHDOMAIN", "ANGLEDOMAIN"}));
  app.add_option("--method", methods, "Discretization method of the domain; one per axis (x, y, z), or one for all")
      ->delimiter(',');
  app.add_option("--sections", sections, "Number of sections of the domain; one per axis, or one for all")
      ->check(CLI::PositiveNumber)
      ->delimiter(',');
  app.add_option("--order", orders, "Highest order of derivative of the domain; one per axis, or one for all")
      ->check(CLI::Range(0, 2))
      ->delimiter(',');
  app.add_option("--length", length, "Length of the domain (of each domain)");
  app.add_option("--distribution",
                 distribution,
                 "Distribution type laid over the domains: DISTRIBUTION1D, DISTRIBUTION2D or DISTRIBUTION3D")
      ->transform(CLI::IsMember({"DISTRIBUTION1D", "DISTRIBUTION2D", "DISTRIBUTION3D"}, CLI::ignore_case));
  app.add_option(
         "--integrals", integrals, "Integrals of the distribution (idx, idy, idz, idxdy, idxdz, idydz, idxdydz)")
      ->delimiter(',');
  app.add_flag("--summary", summaryOnly, "Write only the summary of the run (the figures, no objects or equations)");
  app.add_option("--memory-budget",
                 memoryBudget,
                 "Most memory the models' elements and equations may take (bytes, or with a unit: 512MB, 8GB); "
                 "default: three quarters of the machine's memory")
      ->transform(CLI::AsSizeValue(false));
  app.add_flag("--print-default-config", showDefault, "Print the built-in configuration and exit");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }

  if (showDefault) {
    std::cout << kDefaultConfiguration << "\n";
    return 0;
  }

  json configuration;
  std::string error;
  bool fromOptions = !methods.empty() || !sections.empty() || !orders.empty() || length != 0.0 ||
                     !distribution.empty() || !integrals.empty() || domainType != "DOMAIN";
  if (configOption->count() > 0) {
    if (fromOptions) {
      std::cerr << "modelhost: --config cannot be combined with the domain and distribution options\n";
      return 1;
    }
    if (configFile.empty()) {
      std::cerr << "modelhost: --config was given an empty file name\n";
      return 1;
    }
    std::error_code code;
    if (std::filesystem::is_directory(configFile, code)) {
      std::cerr << "modelhost: " << configFile << " is a directory, not a configuration file\n";
      return 1;
    }
    std::ifstream in(configFile, std::ios::binary);
    std::stringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad()) {
      std::cerr << "modelhost: cannot read configuration file " << configFile << "\n";
      return 1;
    }
    if (!modelhost::ParseConfiguration(text.str(), configFile, configuration, error)) {
      std::cerr << "modelhost: " << error << "\n";
      return 1;
    }
  } else if (fromOptions) {
    // One domain per axis of the distribution (X, Y, Z, linked as XDOMAIN, YDOMAIN, ZDOMAIN); an
    // option given once holds for every axis.
    static const char* const kAxisNames[] = {"X", "Y", "Z"};
    std::size_t axes = 1;
    if (distribution == "DISTRIBUTION2D") axes = 2;
    if (distribution == "DISTRIBUTION3D") axes = 3;
    const std::pair<const char*, std::size_t> given[] = {
        {"--method", methods.size()}, {"--sections", sections.size()}, {"--order", orders.size()}};
    for (const auto& [option, count] : given) {
      if (count > 1 && count != axes) {
        std::cerr << "modelhost: " << option << " takes one value for every domain or one value per domain, but "
                  << count << " were given for " << axes << " domain" << (axes == 1 ? "" : "s")
                  << " (choose the distribution with --distribution)\n";
        return 1;
      }
    }
    auto valueFor = [](const auto& values, std::size_t axis) { return values[values.size() == 1 ? 0 : axis]; };
    configuration["objects"] = json::array();
    json links = json::object();
    for (std::size_t a = 0; a < axes; ++a) {
      json domain = {{"name", kAxisNames[a]}, {"type", domainType}, {"fix", json::object()}};
      if (!methods.empty()) domain["fix"]["DISCRETIZATIONMETHOD"] = valueFor(methods, a);
      if (!sections.empty()) domain["fix"]["NUMSECTIONS"] = valueFor(sections, a);
      if (!orders.empty()) domain["fix"]["HIGHESTORDERDERIVATIVE"] = valueFor(orders, a);
      if (length != 0.0) domain["fix"]["LENGTH"] = length;
      configuration["objects"].push_back(domain);
      links[std::string(1, "XYZ"[a]) + "DOMAIN"] = kAxisNames[a];
    }
    if (!distribution.empty() || !integrals.empty()) {
      json dist = {{"name", "D"},
                   {"type", distribution.empty() ? std::string("DISTRIBUTION1D") : distribution},
                   {"links", links},
                   {"fix", json::object()}};
      if (!integrals.empty()) dist["fix"]["INTEGRALS"] = integrals;
      configuration["objects"].push_back(dist);
    }
  } else {
    configuration = json::parse(kDefaultConfiguration);
  }

  if (memoryBudget > 0)
    TQ_SizeBudget::SetLimit(
        memoryBudget > static_cast<std::uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<std::int64_t>(memoryBudget));
  modelhost::Run run;
  if (!run.LoadLibrary(library, error) || !run.Configure(configuration, error)) {
    std::cerr << "modelhost: " << error << "\n";
    return 1;
  }
  bool ok = run.Cycle();
  if (!run.BadInput().empty()) {
    std::cerr << "modelhost: " << run.BadInput() << "\n";
    return 1;
  }
  // Memory that runs out while the report is written still leaves the
  // cycle's messages to be given.
  try {
    if (format == "jsonl")
      run.WriteJsonLines(std::cout, summaryOnly);
    else
      run.WriteText(std::cout, summaryOnly);
  } catch (const std::bad_alloc&) {
    std::cout.flush();
    std::fputs("modelhost: out of memory while writing the report\n", stderr);
    ok = false;
  }
  for (const std::string& message : run.Errors()) std::cerr << "modelhost: " << message << "\n";
  return ok ? 0 : 2;
}

}  // namespace
