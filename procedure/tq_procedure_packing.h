// The procedure template's packing: the inputs, constants and element
// variables, into their slots of the packed argument buffer, marking the
// call changed where a value differs; the output variables into the output
// words when the routine takes them preset.
#pragma once

#ifndef TQ_PROCEDURE_TEMPLATE_PARTS
#error "tq_procedure_packing.h is a part of tq_procedure_template.h; include that header"
#endif

#include <cstdint>
#include <cstring>

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
#define TQ_PROCEDURE_PACK_VARIABLE(Accessor, ArrayPacker, Entry)                                             \
  const int dimensions = Proc::Dimensions(m_nArg);                                                           \
  if (dimensions == 0) {                                                                                     \
    if (!this->CursorHasInputs(1)) {                                                                         \
      ++m_nArg;                                                                                              \
      return this->m_bChanged;                                                                               \
    }                                                                                                        \
    return PackVal((*this->m_ppCursor++)->Accessor());                                                       \
  }                                                                                                          \
  const int argument = m_nArg++;                                                                             \
  this->ArrayPacker(reinterpret_cast<Entry*>(Slot(argument)), dimensions, m_aDimSizes.data() + m_nDimIndex); \
  m_nDimIndex += dimensions;                                                                                 \
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
      case 3:
        byReference ? PackVarInteger() : PackVal(GetIntegerArg(i));
        break;
      case 4:
        byReference ? PackVarReal() : PackVal(GetRealArg(i));
        break;
      case 5:
        byReference ? PackVarString() : PackVal(GetStringArg(i));
        break;
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
