// Links: a model's reference to an object outside it, a virtual property that
// stands for an object, and a reference to a global structure by name.
#pragma once

#include <stdexcept>
#include <string>

#include "tq_props.h"

// Thrown when a link is followed that leads nowhere; the executive reports it.
class VEKEXP_API TQ_LinkError : public std::runtime_error {
 public:
  explicit TQ_LinkError(const std::string& what);
  // For callers that build their message without std::string (the model
  // library, whose allocation is the host heap's).
  explicit TQ_LinkError(const char* what);
  ~TQ_LinkError() override;
};

class VEKEXP_API TQ_ExternalBase : public TQ_Containable {
 public:
  explicit TQ_ExternalBase(TQ_Containable* owner);
  TQ_ExternalBase(const TQ_ExternalBase& other);
  TQ_ExternalBase& operator=(const TQ_ExternalBase& other);
  ~TQ_ExternalBase() override;

  TQ_ExternalBase* AddProperty(
      TQ_Containable* owner, const char* name, const char* description, TQ_Direction direction, bool flag);
  // The attached object, null when none.
  TQ_Containable* ExternalLink() const { return m_link; }
  // The attached object; throws TQ_LinkError naming the link when none is.
  TQ_Containable& ExternalLinkChecked() const;
  bool IsAttached() const { return m_link != nullptr; }
  // Attaches an object; refused when it is not a model object whose type
  // derives from ExternalTypeName(). An object that references own (one a
  // factory made) is held by a reference of the link's; a member or an array
  // element, which its owner holds, is only referred to.
  bool Attach(TQ_Containable* object, std::string* error = nullptr);
  void Detach();

  virtual const char* ExternalTypeName();

 private:
  TQ_Containable* m_link;
  bool m_holdsReference;
};

class VEKEXP_API TQ_VirtualBase : public TQ_STRINGPARAMETER {
 public:
  explicit TQ_VirtualBase(TQ_Type* owner);
  TQ_VirtualBase(const TQ_VirtualBase& other);
  TQ_VirtualBase& operator=(const TQ_VirtualBase& other);
  ~TQ_VirtualBase() override;

  TQ_Type* AddProperty(
      TQ_Containable* owner, const char* name, const char* description, TQ_Direction direction, bool flag);
  // The object the property stands for: the linked one, or else, made on
  // first use, the default object from NewDefaultVirtual, which the property
  // then owns. Throws TQ_LinkError when there is neither.
  TQ_Type* VirtualLink() { return m_link ? m_link : MakeDefaultLink(); }
  // The object now stood for, without making a default; null when none.
  TQ_Type* CurrentLink() const { return m_link; }
  bool HoldsDefault() const { return m_link != nullptr && m_default; }
  // Links another object in place of the current one; refused when its type
  // does not derive from VirtualBaseType(). Held by a reference as an
  // external link holds its object.
  bool Link(TQ_Type* object, std::string* error = nullptr);
  void Unlink();

  virtual TQ_Type* NewDefaultVirtual();
  virtual const char* VirtualBaseType();

 private:
  TQ_Type* MakeDefaultLink();
  // Makes `object` (null for none) the one stood for.
  void Hold(TQ_Type* object, bool isDefault);
  TQ_Type* m_link;
  bool m_default;
  bool m_holdsReference;
};

class VEKEXP_API TQ_GlobalStructureRefBase : public TQ_STRINGPARAMETER {
 public:
  explicit TQ_GlobalStructureRefBase(TQ_ModelType* owner);
  TQ_GlobalStructureRefBase(const TQ_GlobalStructureRefBase& other);
  TQ_GlobalStructureRefBase& operator=(const TQ_GlobalStructureRefBase& other);
  ~TQ_GlobalStructureRefBase() override;

  // The global structure the value names (an object the executive holds);
  // throws TQ_LinkError when the name resolves to none.
  TQ_ModelType* Dereference();

  virtual TQ_ModelType* CreateDummyInstance();
  virtual bool CheckCompatibleStructureType(TQ_ModelType* structure);
};
