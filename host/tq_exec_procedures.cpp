// The executive's requests to the procedures the models registered: the
// pre-call, the residuals and the Jacobian entries of their equations.
#include <string>

#include "tq_executive.h"
#include "tq_procedure.h"

namespace {

// The procedure of a registered call, as the host drives it.
TQ_ProcedureType* Driven(const TQ_ProcCall& call) { return const_cast<TQ_ProcedureType*>(call.procedure); }

}  // namespace

int TQ_Executive::ProcedureTermCount(const TQ_ProcedureType* procedure) const {
  int terms = 0;
  for (const TQ_EmittedEquation& equation : Emitted()) {
    const auto* type = dynamic_cast<const TQ_ProcedureEquationType*>(equation.type);
    if (type == nullptr || type->Procedure() != procedure) continue;
    for (std::uint32_t i = 0; i < equation.itemCount; ++i)
      if (Items()[equation.firstItem + i].kind == TQ_ProgramItem::Term) ++terms;
  }
  return terms;
}

int TQ_Executive::PrecallProcedures(bool flag) {
  int first = 0;
  for (const TQ_ProcCall& call : ProcCalls()) {
    if (call.procedure == nullptr) continue;
    const int status = Driven(call)->Precall(flag);
    if (status < 0 && first == 0) first = status;
  }
  return first;
}

int TQ_Executive::ProcedureResiduals(std::vector<double>& residuals) {
  std::size_t size = 0;
  for (const TQ_ProcCall& call : ProcCalls())
    if (call.procedure != nullptr) size += static_cast<std::size_t>(call.procedure->OutputValueCount());
  residuals.assign(size, 0.0);
  int position = 0;
  int first = 0;
  for (const TQ_ProcCall& call : ProcCalls()) {
    if (call.procedure == nullptr) continue;
    const int before = position;
    const int status = Driven(call)->Residuals(residuals.data(), position);
    if (status < 0 && first == 0) first = status;
    if (position - before != call.procedure->OutputValueCount()) {
      ReportError(std::string("procedure ") + call.procedure->ProcedureName() + ": Residuals advanced the index by " +
                  std::to_string(position - before) + " for " + std::to_string(call.procedure->OutputValueCount()) +
                  " output values");
      return first != 0 ? first : -1;
    }
  }
  return first;
}

int TQ_Executive::ProcedureJacobian(std::vector<double>& entries) {
  std::size_t size = 0;
  for (const TQ_ProcCall& call : ProcCalls())
    if (call.procedure != nullptr) size += static_cast<std::size_t>(ProcedureTermCount(call.procedure));
  entries.assign(size, 0.0);
  int position = 0;
  int first = 0;
  for (const TQ_ProcCall& call : ProcCalls()) {
    if (call.procedure == nullptr) continue;
    const int before = position;
    const int terms = ProcedureTermCount(call.procedure);
    const int status = Driven(call)->Jacobian(entries.data(), position);
    if (status < 0 && first == 0) first = status;
    if (position - before != terms) {
      ReportError(std::string("procedure ") + call.procedure->ProcedureName() + ": Jacobian advanced the index by " +
                  std::to_string(position - before) + " for the " + std::to_string(terms) +
                  " terms of its equations");
      return first != 0 ? first : -1;
    }
  }
  return first;
}
