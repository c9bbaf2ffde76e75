// The standard ports (control, generic and connection) and their input,
// output and input-output multiports.
#pragma once

#include "framework/morvane_api.h"
#include "framework/tq_generated.h"
#include "framework/tq_multiport.h"
#include "host/vekexp.h"

// The control-signal port: no members of its own.
class MORVANE_API TQ_CONTROLPORT : public TQ_Generated<TQ_CONTROLPORT, TQ_PortTypeEx> {
  MORVANE_GENERATED_CLASS(TQ_CONTROLPORT)

  MORVANE_GENERATED_COUNTERS
};

// The generic port: whether it is connected and linked, and its component
// list.
class MORVANE_API TQ_GENERICPORT : public TQ_Generated<TQ_GENERICPORT, TQ_PortTypeEx> {
  MORVANE_GENERATED_CLASS(TQ_GENERICPORT)

 public:
  TQ_COMPONENTLISTNAME* ComponentList() override;
  TQ_VarParamProp* IsConnected() override;
  void RegisterProperties();

  TQ_FalseLOGICALPARAMETER ISCONNECTED{true};
  TQ_FalseLOGICALPARAMETER ISLINKED{true};
  TQ_COMPONENTLISTNAME COMPONENTLIST;

  MORVANE_GENERATED_COUNTERS
};

// The end of a generic connection: no members of its own.
class MORVANE_API TQ_CONNECTIONPORT : public TQ_Generated<TQ_CONNECTIONPORT, TQ_PortTypeEx> {
  MORVANE_GENERATED_CLASS(TQ_CONNECTIONPORT)

  MORVANE_GENERATED_COUNTERS
};

// Multiports: input (MI), output (MO) and input-output (MIO) over each port
// type. They differ only in their class; the direction is the one their
// owner registers them with.
#define MORVANE_MULTIPORT_CLASS(NAME, PORT)            \
  class MORVANE_API NAME : public TQ_MULTIPORT<PORT> { \
   public:                                             \
    NAME();                                            \
    NAME(const NAME&) = delete;                        \
    NAME& operator=(const NAME& other);                \
    ~NAME() override;                                  \
    NAME& operator*();                                 \
  };

// The nine multiport classes: X(class, port type).
#define MORVANE_MULTIPORT_CLASSES(X)           \
  X(TQ_TQ_MICONTROLPORT, TQ_CONTROLPORT)       \
  X(TQ_TQ_MOCONTROLPORT, TQ_CONTROLPORT)       \
  X(TQ_TQ_MIOCONTROLPORT, TQ_CONTROLPORT)      \
  X(TQ_TQ_MIGENERICPORT, TQ_GENERICPORT)       \
  X(TQ_TQ_MOGENERICPORT, TQ_GENERICPORT)       \
  X(TQ_TQ_MIOGENERICPORT, TQ_GENERICPORT)      \
  X(TQ_TQ_MICONNECTIONPORT, TQ_CONNECTIONPORT) \
  X(TQ_TQ_MOCONNECTIONPORT, TQ_CONNECTIONPORT) \
  X(TQ_TQ_MIOCONNECTIONPORT, TQ_CONNECTIONPORT)

MORVANE_MULTIPORT_CLASSES(MORVANE_MULTIPORT_CLASS)
