// The procedure template's equations: their count and non-zeros for the
// owner's SetUpEquations, and, for its JacPattern, one equation per output
// element with its terms, then the procedure call.
#pragma once

#ifndef TQ_PROCEDURE_TEMPLATE_PARTS
#error "tq_procedure_equations.h is a part of tq_procedure_template.h; include that header"
#endif

#include <cstdint>
#include <cstdio>
#include <limits>
#include <new>

// ---- procedure equations -----------------------------------------------------------------------

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
template <class Owner>
int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::CountEquations(Owner* owner, int group, int& eqnCount) {
  if (owner == nullptr) {
    Refuse("NZAndEqnContribution without an owner; refused");
    return 0;
  }
  if (!CountsComplete()) {
    Refuse("NZAndEqnContribution before a pass of the argument declaration is complete; refused");
    return 0;
  }
  const std::int64_t nonZeros = static_cast<std::int64_t>(this->m_nOutputElements) * (this->m_nSolverInputs + 1);
  if (nonZeros > std::numeric_limits<std::int32_t>::max()) {
    Refuse("NZAndEqnContribution: the non-zero count does not fit; refused");
    return 0;
  }
  owner->SetGroupLimits(group);
  eqnCount += this->m_nOutputElements;
  return static_cast<int>(nonZeros);
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::NZAndEqnContribution(TQ_ModelTypeEx* owner,
                                                                                     int group,
                                                                                     int& eqnCount) {
  return CountEquations(owner, group, eqnCount);
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::NZAndEqnContribution(TQ_StructureTypeEx* owner,
                                                                                     int group,
                                                                                     int& eqnCount) {
  return CountEquations(owner, group, eqnCount);
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
template <class Owner>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::CreateEquations(
    Owner* owner, int group, int eqnArg3, int*& rows, int*& cols, int& eqnCount, const char* name, int eqnArg7) {
  if (owner == nullptr) {
    Refuse("CreateEquationsAndSetGroup without an owner; refused");
    return;
  }
  if (!ElementListComplete()) {
    Refuse("CreateEquationsAndSetGroup before the binding pass has listed every element variable; refused");
    return;
  }
  std::int64_t outputElements = 0;
  for (int argument = InputArgs(), dimension = m_nFirstOutputDim; argument < TotalArgs(); ++argument) {
    outputElements += RecordedElements(argument, dimension);
    dimension += Proc::Dimensions(argument);
  }
  if (outputElements != this->m_nOutputElements) {
    Refuse("CreateEquationsAndSetGroup: the outputs' sizes give " + morvane::Text(outputElements) +
           " elements, the element list holds " + morvane::Text(this->m_nOutputElements) + "; refused");
    return;
  }

  char suffix[1025];
  suffix[0] = '[';
  int dimension = m_nFirstOutputDim;
  int element = this->m_nInputElements;
  int number = 1;
  for (int argument = InputArgs(); argument < TotalArgs(); ++argument) {
    const int length = std::snprintf(suffix + 1, 1024, "%d", argument - InputArgs() + 1);
    const int dimensions = Proc::Dimensions(argument);
    const std::int64_t count = RecordedElements(argument, dimension);
    dimension += dimensions;
    for (std::int64_t k = 1; k <= count; ++k) {
      if (dimensions != 0)
        std::snprintf(suffix + 1 + length, static_cast<std::size_t>(1024 - length), "_%d]", static_cast<int>(k));
      else
        std::snprintf(suffix + 1 + length, static_cast<std::size_t>(1024 - length), "]");
      TQ_ProcedureEquationType* equation =
          new TQ_ProcedureEquationType(this, number, eqnArg3, owner, name, eqnCount, eqnArg7, suffix);
      if (equation == nullptr) {
        Refuse(morvane::string("CreateEquationsAndSetGroup: no memory for the equation object of output ") + suffix +
               "; the remaining equations and the procedure call are not registered");
        throw std::bad_alloc();
      }
      ++number;
      owner->AddEquation(equation, eqnCount, group);
      const int row = eqnCount - 1;
      owner->AddProcExpression(this, number - 1, row, name);
      owner->AddTerm(*this->m_ppElements[element], rows, cols, row);
      ++element;
      for (int input = 0; input < this->m_nInputElements; ++input)
        if (m_abSolverInput[static_cast<std::size_t>(input)] != 0)
          owner->AddTerm(*this->m_ppElements[input], rows, cols, row);
    }
  }
  owner->AddProcCall(this->m_nOutputElements != 0 ? this : nullptr, group);
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::CreateEquationsAndSetGroup(int group,
                                                                                            int eqnArg3,
                                                                                            int*& rows,
                                                                                            int*& cols,
                                                                                            int& eqnCount,
                                                                                            TQ_ModelTypeEx* owner,
                                                                                            const char* name,
                                                                                            int eqnArg7) {
  CreateEquations(owner, group, eqnArg3, rows, cols, eqnCount, name, eqnArg7);
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::CreateEquationsAndSetGroup(int group,
                                                                                            int eqnArg3,
                                                                                            int*& rows,
                                                                                            int*& cols,
                                                                                            int& eqnCount,
                                                                                            TQ_StructureTypeEx* owner,
                                                                                            const char* name,
                                                                                            int eqnArg7) {
  CreateEquations(owner, group, eqnArg3, rows, cols, eqnCount, name, eqnArg7);
}
