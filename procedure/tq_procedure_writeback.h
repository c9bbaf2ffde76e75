// The procedure template's write-back: the values a routine leaves in the
// slots of its variable inputs go back into their solver variables, each the
// way its value stands (by default assignment or as its current value), and
// the update controller hears of each.
#pragma once

#ifndef TQ_PROCEDURE_TEMPLATE_PARTS
#error "tq_procedure_writeback.h is a part of tq_procedure_template.h; include that header"
#endif

#include <cstddef>
#include <cstdint>
#include <cstring>

// The level of every value a procedure assigns to a variable: the level
// word of the host value (TQ_Value(value, level): pass 0, statement number 0)
// through which a routine's value, or a perturbed one, is assigned to a
// variable whose value stands by default assignment. The host keeps the word
// with the assigned value and shows it in its assignment log; the library
// gives it no meaning of its own and hands it over unchanged.
// 1048576000 = 1000 * 2^20 = 0x3E800000.
inline constexpr unsigned TQ_PROCEDURE_ASSIGNMENT_LEVEL = 1048576000u;

// ---- write-back ---------------------------------------------------------------------------------

template <class Proc, int inputs, int outputs, int dims, class Base, int n>
template <typename Value>
void TQ_ProcedureTemplate<Proc, inputs, outputs, dims, Base, n>::WriteVariable(TQ_VarParam& variable,
                                                                               Value value,
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
  TQ_Value holder(0.0, TQ_PROCEDURE_ASSIGNMENT_LEVEL);
  const std::size_t width = static_cast<std::size_t>(this->TypeSize(5));
  WalkInputs(
      [](int) {},
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
            const std::int64_t table = Proc::Dimensions(i) != 0 && !this->IsFortran()
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
          default:
            return;
        }
        Notify(variable);
      });
  m_nDimIndex = 0;
  m_nArg = 0;
}
