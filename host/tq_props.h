// The host's property types: parameters, variables, sets and component lists.
#pragma once

#include "tq_object.h"

class VEKEXP_API TQ_REALPARAMETER : public TQ_VarParam {
 public:
  explicit TQ_REALPARAMETER(bool init = true);
  TQ_REALPARAMETER(const TQ_REALPARAMETER& other);
  TQ_REALPARAMETER& operator=(const TQ_REALPARAMETER& other);
  ~TQ_REALPARAMETER() override;
  static const char* TQ_ContainerId();
  TQ_REALPARAMETER& operator*() { return *this; }
  double v() const { return Effective().Real(); }
  double fv() const { return Effective().Real(); }
  TQ_ValueKind ValueKind() const override;
};

class VEKEXP_API TQ_INTEGERPARAMETER : public TQ_VarParam {
 public:
  explicit TQ_INTEGERPARAMETER(bool init = true);
  TQ_INTEGERPARAMETER(const TQ_INTEGERPARAMETER& other);
  TQ_INTEGERPARAMETER& operator=(const TQ_INTEGERPARAMETER& other);
  ~TQ_INTEGERPARAMETER() override;
  static const char* TQ_ContainerId();
  TQ_INTEGERPARAMETER& operator*() { return *this; }
  int v() const { return Effective().Integer(); }
  int fv() const { return Effective().Integer(); }
  TQ_ValueKind ValueKind() const override;
};

class VEKEXP_API TQ_STRINGPARAMETER : public TQ_VarParam {
 public:
  explicit TQ_STRINGPARAMETER(bool init = true);
  TQ_STRINGPARAMETER(const TQ_STRINGPARAMETER& other);
  TQ_STRINGPARAMETER& operator=(const TQ_STRINGPARAMETER& other);
  ~TQ_STRINGPARAMETER() override;
  static const char* TQ_ContainerId();
  TQ_STRINGPARAMETER& operator*() { return *this; }
  const char* v() const { return Effective().Text(); }
  const char* fv() const { return Effective().Text(); }
  TQ_ValueKind ValueKind() const override;
};

// A logical parameter whose initial value is false.
class VEKEXP_API TQ_FalseLOGICALPARAMETER : public TQ_VarParam {
 public:
  explicit TQ_FalseLOGICALPARAMETER(bool init = true);
  TQ_FalseLOGICALPARAMETER(const TQ_FalseLOGICALPARAMETER& other);
  TQ_FalseLOGICALPARAMETER& operator=(const TQ_FalseLOGICALPARAMETER& other);
  ~TQ_FalseLOGICALPARAMETER() override;
  TQ_FalseLOGICALPARAMETER& operator*() { return *this; }
  bool v() const { return Effective().Integer() != 0; }
  bool fv() const { return Effective().Integer() != 0; }
  TQ_ValueKind ValueKind() const override;
};

// A real variable of the solver.
class VEKEXP_API TQ_REALVARIABLE : public TQ_VarParam {
 public:
  explicit TQ_REALVARIABLE(bool init = true);
  TQ_REALVARIABLE(const TQ_REALVARIABLE& other);
  TQ_REALVARIABLE& operator=(const TQ_REALVARIABLE& other);
  ~TQ_REALVARIABLE() override;
  TQ_REALVARIABLE& operator*() { return *this; }
  double v() const { return Effective().Real(); }
  double fv() const { return Effective().Real(); }
  bool IsSolverVariable() const override;
  TQ_ValueKind ValueKind() const override;
};

class VEKEXP_API TQ_PARTIALDERIVATIVE : public TQ_REALVARIABLE {
 public:
  explicit TQ_PARTIALDERIVATIVE(bool init = true);
  TQ_PARTIALDERIVATIVE(const TQ_PARTIALDERIVATIVE& other);
  TQ_PARTIALDERIVATIVE& operator=(const TQ_PARTIALDERIVATIVE& other);
  ~TQ_PARTIALDERIVATIVE() override;
  TQ_PARTIALDERIVATIVE& operator*() { return *this; }
};

// A set property; its value is a TQ_SetValue.
class VEKEXP_API TQ_Set : public TQ_Type {
 public:
  explicit TQ_Set(unsigned short type);
  TQ_Set(const TQ_Set& other);
  TQ_Set& operator=(const TQ_Set& other);
  ~TQ_Set() override;
  // The current set: the assigned or fixed one, else the empty set.
  const TQ_SetValue& v() const;
  const TQ_SetValue& fv() const { return v(); }
  TQ_ValueKind ValueKind() const override;
  bool Accepts(const TQ_Value& value, std::string* why) const override;
  TQ_Value Normalised(const TQ_Value& value) const override;
  // Gives the set a value directly (index-set initialisation by the host).
  void StoreSetValue(const TQ_Value& value);

 private:
  TQ_SetValue m_empty;
};

class VEKEXP_API TQ_INTEGERSET : public TQ_Set {
 public:
  TQ_INTEGERSET();
  TQ_INTEGERSET(const TQ_INTEGERSET& other);
  TQ_INTEGERSET& operator=(const TQ_INTEGERSET& other);
  ~TQ_INTEGERSET() override;
  TQ_INTEGERSET& operator*() { return *this; }
};

class VEKEXP_API TQ_STRINGSET : public TQ_Set {
 public:
  explicit TQ_STRINGSET(bool init = true);
  TQ_STRINGSET(const TQ_STRINGSET& other);
  TQ_STRINGSET& operator=(const TQ_STRINGSET& other);
  ~TQ_STRINGSET() override;
  TQ_STRINGSET& operator*() { return *this; }
};

// The name of a component list a model or port works with.
class VEKEXP_API TQ_COMPONENTLISTNAME : public TQ_Type {
 public:
  TQ_COMPONENTLISTNAME();
  TQ_COMPONENTLISTNAME(const TQ_COMPONENTLISTNAME& other);
  TQ_COMPONENTLISTNAME& operator=(const TQ_COMPONENTLISTNAME& other);
  ~TQ_COMPONENTLISTNAME() override;
  TQ_COMPONENTLISTNAME& operator*() { return *this; }
  const char* v() const;
  TQ_ValueKind ValueKind() const override;

  // The bracket around a call of an external routine that computes
  // properties of the list's components: Begin before the routine runs, End
  // after it returns. An End without an open Begin is reported and ignored.
  void BeginPropertiesCall();
  void EndPropertiesCall();
  // Brackets open now, and brackets opened so far.
  int OpenPropertiesCalls() const { return m_openCalls; }
  long PropertiesCallCount() const { return m_callCount; }

 private:
  int m_openCalls = 0;
  long m_callCount = 0;
};
