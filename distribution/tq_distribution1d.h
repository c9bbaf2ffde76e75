// TQ_DISTRIBUTION1D: a variable distributed over one domain, with its first and second partial
// derivatives and its interval integrals at the domain's nodes, and the equations that tie them
// to the variable for the domain's discretization method.
#pragma once

#include <cstdint>

#include "distribution/distribution_context.h"
#include "distribution/distribution_engine.h"
#include "framework/morvane_api.h"
#include "domain/tq_domain.h"
#include "framework/tq_external.h"
#include "framework/tq_generated.h"
#include "types/tq_ports.h"
#include "framework/tq_typed_arrays.h"
#include "framework/tq_virtual.h"
#include "host/vekexp.h"

class MORVANE_API TQ_DISTRIBUTION1D : public TQ_Generated<TQ_DISTRIBUTION1D, TQ_ModelTypeEx2> {
  MORVANE_GENERATED_CLASS(TQ_DISTRIBUTION1D)  // "Model DISTRIBUTION1D\tV7.1"

 public:
  // What ExecuteAssignments (kNoDomain alone), SetUpEquations and
  // JacPattern return when the distribution cannot do its work (the host has
  // been told why).
  static constexpr int kNoDomain = morvane::eqn::kNoDomain;          // XDOMAIN has no domain attached
  static constexpr int kGridTooShort = morvane::eqn::kGridTooShort;  // the grid cannot carry the
                                                                     // equations that would run
                                                                     // (morvane::eqn::GridFault)

  // ExecuteAssignments0 (declared with the class): the generated assignment
  // work when XDOMAIN holds a domain; else the link reported, nothing of this
  // level handed to the host and kNoDomain (morvane::eqn::AssignOverDomains).

  // Steps of the generated pattern (TQ_Generated).
  void RegisterProperties();
  void SizeArrays();
  void IndexSets(const TQ_AssignmentStep& step);
  void Assignments(const TQ_AssignmentStep& step);
  // Checks the domain and the size of the model, then declares every
  // equation with its group and non-zeros; a negative code, with the reason
  // handed to the host, when the domain is missing, its grid cannot carry the equations
  // that would run, or they would not fit the host's counts or its size
  // budget (the code is left in LocalEqnCount).
  int DeclareEquations(int count);
  // Emits every equation it declared; a negative count (the parent's
  // failure) or a refused declaration ends the call with nothing emitted and
  // that code; a refusal that only emission meets (the model changed since
  // its declaration) is told as declaration tells it.
  int EmitEquations(int*& rows, int*& cols, TQ_EquationType** types, int count);

  // The distribution as its equations read it.
  morvane::eqn::DistributionView<1> View();

  TQ_External<TQ_DOMAIN> XDOMAIN;
  TQ_Virtual<TQ_ARRAY_I<TQ_REALVARIABLE, TQ_REALVARIABLE>> VALUE;
  TQ_INTEGERSET TQ_VALUE_SET1;
  TQ_STRINGPARAMETER USERNOTES{true};
  TQ_CONTROLPORT INPUTSIGNAL{true};
  TQ_CONTROLPORT OUTPUTSIGNAL{true};
  TQ_INTEGERPARAMETER HIGHESTORDERXDERIVATIVE{true};
  TQ_INTEGERPARAMETER HIGHESTORDERXDERIVATIVEUSED{true};
  TQ_STRINGSET INTEGRALS{true};
  TQ_ARRAY_I<TQ_PARTIALDERIVATIVE, TQ_PARTIALDERIVATIVE> DDX;
  TQ_INTEGERSET TQ_DDX_SET1;
  TQ_ARRAY_I<TQ_PARTIALDERIVATIVE, TQ_PARTIALDERIVATIVE> D2DX2;
  TQ_INTEGERSET TQ_D2DX2_SET1;
  TQ_ARRAY_I<TQ_REALVARIABLE, TQ_REALVARIABLE> IDX;
  TQ_INTEGERSET TQ_IDX_SET1;

  MORVANE_GENERATED_COUNTERS
};
