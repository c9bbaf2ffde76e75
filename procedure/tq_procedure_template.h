// The procedure template: binds one external routine to the host's procedure
// protocol, for any procedure class that derives from it.
//
// TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>
//   Proc     the procedure class; it supplies, by these names:
//              static int Dimensions(int i)  array dimensions of argument i
//              static int Type(int i)        type code of argument i
//                                            (2, 3 integer, 4 real, 5 string)
//              void CreateDerivatives()      called when the layout is final
//            and, for the call of the routine, IsVariableInput,
//            ReturnsDerivatives and NegateDerivatives;
//   inputs   number of input arguments, numbered 0 .. inputs - 1;
//   outputs  number of output arguments, numbered inputs .. inputs + outputs - 1;
//   dims     the sum of Dimensions(i) over every argument;
//   Base     the host's procedure base (TQ_ProcedureType_C or a class over it);
//   n        the interface level the routine is called at: CallFn hands it to
//            the host's EnsureCompatibleDLLLoaded before every call, which
//            loads the routine for the level of the sixteen-pointer call
//            (TQ_PROCEDURE_INTERFACE, 4) and refuses the call for any other.
//
// A using model declares the routine's arguments twice with the same calls,
// one declaration per argument in argument order: a constant (Argument with
// its value), a scalar variable (Argument(variable)) or an array (Argument(),
// then SetDimensionSize once per dimension, then Element once per element).
// The first pass (construction) lays out the packed argument buffer of 8-byte
// words and counts; LastArgument hands the layout to the host, which supplies
// the buffer and the element list; the second pass (binding) lists the element
// variables. Calls that break this protocol are refused, with an error through
// the host, and change nothing.
//
// This header is the one to include. It declares the class and defines its
// lifetime; the members of each concern are defined in a file of their own,
// which it includes at its end:
//   tq_procedure_layout.h     the argument protocol and the buffer's layout
//   tq_procedure_equations.h  the procedure's equations and their pattern
//   tq_procedure_packing.h    the inputs (and preset outputs) into the buffer
//   tq_procedure_writeback.h  the routine's values back into variable inputs
//   tq_procedure_call.h       the call of the routine, and the residuals
//   tq_procedure_jacobian.h   the Jacobian: the routine's derivatives, or
//                             finite differences
// The class stays one: its fields keep the order the host's procedure
// objects have, and every member is a plain member call, as before.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "framework/frame.h"

static_assert(sizeof(int) == 4, "procedure arguments hand 32-bit integers to the routine");

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
class MORVANE_API TQ_ProcedureTemplate : public Base {
  static_assert(inputs >= 0 && outputs >= 0 && dims >= 0, "argument and dimension counts are not negative");

 public:
  static constexpr int InputArgs();
  static constexpr int OutputArgs();
  static constexpr int TotalArgs();

  TQ_ProcedureTemplate();
  // A copy stands where its source stood in the declaration; it owns none of
  // the source's call arrays (rows, columns, saved outputs) and builds its own
  // when it needs them. The character pointers of its string array inputs
  // point into its own buffer (as after assignment).
  TQ_ProcedureTemplate(const TQ_ProcedureTemplate& source);
  // Releases the target's call arrays and takes the source's state.
  TQ_ProcedureTemplate& operator=(const TQ_ProcedureTemplate& source);
  ~TQ_ProcedureTemplate() override;

  // ==== argument layout (tq_procedure_layout.h) =========================================

  // ---- argument slots ---------------------------------------------------------
  // Opens the next argument; true passes it by reference (variables), false
  // as a constant.
  void SetArg(bool byReference);
  // One dimension size of the current array argument (construction pass).
  void SetDimensionSize(int size);
  // One element variable of the current argument: counted in the
  // construction pass, listed in the binding pass.
  void Element(TQ_VarParam& variable);
  // Records the current argument's word offset (plus the base index).
  void SetOffset(int words);
  // Argument `argument`'s word offset from 0; for TotalArgs() the end of the
  // buffer.
  int GetOffset(int argument) const;
  // The stored offsets (base index included) from `argument` on.
  const int* GetOffsets(int argument) const;

  // ---- argument declaration ------------------------------------------------------
  void Argument(const char* text);
  void Argument(TQ_StringSetIter& iterator);
  void Argument(int value);
  void Argument(TQ_IntegerSetIter& iterator);
  void Argument(double value);
  void Argument(TQ_VarParam& variable);
  void Argument();
  // Ends the construction pass; does nothing after it.
  void LastArgument();

  // ---- argument values ---------------------------------------------------------------
  // Points the character-pointer table of every string array input at its
  // strings (C convention only).
  void InitializeCStrings() override;
  int GetIntegerArg(int argument) const;
  double GetRealArg(int argument) const;
  const char* GetStringArg(int argument) const;
  bool ByReference(int argument) const;

  // ==== procedure equations (tq_procedure_equations.h) ==================================
  // In the owner's SetUpEquations: sets the group, adds the procedure's
  // equations to `eqnCount` and returns their non-zeros.
  int NZAndEqnContribution(TQ_ModelTypeEx* owner, int group, int& eqnCount);
  int NZAndEqnContribution(TQ_StructureTypeEx* owner, int group, int& eqnCount);
  // In the owner's JacPattern: one equation per output element, its terms the
  // output element and every solver-variable input element, then the call.
  void CreateEquationsAndSetGroup(int group,
                                  int eqnArg3,
                                  int*& rows,
                                  int*& cols,
                                  int& eqnCount,
                                  TQ_ModelTypeEx* owner,
                                  const char* name,
                                  int eqnArg7);
  void CreateEquationsAndSetGroup(int group,
                                  int eqnArg3,
                                  int*& rows,
                                  int*& cols,
                                  int& eqnCount,
                                  TQ_StructureTypeEx* owner,
                                  const char* name,
                                  int eqnArg7);

  // ==== packing (tq_procedure_packing.h) ================================================
  // Packing of the inputs into the packed argument buffer; each packer
  // handles the argument at the argument cursor and moves on. Values are
  // written, and the changed flag set, only where they differ from the
  // buffer's (reals by IEEE comparison, integers on their 32 bits).
  bool PackVal(int value);
  bool PackVal(double value);
  bool PackVal(const char* value);
  bool PackVarInteger();
  bool PackVarReal();
  bool PackVarString();
  void PackInputVars();
  // The output variables' current values into the output words.
  void PackOutputVars();

  // ==== the call of the routine (tq_procedure_call.h) ===================================
  // Runs the routine for a request of type `type` when it must: an input
  // changed, the last call was of another type or failed, or the host asks
  // for every call. 0 when nothing ran; else the host's status (negative: the
  // library or the routine failed, or the procedure cannot be called).
  // `flag` goes to the host's judgement of the call.
  int CallFn(TQ_ProcedureType::CallType type, bool flag);
  // Per output value: output variable minus the routine's output.
  int Residuals(double* values, int& position) override;

  // ==== write-back (tq_procedure_writeback.h) ===========================================
  // Writes the values the routine left in the slots of variable inputs back
  // into their solver variables, where they differ.
  void UnpackInputVars();

  // ==== the Jacobian (tq_procedure_jacobian.h) ==========================================
  // Per output value: 1.0, then the derivative of the residual by each
  // solver-variable input element.
  int Jacobian(double* values, int& position) override;

 protected:
  // ---- the template's fields, in declaration order -----------------------------
  std::int32_t m_nArrayElements;                          // elements of the current array: product of its sizes so far
  std::int32_t m_nDimsLeft;                               // dimension sizes of the current argument still to come
  std::int32_t m_nDimIndex;                               // dimension sizes recorded (next free entry)
  std::int32_t m_nFirstOutputDim;                         // entry where the outputs' sizes begin
  std::array<std::int32_t, dims + 1> m_aDimSizes;         // every size; the last entry spare, 0
  std::int32_t m_nArg;                                    // current argument, -1 before the first
  std::int32_t m_nWords;                                  // words of the buffer laid out so far
  std::array<std::int32_t, inputs + outputs> m_aOffsets;  // word offset + base index
  double* m_pBaseOutputs;                                 // outputs at unperturbed inputs (call side), owned
  bool m_bConstructing;                                   // the construction pass is running
  std::array<bool, inputs + outputs> m_abByReference;
  std::array<ConstProcValue, inputs + outputs> m_aConstValues;
  std::int32_t* m_pRows;  // derivative entries' rows (call side), owned
  std::int32_t* m_pCols;  // derivative entries' columns (call side), owned
  bool m_bEvaluated;      // the routine ran for the current inputs

  // ---- bookkeeping of the protocol ---------------------------------------------------
  // Element variables the current argument still takes; -1 while its
  // dimension sizes are still to come.
  std::int32_t m_nElementsLeft;
  // Per input element, in declaration order: whether it was a solver
  // variable when the construction pass declared it. Counting, equations and
  // derivatives all use this one answer.
  morvane::vector<std::uint8_t> m_abSolverInput;

 private:
  Proc* P() { return static_cast<Proc*>(this); }
  const Proc* P() const { return static_cast<const Proc*>(this); }
  void Refuse(const morvane::string& message) const { this->ProcedureError(message.c_str()); }

  // ---- lifetime (here) ----------------------------------------------------------------------
  void ReleaseCallArrays();
  void CopyFields(const TQ_ProcedureTemplate& source);

  // ---- argument layout ---------------------------------------------------------------------
  enum class Declared { Constant, Variable, Open };
  bool OpenArgument(Declared kind);
  template <typename Value>
  void DeclareConstant(Value value);
  bool ValidArgument(int argument, const char* what) const;
  // Elements of argument `argument` by its recorded sizes, which begin at
  // entry `dimension` of the size table.
  std::int64_t RecordedElements(int argument, int dimension) const;
  int DimensionPosition(int argument) const;
  // The counts of a finished pass stand (construction or binding).
  bool CountsComplete() const;
  // The binding pass has filled the element list the host supplied.
  bool ElementListComplete() const;
  // Walks the input arguments in argument order: `constant(argument)` for a
  // constant, `element(argument, k, position)` for the k-th element of a
  // by-reference argument, `position` its place in the element list.
  template <class OnConstant, class OnElement>
  void WalkInputs(OnConstant constant, OnElement element) const;

  // ---- procedure equations -----------------------------------------------------------------
  template <class Owner>
  int CountEquations(Owner* owner, int group, int& eqnCount);
  template <class Owner>
  void CreateEquations(
      Owner* owner, int group, int eqnArg3, int*& rows, int*& cols, int& eqnCount, const char* name, int eqnArg7);

  // ---- packing ------------------------------------------------------------------------------
  // The slot of argument `argument` as bytes.
  unsigned char* Slot(int argument) {
    return reinterpret_cast<unsigned char*>(this->m_pArgBuffer + GetOffset(argument));
  }
  double* OutputWords() { return this->m_pArgBuffer + GetOffset(InputArgs()); }

  // ---- the call of the routine --------------------------------------------------------------
  // 0 when the procedure can be called; otherwise the host's refusal.
  int RefuseUnlessCallable();
  void MakeRowsAndColumns();

  // ---- write-back ---------------------------------------------------------------------------
  // Writes `value` into `variable` the way it was set: by default
  // assignment through `holder` when its value stands by one, else as its
  // current value.
  template <typename Value>
  static void WriteVariable(TQ_VarParam& variable, Value value, TQ_Value& holder);
  void Notify(TQ_VarParam& variable);

  // ---- the Jacobian -------------------------------------------------------------------------
  double* NewDerivativeCache() const;
  int FiniteDifferences(double* values, int& position, int result);
};

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
constexpr int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::InputArgs() {
  return inputs;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
constexpr int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::OutputArgs() {
  return outputs;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
constexpr int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::TotalArgs() {
  return inputs + outputs;
}

// ---- construction, copying, destruction ---------------------------------------------------

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::TQ_ProcedureTemplate()
    : Base(),
      m_nArrayElements(0),
      m_nDimsLeft(0),
      m_nDimIndex(0),
      m_nFirstOutputDim(0),
      m_aDimSizes{},
      m_nArg(-1),
      m_nWords(0),
      m_aOffsets{},
      m_pBaseOutputs(nullptr),
      m_bConstructing(true),
      m_abByReference{},
      m_aConstValues(),
      m_pRows(nullptr),
      m_pCols(nullptr),
      m_bEvaluated(true),
      m_nElementsLeft(0) {
  this->m_bHostFlag = false;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::TQ_ProcedureTemplate(const TQ_ProcedureTemplate& source)
    : Base(source), m_pBaseOutputs(nullptr), m_pRows(nullptr), m_pCols(nullptr) {
  CopyFields(source);
  // The host copied the source's buffer with its character pointers, which
  // point into the source's buffer: they are pointed at the copy's own.
  TQ_ProcedureTemplate::InitializeCStrings();
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>&
TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::operator=(const TQ_ProcedureTemplate& source) {
  if (this != &source) {
    Base::operator=(source);
    ReleaseCallArrays();
    CopyFields(source);
    TQ_ProcedureTemplate::InitializeCStrings();
  }
  return *this;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::~TQ_ProcedureTemplate() {
  ReleaseCallArrays();
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::ReleaseCallArrays() {
  delete[] m_pBaseOutputs;
  delete[] m_pRows;
  delete[] m_pCols;
  m_pBaseOutputs = nullptr;
  m_pRows = nullptr;
  m_pCols = nullptr;
}

// Every field but the three call arrays, which stay the target's (null after
// a copy or a release): each array has one owner.
template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::CopyFields(const TQ_ProcedureTemplate& source) {
  m_nArrayElements = source.m_nArrayElements;
  m_nDimsLeft = source.m_nDimsLeft;
  m_nDimIndex = source.m_nDimIndex;
  m_nFirstOutputDim = source.m_nFirstOutputDim;
  m_aDimSizes = source.m_aDimSizes;
  m_nArg = source.m_nArg;
  m_nWords = source.m_nWords;
  m_aOffsets = source.m_aOffsets;
  m_bConstructing = source.m_bConstructing;
  m_abByReference = source.m_abByReference;
  m_aConstValues = source.m_aConstValues;
  m_bEvaluated = source.m_bEvaluated;
  m_nElementsLeft = source.m_nElementsLeft;
  m_abSolverInput = source.m_abSolverInput;
}

// ---- the members of each concern ------------------------------------------------------------

#define TQ_PROCEDURE_TEMPLATE_PARTS
#include "procedure/tq_procedure_layout.h"
#include "procedure/tq_procedure_equations.h"
#include "procedure/tq_procedure_packing.h"
#include "procedure/tq_procedure_writeback.h"
#include "procedure/tq_procedure_call.h"
#include "procedure/tq_procedure_jacobian.h"
#undef TQ_PROCEDURE_TEMPLATE_PARTS
