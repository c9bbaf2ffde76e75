#include "tq_distribution3d.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <initializer_list>

#include "distribution3d_equations.h"
#include "distribution_engine.h"
#include "frame.h"

namespace {

const char* NameOf(const TQ_Containable& item) {
  const char* name = item.Name();
  return name != nullptr && *name != 0 ? name : "(unnamed)";
}

// ---- sets along one axis, read from its domain ----------------------------------
//
// Each is built afresh from the domain's current values.

// factor * ENDNODE. The product is formed in 64 bits and held at the ends of
// the 32-bit range: turning the sign of an ENDNODE of INT_MIN (a value the
// user may fix) does not overflow.
int ScaledEndNode(const TQ_DOMAIN& domain, int factor) {
  const std::int64_t end = static_cast<std::int64_t>(factor) * domain.ENDNODE.v();
  return end > INT_MAX ? INT_MAX : end < INT_MIN ? INT_MIN : static_cast<int>(end);
}

// The nodes first .. factor * ENDNODE (empty when the bound lies below
// `first`): every node for factor 1, node 0 alone for factor 0 and none
// (unless ENDNODE is 0) for factor -1.
TQ_IntSetValue NodeRange(const TQ_DOMAIN& domain, int factor = 1, int first = 0) {
  return TQ_IntSetValue(first, ScaledEndNode(domain, factor));
}

// {0} ∪ INTERIOR ∪ {ENDNODE}: the interior nodes with both end nodes. A copy
// of INTERIOR takes ENDNODE, and the one-element set {0} then takes that copy.
TQ_IntSetValue EndsAndInterior(const TQ_DOMAIN& domain) {
  TQ_IntSetValue nodes(domain.INTERIOR.v());
  nodes += domain.ENDNODE.v();
  TQ_IntSetValue ends(0, INT_MIN);
  ends += nodes;
  return ends;
}

// The interior nodes within 1 .. factor * ENDNODE.
TQ_IntSetValue InteriorNodes(const TQ_DOMAIN& domain, int factor) {
  TQ_IntSetValue nodes = NodeRange(domain, factor, 1);
  nodes *= domain.INTERIOR.v();
  return nodes;
}

// The end and interior nodes within 0 .. factor * ENDNODE.
TQ_IntSetValue EndsAndInteriorNodes(const TQ_DOMAIN& domain, int factor) {
  TQ_IntSetValue nodes = NodeRange(domain, factor);
  nodes *= EndsAndInterior(domain);
  return nodes;
}

}  // namespace

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
  Register(INTEGRALS, "INTEGRALS",
           "Integrals to be calculated. Valid values: idx, idy, idz, idxdy, idxdz, idydz, idxdydz");
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

TQ_DOMAIN* TQ_DISTRIBUTION3D::LinkedDomain(const TQ_External<TQ_DOMAIN>& link) {
  return dynamic_cast<TQ_DOMAIN*>(link.ExternalLink());
}

void TQ_DISTRIBUTION3D::ReportNoDomain(const TQ_External<TQ_DOMAIN>& link, const char* work) const {
  char message[320];
  std::snprintf(message, sizeof message, "%s: %s has no domain attached; %s", NameOf(*this), NameOf(link), work);
  TQ_Executive::Instance().ReportError(message);
}

bool TQ_DISTRIBUTION3D::DomainsAttached(const char* work) const {
  bool attached = true;
  for (const TQ_External<TQ_DOMAIN>* link : {&XDOMAIN, &YDOMAIN, &ZDOMAIN}) {
    if (LinkedDomain(*link) != nullptr) continue;
    attached = false;
    ReportNoDomain(*link, work);
  }
  return attached;
}

long TQ_DISTRIBUTION3D::ExecuteAssignments0(int level, int pass, long status) {
  if (DomainsAttached("the distribution's index sets and assignments cannot be computed"))
    return TQ_Generated::ExecuteAssignments0(level, pass, status);
  TQ_ModelTypeEx2::ExecuteAssignments(level - 1, pass);
  return kNoDomain;
}

void TQ_DISTRIBUTION3D::SizeArrays() {
  (*VALUE).SetDim(TQ_VALUE_SET1, TQ_VALUE_SET2, TQ_VALUE_SET3);
  DDX.SetDim(TQ_DDX_SET1, TQ_DDX_SET2, TQ_DDX_SET3);
  DDY.SetDim(TQ_DDY_SET1, TQ_DDY_SET2, TQ_DDY_SET3);
  DDZ.SetDim(TQ_DDZ_SET1, TQ_DDZ_SET2, TQ_DDZ_SET3);
  D2DX2.SetDim(TQ_D2DX2_SET1, TQ_D2DX2_SET2, TQ_D2DX2_SET3);
  // The second derivatives along y and z lie at their domain's interior
  // nodes: the domain's own set sizes that dimension.
  if (TQ_DOMAIN* y = LinkedDomain(YDOMAIN))
    D2DY2.SetDim(TQ_D2DY2_SET1, y->INTERIOR, TQ_D2DY2_SET3);
  else
    ReportNoDomain(YDOMAIN, "D2DY2 cannot be sized");
  if (TQ_DOMAIN* z = LinkedDomain(ZDOMAIN))
    D2DZ2.SetDim(TQ_D2DZ2_SET1, TQ_D2DZ2_SET2, z->INTERIOR);
  else
    ReportNoDomain(ZDOMAIN, "D2DZ2 cannot be sized");
  IDX.SetDim(TQ_IDX_SET1, TQ_IDX_SET2, TQ_IDX_SET3);
  IDY.SetDim(TQ_IDY_SET1, TQ_IDY_SET2, TQ_IDY_SET3);
  IDZ.SetDim(TQ_IDZ_SET1, TQ_IDZ_SET2, TQ_IDZ_SET3);
  IDXDY.SetDim(TQ_IDXDY_SET1, TQ_IDXDY_SET2, TQ_IDXDY_SET3);
  IDXDZ.SetDim(TQ_IDXDZ_SET1, TQ_IDXDZ_SET2, TQ_IDXDZ_SET3);
  IDYDZ.SetDim(TQ_IDYDZ_SET1, TQ_IDYDZ_SET2, TQ_IDYDZ_SET3);
  IDXDYDZ.SetDim(TQ_IDXDYDZ_SET1, TQ_IDXDYDZ_SET2, TQ_IDXDYDZ_SET3);
}

void TQ_DISTRIBUTION3D::IndexSets(const TQ_AssignmentStep& step) {
  const TQ_DOMAIN& x = *XDOMAIN;
  const TQ_DOMAIN& y = *YDOMAIN;
  const TQ_DOMAIN& z = *ZDOMAIN;
  // 1 when the order used along an axis is above `order`, else 0.
  const auto above = [](const TQ_INTEGERPARAMETER& used, int order) { return used.v() > order ? 1 : 0; };
  // 1 when INTEGRALS holds one of the selectors (tried in order, the first
  // found ends the search), else -1: the sign of an integral's x range.
  const auto sign = [this](const char* const* selectors) {
    for (; *selectors != nullptr; ++selectors)
      if (StringInSet(*selectors, INTEGRALS.v())) return 1;
    return -1;
  };
  const auto asExpression = [](const TQ_IntSetValue& set) -> const SUValue& { return set; };

  // #1-3 every node along each axis.
  step.IndexSet(TQ_VALUE_SET1, NodeRange(x), 1);
  step.IndexSet(TQ_VALUE_SET2, NodeRange(y), 2);
  step.IndexSet(TQ_VALUE_SET3, NodeRange(z), 3);
  // #4-12 first derivatives: every x node when the axis's order used is
  // above 0, node 0 alone otherwise; every y and z node.
  step.IndexSet(TQ_DDX_SET1, NodeRange(x, above(HIGHESTORDERXDERIVATIVEUSED, 0)), 4);
  step.IndexSet(TQ_DDX_SET2, NodeRange(y), 5);
  step.IndexSet(TQ_DDX_SET3, NodeRange(z), 6);
  step.IndexSet(TQ_DDY_SET1, NodeRange(x, above(HIGHESTORDERYDERIVATIVEUSED, 0)), 7);
  step.IndexSet(TQ_DDY_SET2, NodeRange(y), 8);
  step.IndexSet(TQ_DDY_SET3, NodeRange(z), 9);
  step.IndexSet(TQ_DDZ_SET1, NodeRange(x, above(HIGHESTORDERZDERIVATIVEUSED, 0)), 10);
  step.IndexSet(TQ_DDZ_SET2, NodeRange(y), 11);
  step.IndexSet(TQ_DDZ_SET3, NodeRange(z), 12);
  // #13-19 second derivatives: along x at the interior x nodes (none unless
  // the order used is above 1); the other axes over their end and interior
  // nodes, x cut down to node 0 unless the array's own order is above 1.
  step.IndexSet(TQ_D2DX2_SET1, asExpression(InteriorNodes(x, above(HIGHESTORDERXDERIVATIVEUSED, 1))), 13);
  step.IndexSet(TQ_D2DX2_SET2, asExpression(EndsAndInterior(y)), 14);
  step.IndexSet(TQ_D2DX2_SET3, asExpression(EndsAndInterior(z)), 15);
  step.IndexSet(TQ_D2DY2_SET1, asExpression(EndsAndInteriorNodes(x, above(HIGHESTORDERYDERIVATIVEUSED, 1))), 16);
  step.IndexSet(TQ_D2DY2_SET3, asExpression(EndsAndInterior(z)), 17);
  step.IndexSet(TQ_D2DZ2_SET1, asExpression(EndsAndInteriorNodes(x, above(HIGHESTORDERZDERIVATIVEUSED, 1))), 18);
  step.IndexSet(TQ_D2DZ2_SET2, asExpression(EndsAndInterior(y)), 19);
  // #20-40 the integrals: every x node when the integral is selected, by its
  // own selector or by one of an integral built on it, else [0 .. -ENDNODE];
  // every y and z node.
  struct Integral {
    TQ_INTEGERSET& first;
    TQ_INTEGERSET& second;
    TQ_INTEGERSET& third;
    const char* selectors[5];  // up to the first null
  };
  const Integral integrals[] = {
      {TQ_IDX_SET1, TQ_IDX_SET2, TQ_IDX_SET3, {"idx", "idxdy", "idxdz", "idxdydz"}},
      {TQ_IDY_SET1, TQ_IDY_SET2, TQ_IDY_SET3, {"idy", "idydz"}},
      {TQ_IDZ_SET1, TQ_IDZ_SET2, TQ_IDZ_SET3, {"idz"}},
      {TQ_IDXDY_SET1, TQ_IDXDY_SET2, TQ_IDXDY_SET3, {"idxdy", "idxdydz"}},
      {TQ_IDXDZ_SET1, TQ_IDXDZ_SET2, TQ_IDXDZ_SET3, {"idxdz"}},
      {TQ_IDYDZ_SET1, TQ_IDYDZ_SET2, TQ_IDYDZ_SET3, {"idydz"}},
      {TQ_IDXDYDZ_SET1, TQ_IDXDYDZ_SET2, TQ_IDXDYDZ_SET3, {"idxdydz"}},
  };
  int number = 20;
  for (const Integral& integral : integrals) {
    step.IndexSet(integral.first, NodeRange(x, sign(integral.selectors)), number++);
    step.IndexSet(integral.second, NodeRange(y), number++);
    step.IndexSet(integral.third, NodeRange(z), number++);
  }
}

void TQ_DISTRIBUTION3D::Assignments(const TQ_AssignmentStep& step) {
  const TQ_DOMAIN& x = *XDOMAIN;
  const TQ_DOMAIN& y = *YDOMAIN;
  const TQ_DOMAIN& z = *ZDOMAIN;
  // #41-46 each axis's order from its domain, and the order used from it.
  step.Assign(HIGHESTORDERXDERIVATIVE, x.HIGHESTORDERDERIVATIVE.v(), 41);
  step.Assign(HIGHESTORDERYDERIVATIVE, y.HIGHESTORDERDERIVATIVE.v(), 42);
  step.Assign(HIGHESTORDERZDERIVATIVE, z.HIGHESTORDERDERIVATIVE.v(), 43);
  step.Assign(HIGHESTORDERXDERIVATIVEUSED, HIGHESTORDERXDERIVATIVE.v(), 44);
  step.Assign(HIGHESTORDERYDERIVATIVEUSED, HIGHESTORDERYDERIVATIVE.v(), 45);
  step.Assign(HIGHESTORDERZDERIVATIVEUSED, HIGHESTORDERZDERIVATIVE.v(), 46);
  // #47-49 a domain of order 2 under an axis order held at 1 still has its
  // second derivatives used.
  if (x.HIGHESTORDERDERIVATIVE.v() == 2 && HIGHESTORDERXDERIVATIVE.v() == 1)
    step.Assign(HIGHESTORDERXDERIVATIVEUSED, 2, 47);
  if (y.HIGHESTORDERDERIVATIVE.v() == 2 && HIGHESTORDERYDERIVATIVE.v() == 1)
    step.Assign(HIGHESTORDERYDERIVATIVEUSED, 2, 48);
  if (z.HIGHESTORDERDERIVATIVE.v() == 2 && HIGHESTORDERZDERIVATIVE.v() == 1)
    step.Assign(HIGHESTORDERZDERIVATIVEUSED, 2, 49);
  // #50
  step.Assign(INTEGRALS, "None", 50);
}

morvane::eqn::DistributionView<3> TQ_DISTRIBUTION3D::View() {
  morvane::eqn::DistributionView<3> view;
  view.model = this;
  view.domains = {dynamic_cast<TQ_DOMAIN*>(XDOMAIN.ExternalLink()), dynamic_cast<TQ_DOMAIN*>(YDOMAIN.ExternalLink()),
                  dynamic_cast<TQ_DOMAIN*>(ZDOMAIN.ExternalLink())};
  view.links = {"XDOMAIN", "YDOMAIN", "ZDOMAIN"};
  view.order = {&HIGHESTORDERXDERIVATIVE, &HIGHESTORDERYDERIVATIVE, &HIGHESTORDERZDERIVATIVE};
  view.orderUsed = {&HIGHESTORDERXDERIVATIVEUSED, &HIGHESTORDERYDERIVATIVEUSED, &HIGHESTORDERZDERIVATIVEUSED};
  view.integrals = &INTEGRALS;
  // Numbered as the equation table numbers them.
  view.add(*VALUE);
  for (TQ_DERIVATIVEARRAY3* array : {&DDX, &DDY, &DDZ, &D2DX2, &D2DY2, &D2DZ2}) view.add(*array);
  for (TQ_VARIABLEARRAY3* array : {&IDX, &IDY, &IDZ, &IDXDY, &IDXDZ, &IDYDZ, &IDXDYDZ}) view.add(*array);
  return view;
}

int TQ_DISTRIBUTION3D::DeclareEquations(int count) {
  return morvane::eqn::DeclareEquations(*this, View(), morvane::eqn::d3::plan(), FirstGroup, count);
}

int TQ_DISTRIBUTION3D::EmitEquations(int*& rows, int*& cols, TQ_EquationType**, int count) {
  return morvane::eqn::EmitEquations(*this, View(), morvane::eqn::d3::plan(), FirstGroup, rows, cols, count);
}

MORVANE_GENERATED_CLASS_DEFINITION(TQ_DISTRIBUTION3D, TQ_ModelTypeEx2, "Model DISTRIBUTION3D\tV7.1");
