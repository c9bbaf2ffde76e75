// The sinks through which a distribution's equation walk reaches the host.
//
// HostDeclaration serves SetUpEquations: per equation SetGroupLimits with its group and one
// count, then AddNonZero per variable or parameter term. HostEmission serves JacPattern: per
// equation AddEquation (which raises the running count), then the prefix program through the
// model's expression interface, every call given the equation's index (the count less one).
// The context hands both sinks TQ_VarParam pointers that are never null.
#pragma once

#include <cstdint>

#include "eqn_walker.h"
#include "tq_object.h"

namespace morvane::eqn {

class HostDeclaration {
public:
    static constexpr SinkMode kMode = SinkMode::Declare;

    // count: the running equation count, the parent's result.
    HostDeclaration(TQ_ModelType& model, int count) : model_(model), count_(count) {}

    void equation(int /*row*/, const char* /*name*/, std::int32_t group) {
        model_.SetGroupLimits(group);
        ++count_;
    }
    void term(TQ_VarParam* term) { model_.AddNonZero(*term); }

    int count() const { return count_; }

private:
    TQ_ModelType& model_;
    int count_;
};

class HostEmission {
public:
    static constexpr SinkMode kMode = SinkMode::Emit;

    // count: the running equation count, raised by every AddEquation; rows and cols: the
    // host's pattern cursors, handed on to every variable or parameter term.
    HostEmission(TQ_ModelTypeEx& model, int& count, int*& rows, int*& cols)
        : model_(model), expressions_(model), count_(count), rows_(rows), cols_(cols) {}

    void equation(int /*row*/, const char* name, std::int32_t group) {
        model_.AddEquation(name, count_, group);
        index_ = count_ - 1;
    }
    // Through the expression interface, so that the most-derived implementation receives them.
    void op(Op code) { expressions_.AddOp(static_cast<EOp>(code), index_); }
    void constant(std::int32_t value) { expressions_.AddTerm(static_cast<int>(value), index_); }
    void constant(double value) { expressions_.AddTerm(value, index_); }
    void term(TQ_VarParam* term) { expressions_.AddTerm(*term, rows_, cols_, index_); }

private:
    TQ_ModelType& model_;
    TQ_ModelExtensions& expressions_;
    int& count_;
    int*& rows_;
    int*& cols_;
    int index_ = -1;
};

}  // namespace morvane::eqn
