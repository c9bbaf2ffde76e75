// The executive's messages (what failed, and why) and its record of the
// values the library handed over. Part of the executive, which owns both.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tq_object.h"

// The messages. Reporting never fails: a message that cannot be stored for
// want of memory leaves "out of memory" in its place.
class TQ_MessageLog {
 public:
  TQ_MessageLog() { errors_.reserve(8); }
  TQ_MessageLog(const TQ_MessageLog&) = delete;
  TQ_MessageLog& operator=(const TQ_MessageLog&) = delete;

  void Report(const char* message) noexcept;
  void Report(const std::string& message) noexcept { Report(message.c_str()); }
  const std::vector<std::string>& Errors() const { return errors_; }
  void Clear() noexcept { errors_.clear(); }

 private:
  // There is always room for one more entry, and when a message cannot be
  // stored (memory ran out) a fixed one takes that room, whose text is short
  // enough to need no memory of its own: a failure is never lost, and
  // reporting it never fails.
  std::vector<std::string> errors_;
};

// One value the library handed to the host, for tests.
struct TQ_LogEntry {
  enum Kind : std::uint8_t { Assignment, IndexSet };
  Kind kind;
  const TQ_Containable* target;
  TQ_Value value;
  int sweep;  // index sets only
  TQ_AssignStatus status;
};

// The record of values handed over; it records only while enabled.
class TQ_ValueRecord {
 public:
  void Enable(bool on) { on_ = on; }
  bool Enabled() const { return on_; }
  const std::vector<TQ_LogEntry>& Entries() const { return entries_; }
  void Clear() { entries_.clear(); }
  void Assignment(const TQ_Containable* target, const TQ_Value& value, TQ_AssignStatus status) {
    if (on_) entries_.push_back(TQ_LogEntry{TQ_LogEntry::Assignment, target, value, 0, status});
  }
  void IndexSet(const TQ_Containable* target, const TQ_Value& value, int sweep, TQ_AssignStatus status) {
    if (on_) entries_.push_back(TQ_LogEntry{TQ_LogEntry::IndexSet, target, value, sweep, status});
  }

 private:
  bool on_ = false;
  std::vector<TQ_LogEntry> entries_;
};
