// modelhost's configuration: read from its JSON text, and the objects it
// names created through the model library, linked and fixed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/tq_held.h"
#include "host/tq_model_library.h"

namespace modelhost {

// Names longer than this are refused: object names, and the paths of "links" and "fix" (every
// line of a report that names a property repeats its object's name and its element's keys).
constexpr std::size_t kMostNameLength = 256;

// A distribution the library offers, as modelhost knows it: the number of its axes (the domains
// it is laid over, linked as XDOMAIN, YDOMAIN and ZDOMAIN) and the integral selectors of its
// INTEGRALS that it computes.
struct DistributionType {
  const char* name;
  std::size_t axes;
  std::span<const char* const> integrals;
};

// The distributions, one, two and three axes in that order.
std::span<const DistributionType> DistributionTypes();
// The distribution of this name, compared without regard to letter case; null when none is.
const DistributionType* FindDistributionType(std::string_view name);
// "idx, idy, idxdy": the integral selectors of a distribution, for a message.
std::string IntegralsText(const DistributionType& type);

// Bytes counted in what the host holds (TQ_CountHeld) while this is kept: a configuration's JSON
// document, so that the size budget weighs the objects made from it against it too.
class HeldBytes {
 public:
  HeldBytes() = default;
  ~HeldBytes() { Set(0); }
  HeldBytes(const HeldBytes&) = delete;
  HeldBytes& operator=(const HeldBytes&) = delete;
  void Set(std::int64_t bytes);

 private:
  std::int64_t bytes_ = 0;
};

// Reads a configuration from its JSON text. False, with a one-line reason in
// `error` naming `source`, when the text is not JSON, holds a number beyond
// the range of a double ("1e400"), gives a key twice in one object, or when
// its document would not fit the size budget beside what the host holds. The
// document's bytes go to `held` when one is given.
bool ParseConfiguration(std::string_view text,
                        const std::string& source,
                        nlohmann::json& configuration,
                        std::string& error,
                        HeldBytes* held = nullptr);

// Reads a configuration from a file. False, with a one-line reason in
// `error`, when the file cannot be read or does not hold a configuration, or
// when its text would not fit the size budget.
bool ReadConfigurationFile(const std::string& file,
                           nlohmann::json& configuration,
                           std::string& error,
                           HeldBytes* held = nullptr);

// What configuring the objects leaves beside them.
struct ConfigurationOutcome {
  // The paths of the fixed values that pass through an array element, counted in what the host
  // holds (a configuration may fix a value of every element of a long array).
  TQ_HeldVector<TQ_HeldString> fixedInArrays;
  // Values taken as they come that may not be what was meant (an integral selector the
  // distribution does not compute), one line each.
  std::vector<std::string> warnings;
};

// Creates the objects of the configuration through the library's factories,
// adds them to the executive, links them and fixes their values. The
// configuration is an object with "objects": an array of { "name", "type",
// "links": {property: object}, "fix": {path: value} }, each path relative to
// its object. Stops at the first fault, with a one-line message in `error`.
bool ConfigureObjects(const TQ_ModelLibrary& models,
                      const nlohmann::json& configuration,
                      ConfigurationOutcome& outcome,
                      std::string& error);

}  // namespace modelhost
