// The generated model class pattern, written once.
//
// Every model, port and structure type of the library is a class TQ_<NAME>
// over TQ_Generated<TQ_<NAME>, Parent>, where Parent is a host base
// (TQ_ModelTypeEx2, TQ_PortTypeEx, TQ_StructureTypeEx) or another generated
// class. TQ_Generated supplies what all of them share: the construction of
// the parent (a generated parent with its construct flag clear), Construct()
// with the parent's registrations first, the overrides the host calls
// (SetDims, TQ_DefaultDESCRIPTION, ContainerDerivesFrom, JacPattern,
// Jacobian, Residuals, ExecuteAssignments, SetUpEquations), the two-sweep
// ExecuteAssignments0 and the three per-level counters.
//
// A class states only what is its own:
//
//   class MORVANE_API TQ_EXAMPLE : public TQ_Generated<TQ_EXAMPLE, TQ_ModelTypeEx2> {
//     MORVANE_GENERATED_CLASS(TQ_EXAMPLE)            // type id, constructor, destructor
//
//    public:
//     // Each optional; the default does nothing (or keeps the count).
//     void RegisterProperties();                     // own AddProperty calls, in order
//     void SizeArrays();                             // own SetDim calls
//     void IndexSets(const TQ_AssignmentStep& step); // own index sets, one sweep
//     void Assignments(const TQ_AssignmentStep& step); // own assignments (sweep 0)
//     int DeclareEquations(int count);               // SetGroupLimits/AddNonZero per equation;
//                                                    // a negative result: none declared
//     int EmitEquations(int*& rows, int*& cols, TQ_EquationType** types, int count);
//
//     TQ_STRINGPARAMETER USERNOTES{true};            // members, in declaration order
//
//     MORVANE_GENERATED_COUNTERS                     // the level's three counters, last
//   };
//
// and in its .cpp
//
//   MORVANE_GENERATED_CLASS_DEFINITION(TQ_EXAMPLE, TQ_ModelTypeEx2, "Model EXAMPLE\tV7.1");
//
// which defines the type id, the constructor (members built in declaration
// order, then Construct() when the flag is set), the destructor, the
// assignment (the parent's, then the members in declaration order, the
// counters last) and, under the class's own name, every member of the shared
// part, each forwarding to it.
#pragma once

#include <cstdint>
#include <type_traits>

#include "framework/morvane_api.h"
#include "framework/tq_support.h"
#include "host/vekexp.h"

// One sweep of a class level's ExecuteAssignments0: hands values to the host
// carrying `pass`, `level` and the statement's number.
class TQ_AssignmentStep {
 public:
  TQ_AssignmentStep(TQ_Container& owner, int level, int pass, int sweep)
      : m_owner(owner), m_level(level), m_pass(pass), m_sweep(sweep) {}

  int Sweep() const { return m_sweep; }
  int Level() const { return m_level; }
  int Pass() const { return m_pass; }

  // Initialises an internal index set of the owner for this sweep.
  template <class V>
  void IndexSet(TQ_Set& set, const V& value, int number) const {
    TQ_Value handed(value, static_cast<unsigned>(m_pass), static_cast<unsigned>(m_level), number);
    m_owner.InitialiseInternalIndexSet(set, &handed, m_sweep);
  }

  // Assigns a property; the host's status is not examined.
  template <class V>
  void Assign(TQ_VarParamProp& target, const V& value, int number) const {
    TQ_Value handed(value, static_cast<unsigned>(m_pass), static_cast<unsigned>(m_level), number);
    target.Assign(&handed);
  }

 private:
  TQ_Container& m_owner;
  int m_level;
  int m_pass;
  int m_sweep;
};

template <class Self, class Parent>
class MORVANE_API TQ_Generated : public Parent {
 public:
  // Whether the parent is a generated class too (a host base otherwise).
  static constexpr bool kParentGenerated = requires { Parent::kGeneratedClass; };
  static constexpr bool kGeneratedClass = true;

  Self& operator*();

  // Registers the properties: the generated parent's first, then this
  // level's own (Self::RegisterProperties).
  void Construct();

  // The class level's assignment work: the parent's ExecuteAssignments with
  // `level - 1` (its status is the result, unexamined), then two sweeps;
  // each initialises this level's index sets, and sweep 0 then performs this
  // level's assignments. The incoming status is not read.
  long ExecuteAssignments0(int level, int pass, long status);
  long ExecuteAssignments(int level, int pass) override;

  // This level's arrays get their index sets, then the parent sizes its own.
  void SetDims() override;

  const char* TQ_DefaultDESCRIPTION() const override;

  // True for this class's type id in any letter case, else the generated
  // parent's answer; false over a host base.
  bool ContainerDerivesFrom(const char* id) override;

  // The parent's count first: a negative one passes through and nothing is
  // recorded. Otherwise this level declares its equations after the host's
  // current group and reports the running count.
  int SetUpEquations() override;

  // Resets this object's expressions, lets the parent emit, then emits this
  // level's equations; the parent's result is not tested.
  int JacPattern(int*& rows, int*& cols, TQ_EquationType** types) override;

  // The equations reach the host only as the programs of JacPattern.
  int Jacobian(double* values, int a, int b) override;
  int Residuals(double* values, int a, int b) override;

  // What a level without such work does; a class declares its own to add it.
  void RegisterProperties() {}
  void SizeArrays() {}
  void IndexSets(const TQ_AssignmentStep&) {}
  void Assignments(const TQ_AssignmentStep&) {}
  int DeclareEquations(int count) { return count; }
  int EmitEquations(int*&, int*&, TQ_EquationType**, int count) { return count; }

 protected:
  // A generated parent is built without registering its properties (this class's Construct()
  // registers them, the parent's first); a host parent by its default constructor. (Templates,
  // so that an explicit instantiation of the class makes only the one that applies.)
  template <class P = Parent>
  requires TQ_Generated<Self, P>::kParentGenerated TQ_Generated() : Parent(false) {}
  template <class P = Parent>
  requires(!TQ_Generated<Self, P>::kParentGenerated) TQ_Generated() : Parent() {}
  TQ_Generated(const TQ_Generated&) = default;
  // The parent's part only: the class's members and counters follow it.
  TQ_Generated& operator=(const TQ_Generated&) = default;
  ~TQ_Generated() override = default;

  // Registers a member of this level as property `name` of this object; the
  // member's own AddProperty (a link's, a virtual property's or the host
  // type's) is used. Returns what AddProperty returned, for marks.
  template <class Member>
  auto Register(Member& member,
                const char* name,
                const char* description = nullptr,
                TQ_Direction direction = TQ_DIR_NONE) {
    return member.AddProperty(this, name, description, direction, false);
  }

 private:
  Self& AsSelf() { return static_cast<Self&>(*this); }
  // The class level's own counters (MORVANE_GENERATED_COUNTERS, after its
  // members); a level that lacks them would write its parent's.
  static constexpr void CheckCounters() {
    static_assert(std::is_same_v<decltype(&Self::FirstGroup), std::int32_t Self::*> &&
                      std::is_same_v<decltype(&Self::LocalEqnCount), std::int32_t Self::*> &&
                      std::is_same_v<decltype(&Self::LocalNonZeroCount), std::int32_t Self::*>,
                  "a generated class ends with MORVANE_GENERATED_COUNTERS");
  }
};

// At the end of a generated class's body: the level's three counters, after
// its members, so that its assignment copies them last.
#define MORVANE_GENERATED_COUNTERS                                                           \
 public:                                                                                     \
  std::int32_t FirstGroup = 0;        /* the host's group number when this level declared */ \
  std::int32_t LocalEqnCount = 0;     /* equations this level adds */                        \
  std::int32_t LocalNonZeroCount = 0; /* pattern entries this level's equations add */

template <class Self, class Parent>
Self& TQ_Generated<Self, Parent>::operator*() {
  return AsSelf();
}

template <class Self, class Parent>
void TQ_Generated<Self, Parent>::Construct() {
  if constexpr (kParentGenerated) Parent::Construct();
  AsSelf().RegisterProperties();
}

template <class Self, class Parent>
long TQ_Generated<Self, Parent>::ExecuteAssignments0(int level, int pass, long) {
  const long status = Parent::ExecuteAssignments(level - 1, pass);
  for (int sweep = 0; sweep < 2; ++sweep) {
    const TQ_AssignmentStep step(*this, level, pass, sweep);
    AsSelf().IndexSets(step);
    if (sweep == 1) break;
    AsSelf().Assignments(step);
  }
  return status;
}

template <class Self, class Parent>
long TQ_Generated<Self, Parent>::ExecuteAssignments(int level, int pass) {
  return AsSelf().ExecuteAssignments0(level, pass, 0);
}

template <class Self, class Parent>
void TQ_Generated<Self, Parent>::SetDims() {
  AsSelf().SizeArrays();
  Parent::SetDims();
}

template <class Self, class Parent>
const char* TQ_Generated<Self, Parent>::TQ_DefaultDESCRIPTION() const {
  return Self::TQ_ContainerId();
}

template <class Self, class Parent>
bool TQ_Generated<Self, Parent>::ContainerDerivesFrom(const char* id) {
  if (morvane::EqualIgnoringCase(Self::TQ_ContainerId(), id)) return true;
  if constexpr (kParentGenerated)
    return Parent::ContainerDerivesFrom(id);
  else
    return false;
}

template <class Self, class Parent>
int TQ_Generated<Self, Parent>::SetUpEquations() {
  const int parentCount = Parent::SetUpEquations();
  if (parentCount < 0) return parentCount;
  CheckCounters();
  Self& level = AsSelf();
  level.FirstGroup = TQ_ModelType::m_stLastGroup;
  level.LocalEqnCount = 0;
  const int count = AsSelf().DeclareEquations(parentCount);
  // A class that cannot place its equations declares none and says so with a negative count
  // (it has told the host why).
  if (count < 0) return count;
  level.LocalEqnCount = count - parentCount;
  return this->SetLocalEqnCount(count);
}

template <class Self, class Parent>
int TQ_Generated<Self, Parent>::JacPattern(int*& rows, int*& cols, TQ_EquationType** types) {
  this->ResetExpressions();
  int count = Parent::JacPattern(rows, cols, types);
  int* const start = rows;
  count = AsSelf().EmitEquations(rows, cols, types, count);
  CheckCounters();
  AsSelf().LocalNonZeroCount = static_cast<std::int32_t>(rows - start);
  return count;
}

template <class Self, class Parent>
int TQ_Generated<Self, Parent>::Jacobian(double*, int, int) {
  return 0;
}

template <class Self, class Parent>
int TQ_Generated<Self, Parent>::Residuals(double*, int, int) {
  return 0;
}

// In the body of a generated class: what every generated class declares
// under its own name, the type id (kind word, name, TAB, version), the
// constructor (registers the properties when the flag is set), the
// destructor, the assignment and the members of the shared part.
#define MORVANE_GENERATED_CLASS(NAME)                                       \
 public:                                                                    \
  static const char* TQ_ContainerId();                                      \
  explicit NAME(bool construct = true);                                     \
  NAME& operator=(const NAME& other);                                       \
  ~NAME() override;                                                         \
  NAME& operator*();                                                        \
  void Construct();                                                         \
  long ExecuteAssignments0(int level, int pass, long status);               \
  void SetDims() override;                                                  \
  const char* TQ_DefaultDESCRIPTION() const override;                       \
  bool ContainerDerivesFrom(const char* id) override;                       \
  int JacPattern(int*& rows, int*& cols, TQ_EquationType** types) override; \
  int Jacobian(double* values, int a, int b) override;                      \
  int Residuals(double* values, int a, int b) override;                     \
  long ExecuteAssignments(int level, int pass) override;                    \
  int SetUpEquations() override;

// In the class's .cpp: the definitions of what MORVANE_GENERATED_CLASS
// declares, each member of the shared part forwarding to it, and the export
// of the shared part with the class. A class with an ExecuteAssignments0 of
// its own uses MORVANE_GENERATED_CLASS_DEFINITION_OWN_ASSIGNMENTS.
#define MORVANE_GENERATED_CLASS_DEFINITION_OWN_ASSIGNMENTS(NAME, PARENT, TYPE_ID)                                   \
  const char* NAME::TQ_ContainerId() { return TYPE_ID; }                                                            \
  NAME::NAME(bool construct) {                                                                                      \
    if (construct) Construct();                                                                                     \
  }                                                                                                                 \
  NAME& NAME::operator=(const NAME& other) = default;                                                               \
  NAME::~NAME() = default;                                                                                          \
  NAME& NAME::operator*() { return TQ_Generated<NAME, PARENT>::operator*(); }                                       \
  void NAME::Construct() { TQ_Generated<NAME, PARENT>::Construct(); }                                               \
  void NAME::SetDims() { TQ_Generated<NAME, PARENT>::SetDims(); }                                                   \
  const char* NAME::TQ_DefaultDESCRIPTION() const { return TQ_Generated<NAME, PARENT>::TQ_DefaultDESCRIPTION(); }   \
  bool NAME::ContainerDerivesFrom(const char* id) { return TQ_Generated<NAME, PARENT>::ContainerDerivesFrom(id); }  \
  int NAME::JacPattern(int*& rows, int*& cols, TQ_EquationType** types) {                                           \
    return TQ_Generated<NAME, PARENT>::JacPattern(rows, cols, types);                                               \
  }                                                                                                                 \
  int NAME::Jacobian(double* values, int a, int b) { return TQ_Generated<NAME, PARENT>::Jacobian(values, a, b); }   \
  int NAME::Residuals(double* values, int a, int b) { return TQ_Generated<NAME, PARENT>::Residuals(values, a, b); } \
  long NAME::ExecuteAssignments(int level, int pass) {                                                              \
    return TQ_Generated<NAME, PARENT>::ExecuteAssignments(level, pass);                                             \
  }                                                                                                                 \
  int NAME::SetUpEquations() { return TQ_Generated<NAME, PARENT>::SetUpEquations(); }                               \
  template class TQ_Generated<NAME, PARENT>

#define MORVANE_GENERATED_CLASS_DEFINITION(NAME, PARENT, TYPE_ID)                \
  MORVANE_GENERATED_CLASS_DEFINITION_OWN_ASSIGNMENTS(NAME, PARENT, TYPE_ID);     \
  long NAME::ExecuteAssignments0(int level, int pass, long status) {             \
    return TQ_Generated<NAME, PARENT>::ExecuteAssignments0(level, pass, status); \
  }                                                                              \
  static_assert(true)
