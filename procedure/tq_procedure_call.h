// The procedure template's call of the routine: whether the procedure can be
// called at all, the decision whether a request runs the routine, the call
// itself inside the property-call bracket, the host's judgement of it, and
// the residuals from its outputs.
#pragma once

#ifndef TQ_PROCEDURE_TEMPLATE_PARTS
#error "tq_procedure_call.h is a part of tq_procedure_template.h; include that header"
#endif

#include <cstddef>
#include <cstdint>
#include <cstring>

// ---- the call of the routine ------------------------------------------------------------------

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::RefuseUnlessCallable() {
  const auto refuse = [this](const morvane::string& why) {
    return this->RefuseCall(("call refused: " + why + "; the routine is not called").c_str());
  };
  if (m_bConstructing || !this->LayoutFinalised())
    return refuse("the argument layout is not final (no LastArgument has ended the construction pass)");
  if (!ElementListComplete()) return refuse("the binding pass has not listed every element variable");
  if (this->m_nOutputValues != this->m_nOutputElements)
    return refuse("the host counts " + morvane::Text(this->m_nOutputValues) + " output values, the element list " +
                  morvane::Text(this->m_nOutputElements) + " output elements");
  // The derivative array is the routine's to write into; the derivative
  // cache is not needed here (the Jacobian makes it).
  const std::int64_t product = static_cast<std::int64_t>(this->m_nOutputElements) * this->m_nInputValues;
  if (this->m_nDerivatives != product || (product > 0 && this->m_pDerivatives == nullptr))
    return refuse("the derivative count " + morvane::Text(this->m_nDerivatives) + " is not " +
                  morvane::Text(this->m_nOutputElements) + " output elements times " +
                  morvane::Text(this->m_nInputValues) + " input values, or the host has no derivative array");
  if (static_cast<std::int64_t>(GetOffset(InputArgs())) + this->m_nOutputValues > this->m_nArgWords)
    return refuse("the output values lie outside the argument buffer");
  return 0;
}

// ---- the call cycle -------------------------------------------------------------------------------

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::MakeRowsAndColumns() {
  if (m_pRows != nullptr || this->m_nDerivatives == 0) return;
  const std::size_t count = static_cast<std::size_t>(this->m_nDerivatives);
  std::int32_t* rows = new std::int32_t[count];
  std::int32_t* columns = nullptr;
  try {
    columns = new std::int32_t[count];
  } catch (...) {
    delete[] rows;
    throw;
  }
  // Without both arrays the routine is handed neither.
  if (rows == nullptr || columns == nullptr) {
    delete[] rows;
    delete[] columns;
    return;
  }
  std::size_t k = 0;
  for (std::int32_t output = 0; output < this->m_nOutputElements; ++output)
    for (std::int32_t input = 0; input < this->m_nInputValues; ++input, ++k) {
      rows[k] = output + 1;
      columns[k] = input + 1;
    }
  m_pRows = rows;
  m_pCols = columns;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::CallFn(TQ_ProcedureType::CallType type, bool flag) {
  using Call = TQ_ProcedureType;
  if (const int refused = RefuseUnlessCallable()) return refused;

  // The decision on the call type.
  Call::CallType effective = type;
  if (type == Call::CallValues || type == Call::CallJacobian)
    effective = Proc::ReturnsDerivatives() ? Call::CallValuesAndDerivatives : Call::CallValues;
  switch (effective) {
    case Call::CallValues:
    case Call::CallValuesAndDerivatives:
      this->m_bChanged = !(this->LastCall(effective) && !Call::AlwaysCall() && InputArgs() != 0);
      break;
    case Call::CallPrecall:
      if (this->LastCall(Call::CallPrecall)) return 0;
      if (this->m_pDerivatives != nullptr && this->m_nDerivatives > 0)
        std::memset(this->m_pDerivatives, 0, static_cast<std::size_t>(this->m_nDerivatives) * sizeof(double));
      this->m_bChanged = true;
      break;
    case Call::CallFollowUp:
      if (this->LastCall(Call::CallFollowUp) || this->LastCall(Call::CallNone)) return 0;
      this->m_bChanged = true;
      break;
    default:
      break;
  }

  PackInputVars();
  if (this->m_ppCursor != this->m_ppElements + this->m_nInputElements)
    return this->RefuseCall(
        "call refused: packing did not take every input element variable; the routine is not called");
  if (!this->m_bChanged) return 0;
  // From here until the host judges the call, the buffer's outputs are not
  // those of its inputs, whichever way the call ends.
  this->ForgetLastCall();
  m_bEvaluated = true;
  if (P()->PresetOutputs()) PackOutputVars();

  // The integers of the call that the routine receives by address.
  std::int32_t failure = 1;
  std::int32_t callType = effective;
  std::int32_t hostValue = this->m_nHostInteger;
  std::int32_t scratch = 0;

  int result = this->EnsureCompatibleDLLLoaded(n);
  if (result < 0) return result;
  {
    // The property-call bracket: its begin and its end are each guarded by a
    // question of their own to the procedure's component list name (the
    // routine may change it), and the end comes whichever way the invocation
    // ends.
    struct PropertiesBracket {
      const TQ_ProcedureTemplate& procedure;
      explicit PropertiesBracket(const TQ_ProcedureTemplate& owner) : procedure(owner) {
        if (TQ_COMPONENTLISTNAME* list = procedure.ComponentListName()) list->BeginPropertiesCall();
      }
      PropertiesBracket(const PropertiesBracket&) = delete;
      PropertiesBracket& operator=(const PropertiesBracket&) = delete;
      ~PropertiesBracket() {
        if (TQ_COMPONENTLISTNAME* list = procedure.ComponentListName()) list->EndPropertiesCall();
      }
    } bracket(*this);

    MakeRowsAndColumns();
    // A routine the host does not have is not called: the failure flag
    // keeps its 1, and the host's judgement fails the call.
    if (const TQ_Procedure13 routine = this->GetProcedure13Address(this->m_pRoutine))
      routine(&callType,
              this->m_pArgBuffer,
              m_aDimSizes.data(),
              this->m_pArgBuffer,
              m_aDimSizes.data() + m_nFirstOutputDim,
              const_cast<std::int32_t*>(GetOffsets(0)),
              const_cast<std::int32_t*>(GetOffsets(InputArgs())),
              &this->m_nHostCell,
              this->m_pHostReals,
              &hostValue,
              &this->m_nDerivatives,
              m_pRows,
              m_pCols,
              &scratch,
              this->m_pDerivatives,
              &failure);
  }
  result = this->CheckIFailAndOutputs(failure, effective, flag);
  if (result < 0) return result;
  if (this->LastCall(Call::CallValues) || this->LastCall(Call::CallValuesAndDerivatives)) {
    if (P()->PostsetInputs()) UnpackInputVars();
    if (this->LastCall(Call::CallValuesAndDerivatives)) P()->NegateDerivatives();
  }
  return result;
}

// ---- residuals -----------------------------------------------------------------------------------

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::Residuals(double* values, int& position) {
  int result = RefuseUnlessCallable();
  if (result == 0 && values == nullptr) result = this->RefuseCall("Residuals without an array to write into; refused");
  if (result == 0) result = CallFn(TQ_ProcedureType::CallValues, true);
  if (result < 0) {
    position += this->m_nOutputValues;
    return result;
  }
  const double* words = OutputWords();
  TQ_VarParam* const* element = this->m_ppElements + this->m_nInputElements;
  for (std::int32_t k = 0; k < this->m_nOutputValues; ++k) values[position++] = element[k]->Real() - words[k];
  return result;
}
