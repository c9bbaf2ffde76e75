// A model library as the host uses it: loaded by file name, its creatable
// types found by type name through their exports <NAME>Factory,
// <NAME>PropertyInfo, _Compatibility<NAME> and _JacData<NAME>.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tq_loader.h"
#include "tq_object.h"
#include "vekexp_api.h"

// A type's factory: a new object holding one reference, or null when the
// object could not be made.
using TQ_ModelFactory = TQ_ModelType* (*)();
// A type's property-info function: the address of the type's cell.
using TQ_PropertyInfoFunction = void* (*)();

// Objects made by a library's factories must be released before the last
// reference to the library goes: their code lives in it.
class VEKEXP_API TQ_ModelLibrary {
 public:
  // Loads the library at this path (or this file name as the platform finds
  // it). False, with a message naming the file, when it cannot be loaded
  // or is no model library (its exports make no type); a library loaded
  // before stays loaded then.
  bool Load(TQ_LibraryLoader& loader, const std::string& file, std::string& error);
  bool IsLoaded() const { return m_library != nullptr; }
  const TQ_LibraryRef& Library() const { return m_library; }

  // The exports of the type named `typeName` ("DOMAIN" for TQ_DOMAIN). Each
  // is null, with a message naming the type, the symbol and the library,
  // when the library has no such export, when none is loaded, or when the
  // name is not a type name (letters, digits and '_').
  TQ_ModelFactory FindFactory(const std::string& typeName, std::string& error) const;
  TQ_PropertyInfoFunction FindPropertyInfo(const std::string& typeName, std::string& error) const;
  const std::int32_t* FindCompatibility(const std::string& typeName, std::string& error) const;
  const std::int32_t* FindJacData(const std::string& typeName, std::string& error) const;

  // The names of the types the library offers, in alphabetical order: each
  // name with both a factory (<NAME>Factory) and a compatibility export
  // (_Compatibility<NAME>). Empty, with a message, when none is loaded or
  // its exports cannot be read.
  std::vector<std::string> TypeNames(std::string& error) const;

  // A new object of the type through its factory, holding one reference.
  // Null, with a message, when there is no factory or it made nothing.
  TQ_ModelType* Create(const std::string& typeName, std::string& error) const;

 private:
  void* FindExport(const std::string& typeName,
                   const std::string& prefix,
                   const std::string& suffix,
                   bool function,
                   std::string& error) const;

  TQ_LibraryRef m_library;
};
