// Small types the framework tests build on: an element type that counts its
// constructions, typed arrays over any array base, a port, and a two-level
// model on the generated class pattern.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_test.h"
#include "host/tq_executive.h"
#include "framework/tq_instances.h"
#include "host/vekexp.h"

// An element that counts how often it was built, and with which flag.
class CountedElement : public TQ_INTEGERPARAMETER {
 public:
  explicit CountedElement(bool init) : TQ_INTEGERPARAMETER(init) {
    ++built;
    if (init) ++builtWithFlag;
  }
  static inline int built = 0;
  static inline int builtWithFlag = 0;
};

// A typed array over any array base, for the shapes the library has no
// typed array of: it makes CountedElements and remembers the order.
template <class Base>
class RecordingArray : public Base {
 public:
  TQ_Type* NewElement() override {
    TQ_Type* element = morvane::MakeForHost<CountedElement>();
    if (element != nullptr) made.push_back(element);
    return element;
  }
  // Names of the elements made, in the order they were made.
  std::vector<std::string> MadeNames() const {
    std::vector<std::string> names;
    for (TQ_Type* element : made) names.push_back(element->Name());
    return names;
  }
  std::vector<TQ_Type*> made;
};

// The host's name of the element at each slot ("" for a null slot).
inline std::vector<std::string> SlotNames(const TQ_Matrix& array) {
  std::vector<std::string> names;
  for (unsigned int i = 0; i < array.ElementVector.Elements(); ++i)
    names.push_back(array.ElementVector[i] ? array.ElementVector[i]->Name() : "");
  return names;
}

// A port type on the generated class pattern, with one flag member.
class TQ_TESTPORT : public TQ_Generated<TQ_TESTPORT, TQ_PortTypeEx> {
 public:
  static const char* TQ_ContainerId() { return "Port TESTPORT\tV7.1"; }
  explicit TQ_TESTPORT(bool construct = true) {
    if (construct) Construct();
  }
  void RegisterProperties() { Register(LINKED, "LINKED"); }
  TQ_FalseLOGICALPARAMETER LINKED{true};

  MORVANE_GENERATED_COUNTERS
};

// A model type with an array and its index set, a port, a link and a
// virtual property, index-set initialisations, assignments (one of them
// conditional) and one equation.
class TQ_TESTMODEL : public TQ_Generated<TQ_TESTMODEL, TQ_ModelTypeEx2> {
 public:
  static const char* TQ_ContainerId() { return "Model TESTMODEL\tV7.1"; }
  explicit TQ_TESTMODEL(bool construct = true) {
    ++built;
    if (construct) Construct();
  }
  ~TQ_TESTMODEL() override { ++destroyed; }

  void RegisterProperties() {
    Register(COUNT, "COUNT", "Number of values");
    Register(TQ_VALUE_SET1, "TQ_VALUE_SET1");
    Register(VALUE, "VALUE", "Values");
    Register(INPUT, "INPUT", nullptr, TQ_DIR_INPUT)->UnsetIsToBeExported();
    Register(OUTPUT, "OUTPUT", nullptr, TQ_DIR_OUTPUT)->HostPortType(4);
    Register(PEER, "PEER");
    Register(SCALE, "SCALE", "Scale factor");
  }
  void SizeArrays() { VALUE.SetDim(TQ_VALUE_SET1); }
  // #1: the values 1 to COUNT.
  void IndexSets(const TQ_AssignmentStep& step) { step.IndexSet(TQ_VALUE_SET1, TQ_IntSetValue(1, COUNT.v()), 1); }
  // #2 COUNT := 3; #3 only when COUNT is above 5: COUNT := 5; #4 TAG := "set".
  void Assignments(const TQ_AssignmentStep& step) {
    step.Assign(COUNT, 3, 2);
    if (COUNT.v() > 5) step.Assign(COUNT, 5, 3);
    step.Assign(TAG, "set", 4);
  }
  // One equation in group offset 2: VALUE(1) = 0.
  int DeclareEquations(int count) {
    SetGroupLimits(FirstGroup + 2);
    ++count;
    AddNonZero(VALUE(1));
    return count;
  }
  int EmitEquations(int*& rows, int*& cols, TQ_EquationType**, int count) {
    AddEquation("TQ_Eqn1", count, FirstGroup + 2);
    AddOp(EOp_Root, count - 1);
    AddTerm(VALUE(1), rows, cols, count - 1);
    return count;
  }

  TQ_INTEGERPARAMETER COUNT{true};
  TQ_ARRAY_I<TQ_REALVARIABLE, TQ_REALVARIABLE> VALUE;
  TQ_INTEGERSET TQ_VALUE_SET1;
  TQ_TESTPORT INPUT{true};
  TQ_TESTPORT OUTPUT{true};
  TQ_External<TQ_TESTMODEL> PEER;
  TQ_Virtual<TQ_REALPARAMETER> SCALE;
  TQ_STRINGPARAMETER TAG{true};  // not registered: assigned only

  static inline int built = 0;
  static inline int destroyed = 0;

  MORVANE_GENERATED_COUNTERS
};

// A model over the test model: one member and one assignment of its own.
class TQ_TESTDERIVED : public TQ_Generated<TQ_TESTDERIVED, TQ_TESTMODEL> {
 public:
  static const char* TQ_ContainerId() { return "Model TESTDERIVED\tV7.1"; }
  explicit TQ_TESTDERIVED(bool construct = true) {
    if (construct) Construct();
  }
  void RegisterProperties() { Register(NOTE, "NOTE"); }
  // #1 NOTE := "derived".
  void Assignments(const TQ_AssignmentStep& step) { step.Assign(NOTE, "derived", 1); }
  TQ_STRINGPARAMETER NOTE{true};

  MORVANE_GENERATED_COUNTERS
};

// A model that answers for the test model's type id without being one.
class TQ_IMPOSTOR : public TQ_Generated<TQ_IMPOSTOR, TQ_ModelTypeEx2> {
 public:
  static const char* TQ_ContainerId() { return "Model TESTMODEL\tV7.1"; }
  explicit TQ_IMPOSTOR(bool construct = true) {
    if (construct) Construct();
  }

  MORVANE_GENERATED_COUNTERS
};

// A structure type for the global-structure reference.
class TQ_TESTSTRUCTURE : public TQ_Generated<TQ_TESTSTRUCTURE, TQ_StructureTypeEx> {
 public:
  static const char* TQ_ContainerId() { return "Structure TESTSTRUCTURE\tV7.1"; }
  explicit TQ_TESTSTRUCTURE(bool construct = true) {
    if (construct) Construct();
  }
  void RegisterProperties() { Register(NOTES, "NOTES"); }
  TQ_STRINGPARAMETER NOTES{true};

  MORVANE_GENERATED_COUNTERS
};

// The registered property names of an object, in order.
inline std::vector<std::string> PropertyNames(const TQ_Containable& owner) {
  std::vector<std::string> names;
  for (int i = 0; i < owner.PropertyCount(); ++i) names.push_back(owner.PropertyAt(i).name);
  return names;
}
