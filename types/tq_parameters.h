// The parameter types: the host's real, string and integer parameters with
// defaults of their own. Each default lives in a function-local static of
// its operation, built on first use and shared by every object of the type.
#pragma once

#include "framework/morvane_api.h"
#include "host/vekexp.h"

// What the five declare alike: construction with the initialise flag, the
// copy operations and the dereference. They are defined in tq_parameters.cpp,
// so that each is exported under the type's own name.
#define MORVANE_PARAMETER_TYPE_MEMBERS(NAME) \
 public:                                     \
  explicit NAME(bool init = true);           \
  NAME(const NAME& other);                   \
  NAME& operator=(const NAME& other);        \
  ~NAME() override;                          \
  NAME& operator*();

// A real parameter of physical quantity "Angle".
class MORVANE_API TQ_ANGLEPARAMETER : public TQ_REALPARAMETER {
  MORVANE_PARAMETER_TYPE_MEMBERS(TQ_ANGLEPARAMETER)
  int TQ_PQCol() const override;
  int TQ_PQRow() const override;
  TQ_Value* TQ_DefaultPHYSICALQUANTITY() const override;
};

// A real parameter of physical quantity "Length".
class MORVANE_API TQ_LENGTHPARAMETER : public TQ_REALPARAMETER {
  MORVANE_PARAMETER_TYPE_MEMBERS(TQ_LENGTHPARAMETER)
  int TQ_PQCol() const override;
  int TQ_PQRow() const override;
  TQ_Value* TQ_DefaultPHYSICALQUANTITY() const override;
};

// The discretization method: one of the ten method names, "BFD1" by default.
class MORVANE_API TQ_DISCRETIZATIONMETHODPARAM : public TQ_STRINGPARAMETER {
  MORVANE_PARAMETER_TYPE_MEMBERS(TQ_DISCRETIZATIONMETHODPARAM)
  TQ_Value* TQ_DefaultVALUE() const override;
  TQ_Value* TQ_DefaultVALID() const override;
};

// A number of sections: at least 1, 1 by default.
class MORVANE_API TQ_NUMSECTIONSPARAM : public TQ_INTEGERPARAMETER {
  MORVANE_PARAMETER_TYPE_MEMBERS(TQ_NUMSECTIONSPARAM)
  TQ_Value* TQ_DefaultVALUE() const override;
  TQ_Value* TQ_DefaultLOWER() const override;
};

// A number of points inside an element: at least 0, 0 by default.
class MORVANE_API TQ_POLYPOINTSPARAM : public TQ_INTEGERPARAMETER {
  MORVANE_PARAMETER_TYPE_MEMBERS(TQ_POLYPOINTSPARAM)
  TQ_Value* TQ_DefaultVALUE() const override;
  TQ_Value* TQ_DefaultLOWER() const override;
};

#undef MORVANE_PARAMETER_TYPE_MEMBERS
