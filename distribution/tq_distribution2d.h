// TQ_DISTRIBUTION2D: a variable distributed over the node pairs (x, y) of two
// domains, with its first and second partial derivatives along each axis and
// its integrals along x, along y and over both. Every array is indexed
// (x node, y node); which elements it has follows from the index sets that
// ExecuteAssignments computes from the domains, the derivative orders used
// and INTEGRALS.
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

class MORVANE_API TQ_DISTRIBUTION2D : public TQ_Generated<TQ_DISTRIBUTION2D, TQ_ModelTypeEx2> {
  MORVANE_GENERATED_CLASS(TQ_DISTRIBUTION2D)  // "Model DISTRIBUTION2D\tV7.1"

 public:
  // ExecuteAssignments0 (declared with the class): the generated assignment
  // work when both domains are attached; else the missing links reported,
  // nothing of this level handed to the host and morvane::eqn::kNoDomain
  // (morvane::eqn::AssignOverDomains).

  // Steps of the generated pattern (TQ_Generated).
  void RegisterProperties();
  // D2DY2 is sized by the y domain's INTERIOR set: when YDOMAIN holds no
  // domain, that array is left as it was and the link reported; the others
  // are sized all the same.
  void SizeArrays();
  void IndexSets(const TQ_AssignmentStep& step);
  void Assignments(const TQ_AssignmentStep& step);
  // Checks the domains and the size of the model, then declares every
  // equation with its group and non-zeros; a negative code, with the reason
  // handed to the host, when a domain is missing, its grid cannot carry the equations
  // that would run, or they would not fit the host's counts or its size
  // budget (the code is left in LocalEqnCount).
  int DeclareEquations(int count);
  // Emits every equation it declared; a negative count (the parent's
  // failure) or a refused declaration ends the call with nothing emitted and
  // that code; a refusal that only emission meets (the model changed since
  // its declaration) is told as declaration tells it.
  int EmitEquations(int*& rows, int*& cols, TQ_EquationType** types, int count);

  // The distribution as its equations read it.
  morvane::eqn::DistributionView<2> View();

  TQ_External<TQ_DOMAIN> XDOMAIN;
  TQ_External<TQ_DOMAIN> YDOMAIN;
  TQ_Virtual<TQ_ARRAY_II<TQ_REALVARIABLE, TQ_REALVARIABLE>> VALUE;
  TQ_INTEGERSET TQ_VALUE_SET1;
  TQ_INTEGERSET TQ_VALUE_SET2;
  TQ_STRINGPARAMETER USERNOTES{true};
  TQ_CONTROLPORT INPUTSIGNAL{true};
  TQ_CONTROLPORT OUTPUTSIGNAL{true};
  TQ_INTEGERPARAMETER HIGHESTORDERXDERIVATIVE{true};
  TQ_INTEGERPARAMETER HIGHESTORDERYDERIVATIVE{true};
  TQ_INTEGERPARAMETER HIGHESTORDERXDERIVATIVEUSED{true};
  TQ_INTEGERPARAMETER HIGHESTORDERYDERIVATIVEUSED{true};
  TQ_STRINGSET INTEGRALS{true};
  TQ_ARRAY_II<TQ_PARTIALDERIVATIVE, TQ_PARTIALDERIVATIVE> DDX;
  TQ_INTEGERSET TQ_DDX_SET1;
  TQ_INTEGERSET TQ_DDX_SET2;
  TQ_ARRAY_II<TQ_PARTIALDERIVATIVE, TQ_PARTIALDERIVATIVE> DDY;
  TQ_INTEGERSET TQ_DDY_SET1;
  TQ_INTEGERSET TQ_DDY_SET2;
  TQ_ARRAY_II<TQ_PARTIALDERIVATIVE, TQ_PARTIALDERIVATIVE> D2DX2;
  TQ_INTEGERSET TQ_D2DX2_SET1;
  TQ_INTEGERSET TQ_D2DX2_SET2;
  // Its second dimension is YDOMAIN's INTERIOR set itself.
  TQ_ARRAY_II<TQ_PARTIALDERIVATIVE, TQ_PARTIALDERIVATIVE> D2DY2;
  TQ_INTEGERSET TQ_D2DY2_SET1;
  TQ_ARRAY_II<TQ_REALVARIABLE, TQ_REALVARIABLE> IDX;
  TQ_INTEGERSET TQ_IDX_SET1;
  TQ_INTEGERSET TQ_IDX_SET2;
  TQ_ARRAY_II<TQ_REALVARIABLE, TQ_REALVARIABLE> IDY;
  TQ_INTEGERSET TQ_IDY_SET1;
  TQ_INTEGERSET TQ_IDY_SET2;
  TQ_ARRAY_II<TQ_REALVARIABLE, TQ_REALVARIABLE> IDXDY;
  TQ_INTEGERSET TQ_IDXDY_SET1;
  TQ_INTEGERSET TQ_IDXDY_SET2;

  MORVANE_GENERATED_COUNTERS
};
