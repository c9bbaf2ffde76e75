// The INTERPOLATE procedure: binds a model's procedure call to the routine
// "INTERP" of the external library "TQSysLib".
//
// Arguments, in order: 0 x (real scalar), 1 a (real vector), 2 b (real
// vector), 3 n (integer scalar) are the inputs, 4 y (real scalar) the output.
// The vectors' lengths are given with SetDimensionSize when a using model
// declares them, a's before b's.
#pragma once

#include "framework/frame.h"
#include "procedure/tq_procedure_template.h"

class MORVANE_API TQProc_INTERPOLATE;

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

  // The argument tables: per argument, its variable-input flag (bIsVar), its
  // number of array dimensions (nDims) and its type code (iTypes). Each table
  // lives inside its accessor and is exported under its own name, in
  // writable data, for the host and the models that use the procedure; the
  // accessors are defined here so that the tables are (a function's own
  // statics are exported only with an inline function).
  MORVANE_INLINE_EXPORT static bool IsVariableInput(int i) {
    static bool bIsVar[5] = {false, false, false, false, false};
    return bIsVar[i];
  }
  MORVANE_INLINE_EXPORT static int Dimensions(int i) {
    static unsigned char nDims[5] = {0, 1, 1, 0, 0};
    return nDims[i];
  }
  MORVANE_INLINE_EXPORT static int Type(int i) {
    static unsigned char iTypes[5] = {4, 4, 4, 2, 4};
    return iTypes[i];
  }
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
