#include "tq_executive.h"

#include <new>
#include <optional>

#include "tq_executive_testing.h"

// The parts, each with its own concern, and what tests may set.
struct TQ_Executive::Impl {
  TQ_Registry registry;
  TQ_MessageLog messages;
  TQ_ValueRecord values;
  TQ_ProcedureRecords procedures;
  TQ_EquationStore store;
  TQ_ModelCycle cycle{registry, messages, procedures};
  std::vector<std::string> refusedFixes;

  // What tests set the host's own calls to answer.
  std::optional<int> rootSetUp;
  std::optional<int> rootJac;
  std::optional<int> localEqn;
  long rootStatus = 0;

  // The messages count the names of the objects as one form.
  Impl() {
    messages.SetNameTest(
        [](const void* names, std::string_view word) { return static_cast<const TQ_Registry*>(names)->IsName(word); },
        &registry);
  }
};

namespace {
// The one executive, made on first use and never destroyed: objects the host
// holds may outlive static destruction.
TQ_Executive* g_executive = nullptr;
}  // namespace

// Out of line: the checked paths of the per-item calls reach the executive
// through Instance() and keep their code free of the first use's
// construction.
[[gnu::noinline, gnu::cold]] void TQ_Executive::Create() { g_executive = new TQ_Executive; }

TQ_Executive& TQ_Executive::Instance() {
  if (g_executive == nullptr) [[unlikely]]
    Create();
  return *g_executive;
}

TQ_Executive::TQ_Executive() : m(new Impl) {}
TQ_Executive::~TQ_Executive() { delete m; }

TQ_EquationStore& TQ_Executive::Store() { return m->store; }

void TQ_Executive::Reset() {
  // Release in reverse order of addition: later objects link to earlier ones.
  TQ_HeldVector<TQ_ModelType*> objects = m->registry.TakeObjects();
  for (auto it = objects.rbegin(); it != objects.rend(); ++it) (*it)->Release();
  // Fresh parts; without the memory for them (Reset runs in destructors, and
  // must not fail) the present ones are emptied in place.
  Impl* fresh = nullptr;
  try {
    fresh = new Impl;
  } catch (const std::bad_alloc&) {
  }
  if (fresh != nullptr) {
    delete m;
    m = fresh;
  } else {
    m->procedures.Release(nullptr);
    m->messages.Clear();
    m->values.Enable(false);
    m->values.Clear();
    m->store.ForgetNames();
    m->cycle.Forget();
    m->refusedFixes.clear();
    m->rootSetUp.reset();
    m->rootJac.reset();
    m->localEqn.reset();
    m->rootStatus = 0;
  }
  TQ_EquationStore::ClearContents();
  TQ_ModelType::m_stLastGroup = 0;
}

// ---- objects ----------------------------------------------------------------------

bool TQ_Executive::AddObject(const std::string& name, TQ_ModelType* object, std::string* error) {
  return m->registry.Add(name, object, error);
}
TQ_ModelType* TQ_Executive::FindObject(const std::string& name) const { return m->registry.Find(name); }
bool TQ_Executive::IsObjectName(std::string_view name) const { return m->registry.IsName(name); }
int TQ_Executive::ObjectCount() const { return static_cast<int>(m->registry.Count()); }
TQ_ModelType* TQ_Executive::ObjectAt(int index) const { return m->registry.At(static_cast<std::size_t>(index)); }
const std::string& TQ_Executive::ObjectNameAt(int index) const {
  return m->registry.NameAt(static_cast<std::size_t>(index));
}
std::string TQ_Executive::PathOf(const TQ_Containable* item) const { return TQ_Registry::PathOf(item); }
TQ_Containable* TQ_Executive::FindByPath(const std::string& path, bool create, std::string* error) {
  return m->registry.FindByPath(path, create, error);
}

// ---- the model cycle ----------------------------------------------------------------

bool TQ_Executive::RunCycle(const CycleOptions& options) {
  bool ok = RunAssignments(options);
  ok = RunSetDims() && ok;
  ok = RunSetUpEquations() && ok;
  ok = RunJacPattern() && ok;
  return ok;
}
bool TQ_Executive::RunAssignments(const CycleOptions& options) { return m->cycle.RunAssignments(options); }
bool TQ_Executive::RunSetDims() { return m->cycle.RunSetDims(); }
bool TQ_Executive::RunSetUpEquations() { return m->cycle.RunSetUpEquations(); }
bool TQ_Executive::RunJacPattern() { return m->cycle.RunJacPattern(); }
const TQ_HeldVector<TQ_ModelSummary>& TQ_Executive::Summaries() const { return m->cycle.Summaries(); }

// ---- the stores ---------------------------------------------------------------------

const std::vector<TQ_DeclaredEquation>& TQ_Executive::Declared() const { return TQ_EquationStore::Declared(); }
const std::vector<TQ_VarParam*>& TQ_Executive::DeclaredNonZeros() const { return TQ_EquationStore::DeclaredNonZeros(); }
const std::vector<TQ_EmittedEquation>& TQ_Executive::Emitted() const { return TQ_EquationStore::Emitted(); }
const std::vector<TQ_ProgramItem>& TQ_Executive::Items() const { return TQ_EquationStore::Items(); }
const char* TQ_Executive::EquationName(const TQ_EmittedEquation& equation) const {
  return m->store.Name(equation.name);
}
const TQ_HeldVector<TQ_ProcExpression>& TQ_Executive::ProcExpressions() const { return m->procedures.Expressions(); }
const TQ_HeldVector<TQ_ProcCall>& TQ_Executive::ProcCalls() const { return m->procedures.Calls(); }
const char* TQ_Executive::ProcExpressionName(const TQ_ProcExpression& expression) const {
  return m->store.Name(expression.name);
}
const std::vector<int>& TQ_Executive::PatternRows() const { return TQ_EquationStore::PatternRows(); }
const std::vector<int>& TQ_Executive::PatternColumns() const { return TQ_EquationStore::PatternColumns(); }
int TQ_Executive::PatternEntriesWritten() const { return TQ_EquationStore::PatternEntriesWritten(); }
std::size_t TQ_Executive::StoreBytes() const { return m->store.Bytes(); }
bool TQ_Executive::DeclaredMatchesEmitted(std::string* difference) const {
  return m->store.DeclaredMatchesEmitted(difference);
}
void TQ_Executive::AppendInfix(std::string& out, const TQ_EmittedEquation& equation, bool fullPaths) const {
  TQ_EquationStore::AppendInfix(out, equation, fullPaths);
}
std::string TQ_Executive::Infix(const TQ_EmittedEquation& equation, bool fullPaths) const {
  std::string text;
  TQ_EquationStore::AppendInfix(text, equation, fullPaths);
  return text;
}
double TQ_Executive::Evaluate(const TQ_EmittedEquation& equation,
                              const std::function<double(const TQ_VarParam&)>& value,
                              bool* ok) const {
  return TQ_EquationStore::Evaluate(equation, value, ok);
}

// ---- messages and log ------------------------------------------------------------------

void TQ_Executive::ReportError(const std::string& message) noexcept { m->messages.Report(message.c_str()); }
void TQ_Executive::ReportError(const char* message) noexcept { m->messages.Report(message ? message : ""); }
const std::vector<std::string>& TQ_Executive::Errors() const { return m->messages.Errors(); }
void TQ_Executive::ClearErrors() { m->messages.Clear(); }

const std::vector<std::string>& TQ_Executive::RefusedFixes() const { return m->refusedFixes; }

void TQ_Executive::RefuseFix(const TQ_Containable* property, const std::string& message) noexcept {
  ReportError(message);
  try {
    m->refusedFixes.push_back(PathOf(property));
  } catch (const std::bad_alloc&) {
    // The message stands; the list goes without the path.
  }
}

void TQ_Executive::LogAssignment(const TQ_Containable* target, const TQ_Value& value, TQ_AssignStatus status) {
  m->values.Assignment(target, value, status);
}

void TQ_Executive::LogIndexSet(const TQ_Containable* target, const TQ_Value& value, int sweep, TQ_AssignStatus status) {
  m->values.IndexSet(target, value, sweep, status);
}

// ---- calls from the object model -------------------------------------------------------------

long TQ_Executive::RootAssignmentStatus() const { return m->rootStatus; }

int TQ_Executive::RootSetUpEquations() const { return m->rootSetUp ? *m->rootSetUp : m->cycle.DeclaredRunning(); }

int TQ_Executive::RootJacPattern() const {
  return m->rootJac ? *m->rootJac : static_cast<int>(TQ_EquationStore::EmittedCount());
}

int TQ_Executive::LocalEqnCount(const TQ_ModelType*, int count) { return m->localEqn ? *m->localEqn : count; }

void TQ_Executive::EmitEquation(
    const TQ_ModelType* model, const char* name, int& count, int group, const TQ_EquationType* type) {
  m->store.EmitEquation(model, name, count, group, type);
}

void TQ_Executive::ResetExpressionsOf(const TQ_ModelType* model) {
  m->procedures.Release(model);
  TQ_EquationStore::ResetExpressionsOf(model);
}

// ---- procedure equations ---------------------------------------------------------------------

void TQ_Executive::AdoptEquationType(const TQ_ModelType* model, TQ_EquationType* type) {
  if (type != nullptr) m->procedures.Adopt(model, type);
}

void TQ_Executive::EmitProcExpression(
    const TQ_ModelType* model, const TQ_ProcedureType* procedure, int number, int row, const char* name) {
  if (!TQ_EquationStore::IsBeingEmitted(model, row)) return;
  if (procedure == nullptr) {
    ReportError(PathOf(model) + ": procedure program for equation " + std::to_string(row) + " names no procedure");
    return;
  }
  m->procedures.AddExpression(TQ_ProcExpression{model, procedure, number, row, m->store.InternName(name)});
}

void TQ_Executive::EmitProcCall(const TQ_ModelType* model, const TQ_ProcedureType* procedure, int group) {
  m->procedures.AddCall(TQ_ProcCall{model, procedure, group});
}

// ---- the models' calls that are not per item --------------------------------------------------

int TQ_ModelType::SetLocalEqnCount(int count) { return TQ_Executive::Instance().LocalEqnCount(this, count); }
void TQ_ModelExtensions::ResetExpressions() { TQ_Executive::Instance().ResetExpressionsOf(m_model); }

// ---- what only tests ask ----------------------------------------------------------------------

void TQ_ExecutiveTesting::SetRootSetUpResult(TQ_Executive& host, std::optional<int> result) {
  host.m->rootSetUp = result;
}
void TQ_ExecutiveTesting::SetRootJacResult(TQ_Executive& host, std::optional<int> result) { host.m->rootJac = result; }
void TQ_ExecutiveTesting::SetLocalEqnCountResult(TQ_Executive& host, std::optional<int> result) {
  host.m->localEqn = result;
}
void TQ_ExecutiveTesting::SetRootAssignmentStatus(TQ_Executive& host, long status) { host.m->rootStatus = status; }

void TQ_ExecutiveTesting::EnableLog(TQ_Executive& host, bool on) { host.m->values.Enable(on); }
bool TQ_ExecutiveTesting::LogEnabled(TQ_Executive& host) { return host.m->values.Enabled(); }
const std::vector<TQ_LogEntry>& TQ_ExecutiveTesting::Log(TQ_Executive& host) { return host.m->values.Entries(); }
void TQ_ExecutiveTesting::ClearLog(TQ_Executive& host) { host.m->values.Clear(); }

void TQ_ExecutiveTesting::BeginEmission(TQ_Executive& host, std::size_t nonZeros, int*& rows, int*& cols) {
  host.m->cycle.BeginEmission(nonZeros, rows, cols);
}
void TQ_ExecutiveTesting::DeclareEquation(TQ_Executive&, const TQ_ModelType* model, int group) {
  TQ_EquationStore::DeclareEquation(model, group);
}
void TQ_ExecutiveTesting::DeclareNonZero(TQ_Executive&, const TQ_ModelType* model, TQ_VarParam& term) {
  TQ_EquationStore::DeclareNonZero(model, term);
}
