#include "tq_model_library.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace {
bool IsTypeName(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return true;
}

// The type names among a library's exports, in alphabetical order: each name with both a
// factory (<NAME>Factory) and a compatibility export (_Compatibility<NAME>).
std::vector<std::string> TypesAmong(const std::vector<std::string>& exported) {
  static const std::string kFactory = "Factory";
  static const std::string kCompatibility = "_Compatibility";
  std::set<std::string> compatible;
  for (const std::string& name : exported)
    if (name.compare(0, kCompatibility.size(), kCompatibility) == 0)
      compatible.insert(name.substr(kCompatibility.size()));
  std::vector<std::string> types;
  for (const std::string& name : exported) {
    if (name.size() <= kFactory.size() || name.compare(name.size() - kFactory.size(), kFactory.size(), kFactory) != 0)
      continue;
    std::string type = name.substr(0, name.size() - kFactory.size());
    if (IsTypeName(type) && compatible.count(type) > 0) types.push_back(std::move(type));
  }
  std::sort(types.begin(), types.end());
  types.erase(std::unique(types.begin(), types.end()), types.end());
  return types;
}
}  // namespace

bool TQ_ModelLibrary::Load(TQ_LibraryLoader& loader, const std::string& file, std::string& error) {
  std::string why;
  TQ_LibraryRef library = loader.LoadFile(file, why);
  if (!library) {
    error = "cannot load model library: " + why;
    return false;
  }
  // A library that offers no type is refused here, with what it lacks, rather than taken and
  // every type asked of it later reported unknown.
  const std::vector<std::string> exported = library->ExportedNames(why);
  if (!why.empty()) {
    error = "cannot load model library: " + why;
    return false;
  }
  if (TypesAmong(exported).empty()) {
    error = "library \"" + library->Path() + "\" is not a model library: none of its " +
            std::to_string(exported.size()) +
            " exports makes a model type (a <NAME>Factory function with its _Compatibility<NAME> table)";
    return false;
  }
  m_library = std::move(library);
  return true;
}

void* TQ_ModelLibrary::FindExport(const std::string& typeName,
                                  const std::string& prefix,
                                  const std::string& suffix,
                                  bool function,
                                  std::string& error) const {
  if (!IsTypeName(typeName)) {
    error = "\"" + typeName + "\" is not a type name (letters, digits and '_')";
    return nullptr;
  }
  if (!m_library) {
    error = "no model library is loaded to find type " + typeName + " in";
    return nullptr;
  }
  const std::string symbol = prefix + typeName + suffix;
  std::string why;
  void* address =
      function ? reinterpret_cast<void*>(m_library->FindFunction(symbol, why)) : m_library->FindData(symbol, why);
  if (address == nullptr) error = "model library \"" + m_library->Path() + "\" has no type " + typeName + ": " + why;
  return address;
}

TQ_ModelFactory TQ_ModelLibrary::FindFactory(const std::string& typeName, std::string& error) const {
  return reinterpret_cast<TQ_ModelFactory>(FindExport(typeName, "", "Factory", true, error));
}

TQ_PropertyInfoFunction TQ_ModelLibrary::FindPropertyInfo(const std::string& typeName, std::string& error) const {
  return reinterpret_cast<TQ_PropertyInfoFunction>(FindExport(typeName, "", "PropertyInfo", true, error));
}

const std::int32_t* TQ_ModelLibrary::FindCompatibility(const std::string& typeName, std::string& error) const {
  return static_cast<const std::int32_t*>(FindExport(typeName, "_Compatibility", "", false, error));
}

const std::int32_t* TQ_ModelLibrary::FindJacData(const std::string& typeName, std::string& error) const {
  return static_cast<const std::int32_t*>(FindExport(typeName, "_JacData", "", false, error));
}

TQ_ModelType* TQ_ModelLibrary::Create(const std::string& typeName, std::string& error) const {
  TQ_ModelFactory factory = FindFactory(typeName, error);
  if (factory == nullptr) return nullptr;
  TQ_ModelType* object = factory();
  if (object == nullptr) error = "the factory of type " + typeName + " made no object (allocation refused)";
  return object;
}

std::vector<std::string> TQ_ModelLibrary::TypeNames(std::string& error) const {
  if (!m_library) {
    error = "no model library is loaded to list its types";
    return {};
  }
  return TypesAmong(m_library->ExportedNames(error));
}
