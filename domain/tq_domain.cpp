#include "domain/tq_domain.h"

#include <cmath>

MORVANE_GENERATED_CLASS_DEFINITION(TQ_DOMAIN, TQ_ModelTypeEx2, "Model DOMAIN\tV7.1");

void TQ_DOMAIN::RegisterProperties() {
  Register(TQ_SECTION_SET1, "TQ_SECTION_SET1");
  Register(SECTION, "SECTION");
  Register(LENGTH, "LENGTH", "Domain length");
  Register(SPACINGPREFERENCE, "SPACINGPREFERENCE", "Preferred node spacing for domain");
  Register(TQ_VALUE_SET1, "TQ_VALUE_SET1");
  Register(VALUE, "VALUE", "DO NOT EDIT - Location of each node in domain");
  Register(USERNOTES, "USERNOTES");
  Register(INPUTSIGNAL, "INPUTSIGNAL", nullptr, TQ_DIR_INPUT)->UnsetIsToBeExported();
  Register(OUTPUTSIGNAL, "OUTPUTSIGNAL", nullptr, TQ_DIR_OUTPUT)->UnsetIsToBeExported();
  Register(DISCRETIZATIONMETHOD, "DISCRETIZATIONMETHOD", "Method used to calculate partial derivatives");
  Register(NUMSECTIONS, "NUMSECTIONS", "Number of sections in the domain");
  Register(MINNODECOUNT, "MINNODECOUNT");
  Register(NUMPOLYPOINTS, "NUMPOLYPOINTS");
  Register(TQ_POLYPOINT_SET1, "TQ_POLYPOINT_SET1");
  Register(POLYPOINT, "POLYPOINT");
  Register(HIGHESTORDERDERIVATIVE, "HIGHESTORDERDERIVATIVE");
  Register(INTERIOR, "INTERIOR");
  Register(ENDNODE, "ENDNODE", "DO NOT EDIT - Index of the rightmost element in domain");
}

void TQ_DOMAIN::SizeArrays() {
  (*SECTION).SetDim(TQ_SECTION_SET1);
  (*VALUE).SetDim(TQ_VALUE_SET1);
  POLYPOINT.SetDim(TQ_POLYPOINT_SET1);
}

MORVANE_GENERATED_CLASS_DEFINITION(TQ_LENGTHDOMAIN, TQ_DOMAIN, "Model LENGTHDOMAIN\tV7.1");
MORVANE_GENERATED_CLASS_DEFINITION(TQ_ANGLEDOMAIN, TQ_DOMAIN, "Model ANGLEDOMAIN\tV7.1");

// ---- conversions --------------------------------------------------------------

std::int32_t TruncToInt(double x) {
  if (std::isnan(x)) return 0;
  // trunc(x) lies in the 32-bit range exactly when -2^31 - 1 < x < 2^31.
  if (x >= 2147483648.0) return INT32_MAX;
  if (x <= -2147483649.0) return INT32_MIN;
  return static_cast<std::int32_t>(x);
}

std::int32_t RoundToInt(double x) { return x >= 0.0 ? TruncToInt(x + 0.5) : TruncToInt(x - 0.5); }
