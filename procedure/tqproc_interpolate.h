// The INTERPOLATE procedure: binds a model's procedure call to the routine
// "INTERP" of the external library "TQSysLib".
//
// Arguments, in order: 0 x (real scalar), 1 a (real vector), 2 b (real
// vector), 3 n (integer scalar) are the inputs, 4 y (real scalar) the output.
// The vectors' lengths are given with SetDimensionSize when a using model
// declares them, a's before b's.
#pragma once

#include "frame.h"
#include "tq_procedure_template.h"

class TQProc_INTERPOLATE;

using TQ_INTERPOLATEProcedureBase = TQ_ProcedureTemplate<TQProc_INTERPOLATE, 4, 1, 2, TQ_ProcedureType_C, 4>;

extern template class TQ_ProcedureTemplate<TQProc_INTERPOLATE, 4, 1, 2, TQ_ProcedureType_C, 4>;

class MORVANE_API TQProc_INTERPOLATE : public TQ_INTERPOLATEProcedureBase {
 public:
  // The flag and the number go unchanged to the host's SetMode (the calling
  // convention and the language base index); when SetMode refuses them, the
  // exception reaches the caller and no object results.
  TQProc_INTERPOLATE(bool flag, int number);
  // A copy carries its source's state; SetMode is not called for it.
  TQProc_INTERPOLATE(const TQProc_INTERPOLATE& source);
  TQProc_INTERPOLATE& operator=(const TQProc_INTERPOLATE& source);
  ~TQProc_INTERPOLATE() override;

  // The argument tables: per argument, its variable-input flag, its number
  // of array dimensions and its type code.
  static bool IsVariableInput(int i);
  static int Dimensions(int i);
  static int Type(int i);
  // INTERP returns its own derivatives.
  static bool ReturnsDerivatives();

  // The host's derivative handling: set up when the layout is final, and
  // the returned derivatives negated after a call.
  void CreateDerivatives();
  void NegateDerivatives();

  const char* ProcedureName() const override;
  const char* DLLName() const override;
  // The host's pre-call: runs INTERP for a precall unless the last call was
  // one; the status of the call (0 when nothing ran).
  int Precall(bool flag) override;
};
