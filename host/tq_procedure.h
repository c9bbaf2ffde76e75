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
#include <vector>

#include "tq_loader.h"
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

// Calling convention of external routines: __stdcall in the 32-bit Windows
// build, the platform's own elsewhere.
#if defined(_WIN32)
#define TQ_ROUTINE_CALL __stdcall
#else
#define TQ_ROUTINE_CALL
#endif

// An external routine as a procedure calls it: sixteen pointers, in order the
// call type, the packed argument buffer, the inputs' dimension sizes, the
// buffer again (outputs), the outputs' dimension sizes, the inputs' and the
// outputs' offsets, the host integer cell, the host real block, the host
// integer value, the derivative count, the derivatives' rows and columns,
// a scratch integer, the derivative array and the failure flag.
typedef void(TQ_ROUTINE_CALL* TQ_Procedure13)(std::int32_t*,
                                              double*,
                                              std::int32_t*,
                                              double*,
                                              std::int32_t*,
                                              std::int32_t*,
                                              std::int32_t*,
                                              std::int32_t*,
                                              double*,
                                              std::int32_t*,
                                              std::int32_t*,
                                              std::int32_t*,
                                              std::int32_t*,
                                              std::int32_t*,
                                              double*,
                                              std::int32_t*);

// Negative statuses of a procedure call, as the host's services return them.
enum TQ_ProcedureStatus : int {
  TQ_PROC_OK = 0,
  TQ_PROC_LIBRARY_MISSING = -1,  // the library cannot be found or loaded
  TQ_PROC_ROUTINE_MISSING = -2,  // the library has no such routine
  TQ_PROC_INCOMPATIBLE = -3,     // the call asks for an interface the host does not have
  TQ_PROC_ROUTINE_FAILED = -4,   // the routine set its failure flag
  TQ_PROC_BAD_OUTPUT = -5,       // the routine reported success with an output that is not a number
  TQ_PROC_REFUSED = -6,          // the procedure's state does not allow the call
};

// The interface level of the sixteen-pointer call; EnsureCompatibleDLLLoaded
// accepts no other.
inline constexpr int TQ_PROCEDURE_INTERFACE = 4;

// The record through which a procedure object reaches its routine: the
// names it was resolved for, the loaded library (kept loaded while the
// record lives) and the routine's address.
struct DLLFunction {
  std::string library;
  std::string routine;
  TQ_LibraryRef file;  // null for a registered routine
  TQ_Procedure13 address = nullptr;
};

// Told of the values a procedure writes into variables, and asked which
// variables take part in an update. The host's own keeps a list of the
// variables it was told of, and counts every variable in but those excluded.
class VEKEXP_API TQ_IncrementalUpdate {
 public:
  TQ_IncrementalUpdate();
  TQ_IncrementalUpdate(const TQ_IncrementalUpdate&) = delete;
  TQ_IncrementalUpdate& operator=(const TQ_IncrementalUpdate&) = delete;
  virtual ~TQ_IncrementalUpdate();

  // `variable` was just given a new value by a procedure; 0.
  virtual int VariableChanged(TQ_VarParam& variable);
  // Whether `variable` takes part in the update: false leaves its column of
  // a finite-difference Jacobian at 0 and the variable unperturbed.
  virtual bool IsUpdated(const TQ_VarParam& variable) const;

  void Exclude(const TQ_VarParam& variable);
  const std::vector<TQ_VarParam*>& ChangedVariables() const { return m_changed; }
  void ClearChanged() { m_changed.clear(); }

 private:
  std::vector<TQ_VarParam*> m_changed;
  std::vector<const TQ_VarParam*> m_excluded;
};

// Where the host finds the libraries of external routines, and the routines
// tests put in their place. A library is looked for by name in the user's
// directories, then in the model library's directory (by default the
// directory of the module that holds the procedure's class), then beside the
// host and on the platform's search path. A library is loaded once and kept
// loaded while a procedure object that uses it lives.
class VEKEXP_API TQ_ProcedureLibraries {
 public:
  static void SetUserDirectories(std::vector<std::string> directories);
  // Empty: the directory of the module that holds the procedure's class.
  static void SetModelLibraryDirectory(std::string directory);

  // A routine that stands for routine `routine` of library `library` (the
  // library's name compared without regard to case): procedures bound to
  // that pair call it instead of loading the library. Null removes it.
  static void Register(const std::string& library, const std::string& routine, TQ_Procedure13 address);
  // Forgets every registration and count, and the directories set.
  static void Reset();

  // How often procedures were handed the routine of this pair for a call.
  static long CallCount(const std::string& library, const std::string& routine);
  // The file of library `library` while a procedure object keeps it
  // loaded; empty otherwise.
  static std::string LoadedPath(const std::string& library);
};

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

  // ---- the call of the routine -----------------------------------------------
  // The last-call record: whether the most recent call of the routine was of
  // this type and succeeded, so that its results stand in the buffer.
  // CallNone answers true before any call and after a failed one.
  bool LastCall(CallType type) const { return m_lastCall == type; }
  // The buffer holds inputs the routine has not been run for: no call's
  // results stand (until CheckIFailAndOutputs judges the next call).
  void ForgetLastCall() { m_lastCall = CallNone; }
  // Whether the routine runs even when no input changed (false unless set);
  // one answer for every procedure.
  static bool AlwaysCall();
  static void SetAlwaysCall(bool always);

  // Makes sure the routine ProcedureName() of library DLLName() is at hand
  // for an interface of level `compatibility` (TQ_PROCEDURE_INTERFACE): a
  // registered routine, or the library loaded by name and the routine
  // resolved. 0, or a negative status with an error naming the library, the
  // routine and the reason; the last-call record is cleared then.
  int EnsureCompatibleDLLLoaded(int compatibility);
  // The routine of `record` for one call, counted; null, with an error,
  // when the record holds none.
  TQ_Procedure13 GetProcedure13Address(DLLFunction* record);
  // Judges a call of type `type` by the failure flag the routine left: 0
  // when it is 0 and every output value is a number (values calls), with the
  // last-call record set to `type`; otherwise a negative status, the record
  // cleared, and an error when `report` is true. A derivative count the
  // routine changed is put back, and fails the call.
  int CheckIFailAndOutputs(int failure, CallType type, bool report);
  // The failure flag of the last call judged.
  int LastFailureFlag() const { return m_nLastFailure; }

  // The host's array packers: the `dimensions` sizes at `sizes` give the
  // element count; that many input element variables from the element cursor
  // on go into the entries at `destination` (32-bit integers, doubles), each
  // written and the changed flag set only where the value differs (reals by
  // IEEE comparison: a NaN always differs, -0 equals +0). The cursor moves
  // past them. Refused, with an error and nothing packed, when the entries
  // or the elements lie outside the buffer or the input elements. The
  // changed flag is returned.
  bool PackIntegerArray(int* destination, int dimensions, const int* sizes);
  bool PackRealArray(double* destination, int dimensions, const int* sizes);

  // The controller told of written-back values; null when none (the default).
  TQ_IncrementalUpdate* UpdateController() const { return m_pUpdate; }
  void SetUpdateController(TQ_IncrementalUpdate* controller) { m_pUpdate = controller; }

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
  // Refuses a call of the routine: reports `why`, clears the last-call
  // record and returns TQ_PROC_REFUSED.
  int RefuseCall(const char* why);
  // Writes one string field of TypeSize(5) bytes, padded with NULs (C
  // convention) or blanks (Fortran); a null text counts as "". Sets the
  // changed flag when the field's bytes change.
  void PackField(char* field, const char* text);
  // True when [begin, begin + bytes) lies inside the packed argument buffer.
  bool InsideBuffer(const void* begin, std::int64_t bytes) const;
  // `count` element variables from the cursor on, all input elements.
  bool CursorHasInputs(std::int64_t count) const;

  // ---- shared with the procedure template, in the object's order ----------
  double* m_pArgBuffer;    // packed argument buffer, m_nArgWords words
  double* m_pDerivCache;   // derivatives as the Jacobian hands them on (the Jacobian
                           // makes it; the host releases it)
  double* m_pDerivatives;  // derivatives as the routine returns them
  double* m_pHostReals;    // the host's real block handed to the routine
  std::int32_t m_nHostInteger;
  std::int32_t m_nDerivatives;  // entries of the two derivative arrays
  DLLFunction* m_pRoutine;      // the loaded routine (call side)
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
  CallType m_lastCall;
  std::int32_t m_nDerivativeRoom;  // entries of the two derivative arrays as made
  std::int32_t m_nLastFailure;
  TQ_IncrementalUpdate* m_pUpdate;

 protected:
  // Frees both derivative arrays and forgets their sizes.
  void ReleaseDerivatives();

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
  // derivative array at one entry per pair of output element and input
  // value, zeroed. true (after a values-and-derivatives call): the cache
  // takes the derivative array negated, entry by entry; a cache that no
  // Jacobian has made yet is made here, zeroed, when the heap gives it.
  void HandleDerivatives(bool negate);

  // A string argument's field at `destination` (TypeSize(5) bytes) takes
  // `text`, cut to the field's width with an error when longer; the changed
  // flag is set when the field changes. Refused, with an error, outside the
  // buffer. The changed flag is returned.
  bool PackStr(char* destination, const char* text);
  // The string array at `destination`, its fields after the
  // character-pointer table under the C convention, as PackRealArray.
  bool PackStringArray(char* destination, int dimensions, const int* sizes);
};

// The equation type of one output equation of a procedure call.
class VEKEXP_API TQ_ProcedureEquationType : public TQ_EquationType {
 public:
  // The procedure, the equation's number within the call, a value the host
  // keeps for the equation (`arg3`), the model or structure that registers
  // it, its name, its index as the owner counts (before AddEquation), a
  // second value the host keeps (`arg7`) and the name's suffix ("[1]",
  // "[2_3]"). The texts are copied.
  TQ_ProcedureEquationType(TQ_ProcedureType* procedure,
                           int number,
                           int arg3,
                           TQ_Containable* owner,
                           const char* name,
                           int row,
                           int arg7,
                           const char* suffix);
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
