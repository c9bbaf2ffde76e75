// The host's procedure services: the base classes of a procedure object that
// binds a model's call to a routine of an external library, the holder of a
// constant argument, and the equation type of a procedure's output equations.
//
// A procedure object declares its arguments in two passes (see the library's
// procedure template). At the end of the first pass the host lays out what
// the routine is handed: FinalizeConstruction supplies the packed argument
// buffer (8-byte words) and the element list, HandleDerivatives(false) the
// derivative array. The host owns these and releases them with the object.
#pragma once

#include <cstdint>
#include <string>

#include "tq_object.h"
#include "tq_props.h"
#include "vekexp_api.h"

// Width of one string value of a procedure argument (type code 5): the
// stride between the fixed string fields of the packed argument buffer.
inline constexpr int TQ_PROCEDURE_STRING_BYTES = 40;

// Width of one entry of a string array's character-pointer table: the width
// of an address in this build, 4 bytes in the 32-bit Windows library and 8 on
// 64-bit Linux. The table's reservation and its filling both use it.
inline constexpr std::uint32_t TQ_CHARPOINTER_BYTES = sizeof(char*);

// The record through which the host reaches a loaded routine (call side).
struct DLLFunction;

// One constant argument of a procedure: an integer, a real or a string.
// It is a plain value: copied bit for bit, never destroyed one by one, so a
// string is kept inside the value itself, up to TQ_PROCEDURE_STRING_BYTES
// characters (the width of the field the routine receives).
class VEKEXP_API ConstProcValue {
 public:
  ConstProcValue();
  // A null text counts as "". A longer text than a string field holds is cut
  // to the field's width, with an error through the executive.
  ConstProcValue& operator=(const char* text);
  ConstProcValue& operator=(int value);
  ConstProcValue& operator=(double value);

  // Readers convert between integer and real (a real becomes an integer by
  // truncation toward zero, NaN giving 0 and values beyond the 32-bit range
  // their nearest end); a string reads as 0 and 0.0, a number as "". A value
  // never assigned reads as 0, 0.0 and "".
  int Integer() const;
  double Real() const;
  const char* String() const;

 private:
  enum Kind : std::uint8_t { kNone, kInteger, kReal, kText };
  std::uint8_t m_kind;
  std::int32_t m_integer;
  double m_real;
  char m_text[TQ_PROCEDURE_STRING_BYTES + 1];
};

// The procedure base. Its fields are what the procedure template and the
// host's services share; the host allocates and releases the arrays among
// them on the host heap.
class VEKEXP_API TQ_ProcedureType : public TQ_PtrVectorObject {
 public:
  enum CallType : std::int32_t {
    CallNone = -1,
    CallValues = 0,
    CallPrecall = 1,
    CallFollowUp = 2,
    CallJacobian = 3,
    CallValuesAndDerivatives = 4,
  };

  TQ_ProcedureType();
  // A copy has its own buffer, element list and derivative arrays, with the
  // source's contents; the element variables themselves are shared.
  TQ_ProcedureType(const TQ_ProcedureType& other);
  TQ_ProcedureType& operator=(const TQ_ProcedureType& other);
  ~TQ_ProcedureType() override;

  // Destroys the object.
  virtual void Destroy();
  virtual const char* ProcedureName() const = 0;
  virtual const char* DLLName() const = 0;
  // The component list the routine's properties are computed for; null when
  // none (the default).
  virtual TQ_COMPONENTLISTNAME* ComponentListName() const;
  // The host's own answers: nothing to write, status 0.
  virtual int Jacobian(double* values, int& position);
  virtual int Residuals(double* values, int& position);
  virtual int Precall(bool flag);
  virtual int Postcall(bool flag);
  // Output element `index` (from 0) of a completed declaration; null outside.
  virtual TQ_VarParam* OutputVar(int index) const;
  // Points the character-pointer tables of string array inputs at their
  // strings; the host's own version has no tables to fill.
  virtual void InitializeCStrings();

  // The procedure's calling convention: `fortran` selects the Fortran
  // convention (string arrays without a character-pointer table), `base` the
  // language base index (0 or 1) added to every argument offset handed to the
  // routine. Throws std::invalid_argument for another base, and
  // std::logic_error once the argument layout has been finalised.
  void SetMode(bool fortran, int base);

  // Bytes of one value of a type code: 4 for the integers (2, 3), 8 for a
  // real (4), TQ_PROCEDURE_STRING_BYTES for a string (5), 0 for any other.
  int TypeSize(int typeCode) const;

  // Whether the routine finds the output variables' current values in the
  // output slots before a call (false unless set).
  bool PresetOutputs() const { return m_bPresetOutputs; }
  void SetPresetOutputs(bool preset) { m_bPresetOutputs = preset; }
  // Whether variable inputs are written back after a values call (true
  // unless set); one answer for every procedure.
  static bool PostsetInputs();
  static void SetPostsetInputs(bool postset);

  void SetComponentListName(TQ_COMPONENTLISTNAME* list) { m_pComponentList = list; }

  // What the host laid out when the construction pass ended.
  bool LayoutFinalised() const { return m_bHostFlag; }
  int ArgumentWords() const { return m_nArgWords; }
  int OutputOffset() const { return m_nOutputOffset; }
  int ElementRoom() const { return m_nElementRoom; }
  int InputElementRoom() const { return m_nInputRoom; }
  int OutputValueCount() const { return m_nOutputValues; }
  int DerivativeCount() const { return m_nDerivatives; }
  const double* ArgumentBuffer() const { return m_pArgBuffer; }
  const double* DerivativeArray() const { return m_pDerivatives; }
  const double* DerivativeCache() const { return m_pDerivCache; }
  TQ_VarParam* const* ElementList() const { return m_ppElements; }

 protected:
  // Reports a failure of this procedure through the executive, naming it.
  void ProcedureError(const char* message) const;

  // ---- shared with the procedure template, in the object's order ----------
  double* m_pArgBuffer;       // packed argument buffer, m_nArgWords words
  double* m_pDerivCache;      // derivatives as the Jacobian hands them on
  double* m_pDerivatives;     // derivatives as the routine returns them
  double* m_pHostReals;       // the host's real block handed to the routine
  std::int32_t m_nHostInteger;
  std::int32_t m_nDerivatives;  // entries of the two derivative arrays
  DLLFunction* m_pRoutine;    // the loaded routine (call side)
  std::int32_t m_nHostCell;
  std::int32_t m_nSolverInputs;
  std::int32_t m_nInputElements;
  std::int32_t m_nOutputValues;
  std::int32_t m_nInputValues;
  std::int32_t m_nOutputElements;
  TQ_VarParam** m_ppElements;  // element list, m_nElementRoom entries
  TQ_VarParam** m_ppCursor;    // next element for the packing (call side)
  bool m_bChanged;             // an input changed since the last call
  bool m_bHostFlag;            // the host has finalised the layout

  // ---- the host's own ------------------------------------------------------
  std::int32_t m_nArgWords;      // words of m_pArgBuffer
  std::int32_t m_nOutputOffset;  // word offset of the first output
  std::int32_t m_nElementRoom;   // entries of m_ppElements
  std::int32_t m_nInputRoom;     // of them, input elements
  bool m_bFortran;
  std::int32_t m_nLanguageBase;
  bool m_bPresetOutputs;
  TQ_COMPONENTLISTNAME* m_pComponentList;

 private:
  void CopyFrom(const TQ_ProcedureType& other);
  void ReleaseArrays();
};

// The procedure base of routines called with the C convention unless
// SetMode selects the Fortran one.
class VEKEXP_API TQ_ProcedureType_C : public TQ_ProcedureType {
 public:
  TQ_ProcedureType_C();
  TQ_ProcedureType_C(const TQ_ProcedureType_C& other);
  TQ_ProcedureType_C& operator=(const TQ_ProcedureType_C& other);
  ~TQ_ProcedureType_C() override;

  // False gives a string array its character-pointer table.
  bool IsFortran() const { return m_bFortran; }
  // Added to each stored argument offset.
  int LanguageBaseIndex() const { return m_nLanguageBase; }

  // Ends the construction pass: `outputOffset` is the first output's word
  // offset from 0 and `words` the buffer's length. Supplies a zeroed buffer of
  // that many words and an element list with room for the elements counted
  // (m_nInputElements + m_nOutputElements, which must still be set). Refused,
  // with an error, once the layout is final, or for counts that do not fit.
  void FinalizeConstruction(int outputOffset, int words);

  // false (end of the construction pass, counts still set): sizes the
  // derivative array and cache at one entry per pair of output element and
  // input value, zeroed. true (after a values-and-derivatives call): the
  // cache takes the derivative array negated, entry by entry.
  void HandleDerivatives(bool negate);
};

// The equation type of one output equation of a procedure call.
class VEKEXP_API TQ_ProcedureEquationType : public TQ_EquationType {
 public:
  // The procedure, the equation's number within the call, a value the host
  // keeps for the equation (`arg3`), the model or structure that registers
  // it, its name, its index as the owner counts (before AddEquation), a
  // second value the host keeps (`arg7`) and the name's suffix ("[1]",
  // "[2_3]"). The texts are copied.
  TQ_ProcedureEquationType(TQ_ProcedureType* procedure, int number, int arg3, TQ_Containable* owner,
                           const char* name, int row, int arg7, const char* suffix);
  ~TQ_ProcedureEquationType() override;

  TQ_ProcedureType* Procedure() const { return m_procedure; }
  int Number() const { return m_number; }
  int Arg3() const { return m_arg3; }
  TQ_Containable* EquationOwner() const { return m_owner; }
  int Row() const { return m_row; }
  int Arg7() const { return m_arg7; }
  const char* BaseName() const { return m_name.c_str(); }
  const char* Suffix() const { return m_suffix.c_str(); }
  // The name and the suffix together: "PROC[1]".
  const char* FullName() const { return m_fullName.c_str(); }

 private:
  TQ_ProcedureType* m_procedure;
  int m_number;
  int m_arg3;
  TQ_Containable* m_owner;
  int m_row;
  int m_arg7;
  std::string m_name;
  std::string m_suffix;
  std::string m_fullName;
};
