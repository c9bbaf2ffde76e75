// The parameter types: the host's real, string and integer parameters with
// defaults of their own. Each default lives in a function-local static of
// its operation, built on first use and shared by every object of the type.
#pragma once

#include "morvane_api.h"
#include "vekexp.h"

// One definition for the five: construction with the initialise flag (the
// host base is built with its flag clear; the system attributes are set up
// here, once the type's own defaults are reachable), the copy operations and
// the dereference.
#define MORVANE_PARAMETER_TYPE_MEMBERS(NAME, BASE)          \
 public:                                                   \
  explicit NAME(bool init = true) : BASE(false) {          \
    if (init) InitializeSystemAttributes();                \
  }                                                        \
  NAME(const NAME& other) : BASE(other) {}                 \
  NAME& operator=(const NAME& other) {                     \
    BASE::operator=(other);                                \
    return *this;                                          \
  }                                                        \
  ~NAME() override;                                        \
  NAME& operator*() { return *this; }

// A real parameter of physical quantity "Angle".
class MORVANE_API TQ_ANGLEPARAMETER : public TQ_REALPARAMETER {
  MORVANE_PARAMETER_TYPE_MEMBERS(TQ_ANGLEPARAMETER, TQ_REALPARAMETER)
  int TQ_PQCol() const override;
  int TQ_PQRow() const override;
  TQ_Value* TQ_DefaultPHYSICALQUANTITY() const override;
};

// A real parameter of physical quantity "Length".
class MORVANE_API TQ_LENGTHPARAMETER : public TQ_REALPARAMETER {
  MORVANE_PARAMETER_TYPE_MEMBERS(TQ_LENGTHPARAMETER, TQ_REALPARAMETER)
  int TQ_PQCol() const override;
  int TQ_PQRow() const override;
  TQ_Value* TQ_DefaultPHYSICALQUANTITY() const override;
};

// The discretization method: one of the ten method names, "BFD1" by default.
class MORVANE_API TQ_DISCRETIZATIONMETHODPARAM : public TQ_STRINGPARAMETER {
  MORVANE_PARAMETER_TYPE_MEMBERS(TQ_DISCRETIZATIONMETHODPARAM, TQ_STRINGPARAMETER)
  TQ_Value* TQ_DefaultVALUE() const override;
  TQ_Value* TQ_DefaultVALID() const override;
};

// A number of sections: at least 1, 1 by default.
class MORVANE_API TQ_NUMSECTIONSPARAM : public TQ_INTEGERPARAMETER {
  MORVANE_PARAMETER_TYPE_MEMBERS(TQ_NUMSECTIONSPARAM, TQ_INTEGERPARAMETER)
  TQ_Value* TQ_DefaultVALUE() const override;
  TQ_Value* TQ_DefaultLOWER() const override;
};

// A number of points inside an element: at least 0, 0 by default.
class MORVANE_API TQ_POLYPOINTSPARAM : public TQ_INTEGERPARAMETER {
  MORVANE_PARAMETER_TYPE_MEMBERS(TQ_POLYPOINTSPARAM, TQ_INTEGERPARAMETER)
  TQ_Value* TQ_DefaultVALUE() const override;
  TQ_Value* TQ_DefaultLOWER() const override;
};

#undef MORVANE_PARAMETER_TYPE_MEMBERS
