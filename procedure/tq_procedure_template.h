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
  // when it needs them.
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
  void CopyFields(const TQ_ProcedureTemplate& source);
  void Refuse(const std::string& message) const { this->ProcedureError(message.c_str()); }
  template <class Owner>
  int CountEquations(Owner* owner, int group, int& eqnCount);
  template <class Owner>
  void CreateEquations(Owner* owner, int group, int eqnArg3, int*& rows, int*& cols, int& eqnCount,
                       const char* name, int eqnArg7);
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
}

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>&
TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::operator=(const TQ_ProcedureTemplate& source) {
  if (this != &source) {
    Base::operator=(source);
    ReleaseCallArrays();
    CopyFields(source);
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
    Refuse("argument " + std::to_string(next) + " declared, but the procedure takes " +
           std::to_string(TotalArgs()) + " arguments (0 to " + std::to_string(TotalArgs() - 1) + "); refused");
    return;
  }
  if (m_nArg >= 0 && m_nElementsLeft != 0) {
    Refuse("argument " + std::to_string(next) + " opened while argument " + std::to_string(m_nArg) +
           (m_nElementsLeft < 0 ? " still lacks dimension sizes"
                                : " still lacks " + std::to_string(m_nElementsLeft) + " element variables") +
           "; refused");
    return;
  }
  const int dimensions = Proc::Dimensions(next);
  if (dimensions < 0) {
    Refuse("argument " + std::to_string(next) + " has " + std::to_string(dimensions) +
           " dimensions in the procedure's table; refused");
    return;
  }
  std::int64_t scalarWords = 0;
  if (m_bConstructing && dimensions == 0) {
    scalarWords = (static_cast<std::uint32_t>(this->TypeSize(Proc::Type(next))) + 7u) >> 3;
    if (m_nWords + scalarWords > std::numeric_limits<std::int32_t>::max()) {
      Refuse("argument " + std::to_string(next) + " would make the argument buffer too long; refused");
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
  const std::string where = "dimension size " + std::to_string(size) + " of argument " + std::to_string(m_nArg);
  if (m_nArg < 0) {
    Refuse("dimension size " + std::to_string(size) + " given before any argument; refused");
    return;
  }
  if (m_nDimsLeft <= 0) {
    const int dimensions = Proc::Dimensions(m_nArg);
    Refuse(where + (dimensions == 0 ? ": the argument is a scalar"
                                    : ": the argument has its " + std::to_string(dimensions) + " sizes already") +
           "; refused");
    return;
  }
  if (size < 0) {
    Refuse(where + ": a size is not negative; refused");
    return;
  }
  if (m_nDimIndex >= dims) {
    Refuse(where + ": the procedure declares " + std::to_string(dims) + " dimension sizes in all; refused");
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
  const std::string where = "element variable of argument " + std::to_string(m_nArg);
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
    const std::string where = "argument " + std::to_string(next);
    if (kind == Declared::Constant && next >= InputArgs()) {
      Refuse(where + " is an output: an output takes variables, not a constant; refused");
      return false;
    }
    if (Proc::Dimensions(next) != 0) {
      Refuse(where + " is an array of " + std::to_string(Proc::Dimensions(next)) +
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
    const std::string lacking =
        m_nArg != TotalArgs() - 1
            ? std::to_string(m_nArg + 1) + " of " + std::to_string(TotalArgs()) + " arguments declared"
            : "argument " + std::to_string(m_nArg) +
                  (m_nElementsLeft < 0 ? " lacks dimension sizes"
                                       : " lacks " + std::to_string(m_nElementsLeft) + " element variables");
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
  Refuse(std::string(what) + ": argument " + std::to_string(argument) + " does not exist (0 to " +
         std::to_string(TotalArgs() - 1) + ")");
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
      Refuse("InitializeCStrings: the string array of argument " + std::to_string(i) +
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
    Refuse("CreateEquationsAndSetGroup: the outputs' sizes give " + std::to_string(outputElements) +
           " elements, the element list holds " + std::to_string(this->m_nOutputElements) + "; refused");
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
        Refuse(std::string("CreateEquationsAndSetGroup: no memory for the equation object of output ") + suffix +
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
