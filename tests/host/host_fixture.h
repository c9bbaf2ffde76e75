// What the host-layer tests share: a fixture that starts every test with a
// fresh executive and checks that the test gave back every host block, and
// small model, array and link classes built the way the library builds its
// own on the host's bases.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "set_printers.h"
#include "host/tq_executive.h"
#include "host/vekexp.h"

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TQ_Executive::Instance().Reset();
    TQ_HeapStats::FailAllocations(0);
    m_liveAtStart = TQ_HeapStats::LiveBlocks();
  }
  void TearDown() override {
    TQ_Executive::Instance().Reset();
    TQ_HeapStats::FailAllocations(0);
    EXPECT_EQ(TQ_HeapStats::LiveBlocks(), m_liveAtStart) << "the test left host blocks behind";
  }

  static TQ_Executive& Host() { return TQ_Executive::Instance(); }

  // True when some recorded error contains `part`.
  static bool ErrorMentions(const std::string& part) {
    for (const std::string& e : Host().Errors())
      if (e.find(part) != std::string::npos) return true;
    return false;
  }
  static std::string AllErrors() {
    std::string all;
    for (const std::string& e : Host().Errors()) all += e + "\n";
    return all;
  }

  // Makes an object as a factory does (host heap, one reference) and hands
  // it to the executive under `name`.
  template <typename T>
  static T* Add(const char* name) {
    T* object = new T;
    EXPECT_NE(object, nullptr);
    object->AddRef();
    std::string error;
    EXPECT_TRUE(Host().AddObject(name, object, &error)) << error;
    return object;
  }

  std::int64_t m_liveAtStart = 0;
};

// A one-dimensional array of real variables, as the library's typed arrays
// derive from the host's base.
class RealArrayI : public TQ_BASE_I {
 public:
  TQ_Type* NewElement() override {
    ++made;
    return new TQ_REALVARIABLE(true);
  }
  int made = 0;
};

class RealArrayS : public TQ_BASE_S {
 public:
  TQ_Type* NewElement() override { return new TQ_REALVARIABLE(true); }
};

// A model of two equations in two groups over X, Y and H:
//   TQ_Eqn1 (group offset 1):  X - Y
//   TQ_Eqn2 (group offset 2):  Y*H - 2.5
// declared in SetUpEquations and emitted in JacPattern as the library does.
// `mismatch` makes the emission part from the declaration in one way.
class TwoEquationModel : public TQ_ModelTypeEx2 {
 public:
  enum Mismatch { None, SwappedTerms, OtherGroup, ExtraTerm };

  TwoEquationModel() {
    X.AddProperty(this, "X", nullptr, TQ_DIR_NONE, false);
    Y.AddProperty(this, "Y", "the second variable", TQ_DIR_OUTPUT, false);
    H.AddProperty(this, "H", nullptr, TQ_DIR_INPUT, false);
  }

  const char* TQ_DefaultDESCRIPTION() const override { return "Model TWOEQUATION\tV7.1"; }
  bool ContainerDerivesFrom(const char* id) override { return SUValue::CompareCI(id, "Model TWOEQUATION\tV7.1") == 0; }

  int SetUpEquations() override {
    int n = TQ_ModelTypeEx2::SetUpEquations();
    if (n < 0) return n;
    FirstGroup = m_stLastGroup;
    SetGroupLimits(FirstGroup + 1);
    ++n;
    AddNonZero(X);
    AddNonZero(Y);
    SetGroupLimits(FirstGroup + 2);
    ++n;
    AddNonZero(Y);
    AddNonZero(H);
    LocalEqnCount = 2;
    return SetLocalEqnCount(n);
  }

  int JacPattern(int*& rows, int*& cols, TQ_EquationType** types) override {
    ResetExpressions();
    int n = TQ_ModelTypeEx2::JacPattern(rows, cols, types);
    int* start = rows;
    AddEquation("TQ_Eqn1", n, FirstGroup + 1);
    AddOp(EOp_Minus, n - 1);
    AddTerm(mismatch == SwappedTerms ? Y : X, rows, cols, n - 1);
    AddTerm(mismatch == SwappedTerms ? X : Y, rows, cols, n - 1);
    AddEquation("TQ_Eqn2", n, FirstGroup + (mismatch == OtherGroup ? 3 : 2));
    AddOp(EOp_Minus, n - 1);
    AddOp(EOp_Times, n - 1);
    AddTerm(Y, rows, cols, n - 1);
    AddTerm(H, rows, cols, n - 1);
    if (mismatch == ExtraTerm) {
      // Y*H - 2.5 becomes Y*H - 2.5*X: one term more than declared.
      AddOp(EOp_Times, n - 1);
      AddTerm(2.5, n - 1);
      AddTerm(X, rows, cols, n - 1);
    } else {
      AddTerm(2.5, n - 1);
    }
    LocalNonZeroCount = static_cast<int>(rows - start);
    return n;
  }

  TQ_REALVARIABLE X;
  TQ_REALVARIABLE Y;
  TQ_REALPARAMETER H;
  Mismatch mismatch = None;
  int FirstGroup = -1;
  int LocalEqnCount = -1;
  int LocalNonZeroCount = -1;
};

// Records the order in which objects are destroyed.
inline std::vector<std::string>& DestructionLog() {
  static std::vector<std::string> log;
  return log;
}

// A model that notes its destruction, with a link to another model.
class LinkingModel : public TQ_ModelTypeEx2 {
 public:
  class DomainLink : public TQ_ExternalBase {
   public:
    explicit DomainLink(TQ_Containable* owner) : TQ_ExternalBase(owner) {}
    const char* ExternalTypeName() override { return "Model TWOEQUATION\tV7.1"; }
  };

  LinkingModel() : XDOMAIN(this) {
    XDOMAIN.AddProperty(this, "XDOMAIN", nullptr, TQ_DIR_NONE, false);
    N.AddProperty(this, "N", nullptr, TQ_DIR_NONE, false);
  }
  ~LinkingModel() override { DestructionLog().push_back(Name()); }

  DomainLink XDOMAIN;
  TQ_INTEGERPARAMETER N;
};
