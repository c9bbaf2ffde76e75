#include "distribution/tq_distribution2d.h"

#include "distribution/distribution2d_equations.h"
#include "distribution/distribution_engine.h"
#include "distribution/distribution_sets.h"
#include "framework/frame.h"

namespace dist = morvane::distribution;

void TQ_DISTRIBUTION2D::RegisterProperties() {
  Register(XDOMAIN, "XDOMAIN");
  Register(YDOMAIN, "YDOMAIN");
  Register(TQ_VALUE_SET1, "TQ_VALUE_SET1");
  Register(TQ_VALUE_SET2, "TQ_VALUE_SET2");
  Register(VALUE, "VALUE", "Variable value at a node point");
  Register(USERNOTES, "USERNOTES");
  Register(INPUTSIGNAL, "INPUTSIGNAL", nullptr, TQ_DIR_INPUT)->UnsetIsToBeExported();
  Register(OUTPUTSIGNAL, "OUTPUTSIGNAL", nullptr, TQ_DIR_OUTPUT)->UnsetIsToBeExported();
  Register(HIGHESTORDERXDERIVATIVE, "HIGHESTORDERXDERIVATIVE");
  Register(HIGHESTORDERYDERIVATIVE, "HIGHESTORDERYDERIVATIVE");
  Register(HIGHESTORDERXDERIVATIVEUSED, "HIGHESTORDERXDERIVATIVEUSED");
  Register(HIGHESTORDERYDERIVATIVEUSED, "HIGHESTORDERYDERIVATIVEUSED");
  Register(INTEGRALS, "INTEGRALS", "Integrals to be calculated. Valid values: idx, idy, idxdy");
  Register(TQ_DDX_SET1, "TQ_DDX_SET1");
  Register(TQ_DDX_SET2, "TQ_DDX_SET2");
  Register(DDX, "DDX", "1st-order partial deriv wrt x");
  Register(TQ_DDY_SET1, "TQ_DDY_SET1");
  Register(TQ_DDY_SET2, "TQ_DDY_SET2");
  Register(DDY, "DDY", "1st-order partial deriv wrt y");
  Register(TQ_D2DX2_SET1, "TQ_D2DX2_SET1");
  Register(TQ_D2DX2_SET2, "TQ_D2DX2_SET2");
  Register(D2DX2, "D2DX2", "2nd-order partial deriv wrt x");
  Register(TQ_D2DY2_SET1, "TQ_D2DY2_SET1");
  Register(D2DY2, "D2DY2", "2nd-order partial deriv wrt y");
  Register(TQ_IDX_SET1, "TQ_IDX_SET1");
  Register(TQ_IDX_SET2, "TQ_IDX_SET2");
  Register(IDX, "IDX", "integral of distributed variable wrt x");
  Register(TQ_IDY_SET1, "TQ_IDY_SET1");
  Register(TQ_IDY_SET2, "TQ_IDY_SET2");
  Register(IDY, "IDY", "integral of distributed variable wrt y");
  Register(TQ_IDXDY_SET1, "TQ_IDXDY_SET1");
  Register(TQ_IDXDY_SET2, "TQ_IDXDY_SET2");
  Register(IDXDY, "IDXDY", "integral of distributed variable wrt x and y");
}

long TQ_DISTRIBUTION2D::ExecuteAssignments0(int level, int pass, long status) {
  return morvane::eqn::AssignOverDomains(*this, {&XDOMAIN, &YDOMAIN}, level, pass, status);
}

void TQ_DISTRIBUTION2D::SizeArrays() {
  (*VALUE).SetDim(TQ_VALUE_SET1, TQ_VALUE_SET2);
  DDX.SetDim(TQ_DDX_SET1, TQ_DDX_SET2);
  DDY.SetDim(TQ_DDY_SET1, TQ_DDY_SET2);
  D2DX2.SetDim(TQ_D2DX2_SET1, TQ_D2DX2_SET2);
  // The y nodes of the second y-derivatives are the domain's own interior
  // set, bound as a property so that the array follows its changes.
  if (TQ_INTEGERSET* interior = morvane::eqn::InteriorSizing(*this, YDOMAIN, "D2DY2"))
    D2DY2.SetDim(TQ_D2DY2_SET1, *interior);
  IDX.SetDim(TQ_IDX_SET1, TQ_IDX_SET2);
  IDY.SetDim(TQ_IDY_SET1, TQ_IDY_SET2);
  IDXDY.SetDim(TQ_IDXDY_SET1, TQ_IDXDY_SET2);
}

// Every first set holds x nodes and every second set y nodes. The factor
// that switches an array on scales the x range whatever the array's own
// axis: the y orders scale TQ_DDY_SET1 and TQ_D2DY2_SET1 over 0 .. ENDNODE
// of XDOMAIN, and so does the "idy" selection TQ_IDY_SET1. A bound that
// works out at INT_MIN gives an empty range (LeastBound::Empty).
void TQ_DISTRIBUTION2D::IndexSets(const TQ_AssignmentStep& step) {
  const TQ_DOMAIN& x = *XDOMAIN;
  const TQ_DOMAIN& y = *YDOMAIN;
  const int endX = x.ENDNODE.v();
  const int endY = y.ENDNODE.v();
  const int usedX = HIGHESTORDERXDERIVATIVEUSED.v();
  const int usedY = HIGHESTORDERYDERIVATIVEUSED.v();

  step.IndexSet(TQ_VALUE_SET1, dist::NodeRange(0, 1, endX), 1);
  step.IndexSet(TQ_VALUE_SET2, dist::NodeRange(0, 1, endY), 2);
  step.IndexSet(TQ_DDX_SET1, dist::NodeRange(0, dist::OrderFactor(usedX, 0), endX), 3);
  step.IndexSet(TQ_DDX_SET2, dist::NodeRange(0, 1, endY), 4);
  step.IndexSet(TQ_DDY_SET1, dist::NodeRange(0, dist::OrderFactor(usedY, 0), endX), 5);
  step.IndexSet(TQ_DDY_SET2, dist::NodeRange(0, 1, endY), 6);
  // The sets made with the set algebra are handed over as such (SUValue).
  {
    const TQ_IntSetValue nodes = dist::NodeRangeWithin(1, dist::OrderFactor(usedX, 1), endX, x.INTERIOR.v());
    step.IndexSet(TQ_D2DX2_SET1, static_cast<const SUValue&>(nodes), 7);
  }
  {
    const TQ_IntSetValue nodes = dist::BoundaryAndInteriorNodes(y);
    step.IndexSet(TQ_D2DX2_SET2, static_cast<const SUValue&>(nodes), 8);
  }
  {
    const TQ_IntSetValue nodes =
        dist::NodeRangeWithin(0, dist::OrderFactor(usedY, 1), endX, dist::BoundaryAndInteriorNodes(x));
    step.IndexSet(TQ_D2DY2_SET1, static_cast<const SUValue&>(nodes), 9);
  }
  // IDX is there for "idx" and for "idxdy", whose equations integrate IDX
  // along y; "idxdy" is tested only when "idx" is absent.
  const TQ_SetValue& integrals = INTEGRALS.v();
  step.IndexSet(TQ_IDX_SET1, dist::IntegralRange(dist::IntegralSelected(integrals, {"idx", "idxdy"}), endX), 10);
  step.IndexSet(TQ_IDX_SET2, dist::NodeRange(0, 1, endY), 11);
  step.IndexSet(TQ_IDY_SET1, dist::IntegralRange(dist::IntegralSelected(integrals, {"idy"}), endX), 12);
  step.IndexSet(TQ_IDY_SET2, dist::NodeRange(0, 1, endY), 13);
  step.IndexSet(TQ_IDXDY_SET1, dist::IntegralRange(dist::IntegralSelected(integrals, {"idxdy"}), endX), 14);
  step.IndexSet(TQ_IDXDY_SET2, dist::NodeRange(0, 1, endY), 15);
}

void TQ_DISTRIBUTION2D::Assignments(const TQ_AssignmentStep& step) {
  const dist::AxisOrders axes[] = {
      {*XDOMAIN, HIGHESTORDERXDERIVATIVE, HIGHESTORDERXDERIVATIVEUSED},
      {*YDOMAIN, HIGHESTORDERYDERIVATIVE, HIGHESTORDERYDERIVATIVEUSED},
  };
  const int next = dist::AssignDerivativeOrders(step, axes, 16);  // 16 to 21
  step.Assign(INTEGRALS, "None", next);                           // 22
}

morvane::eqn::DistributionView<2> TQ_DISTRIBUTION2D::View() {
  morvane::eqn::DistributionView<2> view;
  view.model = this;
  view.domains = {morvane::eqn::LinkedDomain(XDOMAIN), morvane::eqn::LinkedDomain(YDOMAIN)};
  view.links = {"XDOMAIN", "YDOMAIN"};
  view.order = {&HIGHESTORDERXDERIVATIVE, &HIGHESTORDERYDERIVATIVE};
  view.orderUsed = {&HIGHESTORDERXDERIVATIVEUSED, &HIGHESTORDERYDERIVATIVEUSED};
  view.integrals = &INTEGRALS;
  // Numbered as the equation table numbers them.
  view.Add(*VALUE);
  view.Add(DDX);
  view.Add(DDY);
  view.Add(D2DX2);
  view.Add(D2DY2);
  view.Add(IDX);
  view.Add(IDY);
  view.Add(IDXDY);
  return view;
}

int TQ_DISTRIBUTION2D::DeclareEquations(int count) {
  return morvane::eqn::DeclareEquations(
      *this, View(), morvane::eqn::d2::EquationPlan(), FirstGroup, count, LocalEqnCount);
}

int TQ_DISTRIBUTION2D::EmitEquations(int*& rows, int*& cols, TQ_EquationType**, int count) {
  return morvane::eqn::EmitEquations(
      *this, View(), morvane::eqn::d2::EquationPlan(), FirstGroup, LocalEqnCount, rows, cols, count);
}

MORVANE_GENERATED_CLASS_DEFINITION_OWN_ASSIGNMENTS(TQ_DISTRIBUTION2D, TQ_ModelTypeEx2, "Model DISTRIBUTION2D\tV7.1");
