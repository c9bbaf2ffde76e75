// The host's object model: reference-counted objects, named properties,
// containers and the model, port and structure bases the library derives from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "tq_held.h"
#include "tq_memory.h"
#include "tq_values.h"
#include "vekexp_api.h"

class TQ_Containable;
class TQ_Type;
class TQ_VarParam;
class TQ_Set;
class TQ_COMPONENTLISTNAME;
class TQ_EquationType;
class TQ_ModelType;
class TQ_ProcedureType;

// Property direction codes.
enum TQ_Direction : int { TQ_DIR_NONE = 0, TQ_DIR_INPUT = 4, TQ_DIR_OUTPUT = 8 };

// Kind of host port a port property stands for; 0 until set.
typedef int TQ_HostPortType;

// Result of an assignment through the host.
enum TQ_AssignStatus : int {
  TQ_ASSIGN_REFUSED = -1,   // no value given, or a value of the wrong kind
  TQ_ASSIGN_DONE = 0,       // the value now stands
  TQ_ASSIGN_KEPT_FIXED = 1  // the user fixed the value; it stays
};

// Operator codes of equation programs.
enum EOp : int {
  EOp_Root = 1,  // one operand: the residual is that operand
  EOp_Plus = 19,
  EOp_Minus = 20,  // first operand less second
  EOp_Times = 21,
  EOp_Divide = 22,  // first operand by second
  EOp_Square = 40,  // one operand
};

// Every host object lives on the host heap: the class's own allocation
// functions route to MyAllocate/MyFree, whoever creates or destroys it. A
// refused allocation yields null and the new-expression constructs nothing.
class VEKEXP_API TQ_PtrVectorObject {
 public:
  static void* operator new(std::size_t size) noexcept;
  static void operator delete(void* pointer) noexcept;
  static void* operator new(std::size_t, void* place) noexcept { return place; }
  static void operator delete(void*, void*) noexcept {}

  TQ_PtrVectorObject();
  TQ_PtrVectorObject(const TQ_PtrVectorObject& other);
  TQ_PtrVectorObject& operator=(const TQ_PtrVectorObject& other);
  virtual ~TQ_PtrVectorObject();

  // Reference counting: a new object holds no reference; the factory that
  // hands it to the host takes the first one. Release() destroys the object
  // when the last reference goes.
  long AddRef();
  long Release();
  long RefCount() const { return m_refs; }

 private:
  long m_refs;
};

class VEKEXP_API TQ_Update : public TQ_PtrVectorObject {
 public:
  TQ_Update();
  TQ_Update(const TQ_Update& other);
  TQ_Update& operator=(const TQ_Update& other);
  ~TQ_Update() override;
};

// One registered property, as its owner lists it.
struct TQ_PropertyRecord {
  TQ_Containable* property;
  const char* name;         // the text the owner registered (kept by the property)
  const char* description;  // null when none was given
  int direction;
  bool flag;  // the trailing flag of AddProperty
};

// Something that can be a named property of an owner, and an owner of
// properties in turn.
class VEKEXP_API TQ_Containable : public TQ_Update {
 public:
  TQ_Containable();
  TQ_Containable(const TQ_Containable& other);             // copies no registration
  TQ_Containable& operator=(const TQ_Containable& other);  // keeps its own registration
  ~TQ_Containable() override;

  // Identity as a property of its owner (empty until registered).
  const char* Name() const;
  const char* Description() const;  // null when none
  int DirectionCode() const { return m_direction; }
  TQ_Containable* Owner() const { return m_owner; }
  bool IsRegistered() const { return m_owner != nullptr; }
  // Names an object that no owner registers (for example a top-level model).
  void SetObjectName(const char* name);
  // Gives an unregistered object its place for naming only (array elements,
  // objects behind a virtual property); the owner does not list it.
  void SetIdentity(TQ_Containable* owner, const char* name);
  // The same with the name's length known (`length` characters at `name`).
  void SetIdentity(TQ_Containable* owner, const char* name, std::size_t length);

  // The properties registered with this object as owner, in order.
  int PropertyCount() const;
  const TQ_PropertyRecord& PropertyAt(int index) const;
  // By name, letter case ignored; null when there is none.
  TQ_Containable* FindProperty(const char* name) const;

  // True for an array (TQ_Matrix), whose elements are named by their keys: a test without a
  // dynamic_cast, for naming paths.
  bool IsArrayContainer() const { return m_arrayContainer; }

  // Export and port marks.
  bool IsToBeExported() const { return m_toBeExported; }
  TQ_HostPortType HostPortTypeValue() const { return m_hostPortType; }

 protected:
  // Registers this object as property `name` of `owner`.
  void RegisterWith(TQ_Containable* owner, const char* name, const char* description, int direction, bool flag);
  void SetExportMark(bool exported) { m_toBeExported = exported; }
  void SetHostPortTypeValue(TQ_HostPortType type) { m_hostPortType = type; }
  void SetDirectionCode(int direction) { m_direction = direction; }

 private:
  TQ_Containable* m_owner;
  // Held in the object: the names of array elements are short and stay in it, with no block of
  // their own. Made, changed and destroyed only by this class's own (out-of-line) code, so that
  // its text is always on the host's heap.
  TQ_HeldString m_name;
  TQ_HeldString* m_description;
  TQ_HeldVector<TQ_PropertyRecord>* m_properties;
  int m_direction;
  TQ_HostPortType m_hostPortType;
  bool m_toBeExported;  // last: a derived class's first small members share its word
  bool m_arrayContainer = false;

  friend class TQ_Matrix;  // marks itself an array
};

// Something that holds a value the host can assign, fix and read.
class VEKEXP_API TQ_VarParamProp : public TQ_Containable {
 public:
  TQ_VarParamProp();
  TQ_VarParamProp(const TQ_VarParamProp& other);
  TQ_VarParamProp& operator=(const TQ_VarParamProp& other);
  ~TQ_VarParamProp() override;

  // A default assignment: it takes effect unless the user has fixed the
  // value, in which case the fixed value stays. The value can be read at once.
  TQ_AssignStatus Assign(TQ_Value* value);
  // The user's own value: it stands until Unfix(), whatever is assigned.
  // Refused (with a message in `error`) when the kind does not fit or the
  // value lies outside the property's bounds or valid set.
  TQ_AssignStatus Fix(const TQ_Value& value, std::string* error = nullptr);
  void Unfix();
  bool IsFixed() const { return m_fixed; }
  // True while the value stands by a default assignment (Assign), that is
  // until the user fixes it or the solver sets its current value.
  bool IsDefaultAssignment() const { return m_hasValue && m_defaultAssigned && !m_fixed; }
  // The solver's current value, as a procedure writes its inputs back or
  // perturbs them. Any number is taken by a numeric property (an integer one
  // truncates toward zero), a text by a text property; bounds are not
  // checked. Refused, with an error, for a value of another kind or for a
  // value the user fixed.
  void SetCurrentValue(double value);
  void SetCurrentValue(const char* value);
  bool HasValue() const { return m_hasValue; }
  const TQ_Value& CurrentValue() const { return m_value; }
  // The kind of value this property holds (None for a property without one).
  virtual TQ_ValueKind ValueKind() const;
  // Checks a value against the property's kind, bounds and valid set.
  virtual bool Accepts(const TQ_Value& value, std::string* why) const;
  // The value as the property keeps it (an integer given to a real property
  // becomes a real; a text given to a string set becomes its members).
  virtual TQ_Value Normalised(const TQ_Value& value) const;

  // Registers `dependent` as depending on this property (arrays on their
  // index sets).
  void AddDependent(TQ_Containable* dependent);
  void RemoveDependent(TQ_Containable* dependent);
  int DependentCount() const;
  TQ_Containable* DependentAt(int index) const;

 protected:
  // Stores a value without logging or checks (for the host's own use).
  void StoreValue(const TQ_Value& value);

  // The flags first: they fill the word the base class leaves open.
  bool m_hasValue;
  bool m_fixed;
  bool m_defaultAssigned;
  TQ_Value m_value;

 private:
  TQ_HeldVector<TQ_Containable*>* m_dependents;
};

// A property: the base of every model, parameter, variable, set and array.
class VEKEXP_API TQ_Type : public TQ_VarParamProp {
 public:
  TQ_Type();
  TQ_Type(const TQ_Type& other);
  TQ_Type& operator=(const TQ_Type& other);
  ~TQ_Type() override;

  // Registers this object as a property of `owner` and returns it.
  TQ_Type* AddProperty(
      TQ_Containable* owner, const char* name, const char* description, TQ_Direction direction, bool flag);

  virtual TQ_Type* UnsetIsToBeExported();
  virtual TQ_Type* HostPortType(TQ_HostPortType type);
  virtual TQ_HostPortType HostPortType() const;
  virtual void SetDirection(TQ_Direction direction);
  virtual TQ_Direction Direction() const;
  virtual const char* TQ_DefaultDESCRIPTION() const;
  virtual bool ContainerDerivesFrom(const char* id);
  virtual int PortCount(bool all) const;
  virtual TQ_Type* GetPort(int& index, bool all);
  virtual void DumpStructure();
  virtual bool IsAnArray() const;
};

// A variable or parameter that can be a term of an equation: it has a column
// of its own in the Jacobian pattern.
//
// Models hold millions of these as array elements, and the equation phases
// read each one's column once per term, so the object keeps only what is
// read often: the column first among its own members, then the initial
// value. The bounds and the valid set, which few properties have and only
// checks read, live in a block of their own on the host heap, made when the
// first of them is set (by the property's type defaults or a setter below)
// and freed with the object; a property without them holds no block.
// Should the host heap refuse the block, the property reports it and goes on
// without the attributes it could not keep.
class VEKEXP_API TQ_VarParam : public TQ_Type {
 public:
  TQ_VarParam();
  // A copy gets a column of its own and a block of its own for the bounds
  // and valid set.
  TQ_VarParam(const TQ_VarParam& other);
  TQ_VarParam& operator=(const TQ_VarParam& other);  // keeps its own column
  ~TQ_VarParam() override;

  int Column() const { return m_column; }
  virtual bool IsSolverVariable() const;
  // The current value as an integer, a real or a text (a procedure packs its
  // arguments with these); integers and reals convert, other kinds give 0,
  // 0.0 or "".
  int Integer() const { return Effective().Integer(); }
  double Real() const { return Effective().Real(); }
  const char* String() const { return Effective().Text(); }
  // The value as a real, for the evaluator (integers convert).
  double NumericValue() const;
  void SetNumericValue(double value);
  // The bounds as reals: minus or plus infinity where the property has none.
  double TQ_LOWERValue() const;
  double TQ_UPPERValue() const;
  // The bounds and the valid set as the property keeps them: a value of kind
  // None where it has none.
  const TQ_Value& LowerBound() const;
  const TQ_Value& UpperBound() const;
  const TQ_Value& ValidSet() const;

  // Defaults a parameter type may give; null where it gives none.
  virtual TQ_Value* TQ_DefaultVALUE() const;
  virtual TQ_Value* TQ_DefaultLOWER() const;
  virtual TQ_Value* TQ_DefaultUPPER() const;
  virtual TQ_Value* TQ_DefaultVALID() const;
  virtual TQ_Value* TQ_DefaultPHYSICALQUANTITY() const;
  virtual int TQ_PQCol() const;
  virtual int TQ_PQRow() const;

  // Takes the defaults above into the property's attributes; derived
  // parameter types call it once their own defaults are in place. When the
  // host heap refuses the block for the bounds and valid set, the error is
  // reported, the initial value is taken all the same and the attributes
  // count as not initialised (a later call tries again).
  void InitializeSystemAttributes();
  bool SystemAttributesInitialised() const { return m_attributesInitialised; }
  const TQ_Value& InitialValue() const { return m_initial; }

  bool Accepts(const TQ_Value& value, std::string* why) const override;

 protected:
  // A property whose initial value (pass, level and number 0) is made in
  // place: the parameter and variable kinds start from a value of their own
  // kind.
  explicit TQ_VarParam(int initial);
  explicit TQ_VarParam(double initial);
  explicit TQ_VarParam(const char* initial);

  // The value readers use: the assigned or fixed value, else the initial one.
  const TQ_Value& Effective() const { return m_hasValue ? m_value : m_initial; }

  // Set a bound or the valid set. A value of kind None removes it. False,
  // with the error reported, when the host heap refuses the block that
  // holds them; the property then keeps the bounds and valid set it had.
  bool SetLowerBound(const TQ_Value& value);
  bool SetUpperBound(const TQ_Value& value);
  bool SetValidSet(const TQ_Value& value);

 private:
  struct Limits;
  // The block, made when needed; false (reported) when the heap refuses it.
  bool MakeLimits();
  bool SetLimit(TQ_Value Limits::*which, const TQ_Value& value);
  // Makes this property's bounds and valid set those of `other`; false
  // (reported) when the heap refuses the block they need.
  bool CopyLimits(const TQ_VarParam& other);

  int m_column;
  bool m_attributesInitialised;
  Limits* m_limits;  // null: no bounds and no valid set

 protected:
  TQ_Value m_initial;
};

// An owner of properties that runs assignments and sizes arrays.
class VEKEXP_API TQ_Container : public TQ_Type {
 public:
  TQ_Container();
  TQ_Container(const TQ_Container& other);
  TQ_Container& operator=(const TQ_Container& other);
  ~TQ_Container() override;

  // The host's own part of the assignments: returns the status the executive
  // is set to give (0 unless a test sets another).
  virtual long ExecuteAssignments(int level, int pass);
  virtual void SetDims();
  // Gives an internal index set its value for this sweep.
  void InitialiseInternalIndexSet(TQ_Set& set, TQ_Value* value, int sweep);
};

// The expression interface: how a model hands its equations over as
// programs in prefix order.
class VEKEXP_API TQ_ModelExtensions {
 public:
  TQ_ModelExtensions(const TQ_ModelExtensions&) = delete;
  TQ_ModelExtensions& operator=(const TQ_ModelExtensions&) { return *this; }

  virtual int Compatibility();
  // Discards the programs recorded for this object.
  virtual void ResetExpressions();
  virtual void AddOp(EOp op, int equation);
  virtual void AddTerm(double value, int equation);
  virtual void AddTerm(int value, int equation);
  // Appends the variable or parameter and records the non-zero (equation,
  // column) through the pattern cursors, advancing them. A term that would
  // write past the pattern is refused with an error.
  virtual void AddTerm(TQ_VarParam& term, int*& rows, int*& cols, int equation);
  // The program of a procedure's output equation: the procedure computes the
  // residual of the equation at `row` (the equation being emitted), which is
  // its equation `number` within the call; its terms follow as AddTerm calls.
  virtual void AddProcExpression(TQ_ProcedureType* procedure, int number, int row, const char* name);

 protected:
  explicit TQ_ModelExtensions(TQ_ModelType* model);
  virtual ~TQ_ModelExtensions();
  TQ_ModelType* ExtensionOwner() const { return m_model; }

 private:
  friend class TQ_EquationStore;
  TQ_ModelType* m_model;
};

class VEKEXP_API TQ_ModelType : public TQ_Container {
 public:
  TQ_ModelType();
  TQ_ModelType(const TQ_ModelType& other);
  TQ_ModelType& operator=(const TQ_ModelType& other);
  ~TQ_ModelType() override;

  // The running group number: the last group that the models declared so far
  // have used.
  static int m_stLastGroup;

  // The host's part: the count of equations declared before this model
  // (negative when the executive is set to report a failure).
  virtual int SetUpEquations();
  // The host's part: the count of equations emitted before this model.
  virtual int JacPattern(int*& rows, int*& cols, TQ_EquationType** types);
  virtual int Jacobian(double* values, int a, int b);
  virtual int Residuals(double* values, int a, int b);
  virtual TQ_COMPONENTLISTNAME* ComponentList();
  virtual TQ_VarParamProp* IsConnected();

  // Declaring equations (SetUpEquations): each equation starts with its group,
  // then names its non-zeros.
  void SetGroupLimits(int group);
  void AddNonZero(TQ_VarParam& term);
  // Reports the running count after this model's equations; returns it (or
  // the result the executive is set to give).
  int SetLocalEqnCount(int count);
  // Emitting equations (JacPattern): registers the next equation and raises
  // the count by one; its index is the count before.
  void AddEquation(const char* name, int& count, int group);
  // The same for an equation with a type object of its own (a procedure's
  // output equation), named by it; the host takes the object over and
  // releases it with the model's expressions. A null object is reported and
  // the equation registered as a plain one, so that the count still advances.
  void AddEquation(TQ_EquationType* equation, int& count, int group);
};

class VEKEXP_API TQ_ModelTypeEx : public TQ_ModelType, public TQ_ModelExtensions {
 public:
  TQ_ModelTypeEx();
  TQ_ModelTypeEx(const TQ_ModelTypeEx& other);
  TQ_ModelTypeEx& operator=(const TQ_ModelTypeEx& other);
  ~TQ_ModelTypeEx() override;
  // Registers a procedure call after its output equations; null for a
  // procedure without output elements.
  void AddProcCall(TQ_ProcedureType* procedure, int group);
};

class VEKEXP_API TQ_ModelTypeEx2 : public TQ_ModelTypeEx {
 public:
  TQ_ModelTypeEx2();
  TQ_ModelTypeEx2(const TQ_ModelTypeEx2& other);
  TQ_ModelTypeEx2& operator=(const TQ_ModelTypeEx2& other);
  ~TQ_ModelTypeEx2() override;
};

class VEKEXP_API TQ_PortType : public TQ_ModelType {
 public:
  TQ_PortType();
  TQ_PortType(const TQ_PortType& other);
  TQ_PortType& operator=(const TQ_PortType& other);
  ~TQ_PortType() override;
  // A port counts as one; GetPort counts `index` down and answers the port
  // when it passes below zero.
  int PortCount(bool all) const override;
  TQ_Type* GetPort(int& index, bool all) override;
};

class VEKEXP_API TQ_PortTypeEx : public TQ_PortType, public TQ_ModelExtensions {
 public:
  TQ_PortTypeEx();
  TQ_PortTypeEx(const TQ_PortTypeEx& other);
  TQ_PortTypeEx& operator=(const TQ_PortTypeEx& other);
  ~TQ_PortTypeEx() override;
};

class VEKEXP_API TQ_StructureType : public TQ_ModelType {
 public:
  TQ_StructureType();
  TQ_StructureType(const TQ_StructureType& other);
  TQ_StructureType& operator=(const TQ_StructureType& other);
  ~TQ_StructureType() override;
};

class VEKEXP_API TQ_StructureTypeEx : public TQ_StructureType, public TQ_ModelExtensions {
 public:
  TQ_StructureTypeEx();
  TQ_StructureTypeEx(const TQ_StructureTypeEx& other);
  TQ_StructureTypeEx& operator=(const TQ_StructureTypeEx& other);
  ~TQ_StructureTypeEx() override;
  // As TQ_ModelTypeEx::AddProcCall.
  void AddProcCall(TQ_ProcedureType* procedure, int group);
};

// The type of an equation a model registers with a type object of its own
// (procedures); plain equations have none.
class VEKEXP_API TQ_EquationType {
 public:
  // On the host heap, whoever creates or destroys it; a refused allocation
  // yields null and the new-expression constructs nothing.
  static void* operator new(std::size_t size) noexcept;
  static void operator delete(void* pointer) noexcept;

  TQ_EquationType();
  virtual ~TQ_EquationType();
};
