// The sinks through which a distribution's equation walk reaches the host.
//
// HostDeclaration serves SetUpEquations: per equation SetGroupLimits with its group and one
// count, then AddNonZero per variable or parameter term. HostEmission serves JacPattern: per
// equation AddEquation (which raises the running count), then the prefix program through the
// model's expression interface, every call given the equation's index (the count less one).
// The context hands both sinks TQ_VarParam pointers that are never null.
#pragma once

#include <cstdint>

#include "distribution/eqn_walker.h"
#include "host/tq_object.h"

namespace morvane::eqn {

class HostDeclaration {
 public:
  static constexpr SinkMode kMode = SinkMode::Declare;

  // The non-zeros of one declared equation.
  class Equation {
   public:
    explicit Equation(TQ_ModelType& model) : model_(&model) {}
    void AddTerm(TQ_VarParam* term) const { model_->AddNonZero(*term); }

   private:
    TQ_ModelType* model_;
  };

  // count: the running equation count, the parent's result.
  HostDeclaration(TQ_ModelType& model, int count) : model_(model), count_(count) {}

  Equation OpenEquation(int /*row*/, const char* /*name*/, std::int32_t group) {
    model_.SetGroupLimits(group);
    ++count_;
    return Equation(model_);
  }

  int Count() const { return count_; }

 private:
  TQ_ModelType& model_;
  int count_;
};

class HostEmission {
 public:
  static constexpr SinkMode kMode = SinkMode::Emit;

  // The program of one emitted equation, through the model's expression interface (so that
  // the most-derived implementation receives it), every call given the equation's index.
  class Equation {
   public:
    Equation(TQ_ModelExtensions& expressions, int index, int*& rows, int*& cols)
        : expressions_(&expressions), index_(index), rows_(&rows), cols_(&cols) {}
    void AddOperator(Op code) const { expressions_->AddOp(static_cast<EOp>(code), index_); }
    void AddConstant(std::int32_t value) const { expressions_->AddTerm(static_cast<int>(value), index_); }
    void AddConstant(double value) const { expressions_->AddTerm(value, index_); }
    void AddTerm(TQ_VarParam* term) const { expressions_->AddTerm(*term, *rows_, *cols_, index_); }

   private:
    TQ_ModelExtensions* expressions_;
    int index_;
    int** rows_;
    int** cols_;
  };

  // count: the running equation count, raised by every AddEquation; rows and cols: the
  // host's pattern cursors, handed on to every variable or parameter term.
  HostEmission(TQ_ModelTypeEx& model, int& count, int*& rows, int*& cols)
      : model_(model), expressions_(model), count_(count), rows_(rows), cols_(cols) {}

  Equation OpenEquation(int /*row*/, const char* name, std::int32_t group) {
    model_.AddEquation(name, count_, group);
    return Equation(expressions_, count_ - 1, rows_, cols_);
  }

 private:
  TQ_ModelType& model_;
  TQ_ModelExtensions& expressions_;
  int& count_;
  int*& rows_;
  int*& cols_;
};

}  // namespace morvane::eqn
