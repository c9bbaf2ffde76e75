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
//   n        read by nothing here.
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
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "frame.h"

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

  // ---- procedure equations ---------------------------------------------------------------
  // In the owner's SetUpEquations: sets the group, adds the procedure's
  // equations to `eqnCount` and returns their non-zeros.
  int NZAndEqnContribution(TQ_ModelTypeEx* owner, int group, int& eqnCount);
  int NZAndEqnContribution(TQ_StructureTypeEx* owner, int group, int& eqnCount);
  // In the owner's JacPattern: one equation per output element, its terms the
  // output element and every solver-variable input element, then the call.
  void CreateEquationsAndSetGroup(int group, int eqnArg3, int*& rows, int*& cols, int& eqnCount,
                                  TQ_ModelTypeEx* owner, const char* name, int eqnArg7);
  void CreateEquationsAndSetGroup(int group, int eqnArg3, int*& rows, int*& cols, int& eqnCount,
                                  TQ_StructureTypeEx* owner, const char* name, int eqnArg7);

  // ---- the call of the routine -----------------------------------------------------------
  // Runs the routine for a request of type `type` when it must: an input
  // changed, the last call was of another type or failed, or the host asks
  // for every call. 0 when nothing ran; else the host's status (negative: the
  // library or the routine failed, or the procedure cannot be called).
  // `flag` goes to the host's judgement of the call.
  int CallFn(TQ_ProcedureType::CallType type, bool flag);
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
  // Writes the values the routine left in the slots of variable inputs back
  // into their solver variables, where they differ.
  void UnpackInputVars();
  // Per output value: output variable minus the routine's output.
  int Residuals(double* values, int& position) override;
  // Per output value: 1.0, then the derivative of the residual by each
  // solver-variable input element.
  int Jacobian(double* values, int& position) override;

 protected:
  // ---- the template's fields, in declaration order -----------------------------
  std::int32_t m_nArrayElements;   // elements of the current array: product of its sizes so far
  std::int32_t m_nDimsLeft;        // dimension sizes of the current argument still to come
  std::int32_t m_nDimIndex;        // dimension sizes recorded (next free entry)
  std::int32_t m_nFirstOutputDim;  // entry where the outputs' sizes begin
  std::array<std::int32_t, dims + 1> m_aDimSizes;  // every size; the last entry spare, 0
  std::int32_t m_nArg;             // current argument, -1 before the first
  std::int32_t m_nWords;           // words of the buffer laid out so far
  std::array<std::int32_t, inputs + outputs> m_aOffsets;  // word offset + base index
  double* m_pBaseOutputs;          // outputs at unperturbed inputs (call side), owned
  bool m_bConstructing;            // the construction pass is running
  std::array<bool, inputs + outputs> m_abByReference;
  std::array<ConstProcValue, inputs + outputs> m_aConstValues;
  std::int32_t* m_pRows;           // derivative entries' rows (call side), owned
  std::int32_t* m_pCols;           // derivative entries' columns (call side), owned
  bool m_bEvaluated;               // the routine ran for the current inputs

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
  void ReleaseCallArrays();
  double* NewDerivativeCache() const;
  void CopyFields(const TQ_ProcedureTemplate& source);
  void Refuse(const morvane::string& message) const { this->ProcedureError(message.c_str()); }
  template <class Owner>
  int CountEquations(Owner* owner, int group, int& eqnCount);
  template <class Owner>
  void CreateEquations(Owner* owner, int group, int eqnArg3, int*& rows, int*& cols, int& eqnCount,
                       const char* name, int eqnArg7);

  // ---- call side --------------------------------------------------------------------------
  // 0 when the procedure can be called; otherwise the host's refusal.
  int RefuseUnlessCallable();
  // Walks the input arguments in argument order: `constant(argument)` for a
  // constant, `element(argument, k, position)` for the k-th element of a
  // by-reference argument, `position` its place in the element list.
  template <class OnConstant, class OnElement>
  void WalkInputs(OnConstant constant, OnElement element) const;
  // The slot of argument `argument` as bytes.
  unsigned char* Slot(int argument) { return reinterpret_cast<unsigned char*>(this->m_pArgBuffer + GetOffset(argument)); }
  double* OutputWords() { return this->m_pArgBuffer + GetOffset(InputArgs()); }
  void MakeRowsAndColumns();
  // Writes `value` into `variable` the way it was set: by default
  // assignment through `holder` when its value stands by one, else as its
  // current value.
  template <typename Value>
  static void WriteVariable(TQ_VarParam& variable, Value value, TQ_Value& holder);
  void Notify(TQ_VarParam& variable);
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

// ---- argument slots -------------------------------------------------------------------------

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::SetArg(bool byReference) {
  const int next = m_nArg + 1;
  if (next >= TotalArgs()) {
    Refuse("argument " + morvane::Text(next) + " declared, but the procedure takes " +
           morvane::Text(TotalArgs()) + " arguments (0 to " + morvane::Text(TotalArgs() - 1) + "); refused");
    return;
  }
  if (m_nArg >= 0 && m_nElementsLeft != 0) {
    Refuse("argument " + morvane::Text(next) + " opened while argument " + morvane::Text(m_nArg) +
           (m_nElementsLeft < 0 ? " still lacks dimension sizes"
                                : " still lacks " + morvane::Text(m_nElementsLeft) + " element variables") +
           "; refused");
    return;
  }
  const int dimensions = Proc::Dimensions(next);
  if (dimensions < 0) {
    Refuse("argument " + morvane::Text(next) + " has " + morvane::Text(dimensions) +
           " dimensions in the procedure's table; refused");
    return;
  }
  std::int64_t scalarWords = 0;
  if (m_bConstructing && dimensions == 0) {
    scalarWords = (static_cast<std::uint32_t>(this->TypeSize(Proc::Type(next))) + 7u) >> 3;
    if (m_nWords + scalarWords > std::numeric_limits<std::int32_t>::max()) {
      Refuse("argument " + morvane::Text(next) + " would make the argument buffer too long; refused");
      return;
    }
  }

  m_nArg = next;
  m_abByReference[static_cast<std::size_t>(m_nArg)] = byReference;
  if (m_bConstructing) {
    SetOffset(m_nWords);
    m_nDimsLeft = dimensions;
    if (m_nDimsLeft == 0)
      m_nWords += static_cast<std::int32_t>(scalarWords);
    else
      m_nArrayElements = 1;
    if (m_nArg == InputArgs()) m_nFirstOutputDim = m_nDimIndex;
    m_nElementsLeft = dimensions != 0 ? -1 : byReference ? 1 : 0;
  } else {
    m_nElementsLeft = dimensions != 0
                          ? static_cast<std::int32_t>(RecordedElements(m_nArg, DimensionPosition(m_nArg)))
                          : byReference ? 1 : 0;
  }
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::SetDimensionSize(int size) {
  if (!m_bConstructing) return;
  const morvane::string where = "dimension size " + morvane::Text(size) + " of argument " + morvane::Text(m_nArg);
  if (m_nArg < 0) {
    Refuse("dimension size " + morvane::Text(size) + " given before any argument; refused");
    return;
  }
  if (m_nDimsLeft <= 0) {
    const int dimensions = Proc::Dimensions(m_nArg);
    Refuse(where + (dimensions == 0 ? ": the argument is a scalar"
                                    : ": the argument has its " + morvane::Text(dimensions) + " sizes already") +
           "; refused");
    return;
  }
  if (size < 0) {
    Refuse(where + ": a size is not negative; refused");
    return;
  }
  if (m_nDimIndex >= dims) {
    Refuse(where + ": the procedure declares " + morvane::Text(dims) + " dimension sizes in all; refused");
    return;
  }
  const std::int64_t elements = static_cast<std::int64_t>(m_nArrayElements) * size;
  std::int64_t arrayWords = 0;
  if (m_nDimsLeft == 1) {
    const int type = Proc::Type(m_nArg);
    const std::uint64_t stride = static_cast<std::uint32_t>(this->TypeSize(type));
    if (!this->IsFortran() && type == 5)
      arrayWords += static_cast<std::int64_t>((static_cast<std::uint64_t>(elements) * TQ_CHARPOINTER_BYTES + 7) >> 3);
    arrayWords += static_cast<std::int64_t>((static_cast<std::uint64_t>(elements) * stride + 7) >> 3);
  }
  if (elements > std::numeric_limits<std::int32_t>::max() ||
      m_nWords + arrayWords > std::numeric_limits<std::int32_t>::max()) {
    Refuse(where + ": the array would be too large for the argument buffer; refused");
    return;
  }

  m_aDimSizes[static_cast<std::size_t>(m_nDimIndex)] = size;
  ++m_nDimIndex;
  m_nArrayElements = static_cast<std::int32_t>(elements);
  --m_nDimsLeft;
  if (m_nDimsLeft <= 0) {
    m_nWords += static_cast<std::int32_t>(arrayWords);
    m_nElementsLeft = m_nArrayElements;
  }
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::Element(TQ_VarParam& variable) {
  if (m_nArg < 0) {
    Refuse("element variable given before any argument; refused");
    return;
  }
  const morvane::string where = "element variable of argument " + morvane::Text(m_nArg);
  if (m_nElementsLeft < 0) {
    Refuse(where + " given before the argument's dimension sizes; refused");
    return;
  }
  if (m_nElementsLeft == 0) {
    Refuse(where + (m_abByReference[static_cast<std::size_t>(m_nArg)]
                        ? ": the argument has all its elements already"
                        : ": the argument is a constant") +
           "; refused");
    return;
  }
  if (m_nArg >= InputArgs()) {
    if (!m_bConstructing) {
      const std::int64_t position = static_cast<std::int64_t>(this->m_nInputElements) + this->m_nOutputElements;
      if (this->m_ppElements == nullptr || this->m_nInputElements != this->m_nInputRoom ||
          position >= this->m_nElementRoom) {
        Refuse(where + ": the element list has no entry for it; refused");
        return;
      }
      this->m_ppElements[position] = &variable;
    }
    ++this->m_nOutputElements;
  } else {
    if (m_bConstructing) {
      const bool solver = variable.IsSolverVariable();
      m_abSolverInput.push_back(solver ? 1 : 0);
      if (solver) ++this->m_nSolverInputs;
    } else {
      if (this->m_ppElements == nullptr || this->m_nInputElements >= this->m_nInputRoom) {
        Refuse(where + ": the element list has no entry for it; refused");
        return;
      }
      this->m_ppElements[this->m_nInputElements] = &variable;
    }
    ++this->m_nInputElements;
    ++this->m_nInputValues;
  }
  --m_nElementsLeft;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::SetOffset(int words) {
  if (m_nArg < 0 || m_nArg >= TotalArgs()) {
    Refuse("SetOffset without a current argument; refused");
    return;
  }
  m_aOffsets[static_cast<std::size_t>(m_nArg)] = this->LanguageBaseIndex() + words;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::GetOffset(int argument) const {
  // The slot after the last argument begins where the buffer ends: the
  // outputs' offset of a procedure without outputs.
  if (argument == TotalArgs()) return m_nWords;
  if (!ValidArgument(argument, "GetOffset")) return 0;
  return m_aOffsets[static_cast<std::size_t>(argument)] - this->LanguageBaseIndex();
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
const int* TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::GetOffsets(int argument) const {
  if (argument == TotalArgs()) return m_aOffsets.data() + TotalArgs();
  if (!ValidArgument(argument, "GetOffsets")) return nullptr;
  return m_aOffsets.data() + argument;
}

// ---- argument declaration ------------------------------------------------------------------

// Checks that the next argument may be declared this way, and opens it.
template <class Proc, int inputs, int outputs, int dims, class Base, int n>
bool TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::OpenArgument(Declared kind) {
  const int next = m_nArg + 1;
  if (kind != Declared::Open && next >= 0 && next < TotalArgs()) {
    const morvane::string where = "argument " + morvane::Text(next);
    if (kind == Declared::Constant && next >= InputArgs()) {
      Refuse(where + " is an output: an output takes variables, not a constant; refused");
      return false;
    }
    if (Proc::Dimensions(next) != 0) {
      Refuse(where + " is an array of " + morvane::Text(Proc::Dimensions(next)) +
             " dimensions: declare it with Argument(), its sizes and its element variables; refused");
      return false;
    }
  }
  const int before = m_nArg;
  SetArg(kind != Declared::Constant);
  return m_nArg != before;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
template <typename Value>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::DeclareConstant(Value value) {
  if (!OpenArgument(Declared::Constant)) return;
  ++this->m_nInputValues;
  m_aConstValues[static_cast<std::size_t>(m_nArg)] = value;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::Argument(const char* text) {
  DeclareConstant(text);
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::Argument(TQ_StringSetIter& iterator) {
  DeclareConstant(iterator.String());
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::Argument(int value) {
  DeclareConstant(value);
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::Argument(TQ_IntegerSetIter& iterator) {
  DeclareConstant(iterator.Integer());
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::Argument(double value) {
  DeclareConstant(value);
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::Argument(TQ_VarParam& variable) {
  if (OpenArgument(Declared::Variable)) Element(variable);
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::Argument() {
  OpenArgument(Declared::Open);
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::LastArgument() {
  if (!m_bConstructing) return;
  if (m_nArg != TotalArgs() - 1 || m_nElementsLeft != 0) {
    const morvane::string lacking =
        m_nArg != TotalArgs() - 1
            ? morvane::Text(m_nArg + 1) + " of " + morvane::Text(TotalArgs()) + " arguments declared"
            : "argument " + morvane::Text(m_nArg) +
                  (m_nElementsLeft < 0 ? " lacks dimension sizes"
                                       : " lacks " + morvane::Text(m_nElementsLeft) + " element variables");
    Refuse("LastArgument: the construction pass is incomplete (" + lacking + "); the layout is not handed over");
    return;
  }
  P()->CreateDerivatives();
  this->FinalizeConstruction(GetOffset(InputArgs()), m_nWords);
  this->m_nInputElements = 0;
  this->m_nOutputElements = 0;
  this->m_nInputValues = 0;
  m_nArg = -1;
  m_nElementsLeft = 0;
  m_bConstructing = false;
}

// ---- argument values -------------------------------------------------------------------------

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
bool TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::ValidArgument(int argument,
                                                                              const char* what) const {
  if (argument >= 0 && argument < TotalArgs()) return true;
  Refuse(morvane::string(what) + ": argument " + morvane::Text(argument) + " does not exist (0 to " +
         morvane::Text(TotalArgs() - 1) + ")");
  return false;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::GetIntegerArg(int argument) const {
  return ValidArgument(argument, "GetIntegerArg") ? m_aConstValues[static_cast<std::size_t>(argument)].Integer() : 0;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
double TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::GetRealArg(int argument) const {
  return ValidArgument(argument, "GetRealArg") ? m_aConstValues[static_cast<std::size_t>(argument)].Real() : 0.0;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
const char* TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::GetStringArg(int argument) const {
  return ValidArgument(argument, "GetStringArg") ? m_aConstValues[static_cast<std::size_t>(argument)].String() : "";
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
bool TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::ByReference(int argument) const {
  return ValidArgument(argument, "ByReference") && m_abByReference[static_cast<std::size_t>(argument)];
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
std::int64_t TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::RecordedElements(int argument,
                                                                                         int dimension) const {
  std::int64_t count = 1;
  for (int d = 0; d < Proc::Dimensions(argument); ++d)
    count *= m_aDimSizes[static_cast<std::size_t>(dimension + d)];
  return count;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::DimensionPosition(int argument) const {
  int position = 0;
  for (int a = 0; a < argument; ++a) position += Proc::Dimensions(a);
  return position;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::InitializeCStrings() {
  // Under the Fortran convention the slots hold strings only: a table
  // written there would overwrite them.
  if (this->IsFortran() || m_bConstructing || this->m_pArgBuffer == nullptr) return;
  unsigned char* buffer = reinterpret_cast<unsigned char*>(this->m_pArgBuffer);
  const std::uint32_t stride = static_cast<std::uint32_t>(this->TypeSize(5));
  int cursor = 0;
  for (int i = 0; i < InputArgs(); ++i) {
    const int dimensions = Proc::Dimensions(i);
    if (dimensions == 0) continue;
    if (Proc::Type(i) != 5) {
      cursor += dimensions;
      continue;
    }
    const std::uint32_t count = static_cast<std::uint32_t>(RecordedElements(i, cursor));
    cursor += dimensions;
    const std::uint32_t tableWords = (count * TQ_CHARPOINTER_BYTES + 7) >> 3;
    const std::uint32_t stringWords = (count * stride + 7) >> 3;
    const std::int64_t slot = GetOffset(i);
    if (slot < 0 || slot + tableWords + stringWords > static_cast<std::uint32_t>(this->m_nArgWords)) {
      Refuse("InitializeCStrings: the string array of argument " + morvane::Text(i) +
             " lies outside the argument buffer; its table is not written");
      continue;
    }
    unsigned char* table = buffer + 8 * slot;
    char* field = reinterpret_cast<char*>(table + 8 * static_cast<std::size_t>(tableWords));
    for (std::uint32_t k = 0; k < count; ++k) {
      std::memcpy(table + static_cast<std::size_t>(k) * TQ_CHARPOINTER_BYTES, &field, TQ_CHARPOINTER_BYTES);
      field += stride;
    }
  }
}

// ---- procedure equations -----------------------------------------------------------------------

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
bool TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::ElementListComplete() const {
  return !m_bConstructing && this->LayoutFinalised() &&
         static_cast<std::int64_t>(m_abSolverInput.size()) == this->m_nInputRoom &&
         this->m_nInputElements == this->m_nInputRoom &&
         this->m_nInputElements + this->m_nOutputElements == this->m_nElementRoom;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
bool TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::CountsComplete() const {
  if (m_bConstructing) return m_nArg == TotalArgs() - 1 && m_nElementsLeft == 0;
  return ElementListComplete();
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
template <class Owner>
int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::CountEquations(Owner* owner, int group,
                                                                              int& eqnCount) {
  if (owner == nullptr) {
    Refuse("NZAndEqnContribution without an owner; refused");
    return 0;
  }
  if (!CountsComplete()) {
    Refuse("NZAndEqnContribution before a pass of the argument declaration is complete; refused");
    return 0;
  }
  const std::int64_t nonZeros = static_cast<std::int64_t>(this->m_nOutputElements) * (this->m_nSolverInputs + 1);
  if (nonZeros > std::numeric_limits<std::int32_t>::max()) {
    Refuse("NZAndEqnContribution: the non-zero count does not fit; refused");
    return 0;
  }
  owner->SetGroupLimits(group);
  eqnCount += this->m_nOutputElements;
  return static_cast<int>(nonZeros);
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::NZAndEqnContribution(TQ_ModelTypeEx* owner,
                                                                                    int group, int& eqnCount) {
  return CountEquations(owner, group, eqnCount);
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::NZAndEqnContribution(TQ_StructureTypeEx* owner,
                                                                                    int group, int& eqnCount) {
  return CountEquations(owner, group, eqnCount);
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
template <class Owner>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::CreateEquations(Owner* owner, int group, int eqnArg3,
                                                                                int*& rows, int*& cols,
                                                                                int& eqnCount, const char* name,
                                                                                int eqnArg7) {
  if (owner == nullptr) {
    Refuse("CreateEquationsAndSetGroup without an owner; refused");
    return;
  }
  if (!ElementListComplete()) {
    Refuse("CreateEquationsAndSetGroup before the binding pass has listed every element variable; refused");
    return;
  }
  std::int64_t outputElements = 0;
  for (int argument = InputArgs(), dimension = m_nFirstOutputDim; argument < TotalArgs(); ++argument) {
    outputElements += RecordedElements(argument, dimension);
    dimension += Proc::Dimensions(argument);
  }
  if (outputElements != this->m_nOutputElements) {
    Refuse("CreateEquationsAndSetGroup: the outputs' sizes give " + morvane::Text(outputElements) +
           " elements, the element list holds " + morvane::Text(this->m_nOutputElements) + "; refused");
    return;
  }

  char suffix[1025];
  suffix[0] = '[';
  int dimension = m_nFirstOutputDim;
  int element = this->m_nInputElements;
  int number = 1;
  for (int argument = InputArgs(); argument < TotalArgs(); ++argument) {
    const int length = std::snprintf(suffix + 1, 1024, "%d", argument - InputArgs() + 1);
    const int dimensions = Proc::Dimensions(argument);
    const std::int64_t count = RecordedElements(argument, dimension);
    dimension += dimensions;
    for (std::int64_t k = 1; k <= count; ++k) {
      if (dimensions != 0)
        std::snprintf(suffix + 1 + length, static_cast<std::size_t>(1024 - length), "_%d]", static_cast<int>(k));
      else
        std::snprintf(suffix + 1 + length, static_cast<std::size_t>(1024 - length), "]");
      TQ_ProcedureEquationType* equation =
          new TQ_ProcedureEquationType(this, number, eqnArg3, owner, name, eqnCount, eqnArg7, suffix);
      if (equation == nullptr) {
        Refuse(morvane::string("CreateEquationsAndSetGroup: no memory for the equation object of output ") + suffix +
               "; the remaining equations and the procedure call are not registered");
        throw std::bad_alloc();
      }
      ++number;
      owner->AddEquation(equation, eqnCount, group);
      const int row = eqnCount - 1;
      owner->AddProcExpression(this, number - 1, row, name);
      owner->AddTerm(*this->m_ppElements[element], rows, cols, row);
      ++element;
      for (int input = 0; input < this->m_nInputElements; ++input)
        if (m_abSolverInput[static_cast<std::size_t>(input)] != 0)
          owner->AddTerm(*this->m_ppElements[input], rows, cols, row);
    }
  }
  owner->AddProcCall(this->m_nOutputElements != 0 ? this : nullptr, group);
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::CreateEquationsAndSetGroup(
    int group, int eqnArg3, int*& rows, int*& cols, int& eqnCount, TQ_ModelTypeEx* owner, const char* name,
    int eqnArg7) {
  CreateEquations(owner, group, eqnArg3, rows, cols, eqnCount, name, eqnArg7);
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::CreateEquationsAndSetGroup(
    int group, int eqnArg3, int*& rows, int*& cols, int& eqnCount, TQ_StructureTypeEx* owner, const char* name,
    int eqnArg7) {
  CreateEquations(owner, group, eqnArg3, rows, cols, eqnCount, name, eqnArg7);
}

// ---- the call of the routine ------------------------------------------------------------------

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::RefuseUnlessCallable() {
  const auto refuse = [this](const morvane::string& why) {
    return this->RefuseCall(("call refused: " + why + "; the routine is not called").c_str());
  };
  if (m_bConstructing || !this->LayoutFinalised())
    return refuse("the argument layout is not final (no LastArgument has ended the construction pass)");
  if (!ElementListComplete()) return refuse("the binding pass has not listed every element variable");
  if (this->m_nOutputValues != this->m_nOutputElements)
    return refuse("the host counts " + morvane::Text(this->m_nOutputValues) + " output values, the element list " +
                  morvane::Text(this->m_nOutputElements) + " output elements");
  // The derivative array is the routine's to write into; the derivative
  // cache is not needed here (the Jacobian makes it).
  const std::int64_t product = static_cast<std::int64_t>(this->m_nOutputElements) * this->m_nInputValues;
  if (this->m_nDerivatives != product || (product > 0 && this->m_pDerivatives == nullptr))
    return refuse("the derivative count " + morvane::Text(this->m_nDerivatives) + " is not " +
                  morvane::Text(this->m_nOutputElements) + " output elements times " +
                  morvane::Text(this->m_nInputValues) + " input values, or the host has no derivative array");
  if (static_cast<std::int64_t>(GetOffset(InputArgs())) + this->m_nOutputValues > this->m_nArgWords)
    return refuse("the output values lie outside the argument buffer");
  return 0;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
template <class OnConstant, class OnElement>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::WalkInputs(OnConstant constant,
                                                                           OnElement element) const {
  int dimension = 0;
  std::int32_t position = 0;
  for (int i = 0; i < InputArgs(); ++i) {
    if (!m_abByReference[static_cast<std::size_t>(i)]) {
      constant(i);
      continue;
    }
    const std::int64_t count = RecordedElements(i, dimension);
    dimension += Proc::Dimensions(i);
    for (std::int64_t k = 0; k < count && position < this->m_nInputElements; ++k) element(i, k, count, position++);
  }
}

// ---- packing ----------------------------------------------------------------------------------

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
bool TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::PackVal(int value) {
  unsigned char* word = Slot(m_nArg++);
  std::int32_t stored;
  std::memcpy(&stored, word, sizeof stored);
  if (stored != value) {
    const std::int32_t packed = value;
    std::memcpy(word, &packed, sizeof packed);
    this->m_bChanged = true;
  }
  return this->m_bChanged;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
bool TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::PackVal(double value) {
  unsigned char* word = Slot(m_nArg++);
  double stored;
  std::memcpy(&stored, word, sizeof stored);
  // IEEE comparison: a NaN always differs, -0 equals +0 (the word keeps its zero).
  if (!(stored == value)) {
    std::memcpy(word, &value, sizeof value);
    this->m_bChanged = true;
  }
  return this->m_bChanged;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
bool TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::PackVal(const char* value) {
  return this->PackStr(reinterpret_cast<char*>(Slot(m_nArg++)), value);
}

// One variable argument: a scalar from the element at the cursor, an array
// through the host's array packer, which takes its elements from the cursor.
// An element the list does not have is not read; the check after packing
// refuses the call.
#define TQ_PROCEDURE_PACK_VARIABLE(Accessor, ArrayPacker, Entry)                                     \
  const int dimensions = Proc::Dimensions(m_nArg);                                                   \
  if (dimensions == 0) {                                                                             \
    if (!this->CursorHasInputs(1)) {                                                                 \
      ++m_nArg;                                                                                      \
      return this->m_bChanged;                                                                       \
    }                                                                                                \
    return PackVal((*this->m_ppCursor++)->Accessor());                                               \
  }                                                                                                  \
  const int argument = m_nArg++;                                                                     \
  this->ArrayPacker(reinterpret_cast<Entry*>(Slot(argument)), dimensions, m_aDimSizes.data() + m_nDimIndex); \
  m_nDimIndex += dimensions;                                                                         \
  return this->m_bChanged;

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
bool TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::PackVarInteger() {
  TQ_PROCEDURE_PACK_VARIABLE(Integer, PackIntegerArray, int)
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
bool TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::PackVarReal() {
  TQ_PROCEDURE_PACK_VARIABLE(Real, PackRealArray, double)
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
bool TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::PackVarString() {
  TQ_PROCEDURE_PACK_VARIABLE(String, PackStringArray, char)
}

#undef TQ_PROCEDURE_PACK_VARIABLE

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::PackInputVars() {
  m_nDimIndex = 0;
  m_nArg = 0;
  this->m_ppCursor = this->m_ppElements;
  while (m_nArg < InputArgs()) {
    const int i = m_nArg;
    const bool byReference = m_abByReference[static_cast<std::size_t>(i)];
    switch (Proc::Type(i)) {
      case 2:
      case 3: byReference ? PackVarInteger() : PackVal(GetIntegerArg(i)); break;
      case 4: byReference ? PackVarReal() : PackVal(GetRealArg(i)); break;
      case 5: byReference ? PackVarString() : PackVal(GetStringArg(i)); break;
      default:
        // Nothing is packed for a type the routine has no layout for; its
        // element variables and sizes are passed over, so that the
        // arguments after it take their own.
        if (byReference) {
          const std::int64_t count = RecordedElements(i, m_nDimIndex);
          if (this->CursorHasInputs(count)) this->m_ppCursor += count;
          m_nDimIndex += Proc::Dimensions(i);
        }
        ++m_nArg;
        break;
    }
  }
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::PackOutputVars() {
  double* words = OutputWords();
  TQ_VarParam** element = this->m_ppElements + this->m_nInputElements;
  for (std::int32_t k = 0; k < this->m_nOutputValues; ++k) words[k] = element[k]->Real();
  this->m_ppCursor = element + this->m_nOutputValues;
}

// ---- write-back ---------------------------------------------------------------------------------

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
template <typename Value>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::WriteVariable(TQ_VarParam& variable, Value value,
                                                                              TQ_Value& holder) {
  if (variable.IsDefaultAssignment()) {
    holder.ResetValue(value);
    variable.Assign(&holder);
  } else {
    variable.SetCurrentValue(value);
  }
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::Notify(TQ_VarParam& variable) {
  if (TQ_IncrementalUpdate* controller = this->UpdateController()) controller->VariableChanged(variable);
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::UnpackInputVars() {
  m_nDimIndex = 0;
  m_nArg = 0;
  this->m_ppCursor = this->m_ppElements;
  TQ_Value holder(0.0, 1048576000u);
  const std::size_t width = static_cast<std::size_t>(this->TypeSize(5));
  WalkInputs([](int) {},
             [&](int i, std::int64_t k, std::int64_t count, std::int32_t position) {
               this->m_ppCursor = this->m_ppElements + position + 1;
               if (!Proc::IsVariableInput(i)) return;
               TQ_VarParam& variable = *this->m_ppElements[position];
               const bool solver = m_abSolverInput[static_cast<std::size_t>(position)] != 0;
               const unsigned char* slot = Slot(i);
               switch (Proc::Type(i)) {
                 case 2:
                 case 3: {
                   std::int32_t entry;
                   std::memcpy(&entry, slot + 4 * k, sizeof entry);
                   if (!solver || variable.Integer() == entry) return;
                   WriteVariable(variable, static_cast<double>(entry), holder);
                   break;
                 }
                 case 4: {
                   double entry;
                   std::memcpy(&entry, slot + 8 * k, sizeof entry);
                   if (!solver || variable.Real() == entry) return;
                   WriteVariable(variable, entry, holder);
                   break;
                 }
                 case 5: {
                   const std::int64_t table =
                       Proc::Dimensions(i) != 0 && !this->IsFortran()
                           ? ((count * static_cast<std::int64_t>(TQ_CHARPOINTER_BYTES) + 7) / 8) * 8
                           : 0;
                   char text[TQ_PROCEDURE_STRING_BYTES + 1] = {};
                   const char* entry = reinterpret_cast<const char*>(slot + table) + k * static_cast<std::int64_t>(width);
                   for (std::size_t c = 0; c < width && c < TQ_PROCEDURE_STRING_BYTES && entry[c] != '\0'; ++c)
                     text[c] = entry[c];
                   for (std::size_t c = TQ_PROCEDURE_STRING_BYTES; c > 0 && (text[c - 1] == ' ' || text[c - 1] == '\0'); --c)
                     text[c - 1] = '\0';
                   if (text[0] == '\0' || !solver) return;
                   const char* current = variable.String();
                   if (current != nullptr && std::strcmp(current, text) == 0) return;
                   WriteVariable(variable, static_cast<const char*>(text), holder);
                   break;
                 }
                 default: return;
               }
               Notify(variable);
             });
  m_nDimIndex = 0;
  m_nArg = 0;
}

// ---- the call cycle -------------------------------------------------------------------------------

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::MakeRowsAndColumns() {
  if (m_pRows != nullptr || this->m_nDerivatives == 0) return;
  const std::size_t count = static_cast<std::size_t>(this->m_nDerivatives);
  std::int32_t* rows = new std::int32_t[count];
  std::int32_t* columns = nullptr;
  try {
    columns = new std::int32_t[count];
  } catch (...) {
    delete[] rows;
    throw;
  }
  // Without both arrays the routine is handed neither.
  if (rows == nullptr || columns == nullptr) {
    delete[] rows;
    delete[] columns;
    return;
  }
  std::size_t k = 0;
  for (std::int32_t output = 0; output < this->m_nOutputElements; ++output)
    for (std::int32_t input = 0; input < this->m_nInputValues; ++input, ++k) {
      rows[k] = output + 1;
      columns[k] = input + 1;
    }
  m_pRows = rows;
  m_pCols = columns;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::CallFn(TQ_ProcedureType::CallType type, bool flag) {
  using Call = TQ_ProcedureType;
  if (const int refused = RefuseUnlessCallable()) return refused;

  // The decision on the call type.
  Call::CallType effective = type;
  if (type == Call::CallValues || type == Call::CallJacobian)
    effective = Proc::ReturnsDerivatives() ? Call::CallValuesAndDerivatives : Call::CallValues;
  switch (effective) {
    case Call::CallValues:
    case Call::CallValuesAndDerivatives:
      this->m_bChanged = !(this->LastCall(effective) && !Call::AlwaysCall() && InputArgs() != 0);
      break;
    case Call::CallPrecall:
      if (this->LastCall(Call::CallPrecall)) return 0;
      if (this->m_pDerivatives != nullptr && this->m_nDerivatives > 0)
        std::memset(this->m_pDerivatives, 0, static_cast<std::size_t>(this->m_nDerivatives) * sizeof(double));
      this->m_bChanged = true;
      break;
    case Call::CallFollowUp:
      if (this->LastCall(Call::CallFollowUp) || this->LastCall(Call::CallNone)) return 0;
      this->m_bChanged = true;
      break;
    default: break;
  }

  PackInputVars();
  if (this->m_ppCursor != this->m_ppElements + this->m_nInputElements)
    return this->RefuseCall("call refused: packing did not take every input element variable; the routine is not called");
  if (!this->m_bChanged) return 0;
  // From here until the host judges the call, the buffer's outputs are not
  // those of its inputs, whichever way the call ends.
  this->ForgetLastCall();
  m_bEvaluated = true;
  if (P()->PresetOutputs()) PackOutputVars();

  // The integers of the call that the routine receives by address.
  std::int32_t failure = 1;
  std::int32_t callType = effective;
  std::int32_t hostValue = this->m_nHostInteger;
  std::int32_t scratch = 0;

  int result = this->EnsureCompatibleDLLLoaded(n);
  if (result < 0) return result;
  {
    // The property-call bracket: its begin and its end are each guarded by a
    // question of their own to the procedure's component list name (the
    // routine may change it), and the end comes whichever way the invocation
    // ends.
    struct PropertiesBracket {
      const TQ_ProcedureTemplate& procedure;
      explicit PropertiesBracket(const TQ_ProcedureTemplate& owner) : procedure(owner) {
        if (TQ_COMPONENTLISTNAME* list = procedure.ComponentListName()) list->BeginPropertiesCall();
      }
      PropertiesBracket(const PropertiesBracket&) = delete;
      PropertiesBracket& operator=(const PropertiesBracket&) = delete;
      ~PropertiesBracket() {
        if (TQ_COMPONENTLISTNAME* list = procedure.ComponentListName()) list->EndPropertiesCall();
      }
    } bracket(*this);

    MakeRowsAndColumns();
    // A routine the host does not have is not called: the failure flag
    // keeps its 1, and the host's judgement fails the call.
    if (const TQ_Procedure13 routine = this->GetProcedure13Address(this->m_pRoutine))
      routine(&callType, this->m_pArgBuffer, m_aDimSizes.data(), this->m_pArgBuffer,
              m_aDimSizes.data() + m_nFirstOutputDim, const_cast<std::int32_t*>(GetOffsets(0)),
              const_cast<std::int32_t*>(GetOffsets(InputArgs())), &this->m_nHostCell, this->m_pHostReals,
              &hostValue, &this->m_nDerivatives, m_pRows, m_pCols, &scratch, this->m_pDerivatives, &failure);
  }
  result = this->CheckIFailAndOutputs(failure, effective, flag);
  if (result < 0) return result;
  if (this->LastCall(Call::CallValues) || this->LastCall(Call::CallValuesAndDerivatives)) {
    if (P()->PostsetInputs()) UnpackInputVars();
    if (this->LastCall(Call::CallValuesAndDerivatives)) P()->NegateDerivatives();
  }
  return result;
}

// ---- residuals and Jacobian -------------------------------------------------------------------------

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::Residuals(double* values, int& position) {
  int result = RefuseUnlessCallable();
  if (result == 0 && values == nullptr) result = this->RefuseCall("Residuals without an array to write into; refused");
  if (result == 0) result = CallFn(TQ_ProcedureType::CallValues, true);
  if (result < 0) {
    position += this->m_nOutputValues;
    return result;
  }
  const double* words = OutputWords();
  TQ_VarParam* const* element = this->m_ppElements + this->m_nInputElements;
  for (std::int32_t k = 0; k < this->m_nOutputValues; ++k) values[position++] = element[k]->Real() - words[k];
  return result;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::Jacobian(double* values, int& position) {
  int result = RefuseUnlessCallable();
  if (result == 0 && values == nullptr) result = this->RefuseCall("Jacobian without an array to write into; refused");
  if (result < 0) {
    // Nothing is written for a procedure whose counts cannot be trusted;
    // the index passes the entries its equations declared.
    position += this->m_nOutputValues * (this->m_nSolverInputs + 1);
    return result;
  }
  if (this->m_pDerivCache == nullptr) {
    this->m_pDerivCache = NewDerivativeCache();
    // A new cache holds no derivatives yet (those of an earlier call had
    // nowhere to go): they are made again for it, by the routine or by
    // differences, rather than zeros replayed.
    if (this->m_pDerivCache != nullptr) {
      if (Proc::ReturnsDerivatives())
        this->ForgetLastCall();
      else
        m_bEvaluated = true;
    }
  }
  result = CallFn(TQ_ProcedureType::CallJacobian, true);
  if (result >= 0 && !Proc::ReturnsDerivatives() && m_bEvaluated) return FiniteDifferences(values, position, result);

  // The derivatives of the residuals as the cache holds them, one row per
  // output value of one entry per input value; the host takes those of the
  // solver-variable elements.
  const double* cache = this->m_pDerivCache;
  std::int64_t slot = 0;
  for (std::int32_t row = 0; row < this->m_nOutputValues; ++row) {
    values[position++] = 1.0;
    WalkInputs([&](int) { ++slot; },
               [&](int, std::int64_t, std::int64_t, std::int32_t element) {
                 if (m_abSolverInput[static_cast<std::size_t>(element)] != 0)
                   values[position++] = cache != nullptr ? cache[slot] : 0.0;
                 ++slot;
               });
  }
  return result;
}

// The derivative cache: one derivative per input value of each output
// element, on the host heap (the host base holds it and releases it), 0.0
// until derivatives reach it. Null when there is nothing to hold or the heap
// refuses it; a later Jacobian asks again.
template <class Proc, int inputs, int outputs, int dims, class Base, int n>
double* TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::NewDerivativeCache() const {
  const std::int64_t count = static_cast<std::int64_t>(this->m_nInputValues) * this->m_nOutputElements;
  if (count <= 0 || static_cast<std::uint64_t>(count) > 0xFFFFFFFFu / sizeof(double)) return nullptr;
  const std::size_t bytes = static_cast<std::size_t>(count) * sizeof(double);
  void* block = morvane::HostNew(bytes);
  if (block != nullptr) std::memset(block, 0, bytes);
  return static_cast<double*>(block);
}

// The derivative of a residual from the change `d` of an output over the
// step `h`: -d / h, its magnitude kept below 1.79769313486231e308 while the
// step is not above 1 in magnitude.
inline double TQ_DifferenceQuotient(double d, double h) {
  constexpr double kLimit = 1.79769313486231e308;
  if (std::fabs(h) > 1.0) return -d / h;
  if (!(std::fabs(h) * kLimit >= std::fabs(d))) return (h < 0.0) != (d < 0.0) ? kLimit : -kLimit;
  return -d / h;
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
int TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::FiniteDifferences(double* values, int& position,
                                                                                  int result) {
  const std::int32_t rows = this->m_nOutputValues;
  const std::int64_t width = static_cast<std::int64_t>(this->m_nSolverInputs) + 1;
  const std::int64_t index0 = position;
  const auto setColumn = [&](std::int64_t column, double value) {
    for (std::int32_t row = 0; row < rows; ++row) values[index0 + row * width + 1 + column] = value;
  };
  const auto writeUnitRows = [&] {
    for (std::int32_t row = 0; row < rows; ++row) {
      values[position] = 1.0;
      position += static_cast<int>(width);
    }
  };

  // 1. The outputs at the unperturbed point.
  if (m_pBaseOutputs == nullptr && rows > 0) m_pBaseOutputs = new double[static_cast<std::size_t>(rows)];
  if (rows > 0 && m_pBaseOutputs == nullptr) {
    for (std::int64_t column = 0; column + 1 < width; ++column) setColumn(column, 0.0);
    writeUnitRows();
    return this->RefuseCall("no memory for the outputs at the unperturbed point; the Jacobian holds no derivatives");
  }
  if (rows > 0) std::memcpy(m_pBaseOutputs, OutputWords(), static_cast<std::size_t>(rows) * sizeof(double));

  // 2-12. One perturbed evaluation per solver-variable input element.
  TQ_Value holder(0.0, 1048576000u);
  std::int64_t column = 0;
  WalkInputs([](int) {}, [&](int, std::int64_t, std::int64_t, std::int32_t element) {
    if (m_abSolverInput[static_cast<std::size_t>(element)] == 0) return;
    TQ_VarParam& variable = *this->m_ppElements[element];
    const std::int64_t c = column++;
    if (TQ_IncrementalUpdate* controller = this->UpdateController())
      if (!controller->IsUpdated(variable)) {
        setColumn(c, 0.0);
        return;
      }

    const double x = variable.Real();
    double h = std::fabs(x) > 1.0 ? std::fabs(x) * 1e-6 : 1e-6;
    const double upper = variable.TQ_UPPERValue();
    const double lower = variable.TQ_LOWERValue();
    const auto rejected = [&](double v) { return lower > v || upper < v; };
    double v = x + h;
    if (rejected(v)) {
      h = -h;
      v = x + h;
      if (rejected(v)) {
        const double dU = upper - x;
        const double dL = x - lower;
        if (dL > dU || !(dL <= dU)) {
          v = lower;
          h = lower - x;
        } else {
          v = upper;
          h = upper - x;
        }
      }
    }
    // A step of zero (both bounds at the value) has no quotient.
    if (h == 0.0) {
      setColumn(c, 0.0);
      return;
    }

    // The variable is set, and restored, the way its value stands: by
    // default assignment or as its current value; an exception on the way
    // restores it too.
    struct Perturbation {
      TQ_VarParam& variable;
      double x;
      TQ_Value& holder;
      bool active = true;
      Perturbation(TQ_VarParam& v, double value, TQ_Value& h) : variable(v), x(value), holder(h) {}
      Perturbation(const Perturbation&) = delete;
      Perturbation& operator=(const Perturbation&) = delete;
      void Restore() {
        if (active) WriteVariable(variable, x, holder);
        active = false;
      }
      ~Perturbation() { Restore(); }
    } perturbation(variable, x, holder);
    WriteVariable(variable, v, holder);
    const bool moved = !(variable.Real() == x);
    int status = 0;
    bool ran = false;
    if (moved) {
      status = CallFn(TQ_ProcedureType::CallValues, true);
      ran = status >= 0 && this->m_bChanged;
    }
    perturbation.Restore();

    if (status < 0) {
      if (result >= 0) result = status;
      setColumn(c, 0.0);
      return;
    }
    // A perturbation that did not reach the variable, or that packing did
    // not see, gives no difference to divide.
    if (!moved || !ran) {
      setColumn(c, 0.0);
      return;
    }
    const double* words = OutputWords();
    for (std::int32_t row = 0; row < rows; ++row)
      values[index0 + row * width + 1 + c] = TQ_DifferenceQuotient(words[row] - m_pBaseOutputs[row], h);
  });

  // 13. The output variables' coefficients; the index passes the rows.
  writeUnitRows();

  // 14. The cache takes the rows, one entry per input value.
  if (double* cache = this->m_pDerivCache) {
    std::int64_t slot = 0;
    std::int64_t at = index0;
    for (std::int32_t row = 0; row < rows; ++row) {
      ++at;
      WalkInputs([&](int) { ++slot; },
                 [&](int, std::int64_t, std::int64_t, std::int32_t element) {
                   if (m_abSolverInput[static_cast<std::size_t>(element)] != 0) cache[slot] = values[at++];
                   ++slot;
                 });
    }
  }

  // 15. The buffer holds the unperturbed point again, inputs and outputs,
  // so that a request at this point is answered from it rightly.
  PackInputVars();
  if (rows > 0) std::memcpy(OutputWords(), m_pBaseOutputs, static_cast<std::size_t>(rows) * sizeof(double));

  // 16. A pass that failed is not replayed from the cache: the next
  // Jacobian at this point differences again.
  if (result >= 0) m_bEvaluated = false;
  return result;
}
