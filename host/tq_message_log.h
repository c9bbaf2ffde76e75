// The executive's messages (what failed, and why) and its record of the
// values the library handed over. Part of the executive, which owns both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "tq_held.h"
#include "tq_object.h"

// The messages. Reporting never fails: a message that cannot be stored for
// want of memory leaves "out of memory" in its place.
//
// A cause is given once and a repeated message a bounded number of times:
// - while a model's call runs (SetSpeaker), a message whose cause (its text up
//   to the first "; ") the same model gave already in this cycle is not
//   given again;
// - messages of one form (the same text but for its numbers, as "#", and the
//   names of objects it quotes, as "@", each with the rest of a property path
//   it starts: "domain @, section #", "@ is fixed") beyond the first
//   kShownPerForm are counted, not kept, and one line where the first was
//   left out says how many more of that form there were;
// - beyond kMostKept messages the log keeps none, and one line says how many
//   more there were. A message longer than kMostMessageBytes is cut short.
// So the log's memory stays bounded whatever the models report. A message is
// kept as TQ_PrintableText gives it: one line, its control characters escaped.
class VEKEXP_API TQ_MessageLog {
 public:
  static constexpr int kShownPerForm = 10;
  static constexpr std::size_t kMostKept = 1000;
  static constexpr std::size_t kMostMessageBytes = 4096;

  TQ_MessageLog() { errors_.reserve(8); }
  TQ_MessageLog(const TQ_MessageLog&) = delete;
  TQ_MessageLog& operator=(const TQ_MessageLog&) = delete;

  // Tells whether a word of a message (a run of letters, digits and '_') is
  // the name of an object; `context` is given back to it. Without one no word
  // is a name.
  using NameTest = bool (*)(const void* context, std::string_view word);
  void SetNameTest(NameTest test, const void* context) noexcept {
    nameTest_ = test;
    nameContext_ = context;
  }

  void Report(const char* message) noexcept;
  void Report(const std::string& message) noexcept { Report(message.c_str()); }
  // The messages, with the counts of those left out brought up to date.
  const std::vector<std::string>& Errors() const;
  // Forgets every message, and what was said in the cycle.
  void Clear() noexcept;

  // A new model cycle: the causes given so far no longer hide a message.
  void BeginCycle() noexcept;
  // The model whose call runs now, null for none: what is reported meanwhile
  // the model says.
  void SetSpeaker(const void* model) noexcept { speaker_ = model; }
  // Whether `model` reported anything in this cycle (a message not given
  // again counts).
  bool HasSpoken(const void* model) const noexcept;

 private:
  // A form of message some of whose messages were left out, and the line
  // that says how many.
  struct Omitted {
    std::size_t line;     // into errors_
    std::uint64_t count;  // messages left out
    std::string form;     // the text as its form; empty: not a form (the log is full)
  };
  // How many messages of a form were given, and its Omitted entry, if any.
  struct Form {
    int given = 0;
    int omitted = -1;  // into omitted_
  };

  // Stores `text` as a new line; false when memory ran out.
  bool Keep(std::string_view text) noexcept;
  // Counts a message left out under `entry` (an index into omitted_, -1 for
  // none yet, then set), with `form` its text; a new entry takes a line.
  void Omit(int& entry, std::string_view form) noexcept;
  static std::string LineOf(const Omitted& omitted);
  // The form of a message: its hash, and its text for the line that counts those left out.
  std::uint64_t FormHash(std::string_view text) const;
  std::string FormText(std::string_view text) const;
  // Stores "out of memory" in the room always left for one more line.
  void KeepOutOfMemory() noexcept;

  // There is always room for one more entry, and when a message cannot be
  // stored (memory ran out) a fixed one takes that room, whose text is short
  // enough to need no memory of its own: a failure is never lost, and
  // reporting it never fails.
  mutable std::vector<std::string> errors_;
  std::vector<Omitted> omitted_;
  mutable bool omittedChanged_ = false;
  int overflow_ = -1;  // into omitted_: the messages left out once the log is full
  std::size_t kept_ = 0;
  // Counted in what the host holds, with the lines left out (the lines kept
  // are few: kMostKept at most).
  std::unordered_map<std::uint64_t,
                     Form,
                     std::hash<std::uint64_t>,
                     std::equal_to<>,
                     TQ_HeldAllocator<std::pair<const std::uint64_t, Form>>>
      forms_;
  // The causes given in this cycle, by model, and the models that spoke.
  TQ_HeldSet<std::uint64_t> causes_;
  TQ_HeldSet<const void*> spoken_;
  const void* speaker_ = nullptr;
  NameTest nameTest_ = nullptr;
  const void* nameContext_ = nullptr;
};

// A text as a message line shows it: every control character (those below a space, DEL, and
// U+0080 to U+009F) as "\u" and four hexadecimal digits ("\u000a", "\u001b", "\u007f"), as a
// NUL is shown, and a byte that is no part of valid UTF-8 as "\x" and two ("\xff"); everything
// else, valid UTF-8 included, as it is. So a message is one line whatever it quotes, and what it
// quotes cannot act on a terminal.
VEKEXP_API std::string TQ_PrintableText(std::string_view text);
// Whether TQ_PrintableText gives the text as it is.
VEKEXP_API bool TQ_IsPrintableText(std::string_view text) noexcept;

// Characters of a text that may hold any bytes: a valid UTF-8 sequence is one character, and so is
// a byte of none. A text cut for a message is cut between characters, never inside one.
// Whether every byte of the text belongs to a valid UTF-8 sequence.
VEKEXP_API bool TQ_IsUtf8Text(std::string_view text) noexcept;
// The number of characters of the text.
VEKEXP_API std::size_t TQ_CharacterCount(std::string_view text) noexcept;
// The bytes that the first `count` characters of the text take (all of it when it holds fewer).
VEKEXP_API std::size_t TQ_CharactersBytes(std::string_view text, std::size_t count) noexcept;
// The bytes of the longest start of the text that ends between characters and takes no more than
// `most` bytes.
VEKEXP_API std::size_t TQ_BytesWithin(std::string_view text, std::size_t most) noexcept;

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
