// The generic model, structure, stream, control-signal and connection types:
// creatable building blocks without equations.
#pragma once

#include "framework/morvane_api.h"
#include "framework/tq_generated.h"
#include "types/tq_ports.h"
#include "host/vekexp.h"

// A general-purpose model: user notes, a component list and a control input
// and output. The base of the section model.
class MORVANE_API TQ_GENERICMODEL : public TQ_Generated<TQ_GENERICMODEL, TQ_ModelTypeEx2> {
  MORVANE_GENERATED_CLASS(TQ_GENERICMODEL)

 public:
  TQ_COMPONENTLISTNAME* ComponentList() override;
  void RegisterProperties();

  TQ_STRINGPARAMETER USERNOTES{true};
  TQ_COMPONENTLISTNAME COMPONENTLIST;
  TQ_CONTROLPORT INPUTSIGNAL{true};
  TQ_CONTROLPORT OUTPUTSIGNAL{true};

  MORVANE_GENERATED_COUNTERS
};

// A general-purpose structure: user notes and a component list.
class MORVANE_API TQ_GENERICSTRUCTURE : public TQ_Generated<TQ_GENERICSTRUCTURE, TQ_StructureTypeEx> {
  MORVANE_GENERATED_CLASS(TQ_GENERICSTRUCTURE)

 public:
  TQ_COMPONENTLISTNAME* ComponentList() override;
  void RegisterProperties();

  TQ_STRINGPARAMETER USERNOTES{true};
  TQ_COMPONENTLISTNAME COMPONENTLIST;

  MORVANE_GENERATED_COUNTERS
};

// A stream: user notes, a component list (which the host answers for) and
// two pairs of control ports.
class MORVANE_API TQ_GENERICSTREAM : public TQ_Generated<TQ_GENERICSTREAM, TQ_ModelTypeEx2> {
  MORVANE_GENERATED_CLASS(TQ_GENERICSTREAM)

 public:
  void RegisterProperties();

  TQ_STRINGPARAMETER USERNOTES{true};
  TQ_COMPONENTLISTNAME COMPONENTLIST;
  TQ_CONTROLPORT TQ_UNCONNECTABLEINPUT{true};
  TQ_CONTROLPORT TQ_UNCONNECTABLEOUTPUT{true};
  TQ_CONTROLPORT INPUTSIGNAL{true};
  TQ_CONTROLPORT OUTPUTSIGNAL{true};

  MORVANE_GENERATED_COUNTERS
};

// A control signal from a SOURCE control port to a DEST control port.
class MORVANE_API TQ_GENERICCONTROLSIGNAL : public TQ_Generated<TQ_GENERICCONTROLSIGNAL, TQ_ModelTypeEx2> {
  MORVANE_GENERATED_CLASS(TQ_GENERICCONTROLSIGNAL)

 public:
  void RegisterProperties();

  TQ_STRINGPARAMETER USERNOTES{true};
  TQ_CONTROLPORT SOURCE{true};
  TQ_CONTROLPORT DEST{true};

  MORVANE_GENERATED_COUNTERS
};

class MORVANE_API TQ_CONTROLSIGNAL : public TQ_Generated<TQ_CONTROLSIGNAL, TQ_GENERICCONTROLSIGNAL> {
  MORVANE_GENERATED_CLASS(TQ_CONTROLSIGNAL)

  MORVANE_GENERATED_COUNTERS
};

// A connection from a SOURCE connection port to a DEST connection port.
class MORVANE_API TQ_GENERICCONNECTION : public TQ_Generated<TQ_GENERICCONNECTION, TQ_ModelTypeEx2> {
  MORVANE_GENERATED_CLASS(TQ_GENERICCONNECTION)

 public:
  void RegisterProperties();

  TQ_STRINGPARAMETER USERNOTES{true};
  TQ_CONNECTIONPORT SOURCE{true};
  TQ_CONNECTIONPORT DEST{true};

  MORVANE_GENERATED_COUNTERS
};

class MORVANE_API TQ_CONNECTION : public TQ_Generated<TQ_CONNECTION, TQ_GENERICCONNECTION> {
  MORVANE_GENERATED_CLASS(TQ_CONNECTION)

  MORVANE_GENERATED_COUNTERS
};
