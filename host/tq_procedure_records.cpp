#include "tq_procedure_records.h"

#include <vector>

#include "tq_procedure.h"

void TQ_ProcedureRecords::NoteOwner(const TQ_ModelType* model) { owners_.insert(model); }

void TQ_ProcedureRecords::AddExpression(const TQ_ProcExpression& expression) {
  NoteOwner(expression.owner);
  expressions_.push_back(expression);
}

void TQ_ProcedureRecords::AddCall(const TQ_ProcCall& call) {
  NoteOwner(call.owner);
  calls_.push_back(call);
}

void TQ_ProcedureRecords::Adopt(const TQ_ModelType* model, TQ_EquationType* type) {
  NoteOwner(model);
  adoptedTypes_.emplace_back(model, type);
}

void TQ_ProcedureRecords::Release(const TQ_ModelType* model) {
  if (model != nullptr) {
    if (owners_.erase(model) == 0) return;
  } else {
    owners_.clear();
  }
  const auto released = [&](const TQ_ModelType* owner) { return model == nullptr || owner == model; };
  std::erase_if(adoptedTypes_, [&](const std::pair<const TQ_ModelType*, TQ_EquationType*>& adopted) {
    if (!released(adopted.first)) return false;
    delete adopted.second;
    return true;
  });
  std::erase_if(expressions_, [&](const TQ_ProcExpression& e) { return released(e.owner); });
  std::erase_if(calls_, [&](const TQ_ProcCall& c) { return released(c.owner); });
}
