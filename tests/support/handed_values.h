// The values a model handed to the host, as the executive's log keeps them:
// index-set initialisations and assignments, in order.
#pragma once

#include <vector>

#include "host/tq_executive.h"
#include "host/vekexp.h"

struct Handed {
  bool indexSet;
  const TQ_Containable* target;
  int number;
  int sweep;
  TQ_Value value;
  TQ_AssignStatus status;
};

inline Handed HandedFrom(const TQ_LogEntry& entry) {
  return Handed{
      entry.kind == TQ_LogEntry::IndexSet, entry.target, entry.value.Number(), entry.sweep, entry.value, entry.status};
}
