#include "modelhost_options.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstddef>
#include <iostream>
#include <string_view>
#include <utility>

#include "host/tq_message_log.h"

using nlohmann::json;
using nlohmann::ordered_json;

namespace modelhost {

namespace {

// Thrown by the checks of the options' values, with the reason.
struct Refused {
  std::string why;
};

// The comma-separated values of a list option, none of them empty.
std::vector<std::string> ListOf(const char* option, const std::string& text) {
  std::vector<std::string> values;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    values.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (values.back().empty()) throw Refused{std::string(option) + " \"" + text + "\" holds an empty value"};
    if (comma == std::string::npos) return values;
    start = comma + 1;
  }
}

// The whole numbers from `least` to `most` of a list option.
std::vector<int> NumbersOf(const char* option, const std::string& text, int least, int most, const char* range) {
  std::vector<int> numbers;
  for (const std::string& value : ListOf(option, text)) {
    int number = 0;
    const char* end = value.data() + value.size();
    const auto read = std::from_chars(value.data(), end, number);
    if (read.ec != std::errc() || read.ptr != end || number < least || number > most)
      throw Refused{std::string(option) + " takes " + range + ", not \"" + value + "\""};
    numbers.push_back(number);
  }
  return numbers;
}

// A finite number, as --length takes it.
double LengthOf(const std::string& text) {
  double length = 0.0;
  const char* end = text.data() + text.size();
  const auto read = std::from_chars(text.data(), end, length);
  if (text.empty() || read.ec != std::errc() || read.ptr != end || !std::isfinite(length))
    throw Refused{"--length takes a finite number, not \"" + text + "\""};
  return length;
}

// A size as --memory-budget takes it: a positive number of bytes, whole or with a fraction, with
// an optional unit of 1024 to the power of its place (B; K, KB, KIB; M, MB, MIB; G...; T...),
// in any letter case: "1kb", "512MB", "1.5 GB". The bytes are rounded down.
std::int64_t SizeOf(const std::string& text) {
  const std::string usage =
      "--memory-budget takes a positive size in bytes, or with a unit (KB, MB, GB, TB: 512MB, "
      "8GB), not \"" +
      text + "\"";
  std::size_t at = 0;
  unsigned long long whole = 0;
  bool digits = false;
  bool beyond = false;
  for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
    digits = true;
    const unsigned digit = static_cast<unsigned>(text[at] - '0');
    if (whole > (ULLONG_MAX - digit) / 10)
      beyond = true;
    else
      whole = whole * 10 + digit;
  }
  double fraction = 0.0;
  if (at < text.size() && text[at] == '.') {
    double scale = 0.1;
    for (++at; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at, scale /= 10) {
      digits = true;
      fraction += scale * (text[at] - '0');
    }
  }
  while (at < text.size() && text[at] == ' ') ++at;
  std::string unit;
  for (; at < text.size(); ++at) unit += static_cast<char>(std::toupper(static_cast<unsigned char>(text[at])));
  static const std::pair<const char*, int> kUnits[] = {{"", 0},
                                                       {"B", 0},
                                                       {"K", 1},
                                                       {"KB", 1},
                                                       {"KIB", 1},
                                                       {"M", 2},
                                                       {"MB", 2},
                                                       {"MIB", 2},
                                                       {"G", 3},
                                                       {"GB", 3},
                                                       {"GIB", 3},
                                                       {"T", 4},
                                                       {"TB", 4},
                                                       {"TIB", 4}};
  int power = -1;
  for (const auto& [name, place] : kUnits)
    if (unit == name) power = place;
  if (!digits || power < 0) throw Refused{usage};
  const unsigned long long scale = 1ull << (10 * power);
  const auto most = static_cast<unsigned long long>(INT64_MAX);
  if (beyond || whole > most / scale)
    throw Refused{"--memory-budget \"" + text + "\" is more than the largest size it takes, " + std::to_string(most) +
                  " bytes"};
  const unsigned long long bytes = whole * scale + static_cast<unsigned long long>(std::floor(fraction * scale));
  if (bytes > most)
    throw Refused{"--memory-budget \"" + text + "\" is more than the largest size it takes, " + std::to_string(most) +
                  " bytes"};
  if (bytes == 0) throw Refused{usage};
  return static_cast<std::int64_t>(bytes);
}

// Checks that each list of the model holds one value for every domain or one per domain, and
// that the distribution computes every integral asked for.
void CheckModel(const ModelOptions& model) {
  const std::size_t axes = model.distribution->axes;
  const std::pair<const char*, std::size_t> given[] = {
      {"--method", model.methods.size()}, {"--sections", model.sections.size()}, {"--order", model.orders.size()}};
  for (const auto& [option, count] : given) {
    if (count > 1 && count != axes)
      throw Refused{std::string(option) + " takes one value for every domain or one value per domain, but " +
                    std::to_string(count) + " were given for " + std::to_string(axes) + " domain" +
                    (axes == 1 ? "" : "s") + " (choose the distribution with --distribution)"};
  }
  for (const std::string& integral : model.integrals) {
    bool computed = integral == "None";
    for (const char* name : model.distribution->integrals) computed = computed || integral == name;
    if (!computed)
      throw Refused{std::string("--integrals: ") + model.distribution->name + " does not compute \"" + integral +
                    "\"; its integrals are " + IntegralsText(*model.distribution) + " (None for none)"};
  }
}

}  // namespace

int ParseOptions(int argc, char** argv, Options& options) {
  CLI::App app{
      "Runs the model library as the host executive does and shows what it produced. Without --config it runs "
      "the model the options make: a distribution over one domain per axis (X, Y, Z); each option changes only "
      "what it names in the default model, a DISTRIBUTION1D with the integral idx over a DOMAIN under CFD4 with "
      "2 sections and second derivatives. A list takes one value for every domain or one per domain, in axis "
      "order."};
  std::string configFile;
  std::string distribution;
  std::string methods;
  std::string sections;
  std::string orders;
  std::string length;
  std::string integrals;
  std::string memoryBudget;
  ModelOptions& model = options.model;
  app.add_option(
      "--library", options.library, "Model library file or name (default: Morvane230_1 beside this program)");
  app.add_option("--config", configFile, "Configuration file (JSON), run in place of the model the options make");
  app.add_option("--format", options.format, "Output format: text or jsonl (default: text)");
  app.add_flag(
      "--summary", options.summaryOnly, "Write only the summary of the run (the figures, no objects or equations)");
  app.add_option("--memory-budget",
                 memoryBudget,
                 "Most memory the models' elements and equations may take: bytes, or with a unit (KB, MB, GB, "
                 "TB: 512MB, 8GB) (default: three quarters of the machine's memory)");
  app.add_flag("--print-default-config",
               options.showDefault,
               "Print the configuration of the default model (the configuration format) and exit");
  app.add_option("--distribution",
                 distribution,
                 "Distribution laid over the domains: DISTRIBUTION1D, DISTRIBUTION2D or DISTRIBUTION3D (default: "
                 "DISTRIBUTION1D)");
  app.add_option(
      "--domain-type", model.domainType, "Type of the domains: DOMAIN, LENGTHDOMAIN or ANGLEDOMAIN (default: DOMAIN)");
  app.add_option("--method", methods, "Discretization method of the domains, a list (default: CFD4)");
  app.add_option("--sections", sections, "Number of sections of the domains, a list (default: 2)");
  app.add_option("--order", orders, "Highest order of derivative of the domains, 0, 1 or 2, a list (default: 2)");
  app.add_option("--length", length, "Length of the domains (default: the domain's own, 1)");
  app.add_option("--integrals",
                 integrals,
                 "Integrals of the distribution, a comma-separated list of idx (one, two or three axes), idy and "
                 "idxdy (two or three), idz, idxdz, idydz and idxdydz (three), or None for none (default: idx)");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // The help asked for ends the program well; any other fault of the options is bad input.
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(e);
    std::cerr << "modelhost: " << TQ_PrintableText(e.what()) << " (modelhost --help lists the options)\n";
    return 1;
  }

  try {
    if (app.count("--config") > 0) {
      for (const char* option :
           {"--distribution", "--domain-type", "--method", "--sections", "--order", "--length", "--integrals"})
        if (app.count(option) > 0)
          throw Refused{"--config cannot be combined with the domain and distribution options (" + std::string(option) +
                        ")"};
      options.configFile = configFile;
    }
    if (options.format != "text" && options.format != "jsonl")
      throw Refused{"--format \"" + options.format + "\" is none of the formats: text, jsonl"};
    if (model.domainType != "DOMAIN" && model.domainType != "LENGTHDOMAIN" && model.domainType != "ANGLEDOMAIN")
      throw Refused{"--domain-type \"" + model.domainType +
                    "\" is none of the domain types: DOMAIN, LENGTHDOMAIN, "
                    "ANGLEDOMAIN"};
    if (app.count("--memory-budget") > 0) options.memoryBudget = SizeOf(memoryBudget);
    if (app.count("--distribution") > 0) {
      model.distribution = FindDistributionType(distribution);
      if (model.distribution == nullptr)
        throw Refused{"--distribution \"" + distribution +
                      "\" is none of the distributions: DISTRIBUTION1D, DISTRIBUTION2D, DISTRIBUTION3D"};
    }
    if (app.count("--method") > 0) {
      model.methods = ListOf("--method", methods);
      // A method name goes into the configuration's JSON document, which holds UTF-8 text only.
      for (const std::string& method : model.methods)
        if (!TQ_IsUtf8Text(method))
          throw Refused{"--method \"" + method + "\" is not a method name: it is not UTF-8 text"};
    }
    if (app.count("--sections") > 0)
      model.sections = NumbersOf("--sections", sections, 1, INT_MAX, "whole numbers from 1 to 2147483647");
    if (app.count("--order") > 0) model.orders = NumbersOf("--order", orders, 0, 2, "0, 1 or 2");
    if (app.count("--length") > 0) model.length = LengthOf(length);
    if (app.count("--integrals") > 0) model.integrals = ListOf("--integrals", integrals);
    CheckModel(model);
  } catch (const Refused& refused) {
    std::cerr << "modelhost: " << TQ_PrintableText(refused.why) << "\n";
    return 1;
  }
  return -1;
}

ordered_json ConfigurationOf(const ModelOptions& model) {
  static const char* const kAxisNames[] = {"X", "Y", "Z"};
  const auto valueFor = [](const auto& values, std::size_t axis) { return values[values.size() == 1 ? 0 : axis]; };
  ordered_json objects = ordered_json::array();
  ordered_json links = ordered_json::object();
  for (std::size_t a = 0; a < model.distribution->axes; ++a) {
    ordered_json fix = {{"DISCRETIZATIONMETHOD", valueFor(model.methods, a)},
                        {"NUMSECTIONS", valueFor(model.sections, a)},
                        {"HIGHESTORDERDERIVATIVE", valueFor(model.orders, a)}};
    if (model.length) fix["LENGTH"] = *model.length;
    objects.push_back({{"name", kAxisNames[a]}, {"type", model.domainType}, {"fix", fix}});
    links[std::string(kAxisNames[a]) + "DOMAIN"] = kAxisNames[a];
  }
  objects.push_back(
      {{"name", "D"}, {"type", model.distribution->name}, {"links", links}, {"fix", {{"INTEGRALS", model.integrals}}}});
  return {{"objects", objects}};
}

bool ConfigurationOf(const Options& options, json& configuration, std::string& error, HeldBytes* held) {
  if (options.configFile) return ReadConfigurationFile(*options.configFile, configuration, error, held);
  configuration = json::parse(ConfigurationOf(options.model).dump());
  return true;
}

}  // namespace modelhost
