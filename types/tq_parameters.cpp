#include "types/tq_parameters.h"

// The host base is built with its flag clear; the system attributes are set
// up here, once the type's own defaults are reachable.
#define MORVANE_PARAMETER_TYPE_DEFINITIONS(NAME, BASE) \
  NAME::NAME(bool init) : BASE(false) {                \
    if (init) InitializeSystemAttributes();            \
  }                                                    \
  NAME::NAME(const NAME& other) : BASE(other) {}       \
  NAME& NAME::operator=(const NAME& other) {           \
    BASE::operator=(other);                            \
    return *this;                                      \
  }                                                    \
  NAME::~NAME() = default;                             \
  NAME& NAME::operator*() { return *this; }

MORVANE_PARAMETER_TYPE_DEFINITIONS(TQ_ANGLEPARAMETER, TQ_REALPARAMETER)
MORVANE_PARAMETER_TYPE_DEFINITIONS(TQ_LENGTHPARAMETER, TQ_REALPARAMETER)
MORVANE_PARAMETER_TYPE_DEFINITIONS(TQ_DISCRETIZATIONMETHODPARAM, TQ_STRINGPARAMETER)
MORVANE_PARAMETER_TYPE_DEFINITIONS(TQ_NUMSECTIONSPARAM, TQ_INTEGERPARAMETER)
MORVANE_PARAMETER_TYPE_DEFINITIONS(TQ_POLYPOINTSPARAM, TQ_INTEGERPARAMETER)

#undef MORVANE_PARAMETER_TYPE_DEFINITIONS

int TQ_ANGLEPARAMETER::TQ_PQCol() const { return 0; }
int TQ_ANGLEPARAMETER::TQ_PQRow() const { return 0; }
TQ_Value* TQ_ANGLEPARAMETER::TQ_DefaultPHYSICALQUANTITY() const {
  static TQ_Value quantity("Angle", 0u);
  return &quantity;
}

int TQ_LENGTHPARAMETER::TQ_PQCol() const { return 0; }
int TQ_LENGTHPARAMETER::TQ_PQRow() const { return 0; }
TQ_Value* TQ_LENGTHPARAMETER::TQ_DefaultPHYSICALQUANTITY() const {
  static TQ_Value quantity("Length", 0u);
  return &quantity;
}

TQ_Value* TQ_DISCRETIZATIONMETHODPARAM::TQ_DefaultVALUE() const {
  static TQ_Value method("BFD1", 0u);
  return &method;
}

// The method names, each followed by a double quote; the host splits the text
// into the set's members.
TQ_Value* TQ_DISCRETIZATIONMETHODPARAM::TQ_DefaultVALID() const {
  static TQ_StrSetValue methods("BFD1\"BFD2\"CFD2\"CFD4\"FFD1\"FFD2\"OCFE2\"OCFE3\"OCFE4\"UBFD4\"");
  static TQ_Value valid(methods, 0u);
  return &valid;
}

TQ_Value* TQ_NUMSECTIONSPARAM::TQ_DefaultVALUE() const {
  static TQ_Value sections(1, 0u);
  return &sections;
}
TQ_Value* TQ_NUMSECTIONSPARAM::TQ_DefaultLOWER() const {
  static TQ_Value lowest(1, 0u);
  return &lowest;
}

TQ_Value* TQ_POLYPOINTSPARAM::TQ_DefaultVALUE() const {
  static TQ_Value points(0, 0u);
  return &points;
}
TQ_Value* TQ_POLYPOINTSPARAM::TQ_DefaultLOWER() const {
  static TQ_Value lowest(0, 0u);
  return &lowest;
}
