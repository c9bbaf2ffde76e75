#include "modelhost_configuration.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "host/tq_executive.h"
#include "host/vekexp.h"

using nlohmann::json;

namespace modelhost {

bool ParseConfiguration(std::string_view text,
                        const std::string& source,
                        nlohmann::json& configuration,
                        std::string& error) {
  try {
    configuration = nlohmann::json::parse(text);
    return true;
  } catch (const nlohmann::json::out_of_range& e) {
    error = source + " holds a number too large for a double: " + e.what();
  } catch (const nlohmann::json::exception& e) {
    error = source + " is not valid JSON: " + e.what();
  }
  return false;
}

bool ReadConfigurationFile(const std::string& file, json& configuration, std::string& error) {
  if (file.empty()) {
    error = "--config was given an empty file name";
    return false;
  }
  std::error_code code;
  if (std::filesystem::is_directory(file, code)) {
    error = file + " is a directory, not a configuration file";
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  if (in) text << in.rdbuf();
  if (!in || in.bad()) {
    error = "cannot read configuration file " + file;
    return false;
  }
  return ParseConfiguration(text.str(), file, configuration, error);
}

namespace {

bool HoldsNul(const std::string& text) { return text.find('\0') != std::string::npos; }

// A text for a message, with control characters (a NUL among them) shown as \u escapes.
std::string Shown(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
      out += escape;
    } else {
      out += c;
    }
  }
  return out;
}

bool CreateObject(const TQ_ModelLibrary& models, const json& entry, std::string& error) {
  if (!entry.is_object()) {
    error = "each entry of \"objects\" must be an object";
    return false;
  }
  for (auto it = entry.begin(); it != entry.end(); ++it)
    if (it.key() != "name" && it.key() != "type" && it.key() != "links" && it.key() != "fix") {
      error = "unknown key \"" + it.key() + "\" in an object entry";
      return false;
    }
  if (!entry.contains("name") || !entry["name"].is_string() || !entry.contains("type") || !entry["type"].is_string()) {
    error = "each object needs a \"name\" and a \"type\", both texts";
    return false;
  }
  std::string name = entry["name"];
  std::string type = entry["type"];
  if (HoldsNul(name)) {
    error = "the object name \"" + Shown(name) + "\" holds a NUL character";
    return false;
  }
  for (char& c : type) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') {
      error = "unknown type \"" + std::string(entry["type"]) + "\"";
      return false;
    }
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (type.empty()) {
    error = "object \"" + name + "\" has an empty type";
    return false;
  }
  std::string why;
  if (models.FindFactory(type, why) == nullptr) {
    error = "unknown type \"" + type + "\": the library has no factory " + type + "Factory";
    return false;
  }
  TQ_ModelType* object = models.Create(type, why);
  if (object == nullptr) {
    error = why;
    return false;
  }
  if (!TQ_Executive::Instance().AddObject(name, object, &why)) {
    object->Release();
    error = why;
    return false;
  }
  return true;
}

bool LinkObject(const std::string& name, const json& links, std::string& error) {
  if (!links.is_object()) {
    error = "\"links\" of " + name + " must be an object of property: object name";
    return false;
  }
  TQ_Executive& host = TQ_Executive::Instance();
  for (auto it = links.begin(); it != links.end(); ++it) {
    if (!it.value().is_string()) {
      error = name + "." + it.key() + ": a link names an object by a text";
      return false;
    }
    if (HoldsNul(it.key()) || HoldsNul(it.value().get_ref<const std::string&>())) {
      error = "the link \"" + Shown(name + "." + it.key()) + "\": \"" + Shown(it.value().get<std::string>()) +
              "\" holds a NUL character";
      return false;
    }
    std::string why;
    TQ_Containable* property = host.FindByPath(name + "." + it.key(), false, &why);
    if (property == nullptr) {
      error = why;
      return false;
    }
    TQ_ModelType* target = host.FindObject(it.value());
    if (target == nullptr) {
      error = name + "." + it.key() + ": no object named \"" + std::string(it.value()) + "\" to link to";
      return false;
    }
    auto* external = dynamic_cast<TQ_ExternalBase*>(property);
    if (external == nullptr) {
      error = name + "." + it.key() + " is not a link";
      return false;
    }
    if (!external->Attach(target, &why)) {
      error = why;
      return false;
    }
  }
  return true;
}

// A JSON integer as a 32-bit one. An unsigned number is compared as such, so
// that one above the 64-bit signed range does not wrap round to a negative.
bool ToInt32(const json& given, int& out) {
  if (given.is_number_unsigned()) {
    const auto n = given.get<unsigned long long>();
    if (n > static_cast<unsigned long long>(INT_MAX)) return false;
    out = static_cast<int>(n);
    return true;
  }
  const long long n = given.get<long long>();
  if (n < INT_MIN || n > INT_MAX) return false;
  out = static_cast<int>(n);
  return true;
}

bool ToValue(const json& given, TQ_Value& value, std::string& why) {
  if (given.is_boolean()) {
    value = TQ_Value(given.get<bool>() ? 1 : 0, 0u, 0u, 0);
  } else if (given.is_number_integer()) {
    int n = 0;
    if (!ToInt32(given, n)) {
      why = "the integer " + given.dump() + " lies outside the 32-bit range";
      return false;
    }
    value = TQ_Value(n, 0u, 0u, 0);
  } else if (given.is_number_float()) {
    value = TQ_Value(given.get<double>(), 0u, 0u, 0);
  } else if (given.is_string()) {
    if (HoldsNul(given.get_ref<const std::string&>())) {
      why = "the text \"" + Shown(given.get<std::string>()) + "\" holds a NUL character";
      return false;
    }
    value = TQ_Value(given.get<std::string>().c_str(), 0u, 0u, 0);
  } else if (given.is_array()) {
    TQ_SetValue set;
    bool strings = !given.empty() && given[0].is_string();
    for (const json& member : given) {
      int n = 0;
      if (strings && member.is_string()) {
        if (HoldsNul(member.get_ref<const std::string&>())) {
          why = "the set member \"" + Shown(member.get<std::string>()) + "\" holds a NUL character";
          return false;
        }
        set += member.get<std::string>().c_str();
      } else if (!strings && member.is_number_integer() && ToInt32(member, n)) {
        set += n;
      } else {
        why = "a set whose members are not all texts or all integers within the 32-bit range";
        return false;
      }
    }
    if (given.empty()) set.ResetType(TQ_SET_ANY);
    value = TQ_Value(set, 0u, 0u, 0);
  } else {
    why = "a value that is neither a number, a text nor a set";
    return false;
  }
  return true;
}

bool FixValues(const std::string& name,
               const json& fixes,
               std::vector<std::string>& fixedInArrays,
               std::string& error) {
  if (!fixes.is_object()) {
    error = "\"fix\" of " + name + " must be an object of path: value";
    return false;
  }
  TQ_Executive& host = TQ_Executive::Instance();
  for (auto it = fixes.begin(); it != fixes.end(); ++it) {
    std::string path = name + "." + it.key();
    if (HoldsNul(path)) {
      error = "the property path \"" + Shown(path) + "\" holds a NUL character";
      return false;
    }
    std::string why;
    TQ_Containable* target = host.FindByPath(path, true, &why);
    if (target == nullptr) {
      error = why;
      return false;
    }
    auto* property = dynamic_cast<TQ_VarParamProp*>(target);
    if (property == nullptr || property->ValueKind() == TQ_ValueKind::None) {
      error = path + " holds no value to fix";
      return false;
    }
    TQ_Value value;
    if (!ToValue(it.value(), value, why) || property->Fix(value, &why) != TQ_ASSIGN_DONE) {
      error = path + ": " + why;
      return false;
    }
    if (path.find('(') != std::string::npos) fixedInArrays.push_back(path);
  }
  return true;
}

}  // namespace

bool ConfigureObjects(const TQ_ModelLibrary& models,
                      const json& configuration,
                      std::vector<std::string>& fixedInArrays,
                      std::string& error) {
  if (!configuration.is_object() || !configuration.contains("objects") || !configuration["objects"].is_array()) {
    error = "the configuration must be an object with an array \"objects\"";
    return false;
  }
  for (auto it = configuration.begin(); it != configuration.end(); ++it)
    if (it.key() != "objects") {
      error = "unknown configuration key \"" + it.key() + "\"";
      return false;
    }
  const json& objects = configuration["objects"];
  for (const json& entry : objects)
    if (!CreateObject(models, entry, error)) return false;
  for (const json& entry : objects)
    if (entry.contains("links") && !LinkObject(entry["name"], entry["links"], error)) return false;
  for (const json& entry : objects)
    if (entry.contains("fix") && !FixValues(entry["name"], entry["fix"], fixedInArrays, error)) return false;
  return true;
}

}  // namespace modelhost
