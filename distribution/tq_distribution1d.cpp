#include "tq_distribution1d.h"

#include <cstdio>

#include "distribution1d_context.h"
#include "eqn_host_sinks.h"
#include "frame.h"

namespace {

using morvane::eqn::d1::Access;
template <Access kAccess>
using Context = morvane::eqn::d1::Distribution1DContext<kAccess, TQ_DISTRIBUTION1D, TQ_DOMAIN>;

const char* NameOf(const TQ_Containable& item) {
  const char* name = item.Name();
  return name != nullptr && *name != 0 ? name : "(unnamed)";
}

}  // namespace

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

void TQ_DISTRIBUTION1D::IndexSets(const TQ_AssignmentStep& step) {
  TQ_DOMAIN& domain = *XDOMAIN;
  // #1 the nodes 0 .. ENDNODE.
  step.IndexSet(TQ_VALUE_SET1, TQ_IntSetValue(0, domain.ENDNODE.v()), 1);
  // #2 every node when first derivatives are used, else node 0 alone.
  {
    const int used = HIGHESTORDERXDERIVATIVEUSED.v();
    step.IndexSet(TQ_DDX_SET1, TQ_IntSetValue(0, (used > 0 ? 1 : 0) * domain.ENDNODE.v()), 2);
  }
  // #3 the domain's interior nodes when second derivatives are used; the
  // range is empty otherwise.
  {
    const TQ_SetValue& interior = domain.INTERIOR.v();
    const int used = HIGHESTORDERXDERIVATIVEUSED.v();
    TQ_IntSetValue nodes(1, (used > 1 ? 1 : 0) * domain.ENDNODE.v());
    nodes *= interior;
    step.IndexSet(TQ_D2DX2_SET1, static_cast<const SUValue&>(nodes), 3);
  }
  // #4 every node when "idx" is selected; [0 .. -ENDNODE] otherwise.
  {
    const int selected = StringInSet("idx", INTEGRALS.v());
    step.IndexSet(TQ_IDX_SET1, TQ_IntSetValue(0, (2 * selected - 1) * domain.ENDNODE.v()), 4);
  }
}

void TQ_DISTRIBUTION1D::Assignments(const TQ_AssignmentStep& step) {
  TQ_DOMAIN& domain = *XDOMAIN;
  step.Assign(HIGHESTORDERXDERIVATIVE, domain.HIGHESTORDERDERIVATIVE.v(), 5);
  step.Assign(HIGHESTORDERXDERIVATIVEUSED, HIGHESTORDERXDERIVATIVE.v(), 6);
  if (domain.HIGHESTORDERDERIVATIVE.v() == 2 && HIGHESTORDERXDERIVATIVE.v() == 1)
    step.Assign(HIGHESTORDERXDERIVATIVEUSED, 2, 7);
  step.Assign(INTEGRALS, "None", 8);
}

TQ_DOMAIN* TQ_DISTRIBUTION1D::LinkedDomain() const { return dynamic_cast<TQ_DOMAIN*>(XDOMAIN.ExternalLink()); }

template <class Context>
int TQ_DISTRIBUTION1D::CheckDomain(bool report) {
  char message[512];
  TQ_DOMAIN* domain = LinkedDomain();
  if (domain == nullptr) {
    if (report) {
      std::snprintf(message, sizeof message,
                    "%s: XDOMAIN has no domain attached; the distribution's equations cannot be placed",
                    NameOf(*this));
      TQ_Executive::Instance().ReportError(message);
    }
    return kNoDomain;
  }
  Context context(*this, *domain);
  // Every section must lie inside the domain's nodes 0 .. ENDNODE (the
  // arrays' index sets), so that no equation reaches an element outside them.
  const std::int32_t sections = context.numSections(0);
  const std::int64_t end = context.endNode();
  for (std::int32_t s = 1; s <= sections; ++s) {
    const std::int64_t first = context.base(0, s);
    const std::int64_t last = first + context.nodeCount(0, s);
    if (first < 0 || last < first || last > end) {
      if (report) {
        std::snprintf(message, sizeof message,
                      "%s: section %d of the domain %s covers the nodes %lld to %lld, outside the domain's nodes "
                      "0 to %lld",
                      NameOf(*this), static_cast<int>(s), NameOf(*domain), static_cast<long long>(first),
                      static_cast<long long>(last), static_cast<long long>(end));
        TQ_Executive::Instance().ReportError(message);
      }
      return kGridTooShort;
    }
  }
  const morvane::eqn::StencilFault fault = morvane::eqn::d1::checkEquationStencils(context);
  if (fault.found) {
    if (report) {
      std::snprintf(message, sizeof message, "%s: method \"%s\" of the domain %s: %s", NameOf(*this),
                    context.method(0), NameOf(*domain), morvane::eqn::describe(fault).c_str());
      TQ_Executive::Instance().ReportError(message);
    }
    return kGridTooShort;
  }
  return 0;
}

int TQ_DISTRIBUTION1D::SetUpEquations() {
  const int parent = TQ_ModelTypeEx2::SetUpEquations();
  if (parent < 0) return parent;
  FirstGroup = TQ_ModelType::m_stLastGroup;
  LocalEqnCount = 0;
  const int fault = CheckDomain<Context<Access::Variable>>(true);
  if (fault < 0) return fault;
  Context<Access::Variable> context(*this, *LinkedDomain());
  morvane::eqn::HostDeclaration sink(*this, parent);
  morvane::eqn::d1::walkEquations(context, sink, FirstGroup);
  LocalEqnCount = sink.count() - parent;
  return SetLocalEqnCount(sink.count());
}

int TQ_DISTRIBUTION1D::EmitEquations(int*& rows, int*& cols, TQ_EquationType**, int count) {
  if (count < 0) return count;
  const int fault = CheckDomain<Context<Access::Constant>>(false);
  if (fault < 0) return fault;
  Context<Access::Constant> context(*this, *LinkedDomain());
  morvane::eqn::HostEmission sink(*this, count, rows, cols);
  morvane::eqn::d1::walkEquations(context, sink, FirstGroup);
  return count;
}

MORVANE_GENERATED_CLASS_DEFINITION(TQ_DISTRIBUTION1D, TQ_ModelTypeEx2, "Model DISTRIBUTION1D\tV7.1");
