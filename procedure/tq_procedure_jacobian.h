// The procedure template's Jacobian: the derivative cache, the derivatives a
// routine returns replayed from it, and for a routine that returns none the
// finite-difference pass, one perturbed call per solver-variable input
// element. A perturbation is written and restored as the write-back writes
// (tq_procedure_writeback.h).
#pragma once

#ifndef TQ_PROCEDURE_TEMPLATE_PARTS
#error "tq_procedure_jacobian.h is a part of tq_procedure_template.h; include that header"
#endif

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

// ---- the Jacobian ------------------------------------------------------------------------------------

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::Jacobian(double* values, int& position) {
  int result = RefuseUnlessCallable();
  if (result == 0 && values == nullptr) result = this->RefuseCall("Jacobian without an array to write into; refused");
  if (result < 0) {
    // Nothing is written for a procedure whose counts cannot be trusted;
    // the index passes the entries its equations declared.
    position += this->m_nOutputValues * (this->m_nSolverInputs + 1);
    return result;
  }
  if (this->m_pDerivCache == nullptr) {
    this->m_pDerivCache = NewDerivativeCache();
    // A new cache holds no derivatives yet (those of an earlier call had
    // nowhere to go): they are made again for it, by the routine or by
    // differences, rather than zeros replayed.
    if (this->m_pDerivCache != nullptr) {
      if (Proc::ReturnsDerivatives())
        this->ForgetLastCall();
      else
        m_bEvaluated = true;
    }
  }
  result = CallFn(TQ_ProcedureType::CallJacobian, true);
  if (result >= 0 && !Proc::ReturnsDerivatives() && m_bEvaluated) return FiniteDifferences(values, position, result);

  // The derivatives of the residuals as the cache holds them, one row per
  // output value of one entry per input value; the host takes those of the
  // solver-variable elements.
  const double* cache = this->m_pDerivCache;
  std::int64_t slot = 0;
  for (std::int32_t row = 0; row < this->m_nOutputValues; ++row) {
    values[position++] = 1.0;
    WalkInputs([&](int) { ++slot; },
               [&](int, std::int64_t, std::int64_t, std::int32_t element) {
                 if (m_abSolverInput[static_cast<std::size_t>(element)] != 0)
                   values[position++] = cache != nullptr ? cache[slot] : 0.0;
                 ++slot;
               });
  }
  return result;
}

// The derivative cache: one derivative per input value of each output
// element, on the host heap (the host base holds it and releases it), 0.0
// until derivatives reach it. Null when there is nothing to hold or the heap
// refuses it; a later Jacobian asks again.
template <class Proc, int inputs, int outputs, int dims, class Base, int n>
double* TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::NewDerivativeCache() const {
  const std::int64_t count = static_cast<std::int64_t>(this->m_nInputValues) * this->m_nOutputElements;
  if (count <= 0 || static_cast<std::uint64_t>(count) > 0xFFFFFFFFu / sizeof(double)) return nullptr;
  const std::size_t bytes = static_cast<std::size_t>(count) * sizeof(double);
  void* block = morvane::HostNew(bytes);
  if (block != nullptr) std::memset(block, 0, bytes);
  return static_cast<double*>(block);
}

// The derivative of a residual from the change `d` of an output over the
// step `h`: -d / h, its magnitude kept below 1.79769313486231e308 while the
// step is not above 1 in magnitude.
inline double TQ_DifferenceQuotient(double d, double h) {
  constexpr double kLimit = 1.79769313486231e308;
  if (std::fabs(h) > 1.0) return -d / h;
  if (!(std::fabs(h) * kLimit >= std::fabs(d))) return (h < 0.0) != (d < 0.0) ? kLimit : -kLimit;
  return -d / h;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::FiniteDifferences(double* values,
                                                                                  int& position,
                                                                                  int result) {
  const std::int32_t rows = this->m_nOutputValues;
  const std::int64_t width = static_cast<std::int64_t>(this->m_nSolverInputs) + 1;
  const std::int64_t index0 = position;
  const auto setColumn = [&](std::int64_t column, double value) {
    for (std::int32_t row = 0; row < rows; ++row) values[index0 + row * width + 1 + column] = value;
  };
  const auto writeUnitRows = [&] {
    for (std::int32_t row = 0; row < rows; ++row) {
      values[position] = 1.0;
      position += static_cast<int>(width);
    }
  };

  // 1. The outputs at the unperturbed point.
  if (m_pBaseOutputs == nullptr && rows > 0) m_pBaseOutputs = new double[static_cast<std::size_t>(rows)];
  if (rows > 0 && m_pBaseOutputs == nullptr) {
    for (std::int64_t column = 0; column + 1 < width; ++column) setColumn(column, 0.0);
    writeUnitRows();
    return this->RefuseCall("no memory for the outputs at the unperturbed point; the Jacobian holds no derivatives");
  }
  if (rows > 0) std::memcpy(m_pBaseOutputs, OutputWords(), static_cast<std::size_t>(rows) * sizeof(double));

  // 2-12. One perturbed evaluation per solver-variable input element.
  TQ_Value holder(0.0, TQ_PROCEDURE_ASSIGNMENT_LEVEL);
  std::int64_t column = 0;
  WalkInputs([](int) {},
             [&](int, std::int64_t, std::int64_t, std::int32_t element) {
               if (m_abSolverInput[static_cast<std::size_t>(element)] == 0) return;
               TQ_VarParam& variable = *this->m_ppElements[element];
               const std::int64_t c = column++;
               if (TQ_IncrementalUpdate* controller = this->UpdateController())
                 if (!controller->IsUpdated(variable)) {
                   setColumn(c, 0.0);
                   return;
                 }

               const double x = variable.Real();
               double h = std::fabs(x) > 1.0 ? std::fabs(x) * 1e-6 : 1e-6;
               const double upper = variable.TQ_UPPERValue();
               const double lower = variable.TQ_LOWERValue();
               const auto rejected = [&](double v) { return lower > v || upper < v; };
               double v = x + h;
               if (rejected(v)) {
                 h = -h;
                 v = x + h;
                 if (rejected(v)) {
                   const double dU = upper - x;
                   const double dL = x - lower;
                   if (dL > dU || !(dL <= dU)) {
                     v = lower;
                     h = lower - x;
                   } else {
                     v = upper;
                     h = upper - x;
                   }
                 }
               }
               // A step of zero (both bounds at the value) has no quotient.
               if (h == 0.0) {
                 setColumn(c, 0.0);
                 return;
               }

               // The variable is set, and restored, the way its value stands: by
               // default assignment or as its current value; an exception on the way
               // restores it too.
               struct Perturbation {
                 TQ_VarParam& variable;
                 double x;
                 TQ_Value& holder;
                 bool active = true;
                 Perturbation(TQ_VarParam& v, double value, TQ_Value& h) : variable(v), x(value), holder(h) {}
                 Perturbation(const Perturbation&) = delete;
                 Perturbation& operator=(const Perturbation&) = delete;
                 void Restore() {
                   if (active) WriteVariable(variable, x, holder);
                   active = false;
                 }
                 ~Perturbation() { Restore(); }
               } perturbation(variable, x, holder);
               WriteVariable(variable, v, holder);
               const bool moved = !(variable.Real() == x);
               int status = 0;
               bool ran = false;
               if (moved) {
                 status = CallFn(TQ_ProcedureType::CallValues, true);
                 ran = status >= 0 && this->m_bChanged;
               }
               perturbation.Restore();

               if (status < 0) {
                 if (result >= 0) result = status;
                 setColumn(c, 0.0);
                 return;
               }
               // A perturbation that did not reach the variable, or that packing did
               // not see, gives no difference to divide.
               if (!moved || !ran) {
                 setColumn(c, 0.0);
                 return;
               }
               const double* words = OutputWords();
               for (std::int32_t row = 0; row < rows; ++row)
                 values[index0 + row * width + 1 + c] = TQ_DifferenceQuotient(words[row] - m_pBaseOutputs[row], h);
             });

  // 13. The output variables' coefficients; the index passes the rows.
  writeUnitRows();

  // 14. The cache takes the rows, one entry per input value.
  if (double* cache = this->m_pDerivCache) {
    std::int64_t slot = 0;
    std::int64_t at = index0;
    for (std::int32_t row = 0; row < rows; ++row) {
      ++at;
      WalkInputs([&](int) { ++slot; },
                 [&](int, std::int64_t, std::int64_t, std::int32_t element) {
                   if (m_abSolverInput[static_cast<std::size_t>(element)] != 0) cache[slot] = values[at++];
                   ++slot;
                 });
    }
  }

  // 15. The buffer holds the unperturbed point again, inputs and outputs,
  // so that a request at this point is answered from it rightly.
  PackInputVars();
  if (rows > 0) std::memcpy(OutputWords(), m_pBaseOutputs, static_cast<std::size_t>(rows) * sizeof(double));

  // 16. A pass that failed is not replayed from the cache: the next
  // Jacobian at this point differences again.
  if (result >= 0) m_bEvaluated = false;
  return result;
}
