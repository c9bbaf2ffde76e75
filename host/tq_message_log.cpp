#include "tq_message_log.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {
constexpr const char* kOutOfMemory = "out of memory";

// FNV-1a, a byte at a time.
constexpr std::uint64_t kHashStart = 14695981039346656037u;
constexpr std::uint64_t kHashStep = 1099511628211u;
std::uint64_t HashByte(std::uint64_t hash, unsigned char byte) { return (hash ^ byte) * kHashStep; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsWordCharacter(char c) { return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

// The end of the property path that a name ending at `at` starts: ".NAME" and "(keys)" written
// on to it ("X.SECTION(2).BASE", "D.VALUE(1,2)"); `at` when there is none.
std::size_t PathEnd(std::string_view text, std::size_t at) {
  for (;;) {
    if (at + 1 < text.size() && text[at] == '.' && IsWordCharacter(text[at + 1])) {
      for (++at; at < text.size() && IsWordCharacter(text[at]);) ++at;
    } else if (at < text.size() && text[at] == '(') {
      // Keys hold no space: "X (XDOMAIN)" is a name and a word in parentheses.
      std::size_t close = at + 1;
      while (close < text.size() && text[close] != ')' && text[close] != ' ') ++close;
      if (close == text.size() || text[close] != ')') return at;
      at = close + 1;
    } else {
      return at;
    }
  }
}

// Gives `emit` the characters of the form of a message: its text with each run of digits as one
// "#", and each word that `isName` takes for the name of an object, with the rest of a property
// path it starts, as one "@".
template <typename Emit>
void EmitForm(std::string_view text, TQ_MessageLog::NameTest isName, const void* context, const Emit& emit) {
  for (std::size_t k = 0; k < text.size();) {
    if (!IsWordCharacter(text[k])) {
      emit(text[k++]);
      continue;
    }
    std::size_t end = k;
    while (end < text.size() && IsWordCharacter(text[end])) ++end;
    if (isName != nullptr && isName(context, text.substr(k, end - k))) {
      emit('@');
      k = PathEnd(text, end);
      continue;
    }
    for (; k < end; ++k) {
      if (IsDigit(text[k])) {
        while (k + 1 < end && IsDigit(text[k + 1])) ++k;
        emit('#');
      } else {
        emit(text[k]);
      }
    }
  }
}

// The cause of a message (its text up to the first "; "), as `model` gave it.
std::uint64_t CauseHash(const void* model, std::string_view text) {
  const std::size_t end = text.find("; ");
  const std::string_view cause = text.substr(0, end);
  std::uint64_t hash = kHashStart;
  const auto address = reinterpret_cast<std::uintptr_t>(model);
  for (std::size_t b = 0; b < sizeof address; ++b)
    hash = HashByte(hash, static_cast<unsigned char>(address >> (8 * b)));
  for (char c : cause) hash = HashByte(hash, static_cast<unsigned char>(c));
  return hash;
}
}  // namespace

std::uint64_t TQ_MessageLog::FormHash(std::string_view text) const {
  std::uint64_t hash = kHashStart;
  EmitForm(text, nameTest_, nameContext_, [&hash](char c) { hash = HashByte(hash, static_cast<unsigned char>(c)); });
  return hash;
}

std::string TQ_MessageLog::FormText(std::string_view text) const {
  std::string form;
  form.reserve(text.size());
  EmitForm(text, nameTest_, nameContext_, [&form](char c) { form += c; });
  return TQ_IsPrintableText(form) ? form : TQ_PrintableText(form);
}

void TQ_MessageLog::KeepOutOfMemory() noexcept {
  if (errors_.size() < errors_.capacity() && (errors_.empty() || errors_.back() != kOutOfMemory))
    errors_.emplace_back(kOutOfMemory);
}

bool TQ_MessageLog::Keep(std::string_view given) noexcept {
  try {
    if (errors_.capacity() < errors_.size() + 2) errors_.reserve(2 * errors_.size() + 8);
    std::string shown;
    std::string_view text = given;
    if (!TQ_IsPrintableText(given)) {
      shown = TQ_PrintableText(given);
      text = shown;
    }
    if (text.size() > kMostMessageBytes) {
      // Cut between characters: a UTF-8 sequence is kept whole or left out.
      std::string cut(text.substr(0, TQ_BytesWithin(text, kMostMessageBytes)));
      cut += " [cut short]";
      errors_.push_back(std::move(cut));
    } else {
      errors_.emplace_back(text);
    }
    return true;
  } catch (...) {
    KeepOutOfMemory();
    return false;
  }
}

std::string TQ_MessageLog::LineOf(const Omitted& omitted) {
  if (omitted.form.empty())
    return std::to_string(omitted.count) + " more messages were left out (no more than " + std::to_string(kMostKept) +
           " are kept)";
  return std::to_string(omitted.count) + " more messages of the form \"" + omitted.form + "\" were left out";
}

void TQ_MessageLog::Omit(int& entry, std::string_view form) noexcept {
  if (entry >= 0) {
    ++omitted_[static_cast<std::size_t>(entry)].count;
    omittedChanged_ = true;
    return;
  }
  try {
    Omitted omitted{errors_.size(), 1, form.empty() ? std::string() : FormText(form)};
    if (omitted.form.size() > kMostMessageBytes) omitted.form.resize(TQ_BytesWithin(omitted.form, kMostMessageBytes));
    omitted_.reserve(omitted_.size() + 1);
    if (!Keep(LineOf(omitted))) return;
    omitted_.push_back(std::move(omitted));
    entry = static_cast<int>(omitted_.size() - 1);
  } catch (...) {
    KeepOutOfMemory();
  }
}

void TQ_MessageLog::Report(const char* message) noexcept {
  const std::string_view text(message != nullptr ? message : "");
  try {
    // The cause is remembered only with a message kept: the table stays as small as the log.
    std::uint64_t cause = 0;
    if (speaker_ != nullptr) {
      spoken_.insert(speaker_);
      cause = CauseHash(speaker_, text);
      if (causes_.find(cause) != causes_.end()) return;
    }
    if (kept_ >= kMostKept) return Omit(overflow_, {});
    Form& form = forms_[FormHash(text)];
    if (form.given >= kShownPerForm) return Omit(form.omitted, text);
    if (!Keep(text)) return;
    ++form.given;
    ++kept_;
    if (speaker_ != nullptr) causes_.insert(cause);
  } catch (...) {
    // The tables could not grow: the message is kept all the same.
    if (Keep(text)) ++kept_;
  }
}

const std::vector<std::string>& TQ_MessageLog::Errors() const {
  if (omittedChanged_) {
    try {
      for (const Omitted& o : omitted_) errors_[o.line] = LineOf(o);
      omittedChanged_ = false;
    } catch (...) {
      // The lines keep the counts they had.
    }
  }
  return errors_;
}

void TQ_MessageLog::Clear() noexcept {
  errors_.clear();
  omitted_.clear();
  omittedChanged_ = false;
  overflow_ = -1;
  kept_ = 0;
  forms_.clear();
  BeginCycle();
}

void TQ_MessageLog::BeginCycle() noexcept {
  causes_.clear();
  spoken_.clear();
  speaker_ = nullptr;
}

bool TQ_MessageLog::HasSpoken(const void* model) const noexcept { return spoken_.find(model) != spoken_.end(); }

namespace {
// The length of the valid UTF-8 sequence that starts at `at` (its first byte from 0x80 on), 0
// when none does: no overlong form, no surrogate, nothing beyond U+10FFFF.
std::size_t Utf8Length(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
  const unsigned lead = byte(at);
  const auto continues = [&](std::size_t k, unsigned low, unsigned high) { return byte(k) >= low && byte(k) <= high; };
  if (lead >= 0xC2 && lead <= 0xDF) return continues(at + 1, 0x80, 0xBF) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    const unsigned low = lead == 0xE0 ? 0xA0 : 0x80;
    const unsigned high = lead == 0xED ? 0x9F : 0xBF;
    return continues(at + 1, low, high) && continues(at + 2, 0x80, 0xBF) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    const unsigned low = lead == 0xF0 ? 0x90 : 0x80;
    const unsigned high = lead == 0xF4 ? 0x8F : 0xBF;
    return continues(at + 1, low, high) && continues(at + 2, 0x80, 0xBF) && continues(at + 3, 0x80, 0xBF) ? 4 : 0;
  }
  return 0;
}

// Whether the character at `at`, `length` bytes long, is written other than as it is: a control
// character (C0, DEL, or C1 as U+0080 to U+009F encode: 0xC2 0x80 to 0xC2 0x9F) or a byte of no
// valid sequence (length 0).
bool NeedsEscape(std::string_view text, std::size_t at, std::size_t length) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return lead < 0x20 || lead == 0x7F;
  return length == 0 || (lead == 0xC2 && static_cast<unsigned char>(text[at + 1]) <= 0x9F);
}

std::size_t CharacterLength(std::string_view text, std::size_t at) {
  return static_cast<unsigned char>(text[at]) < 0x80 ? 1 : Utf8Length(text, at);
}
}  // namespace

bool TQ_IsPrintableText(std::string_view text) noexcept {
  for (std::size_t k = 0; k < text.size();) {
    const std::size_t length = CharacterLength(text, k);
    if (NeedsEscape(text, k, length)) return false;
    k += length;
  }
  return true;
}

bool TQ_IsUtf8Text(std::string_view text) noexcept {
  for (std::size_t k = 0; k < text.size();) {
    const std::size_t length = CharacterLength(text, k);
    if (length == 0) return false;
    k += length;
  }
  return true;
}

namespace {
// Walks the characters of a text (a byte of no valid sequence counts as one) until `count` of them
// or the first that would end beyond `most` bytes; the bytes walked and the characters counted.
std::pair<std::size_t, std::size_t> WalkCharacters(std::string_view text, std::size_t count, std::size_t most) {
  std::size_t bytes = 0;
  std::size_t characters = 0;
  while (bytes < text.size() && characters < count) {
    const std::size_t length = std::max<std::size_t>(CharacterLength(text, bytes), 1);
    if (bytes + length > most) break;
    bytes += length;
    ++characters;
  }
  return {bytes, characters};
}
}  // namespace

std::size_t TQ_CharacterCount(std::string_view text) noexcept {
  return WalkCharacters(text, text.size(), text.size()).second;
}

std::size_t TQ_CharactersBytes(std::string_view text, std::size_t count) noexcept {
  return WalkCharacters(text, count, text.size()).first;
}

std::size_t TQ_BytesWithin(std::string_view text, std::size_t most) noexcept {
  return WalkCharacters(text, text.size(), most).first;
}

std::string TQ_PrintableText(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string shown;
  shown.reserve(text.size() + 16);
  for (std::size_t k = 0; k < text.size();) {
    const std::size_t length = CharacterLength(text, k);
    if (!NeedsEscape(text, k, length)) {
      shown.append(text.substr(k, length));
      k += length;
      continue;
    }
    // A control character by its code point, a stray byte by its value.
    unsigned value = static_cast<unsigned char>(text[k]);
    if (length == 2) value = static_cast<unsigned char>(text[k + 1]);  // 0xC2 0x80-0x9F: U+0080-U+009F
    shown += length == 0 ? "\\x" : "\\u00";
    shown += kHex[value >> 4];
    shown += kHex[value & 0xF];
    k += length == 0 ? 1 : length;
  }
  return shown;
}
