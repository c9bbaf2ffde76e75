#include "distribution/tq_distribution3d.h"

#include "distribution/distribution3d_equations.h"
#include "distribution/distribution_engine.h"
#include "distribution/distribution_sets.h"
#include "framework/frame.h"

namespace dist = morvane::distribution;

void TQ_DISTRIBUTION3D::RegisterProperties() {
  Register(XDOMAIN, "XDOMAIN");
  Register(YDOMAIN, "YDOMAIN");
  Register(ZDOMAIN, "ZDOMAIN");
  Register(TQ_VALUE_SET1, "TQ_VALUE_SET1");
  Register(TQ_VALUE_SET2, "TQ_VALUE_SET2");
  Register(TQ_VALUE_SET3, "TQ_VALUE_SET3");
  Register(VALUE, "VALUE", "Variable value at a node point");
  Register(USERNOTES, "USERNOTES");
  Register(INPUTSIGNAL, "INPUTSIGNAL", nullptr, TQ_DIR_INPUT)->UnsetIsToBeExported();
  Register(OUTPUTSIGNAL, "OUTPUTSIGNAL", nullptr, TQ_DIR_OUTPUT)->UnsetIsToBeExported();
  Register(HIGHESTORDERXDERIVATIVE, "HIGHESTORDERXDERIVATIVE");
  Register(HIGHESTORDERYDERIVATIVE, "HIGHESTORDERYDERIVATIVE");
  Register(HIGHESTORDERZDERIVATIVE, "HIGHESTORDERZDERIVATIVE");
  Register(HIGHESTORDERXDERIVATIVEUSED, "HIGHESTORDERXDERIVATIVEUSED");
  Register(HIGHESTORDERYDERIVATIVEUSED, "HIGHESTORDERYDERIVATIVEUSED");
  Register(HIGHESTORDERZDERIVATIVEUSED, "HIGHESTORDERZDERIVATIVEUSED");
  Register(
      INTEGRALS, "INTEGRALS", "Integrals to be calculated. Valid values: idx, idy, idz, idxdy, idxdz, idydz, idxdydz");
  Register(TQ_DDX_SET1, "TQ_DDX_SET1");
  Register(TQ_DDX_SET2, "TQ_DDX_SET2");
  Register(TQ_DDX_SET3, "TQ_DDX_SET3");
  Register(DDX, "DDX", "1st-order partial deriv wrt x");
  Register(TQ_DDY_SET1, "TQ_DDY_SET1");
  Register(TQ_DDY_SET2, "TQ_DDY_SET2");
  Register(TQ_DDY_SET3, "TQ_DDY_SET3");
  Register(DDY, "DDY", "1st-order partial deriv wrt y");
  Register(TQ_DDZ_SET1, "TQ_DDZ_SET1");
  Register(TQ_DDZ_SET2, "TQ_DDZ_SET2");
  Register(TQ_DDZ_SET3, "TQ_DDZ_SET3");
  Register(DDZ, "DDZ", "1st-order partial deriv wrt z");
  Register(TQ_D2DX2_SET1, "TQ_D2DX2_SET1");
  Register(TQ_D2DX2_SET2, "TQ_D2DX2_SET2");
  Register(TQ_D2DX2_SET3, "TQ_D2DX2_SET3");
  Register(D2DX2, "D2DX2", "2nd-order partial deriv wrt x");
  Register(TQ_D2DY2_SET1, "TQ_D2DY2_SET1");
  Register(TQ_D2DY2_SET3, "TQ_D2DY2_SET3");
  Register(D2DY2, "D2DY2", "2nd-order partial deriv wrt y");
  Register(TQ_D2DZ2_SET1, "TQ_D2DZ2_SET1");
  Register(TQ_D2DZ2_SET2, "TQ_D2DZ2_SET2");
  Register(D2DZ2, "D2DZ2", "2nd-order partial deriv wrt z");
  Register(TQ_IDX_SET1, "TQ_IDX_SET1");
  Register(TQ_IDX_SET2, "TQ_IDX_SET2");
  Register(TQ_IDX_SET3, "TQ_IDX_SET3");
  Register(IDX, "IDX", "integral of distributed variable wrt x");
  Register(TQ_IDY_SET1, "TQ_IDY_SET1");
  Register(TQ_IDY_SET2, "TQ_IDY_SET2");
  Register(TQ_IDY_SET3, "TQ_IDY_SET3");
  Register(IDY, "IDY", "integral of distributed variable wrt y");
  Register(TQ_IDZ_SET1, "TQ_IDZ_SET1");
  Register(TQ_IDZ_SET2, "TQ_IDZ_SET2");
  Register(TQ_IDZ_SET3, "TQ_IDZ_SET3");
  Register(IDZ, "IDZ", "integral of distributed variable wrt z");
  Register(TQ_IDXDY_SET1, "TQ_IDXDY_SET1");
  Register(TQ_IDXDY_SET2, "TQ_IDXDY_SET2");
  Register(TQ_IDXDY_SET3, "TQ_IDXDY_SET3");
  Register(IDXDY, "IDXDY", "integral of distributed variable wrt x and y");
  Register(TQ_IDXDZ_SET1, "TQ_IDXDZ_SET1");
  Register(TQ_IDXDZ_SET2, "TQ_IDXDZ_SET2");
  Register(TQ_IDXDZ_SET3, "TQ_IDXDZ_SET3");
  Register(IDXDZ, "IDXDZ", "integral of distributed variable wrt x and z");
  Register(TQ_IDYDZ_SET1, "TQ_IDYDZ_SET1");
  Register(TQ_IDYDZ_SET2, "TQ_IDYDZ_SET2");
  Register(TQ_IDYDZ_SET3, "TQ_IDYDZ_SET3");
  Register(IDYDZ, "IDYDZ", "integral of distributed variable wrt y and z");
  Register(TQ_IDXDYDZ_SET1, "TQ_IDXDYDZ_SET1");
  Register(TQ_IDXDYDZ_SET2, "TQ_IDXDYDZ_SET2");
  Register(TQ_IDXDYDZ_SET3, "TQ_IDXDYDZ_SET3");
  Register(IDXDYDZ, "IDXDYDZ", "integral of distributed variable wrt x, y and z");
}

long TQ_DISTRIBUTION3D::ExecuteAssignments0(int level, int pass, long status) {
  return morvane::eqn::AssignOverDomains(*this, {&XDOMAIN, &YDOMAIN, &ZDOMAIN}, level, pass, status);
}

void TQ_DISTRIBUTION3D::SizeArrays() {
  (*VALUE).SetDim(TQ_VALUE_SET1, TQ_VALUE_SET2, TQ_VALUE_SET3);
  DDX.SetDim(TQ_DDX_SET1, TQ_DDX_SET2, TQ_DDX_SET3);
  DDY.SetDim(TQ_DDY_SET1, TQ_DDY_SET2, TQ_DDY_SET3);
  DDZ.SetDim(TQ_DDZ_SET1, TQ_DDZ_SET2, TQ_DDZ_SET3);
  D2DX2.SetDim(TQ_D2DX2_SET1, TQ_D2DX2_SET2, TQ_D2DX2_SET3);
  // The second derivatives along y and z lie at their domain's interior
  // nodes: the domain's own set sizes that dimension.
  if (TQ_INTEGERSET* interior = morvane::eqn::InteriorSizing(*this, YDOMAIN, "D2DY2"))
    D2DY2.SetDim(TQ_D2DY2_SET1, *interior, TQ_D2DY2_SET3);
  if (TQ_INTEGERSET* interior = morvane::eqn::InteriorSizing(*this, ZDOMAIN, "D2DZ2"))
    D2DZ2.SetDim(TQ_D2DZ2_SET1, TQ_D2DZ2_SET2, *interior);
  IDX.SetDim(TQ_IDX_SET1, TQ_IDX_SET2, TQ_IDX_SET3);
  IDY.SetDim(TQ_IDY_SET1, TQ_IDY_SET2, TQ_IDY_SET3);
  IDZ.SetDim(TQ_IDZ_SET1, TQ_IDZ_SET2, TQ_IDZ_SET3);
  IDXDY.SetDim(TQ_IDXDY_SET1, TQ_IDXDY_SET2, TQ_IDXDY_SET3);
  IDXDZ.SetDim(TQ_IDXDZ_SET1, TQ_IDXDZ_SET2, TQ_IDXDZ_SET3);
  IDYDZ.SetDim(TQ_IDYDZ_SET1, TQ_IDYDZ_SET2, TQ_IDYDZ_SET3);
  IDXDYDZ.SetDim(TQ_IDXDYDZ_SET1, TQ_IDXDYDZ_SET2, TQ_IDXDYDZ_SET3);
}

// Every first set holds x nodes, every second y nodes and every third z
// nodes. As in the two-dimensional distribution, the factor that switches an
// array on scales the x range whatever the array's own axis. A bound that
// works out at INT_MIN is handed as it is (LeastBound::OneMember).
void TQ_DISTRIBUTION3D::IndexSets(const TQ_AssignmentStep& step) {
  const TQ_DOMAIN& x = *XDOMAIN;
  const TQ_DOMAIN& y = *YDOMAIN;
  const TQ_DOMAIN& z = *ZDOMAIN;
  constexpr dist::LeastBound kLeast = dist::LeastBound::OneMember;
  const int endX = x.ENDNODE.v();
  const int endY = y.ENDNODE.v();
  const int endZ = z.ENDNODE.v();
  const int usedX = HIGHESTORDERXDERIVATIVEUSED.v();
  const int usedY = HIGHESTORDERYDERIVATIVEUSED.v();
  const int usedZ = HIGHESTORDERZDERIVATIVEUSED.v();
  const auto allX = [&](int factor) { return dist::NodeRange(0, factor, endX, kLeast); };
  const TQ_IntSetValue allY = dist::NodeRange(0, 1, endY, kLeast);
  const TQ_IntSetValue allZ = dist::NodeRange(0, 1, endZ, kLeast);
  const auto asExpression = [](const TQ_IntSetValue& set) -> const SUValue& { return set; };

  // #1-3 every node along each axis.
  step.IndexSet(TQ_VALUE_SET1, allX(1), 1);
  step.IndexSet(TQ_VALUE_SET2, allY, 2);
  step.IndexSet(TQ_VALUE_SET3, allZ, 3);
  // #4-12 first derivatives: every x node when the axis's order used is
  // above 0, node 0 alone otherwise; every y and z node.
  step.IndexSet(TQ_DDX_SET1, allX(dist::OrderFactor(usedX, 0)), 4);
  step.IndexSet(TQ_DDX_SET2, allY, 5);
  step.IndexSet(TQ_DDX_SET3, allZ, 6);
  step.IndexSet(TQ_DDY_SET1, allX(dist::OrderFactor(usedY, 0)), 7);
  step.IndexSet(TQ_DDY_SET2, allY, 8);
  step.IndexSet(TQ_DDY_SET3, allZ, 9);
  step.IndexSet(TQ_DDZ_SET1, allX(dist::OrderFactor(usedZ, 0)), 10);
  step.IndexSet(TQ_DDZ_SET2, allY, 11);
  step.IndexSet(TQ_DDZ_SET3, allZ, 12);
  // #13-19 second derivatives: along x at the interior x nodes (none unless
  // the order used is above 1); the other axes over their end and interior
  // nodes, x cut down to node 0 unless the array's own order is above 1.
  const TQ_IntSetValue boundaryX = dist::BoundaryAndInteriorNodes(x);
  const TQ_IntSetValue boundaryY = dist::BoundaryAndInteriorNodes(y);
  const TQ_IntSetValue boundaryZ = dist::BoundaryAndInteriorNodes(z);
  step.IndexSet(TQ_D2DX2_SET1,
                asExpression(dist::NodeRangeWithin(1, dist::OrderFactor(usedX, 1), endX, x.INTERIOR.v(), kLeast)),
                13);
  step.IndexSet(TQ_D2DX2_SET2, asExpression(boundaryY), 14);
  step.IndexSet(TQ_D2DX2_SET3, asExpression(boundaryZ), 15);
  step.IndexSet(
      TQ_D2DY2_SET1, asExpression(dist::NodeRangeWithin(0, dist::OrderFactor(usedY, 1), endX, boundaryX, kLeast)), 16);
  step.IndexSet(TQ_D2DY2_SET3, asExpression(boundaryZ), 17);
  step.IndexSet(
      TQ_D2DZ2_SET1, asExpression(dist::NodeRangeWithin(0, dist::OrderFactor(usedZ, 1), endX, boundaryX, kLeast)), 18);
  step.IndexSet(TQ_D2DZ2_SET2, asExpression(boundaryY), 19);
  // #20-40 the integrals: every x node when the integral is selected, by its
  // own selector or by one of an integral built on it, else [0 .. -ENDNODE];
  // every y and z node.
  const TQ_SetValue& selection = INTEGRALS.v();
  struct Integral {
    TQ_INTEGERSET& first;
    TQ_INTEGERSET& second;
    TQ_INTEGERSET& third;
    int selected;
  };
  const Integral integrals[] = {
      {TQ_IDX_SET1, TQ_IDX_SET2, TQ_IDX_SET3, dist::IntegralSelected(selection, {"idx", "idxdy", "idxdz", "idxdydz"})},
      {TQ_IDY_SET1, TQ_IDY_SET2, TQ_IDY_SET3, dist::IntegralSelected(selection, {"idy", "idydz"})},
      {TQ_IDZ_SET1, TQ_IDZ_SET2, TQ_IDZ_SET3, dist::IntegralSelected(selection, {"idz"})},
      {TQ_IDXDY_SET1, TQ_IDXDY_SET2, TQ_IDXDY_SET3, dist::IntegralSelected(selection, {"idxdy", "idxdydz"})},
      {TQ_IDXDZ_SET1, TQ_IDXDZ_SET2, TQ_IDXDZ_SET3, dist::IntegralSelected(selection, {"idxdz"})},
      {TQ_IDYDZ_SET1, TQ_IDYDZ_SET2, TQ_IDYDZ_SET3, dist::IntegralSelected(selection, {"idydz"})},
      {TQ_IDXDYDZ_SET1, TQ_IDXDYDZ_SET2, TQ_IDXDYDZ_SET3, dist::IntegralSelected(selection, {"idxdydz"})},
  };
  int number = 20;
  for (const Integral& integral : integrals) {
    step.IndexSet(integral.first, dist::IntegralRange(integral.selected, endX, kLeast), number++);
    step.IndexSet(integral.second, allY, number++);
    step.IndexSet(integral.third, allZ, number++);
  }
}

void TQ_DISTRIBUTION3D::Assignments(const TQ_AssignmentStep& step) {
  const dist::AxisOrders axes[] = {
      {*XDOMAIN, HIGHESTORDERXDERIVATIVE, HIGHESTORDERXDERIVATIVEUSED},
      {*YDOMAIN, HIGHESTORDERYDERIVATIVE, HIGHESTORDERYDERIVATIVEUSED},
      {*ZDOMAIN, HIGHESTORDERZDERIVATIVE, HIGHESTORDERZDERIVATIVEUSED},
  };
  const int next = dist::AssignDerivativeOrders(step, axes, 41);  // 41 to 49
  step.Assign(INTEGRALS, "None", next);                           // 50
}

morvane::eqn::DistributionView<3> TQ_DISTRIBUTION3D::View() {
  morvane::eqn::DistributionView<3> view;
  view.model = this;
  view.domains = {
      morvane::eqn::LinkedDomain(XDOMAIN), morvane::eqn::LinkedDomain(YDOMAIN), morvane::eqn::LinkedDomain(ZDOMAIN)};
  view.links = {"XDOMAIN", "YDOMAIN", "ZDOMAIN"};
  view.order = {&HIGHESTORDERXDERIVATIVE, &HIGHESTORDERYDERIVATIVE, &HIGHESTORDERZDERIVATIVE};
  view.orderUsed = {&HIGHESTORDERXDERIVATIVEUSED, &HIGHESTORDERYDERIVATIVEUSED, &HIGHESTORDERZDERIVATIVEUSED};
  view.integrals = &INTEGRALS;
  // Numbered as the equation table numbers them.
  view.Add(*VALUE);
  for (TQ_DERIVATIVEARRAY3* array : {&DDX, &DDY, &DDZ, &D2DX2, &D2DY2, &D2DZ2}) view.Add(*array);
  for (TQ_VARIABLEARRAY3* array : {&IDX, &IDY, &IDZ, &IDXDY, &IDXDZ, &IDYDZ, &IDXDYDZ}) view.Add(*array);
  return view;
}

int TQ_DISTRIBUTION3D::DeclareEquations(int count) {
  return morvane::eqn::DeclareEquations(
      *this, View(), morvane::eqn::d3::EquationPlan(), FirstGroup, count, LocalEqnCount);
}

int TQ_DISTRIBUTION3D::EmitEquations(int*& rows, int*& cols, TQ_EquationType**, int count) {
  return morvane::eqn::EmitEquations(
      *this, View(), morvane::eqn::d3::EquationPlan(), FirstGroup, LocalEqnCount, rows, cols, count);
}

MORVANE_GENERATED_CLASS_DEFINITION_OWN_ASSIGNMENTS(TQ_DISTRIBUTION3D, TQ_ModelTypeEx2, "Model DISTRIBUTION3D\tV7.1");
