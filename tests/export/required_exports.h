// The exports the model library owes its host, written down once: every
// exported member of the array bases, the generated classes, the parameter
// types, the links and virtual properties over the library's 42 types, and
// the INTERPOLATE procedure with its argument tables. Each entry is a
// symbol as the demangler writes it; the Linux library's dynamic symbol table
// and the DLL's export directory are both checked against the same list.
//
// Standard C++ only: the Windows test includes it without the library's headers.
#pragma once

#include <cxxabi.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace required_exports {

// The 14 types the host creates by name; each one the library holds is exported
// with its factory and type tables.
inline const std::vector<std::string> kHostCreatableTypes = {"ANGLEDOMAIN",
                                                             "CONNECTION",
                                                             "CONTROLSIGNAL",
                                                             "DISTRIBUTION1D",
                                                             "DISTRIBUTION2D",
                                                             "DISTRIBUTION3D",
                                                             "DOMAIN",
                                                             "GENERICCONNECTION",
                                                             "GENERICCONTROLSIGNAL",
                                                             "GENERICMODEL",
                                                             "GENERICSTREAM",
                                                             "GENERICSTRUCTURE",
                                                             "LENGTHDOMAIN",
                                                             "SECTIONDATAMODEL"};

// The 28 array bases: the letters after TQ_BASE_ are the kinds of their keys.
inline const std::vector<std::string> kArrayBases = {
    "TQ_BASE_II",   "TQ_BASE_IS",   "TQ_BASE_SI",   "TQ_BASE_SS",   "TQ_BASE_III",  "TQ_BASE_IIS",  "TQ_BASE_ISI",
    "TQ_BASE_ISS",  "TQ_BASE_SII",  "TQ_BASE_SIS",  "TQ_BASE_SSI",  "TQ_BASE_SSS",  "TQ_BASE_IIII", "TQ_BASE_IIIS",
    "TQ_BASE_IISI", "TQ_BASE_IISS", "TQ_BASE_ISII", "TQ_BASE_ISIS", "TQ_BASE_ISSI", "TQ_BASE_ISSS", "TQ_BASE_SIII",
    "TQ_BASE_SIIS", "TQ_BASE_SISI", "TQ_BASE_SISS", "TQ_BASE_SSII", "TQ_BASE_SSIS", "TQ_BASE_SSSI", "TQ_BASE_SSSS"};

// The 17 generated model, port and structure classes.
inline const std::vector<std::string> kGeneratedClasses = {"TQ_CONTROLPORT",
                                                           "TQ_GENERICPORT",
                                                           "TQ_CONNECTIONPORT",
                                                           "TQ_GENERICMODEL",
                                                           "TQ_GENERICSTRUCTURE",
                                                           "TQ_GENERICSTREAM",
                                                           "TQ_GENERICCONTROLSIGNAL",
                                                           "TQ_GENERICCONNECTION",
                                                           "TQ_CONTROLSIGNAL",
                                                           "TQ_CONNECTION",
                                                           "TQ_SECTIONDATAMODEL",
                                                           "TQ_DOMAIN",
                                                           "TQ_LENGTHDOMAIN",
                                                           "TQ_ANGLEDOMAIN",
                                                           "TQ_DISTRIBUTION1D",
                                                           "TQ_DISTRIBUTION2D",
                                                           "TQ_DISTRIBUTION3D"};

// The five parameter types, each with the defaults it overrides.
struct ParameterType {
  std::string name;
  std::vector<std::string> overrides;
};
inline const std::vector<ParameterType> kParameterTypes = {
    {"TQ_ANGLEPARAMETER", {"TQ_PQCol() const", "TQ_PQRow() const", "TQ_DefaultPHYSICALQUANTITY() const"}},
    {"TQ_LENGTHPARAMETER", {"TQ_PQCol() const", "TQ_PQRow() const", "TQ_DefaultPHYSICALQUANTITY() const"}},
    {"TQ_DISCRETIZATIONMETHODPARAM", {"TQ_DefaultVALUE() const", "TQ_DefaultVALID() const"}},
    {"TQ_NUMSECTIONSPARAM", {"TQ_DefaultVALUE() const", "TQ_DefaultLOWER() const"}},
    {"TQ_POLYPOINTSPARAM", {"TQ_DefaultVALUE() const", "TQ_DefaultLOWER() const"}}};

// The 42 types the links and the virtual properties are instantiated over:
// the generated classes, the parameter types, the eleven typed arrays and
// the nine multiport classes.
inline std::vector<std::string> LinkedTypes() {
  std::vector<std::string> types = kGeneratedClasses;
  for (const ParameterType& parameter : kParameterTypes) types.push_back(parameter.name);
  for (const char* array : {"TQ_ARRAY_I<TQ_REALPARAMETER, TQ_REALPARAMETER>",
                            "TQ_ARRAY_I<TQ_SECTIONDATAMODEL, TQ_SECTIONDATAMODEL>",
                            "TQ_ARRAY_I<TQ_PARTIALDERIVATIVE, TQ_PARTIALDERIVATIVE>",
                            "TQ_ARRAY_I<TQ_REALVARIABLE, TQ_REALVARIABLE>",
                            "TQ_ARRAY_II<TQ_PARTIALDERIVATIVE, TQ_PARTIALDERIVATIVE>",
                            "TQ_ARRAY_II<TQ_REALVARIABLE, TQ_REALVARIABLE>",
                            "TQ_ARRAY_III<TQ_PARTIALDERIVATIVE, TQ_PARTIALDERIVATIVE>",
                            "TQ_ARRAY_III<TQ_REALVARIABLE, TQ_REALVARIABLE>",
                            "TQ_ARRAY_S<TQ_CONTROLPORT, TQ_CONTROLPORT>",
                            "TQ_ARRAY_S<TQ_GENERICPORT, TQ_GENERICPORT>",
                            "TQ_ARRAY_S<TQ_CONNECTIONPORT, TQ_CONNECTIONPORT>"})
    types.push_back(array);
  for (const char* multiport : {"TQ_TQ_MICONTROLPORT",
                                "TQ_TQ_MOCONTROLPORT",
                                "TQ_TQ_MIOCONTROLPORT",
                                "TQ_TQ_MIGENERICPORT",
                                "TQ_TQ_MOGENERICPORT",
                                "TQ_TQ_MIOGENERICPORT",
                                "TQ_TQ_MICONNECTIONPORT",
                                "TQ_TQ_MOCONNECTIONPORT",
                                "TQ_TQ_MIOCONNECTIONPORT"})
    types.push_back(multiport);
  return types;
}

// INTERPOLATE's argument tables: the exported name of each, and its five
// entries (one byte each).
struct ArgumentTable {
  std::string symbol;
  unsigned char entries[5];
};
inline const std::vector<ArgumentTable> kArgumentTables = {
    {"TQProc_INTERPOLATE::Dimensions(int)::nDims", {0, 1, 1, 0, 0}},
    {"TQProc_INTERPOLATE::Type(int)::iTypes", {4, 4, 4, 2, 4}},
    {"TQProc_INTERPOLATE::IsVariableInput(int)::bIsVar", {0, 0, 0, 0, 0}}};

// The procedure template instance of INTERPOLATE, as the demangler names it.
inline const std::string kProcedureTemplate =
    "TQ_ProcedureTemplate<TQProc_INTERPOLATE, 4, 1, 2, TQ_ProcedureType_C, 4>";

// The whole list.
inline std::vector<std::string> All() {
  std::vector<std::string> symbols;
  auto add = [&](const std::string& owner, std::initializer_list<std::string> members) {
    for (const std::string& member : members) symbols.push_back(owner + "::" + member);
  };

  for (const std::string& base : kArrayBases) {
    std::string keys, sets;
    for (char kind : base.substr(std::string("TQ_BASE_").size())) {
      keys += std::string(keys.empty() ? "" : ", ") + (kind == 'I' ? "int" : "char const*");
      sets += std::string(sets.empty() ? "" : ", ") + "TQ_Set&";
    }
    add(base,
        {base + "()",
         base + "(" + base + " const&)",
         "operator=(" + base + " const&)",
         "~" + base + "()",
         "SetDim(" + sets + ")",
         "BuildIndexString(" + keys + ")",
         "Find(" + keys + ")",
         "CreateMissingArrayElement(char const*)",
         "NewElements()"});
    symbols.push_back("vtable for " + base);
  }

  for (const std::string& type : kGeneratedClasses) {
    add(type,
        {"TQ_ContainerId()",
         type + "(bool)",
         "~" + type + "()",
         "operator=(" + type + " const&)",
         "operator*()",
         "Construct()",
         "ExecuteAssignments0(int, int, long)",
         "SetDims()",
         "TQ_DefaultDESCRIPTION() const",
         "ContainerDerivesFrom(char const*)",
         "JacPattern(int*&, int*&, TQ_EquationType**)",
         "Jacobian(double*, int, int)",
         "Residuals(double*, int, int)",
         "ExecuteAssignments(int, int)",
         "SetUpEquations()"});
    symbols.push_back("vtable for " + type);
  }
  for (const char* type : {"TQ_GENERICMODEL", "TQ_GENERICSTRUCTURE", "TQ_GENERICPORT"}) add(type, {"ComponentList()"});
  add("TQ_GENERICPORT", {"IsConnected()"});

  for (const ParameterType& parameter : kParameterTypes) {
    const std::string& type = parameter.name;
    add(type,
        {type + "(bool)",
         type + "(" + type + " const&)",
         "operator=(" + type + " const&)",
         "operator*()",
         "~" + type + "()"});
    for (const std::string& member : parameter.overrides) symbols.push_back(type + "::" + member);
    symbols.push_back("vtable for " + type);
  }

  for (const std::string& type : LinkedTypes()) {
    const std::string external = "TQ_External<" + type + ">";
    add(external,
        {"TQ_External()",
         "TQ_External(" + external + " const&)",
         "~TQ_External()",
         "operator=(" + external + " const&)",
         "operator*() const",
         "ExternalTypeName()"});
    const std::string virtualProperty = "TQ_Virtual<" + type + ">";
    add(virtualProperty,
        {"TQ_Virtual()",
         "~TQ_Virtual()",
         "operator=(" + virtualProperty + " const&)",
         "operator*()",
         "NewDefaultVirtual()",
         "VirtualBaseType()"});
    symbols.push_back("vtable for " + external);
    symbols.push_back("vtable for " + virtualProperty);
  }

  add("TQProc_INTERPOLATE",
      {"TQProc_INTERPOLATE(bool, int)",
       "TQProc_INTERPOLATE(TQProc_INTERPOLATE const&)",
       "operator=(TQProc_INTERPOLATE const&)",
       "~TQProc_INTERPOLATE()",
       "IsVariableInput(int)",
       "Dimensions(int)",
       "Type(int)",
       "ReturnsDerivatives()",
       "CreateDerivatives()",
       "NegateDerivatives()",
       "ProcedureName() const",
       "DLLName() const",
       "Precall(bool)"});
  for (const ArgumentTable& table : kArgumentTables) symbols.push_back(table.symbol);
  add(kProcedureTemplate,
      {"TQ_ProcedureTemplate()",
       "TQ_ProcedureTemplate(" + kProcedureTemplate + " const&)",
       "operator=(" + kProcedureTemplate + " const&)",
       "~TQ_ProcedureTemplate()",
       "InitializeCStrings()",
       "GetIntegerArg(int) const",
       "GetRealArg(int) const",
       "GetStringArg(int) const",
       "ByReference(int) const",
       "Jacobian(double*, int&)",
       "Residuals(double*, int&)"});
  symbols.push_back("vtable for TQProc_INTERPOLATE");
  symbols.push_back("vtable for " + kProcedureTemplate);
  return symbols;
}

// A text without blanks: demanglers differ in the blanks they put, between
// closing brackets for one.
inline std::string Compact(const std::string& text) {
  std::string compact;
  for (char c : text)
    if (c != ' ') compact += c;
  return compact;
}

// A symbol as the demangler writes it, compacted; a name that is not mangled
// stays as it is.
inline std::string Demangled(const std::string& symbol) {
  int status = 0;
  char* text = abi::__cxa_demangle(symbol.c_str(), nullptr, nullptr, &status);
  const std::string result = status == 0 && text != nullptr ? text : symbol;
  std::free(text);
  return Compact(result);
}

// The entries of the list that `exported` (demangled and compacted) lacks.
inline std::vector<std::string> Missing(const std::set<std::string>& exported) {
  std::vector<std::string> missing;
  for (const std::string& symbol : All())
    if (!exported.count(Compact(symbol))) missing.push_back(symbol);
  return missing;
}

}  // namespace required_exports
