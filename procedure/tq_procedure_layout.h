// The procedure template's argument layout: the protocol of the two
// declaration passes (slots, dimension sizes, element variables, offsets),
// the constant arguments' values, the character-pointer tables of string
// arrays in the buffer, and the walk over the input elements that the call
// side shares.
#pragma once

#ifndef TQ_PROCEDURE_TEMPLATE_PARTS
#error "tq_procedure_layout.h is a part of tq_procedure_template.h; include that header"
#endif

#include <cstdint>
#include <cstring>
#include <limits>

// ---- argument slots -------------------------------------------------------------------------

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::SetArg(bool byReference) {
  const int next = m_nArg + 1;
  if (next >= TotalArgs()) {
    Refuse("argument " + morvane::Text(next) + " declared, but the procedure takes " + morvane::Text(TotalArgs()) +
           " arguments (0 to " + morvane::Text(TotalArgs() - 1) + "); refused");
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
    m_nElementsLeft = dimensions != 0 ? static_cast<std::int32_t>(RecordedElements(m_nArg, DimensionPosition(m_nArg)))
                      : byReference   ? 1
                                      : 0;
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
    Refuse(where +
           (dimensions == 0 ? ": the argument is a scalar"
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
    Refuse(where +
           (m_abByReference[static_cast<std::size_t>(m_nArg)] ? ": the argument has all its elements already"
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
bool TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::ValidArgument(int argument, const char* what) const {
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
  for (int d = 0; d < Proc::Dimensions(argument); ++d) count *= m_aDimSizes[static_cast<std::size_t>(dimension + d)];
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

// ---- the passes complete ---------------------------------------------------------------------

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

// ---- the input elements ----------------------------------------------------------------------

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
