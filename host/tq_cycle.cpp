#include "tq_cycle.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "tq_equation_store.h"
#include "tq_links.h"
#include "tq_matrix.h"

namespace {
// Reports a failure of `phase` of `object` (null for the host's own work)
// without asking for memory of its own: when memory ran out, building a
// message could fail again.
void ReportFailure(TQ_MessageLog& messages, const std::string* object, const char* phase, const char* why) noexcept {
  char message[512];
  if (object != nullptr)
    std::snprintf(message, sizeof message, "%s: %s: %s", object->c_str(), phase, why);
  else
    std::snprintf(message, sizeof message, "host: %s: %s", phase, why);
  messages.Report(message);
}

// Runs `call`, a step of the cycle; an exception from it (the model's code,
// or the host's calls the model made) is reported and the step fails.
template <typename Call>
bool Guarded(TQ_MessageLog& messages, const std::string* object, const char* phase, Call call) noexcept {
  try {
    return call();
  } catch (const std::bad_alloc&) {
    ReportFailure(messages, object, phase, "out of memory");
  } catch (const std::exception& e) {
    ReportFailure(messages, object, phase, e.what());
  } catch (...) {
    ReportFailure(messages, object, phase, "unknown failure");
  }
  return false;
}

// Runs `phase` of the object at `index` of `registry` (`call` gives the phase's result): what is
// reported meanwhile the object says. A negative result fails the step, and the host adds
// "<object>: <phase> <failed> <result>" only when the object has said nothing itself in this
// cycle: a model that gave its cause is not followed by a line that repeats its failure.
template <typename Call>
bool Step(TQ_MessageLog& messages,
          const TQ_Registry& registry,
          std::size_t index,
          const char* phase,
          const char* failed,
          Call call) noexcept {
  const TQ_ModelType* object = registry.At(index);
  const std::string& name = registry.NameAt(index);
  messages.SetSpeaker(object);
  long result = 0;
  const bool ran = Guarded(messages, &name, phase, [&] {
    result = call();
    return true;
  });
  messages.SetSpeaker(nullptr);
  if (!ran) return false;
  if (result >= 0) return true;
  if (!messages.HasSpoken(object)) {
    char message[512];
    std::snprintf(message, sizeof message, "%s: %s %s %ld", name.c_str(), phase, failed, result);
    messages.Report(message);
  }
  return false;
}
}  // namespace

bool TQ_ModelCycle::RunAssignments(const TQ_CycleOptions& options) {
  messages_.BeginCycle();
  bool ok = true;
  for (std::size_t i = 0; i < registry_.Count(); ++i) {
    TQ_ModelType* object = registry_.At(i);
    ok = Step(messages_,
              registry_,
              i,
              "ExecuteAssignments",
              "returned",
              [&] { return object->ExecuteAssignments(options.level, static_cast<int>(options.pass)); }) &&
         ok;
  }
  return ok;
}

namespace {
// The arrays an object holds as its properties, itself or behind a virtual
// property (one that stands for nothing yet is not made to).
std::vector<TQ_Matrix*> ArraysOf(const TQ_ModelType& object) {
  std::vector<TQ_Matrix*> arrays;
  for (int k = 0; k < object.PropertyCount(); ++k) {
    TQ_Containable* property = object.PropertyAt(k).property;
    if (auto* virtualProperty = dynamic_cast<TQ_VirtualBase*>(property)) property = virtualProperty->CurrentLink();
    if (auto* array = dynamic_cast<TQ_Matrix*>(property)) arrays.push_back(array);
  }
  return arrays;
}

// "7 x 8 x 9": the sizes of the declared sets.
std::string DeclaredSizes(const TQ_Matrix& array) {
  std::string sizes;
  for (int d = 0; d < array.Dimensions(); ++d) {
    if (d > 0) sizes += " x ";
    sizes += std::to_string(array.DeclaredSet(d)->v().SetSize());
  }
  return sizes;
}
}  // namespace

bool TQ_ModelCycle::RunSetDims() {
  return Guarded(messages_, nullptr, "SetDims", [&] { return SizeArrays(); });
}

bool TQ_ModelCycle::SizeArrays() {
  unsized_.clear();
  bool ok = true;
  for (std::size_t i = 0; i < registry_.Count(); ++i) {
    TQ_ModelType* object = registry_.At(i);
    ok = Step(messages_,
              registry_,
              i,
              "SetDims",
              "failed with code",
              [&] {
                object->SetDims();
                return 0L;
              }) &&
         ok;
    // Every array must hold all the elements its index sets call for; an
    // object with one that cannot goes no further in the cycle.
    for (TQ_Matrix* array : ArraysOf(*object)) {
      const std::int64_t elements = array->DeclaredElementCount();
      if (elements <= TQ_Matrix::kMaxElements) continue;
      std::string sets;
      for (int d = 0; d < array->Dimensions(); ++d)
        sets += (d > 0 ? ", " : "") + TQ_Registry::PathOf(array->DeclaredSet(d));
      messages_.Report(registry_.NameAt(i) + ": SetDims: array " + TQ_Registry::PathOf(array) + " over " + sets +
                       " calls for " + DeclaredSizes(*array) + " = " + (elements == INT64_MAX ? "at least " : "") +
                       std::to_string(elements) + " elements, more than the " +
                       std::to_string(TQ_Matrix::kMaxElements) +
                       " an array can hold; its model's equations are not set up");
      unsized_.insert(object);
      ok = false;
    }
  }
  return ok;
}

bool TQ_ModelCycle::RunSetUpEquations() {
  return Guarded(messages_, nullptr, "SetUpEquations", [&] { return DeclareAll(); });
}

bool TQ_ModelCycle::DeclareAll() {
  TQ_EquationStore::BeginDeclaration();
  declaredRunning_ = 0;
  summaries_.clear();
  TQ_ModelType::m_stLastGroup = 0;
  bool ok = true;
  for (std::size_t i = 0; i < registry_.Count(); ++i) {
    TQ_ModelType* object = registry_.At(i);
    TQ_ModelSummary summary{
        object, static_cast<int>(TQ_EquationStore::DeclaredCount()), 0, 0, 0, TQ_ModelType::m_stLastGroup, 0};
    if (Unsized(object)) {
      messages_.Report(registry_.NameAt(i) + ": SetUpEquations not called: its arrays are too large to hold");
      ok = false;
    } else {
      ok = Step(messages_,
                registry_,
                i,
                "SetUpEquations",
                "failed with code",
                [&] {
                  const int result = object->SetUpEquations();
                  if (result >= 0) declaredRunning_ = result;
                  return static_cast<long>(result);
                }) &&
           ok;
    }
    summary.declaredCount = static_cast<int>(TQ_EquationStore::DeclaredCount()) - summary.firstDeclared;
    int lastGroup = TQ_ModelType::m_stLastGroup;
    const std::vector<TQ_DeclaredEquation>& declared = TQ_EquationStore::Declared();
    for (std::size_t e = static_cast<std::size_t>(summary.firstDeclared); e < declared.size(); ++e)
      lastGroup = std::max(lastGroup, static_cast<int>(declared[e].group));
    TQ_ModelType::m_stLastGroup = lastGroup;
    summary.lastGroup = lastGroup;
    summaries_.push_back(summary);
  }
  return ok;
}

bool TQ_ModelCycle::RunJacPattern() {
  return Guarded(messages_, nullptr, "JacPattern", [&] { return EmitAll(); });
}

bool TQ_ModelCycle::EmitAll() {
  int* rows = nullptr;
  int* cols = nullptr;
  BeginEmission(TQ_EquationStore::DeclaredNonZeros().size(), rows, cols);
  if (summaries_.size() != registry_.Count()) {
    summaries_.clear();
    for (std::size_t i = 0; i < registry_.Count(); ++i)
      summaries_.push_back(TQ_ModelSummary{registry_.At(i), 0, 0, 0, 0, 0, 0});
  }
  bool ok = true;
  for (std::size_t i = 0; i < registry_.Count(); ++i) {
    TQ_ModelType* object = registry_.At(i);
    TQ_ModelSummary& summary = summaries_[i];
    summary.firstEmitted = static_cast<int>(TQ_EquationStore::EmittedCount());
    if (Unsized(object)) {
      messages_.Report(registry_.NameAt(i) + ": JacPattern not called: its arrays are too large to hold");
      ok = false;
    } else {
      ok = Step(messages_,
                registry_,
                i,
                "JacPattern",
                "failed with code",
                [&] { return static_cast<long>(object->JacPattern(rows, cols, nullptr)); }) &&
           ok;
    }
    summary.emittedCount = static_cast<int>(TQ_EquationStore::EmittedCount()) - summary.firstEmitted;
  }
  return ok;
}

bool TQ_ModelCycle::Unsized(const TQ_ModelType* object) const { return unsized_.find(object) != unsized_.end(); }

void TQ_ModelCycle::BeginEmission(std::size_t nonZeros, int*& rows, int*& cols) {
  procedures_.Release(nullptr);
  TQ_EquationStore::BeginEmission(nonZeros, rows, cols);
}
