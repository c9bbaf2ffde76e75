#include "tq_procedure_records.h"

#include <vector>

#include "tq_procedure.h"

void TQ_ProcedureRecords::Release(const TQ_ModelType* model) {
  std::vector<std::pair<const TQ_ModelType*, TQ_EquationType*>> keptTypes;
  for (auto& adopted : adoptedTypes_) {
    if (model == nullptr || adopted.first == model)
      delete adopted.second;
    else
      keptTypes.push_back(adopted);
  }
  adoptedTypes_.swap(keptTypes);
  std::erase_if(expressions_, [&](const TQ_ProcExpression& e) { return model == nullptr || e.owner == model; });
  std::erase_if(calls_, [&](const TQ_ProcCall& c) { return model == nullptr || c.owner == model; });
}
