#include "distribution/tq_distribution1d.h"

#include "distribution/distribution1d_equations.h"
#include "distribution/distribution_engine.h"
#include "distribution/distribution_sets.h"
#include "framework/frame.h"

namespace dist = morvane::distribution;

void TQ_DISTRIBUTION1D::RegisterProperties() {
  Register(XDOMAIN, "XDOMAIN");
  Register(TQ_VALUE_SET1, "TQ_VALUE_SET1");
  Register(VALUE, "VALUE", "Variable value at a node point");
  Register(USERNOTES, "USERNOTES");
  Register(INPUTSIGNAL, "INPUTSIGNAL", nullptr, TQ_DIR_INPUT)->UnsetIsToBeExported();
  Register(OUTPUTSIGNAL, "OUTPUTSIGNAL", nullptr, TQ_DIR_OUTPUT)->UnsetIsToBeExported();
  Register(HIGHESTORDERXDERIVATIVE, "HIGHESTORDERXDERIVATIVE");
  Register(HIGHESTORDERXDERIVATIVEUSED, "HIGHESTORDERXDERIVATIVEUSED");
  Register(INTEGRALS, "INTEGRALS", "Integrals to be calculated. Valid value: idx");
  Register(TQ_DDX_SET1, "TQ_DDX_SET1");
  Register(DDX, "DDX", "1st-order partial deriv wrt x");
  Register(TQ_D2DX2_SET1, "TQ_D2DX2_SET1");
  Register(D2DX2, "D2DX2", "2nd-order partial deriv wrt x");
  Register(TQ_IDX_SET1, "TQ_IDX_SET1");
  Register(IDX, "IDX", "integral of distributed variable over X domain");
}

void TQ_DISTRIBUTION1D::SizeArrays() {
  (*VALUE).SetDim(TQ_VALUE_SET1);
  DDX.SetDim(TQ_DDX_SET1);
  D2DX2.SetDim(TQ_D2DX2_SET1);
  IDX.SetDim(TQ_IDX_SET1);
}

long TQ_DISTRIBUTION1D::ExecuteAssignments0(int level, int pass, long status) {
  return morvane::eqn::AssignOverDomains(*this, {&XDOMAIN}, level, pass, status);
}

// A bound that works out at INT_MIN is handed as it is (LeastBound::OneMember).
void TQ_DISTRIBUTION1D::IndexSets(const TQ_AssignmentStep& step) {
  const TQ_DOMAIN& domain = *XDOMAIN;
  constexpr dist::LeastBound kLeast = dist::LeastBound::OneMember;
  const int end = domain.ENDNODE.v();
  const int used = HIGHESTORDERXDERIVATIVEUSED.v();
  // #1 the nodes 0 .. ENDNODE.
  step.IndexSet(TQ_VALUE_SET1, dist::NodeRange(0, 1, end, kLeast), 1);
  // #2 every node when first derivatives are used, else node 0 alone.
  step.IndexSet(TQ_DDX_SET1, dist::NodeRange(0, dist::OrderFactor(used, 0), end, kLeast), 2);
  // #3 the domain's interior nodes when second derivatives are used; the
  // range is empty otherwise.
  {
    const TQ_IntSetValue nodes = dist::NodeRangeWithin(1, dist::OrderFactor(used, 1), end, domain.INTERIOR.v(), kLeast);
    step.IndexSet(TQ_D2DX2_SET1, static_cast<const SUValue&>(nodes), 3);
  }
  // #4 every node when "idx" is selected; [0 .. -ENDNODE] otherwise.
  step.IndexSet(TQ_IDX_SET1, dist::IntegralRange(dist::IntegralSelected(INTEGRALS.v(), {"idx"}), end, kLeast), 4);
}

void TQ_DISTRIBUTION1D::Assignments(const TQ_AssignmentStep& step) {
  const dist::AxisOrders axes[] = {{*XDOMAIN, HIGHESTORDERXDERIVATIVE, HIGHESTORDERXDERIVATIVEUSED}};
  const int next = dist::AssignDerivativeOrders(step, axes, 5);  // 5 to 7
  step.Assign(INTEGRALS, "None", next);                          // 8
}

morvane::eqn::DistributionView<1> TQ_DISTRIBUTION1D::View() {
  morvane::eqn::DistributionView<1> view;
  view.model = this;
  view.domains = {morvane::eqn::LinkedDomain(XDOMAIN)};
  view.links = {"XDOMAIN"};
  view.order = {&HIGHESTORDERXDERIVATIVE};
  view.orderUsed = {&HIGHESTORDERXDERIVATIVEUSED};
  view.integrals = &INTEGRALS;
  // Numbered as the equation table numbers them: VALUE, DDX, D2DX2, IDX.
  view.Add(*VALUE);
  view.Add(DDX);
  view.Add(D2DX2);
  view.Add(IDX);
  return view;
}

int TQ_DISTRIBUTION1D::DeclareEquations(int count) {
  return morvane::eqn::DeclareEquations(
      *this, View(), morvane::eqn::d1::EquationPlan(), FirstGroup, count, LocalEqnCount);
}

int TQ_DISTRIBUTION1D::EmitEquations(int*& rows, int*& cols, TQ_EquationType**, int count) {
  return morvane::eqn::EmitEquations(
      *this, View(), morvane::eqn::d1::EquationPlan(), FirstGroup, LocalEqnCount, rows, cols, count);
}

MORVANE_GENERATED_CLASS_DEFINITION_OWN_ASSIGNMENTS(TQ_DISTRIBUTION1D, TQ_ModelTypeEx2, "Model DISTRIBUTION1D\tV7.1");
