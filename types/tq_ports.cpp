#include "types/tq_ports.h"

MORVANE_GENERATED_CLASS_DEFINITION(TQ_CONTROLPORT, TQ_PortTypeEx, "Port CONTROLPORT\tV7.1");

MORVANE_GENERATED_CLASS_DEFINITION(TQ_GENERICPORT, TQ_PortTypeEx, "Port GENERICPORT\tV7.1");

TQ_COMPONENTLISTNAME* TQ_GENERICPORT::ComponentList() { return &COMPONENTLIST; }
TQ_VarParamProp* TQ_GENERICPORT::IsConnected() { return &ISCONNECTED; }

void TQ_GENERICPORT::RegisterProperties() {
  Register(ISCONNECTED, "ISCONNECTED");
  Register(ISLINKED, "ISLINKED");
  Register(COMPONENTLIST, "COMPONENTLIST");
}

MORVANE_GENERATED_CLASS_DEFINITION(TQ_CONNECTIONPORT, TQ_PortTypeEx, "Port CONNECTIONPORT\tV7.1");

#define MORVANE_MULTIPORT_CLASS_DEFINITION(NAME, PORT) \
  NAME::NAME() = default;                              \
  NAME& NAME::operator=(const NAME& other) {           \
    TQ_MULTIPORT<PORT>::operator=(other);              \
    return *this;                                      \
  }                                                    \
  NAME::~NAME() = default;                             \
  NAME& NAME::operator*() { return *this; }

MORVANE_MULTIPORT_CLASSES(MORVANE_MULTIPORT_CLASS_DEFINITION)
