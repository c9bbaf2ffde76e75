// TQ_DISTRIBUTION3D: a variable distributed over the nodes of three domains (x, y, z), with its
// first and second partial derivatives along each axis and up to seven integrals over one, two
// or all three axes. Every array is indexed (x, y, z); its internal index sets follow the
// domains' node numbers, the derivative orders used and the INTEGRALS selection.
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

using TQ_VARIABLEARRAY3 = TQ_ARRAY_III<TQ_REALVARIABLE, TQ_REALVARIABLE>;
using TQ_DERIVATIVEARRAY3 = TQ_ARRAY_III<TQ_PARTIALDERIVATIVE, TQ_PARTIALDERIVATIVE>;

class MORVANE_API TQ_DISTRIBUTION3D : public TQ_Generated<TQ_DISTRIBUTION3D, TQ_ModelTypeEx2> {
  MORVANE_GENERATED_CLASS(TQ_DISTRIBUTION3D)  // "Model DISTRIBUTION3D\tV7.1"

 public:
  // What ExecuteAssignments, SetUpEquations and JacPattern return when a
  // domain link has no domain attached (the host has been told which).
  static constexpr int kNoDomain = morvane::eqn::kNoDomain;

  // ExecuteAssignments0 (declared with the class): the generated assignment
  // work when the three domains are attached; else the missing links reported,
  // nothing of this level handed to the host and kNoDomain
  // (morvane::eqn::AssignOverDomains).

  // Steps of the generated pattern (TQ_Generated).
  void RegisterProperties();
  // D2DY2 and D2DZ2 are sized by the y and z domains' INTERIOR sets: when
  // the link holds no domain, that array is left as it was and the link
  // reported; the others are sized all the same.
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
  morvane::eqn::DistributionView<3> View();

  TQ_External<TQ_DOMAIN> XDOMAIN;
  TQ_External<TQ_DOMAIN> YDOMAIN;
  TQ_External<TQ_DOMAIN> ZDOMAIN;
  TQ_Virtual<TQ_VARIABLEARRAY3> VALUE;
  TQ_INTEGERSET TQ_VALUE_SET1;
  TQ_INTEGERSET TQ_VALUE_SET2;
  TQ_INTEGERSET TQ_VALUE_SET3;
  TQ_STRINGPARAMETER USERNOTES{true};
  TQ_CONTROLPORT INPUTSIGNAL{true};
  TQ_CONTROLPORT OUTPUTSIGNAL{true};
  TQ_INTEGERPARAMETER HIGHESTORDERXDERIVATIVE{true};
  TQ_INTEGERPARAMETER HIGHESTORDERYDERIVATIVE{true};
  TQ_INTEGERPARAMETER HIGHESTORDERZDERIVATIVE{true};
  TQ_INTEGERPARAMETER HIGHESTORDERXDERIVATIVEUSED{true};
  TQ_INTEGERPARAMETER HIGHESTORDERYDERIVATIVEUSED{true};
  TQ_INTEGERPARAMETER HIGHESTORDERZDERIVATIVEUSED{true};
  TQ_STRINGSET INTEGRALS{true};
  TQ_DERIVATIVEARRAY3 DDX;
  TQ_INTEGERSET TQ_DDX_SET1;
  TQ_INTEGERSET TQ_DDX_SET2;
  TQ_INTEGERSET TQ_DDX_SET3;
  TQ_DERIVATIVEARRAY3 DDY;
  TQ_INTEGERSET TQ_DDY_SET1;
  TQ_INTEGERSET TQ_DDY_SET2;
  TQ_INTEGERSET TQ_DDY_SET3;
  TQ_DERIVATIVEARRAY3 DDZ;
  TQ_INTEGERSET TQ_DDZ_SET1;
  TQ_INTEGERSET TQ_DDZ_SET2;
  TQ_INTEGERSET TQ_DDZ_SET3;
  TQ_DERIVATIVEARRAY3 D2DX2;
  TQ_INTEGERSET TQ_D2DX2_SET1;
  TQ_INTEGERSET TQ_D2DX2_SET2;
  TQ_INTEGERSET TQ_D2DX2_SET3;
  TQ_DERIVATIVEARRAY3 D2DY2;  // its second dimension is YDOMAIN's INTERIOR
  TQ_INTEGERSET TQ_D2DY2_SET1;
  TQ_INTEGERSET TQ_D2DY2_SET3;
  TQ_DERIVATIVEARRAY3 D2DZ2;  // its third dimension is ZDOMAIN's INTERIOR
  TQ_INTEGERSET TQ_D2DZ2_SET1;
  TQ_INTEGERSET TQ_D2DZ2_SET2;
  TQ_VARIABLEARRAY3 IDX;
  TQ_INTEGERSET TQ_IDX_SET1;
  TQ_INTEGERSET TQ_IDX_SET2;
  TQ_INTEGERSET TQ_IDX_SET3;
  TQ_VARIABLEARRAY3 IDY;
  TQ_INTEGERSET TQ_IDY_SET1;
  TQ_INTEGERSET TQ_IDY_SET2;
  TQ_INTEGERSET TQ_IDY_SET3;
  TQ_VARIABLEARRAY3 IDZ;
  TQ_INTEGERSET TQ_IDZ_SET1;
  TQ_INTEGERSET TQ_IDZ_SET2;
  TQ_INTEGERSET TQ_IDZ_SET3;
  TQ_VARIABLEARRAY3 IDXDY;
  TQ_INTEGERSET TQ_IDXDY_SET1;
  TQ_INTEGERSET TQ_IDXDY_SET2;
  TQ_INTEGERSET TQ_IDXDY_SET3;
  TQ_VARIABLEARRAY3 IDXDZ;
  TQ_INTEGERSET TQ_IDXDZ_SET1;
  TQ_INTEGERSET TQ_IDXDZ_SET2;
  TQ_INTEGERSET TQ_IDXDZ_SET3;
  TQ_VARIABLEARRAY3 IDYDZ;
  TQ_INTEGERSET TQ_IDYDZ_SET1;
  TQ_INTEGERSET TQ_IDYDZ_SET2;
  TQ_INTEGERSET TQ_IDYDZ_SET3;
  TQ_VARIABLEARRAY3 IDXDYDZ;
  TQ_INTEGERSET TQ_IDXDYDZ_SET1;
  TQ_INTEGERSET TQ_IDXDYDZ_SET2;
  TQ_INTEGERSET TQ_IDXDYDZ_SET3;

  MORVANE_GENERATED_COUNTERS
};
