#include "procedure/tqproc_interpolate.h"

template class TQ_ProcedureTemplate<TQProc_INTERPOLATE, 4, 1, 2, TQ_ProcedureType_C, 4>;

TQProc_INTERPOLATE::TQProc_INTERPOLATE(bool flag, int number) { SetMode(flag, number); }

TQProc_INTERPOLATE::TQProc_INTERPOLATE(const TQProc_INTERPOLATE& source) : TQ_INTERPOLATEProcedureBase(source) {}

TQProc_INTERPOLATE& TQProc_INTERPOLATE::operator=(const TQProc_INTERPOLATE& source) {
  TQ_INTERPOLATEProcedureBase::operator=(source);
  return *this;
}

TQProc_INTERPOLATE::~TQProc_INTERPOLATE() = default;

bool TQProc_INTERPOLATE::ReturnsDerivatives() { return true; }

void TQProc_INTERPOLATE::CreateDerivatives() { HandleDerivatives(false); }

void TQProc_INTERPOLATE::NegateDerivatives() { HandleDerivatives(true); }

const char* TQProc_INTERPOLATE::ProcedureName() const { return "INTERP"; }

const char* TQProc_INTERPOLATE::DLLName() const { return "TQSysLib"; }

int TQProc_INTERPOLATE::Precall(bool flag) { return CallFn(CallPrecall, flag); }

#if defined(_WIN32)
// The argument tables' accessors are inline, and a DLL exports neither the
// inline members of an exported class nor their statics by itself: the
// linker is told to export them, in the directive section the compiler uses
// for every exported name.
__asm__(
    ".section .drectve\n"
    "\t.ascii \" -export:\\\"_ZN18TQProc_INTERPOLATE15IsVariableInputEi\\\"\"\n"
    "\t.ascii \" -export:\\\"_ZN18TQProc_INTERPOLATE10DimensionsEi\\\"\"\n"
    "\t.ascii \" -export:\\\"_ZN18TQProc_INTERPOLATE4TypeEi\\\"\"\n"
    "\t.ascii \" -export:\\\"_ZZN18TQProc_INTERPOLATE15IsVariableInputEiE6bIsVar\\\",data\"\n"
    "\t.ascii \" -export:\\\"_ZZN18TQProc_INTERPOLATE10DimensionsEiE5nDims\\\",data\"\n"
    "\t.ascii \" -export:\\\"_ZZN18TQProc_INTERPOLATE4TypeEiE6iTypes\\\",data\"\n"
    "\t.text\n");
#endif
