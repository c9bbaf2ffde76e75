// modelhost's configuration: read from its JSON text, and the objects it
// names created through the model library, linked and fixed.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "host/tq_model_library.h"

namespace modelhost {

// Reads a configuration from its JSON text. False, with a one-line reason in
// `error` naming `source`, when the text is not JSON or holds a number beyond
// the range of a double ("1e400").
bool ParseConfiguration(std::string_view text,
                        const std::string& source,
                        nlohmann::json& configuration,
                        std::string& error);

// Reads a configuration from a file. False, with a one-line reason in
// `error`, when the file cannot be read or does not hold a configuration.
bool ReadConfigurationFile(const std::string& file, nlohmann::json& configuration, std::string& error);

// Creates the objects of the configuration through the library's factories,
// adds them to the executive, links them and fixes their values. The
// configuration is an object with "objects": an array of { "name", "type",
// "links": {property: object}, "fix": {path: value} }. Stops at the first
// fault, with a one-line message in `error`. The paths of the fixed values
// that pass through an array element are added to `fixedInArrays`.
bool ConfigureObjects(const TQ_ModelLibrary& models,
                      const nlohmann::json& configuration,
                      std::vector<std::string>& fixedInArrays,
                      std::string& error);

}  // namespace modelhost
