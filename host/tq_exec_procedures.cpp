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

namespace {

// One request to every registered procedure: each writes from the running
// index into one array of the sizes `entries` gives; an index advance other
// than its entries is reported and ends the request.
template <class Entries, class Request>
int RequestEach(TQ_Executive& host, std::vector<double>& values, const char* what, Entries entries, Request request) {
  std::size_t size = 0;
  for (const TQ_ProcCall& call : host.ProcCalls())
    if (call.procedure != nullptr) size += static_cast<std::size_t>(entries(call.procedure));
  values.assign(size, 0.0);
  int position = 0;
  int first = 0;
  for (const TQ_ProcCall& call : host.ProcCalls()) {
    if (call.procedure == nullptr) continue;
    const int before = position;
    const int expected = entries(call.procedure);
    const int status = request(Driven(call), values.data(), position);
    if (status < 0 && first == 0) first = status;
    if (position - before != expected) {
      host.ReportError(std::string("procedure ") + call.procedure->ProcedureName() + ": " + what +
                       " advanced the index by " + std::to_string(position - before) + " for its " +
                       std::to_string(expected) + " entries");
      return first != 0 ? first : -1;
    }
  }
  return first;
}

}  // namespace

int TQ_Executive::ProcedureResiduals(std::vector<double>& residuals) {
  return RequestEach(
      *this,
      residuals,
      "Residuals",
      [](const TQ_ProcedureType* p) { return p->OutputValueCount(); },
      [](TQ_ProcedureType* p, double* values, int& position) { return p->Residuals(values, position); });
}

int TQ_Executive::ProcedureJacobian(std::vector<double>& entries) {
  return RequestEach(
      *this,
      entries,
      "Jacobian",
      [this](const TQ_ProcedureType* p) { return ProcedureTermCount(p); },
      [](TQ_ProcedureType* p, double* values, int& position) { return p->Jacobian(values, position); });
}
