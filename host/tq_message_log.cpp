#include "tq_message_log.h"

#include <cstring>

namespace {
constexpr const char* kOutOfMemory = "out of memory";

// FNV-1a, a byte at a time.
constexpr std::uint64_t kHashStart = 14695981039346656037u;
constexpr std::uint64_t kHashStep = 1099511628211u;
std::uint64_t HashByte(std::uint64_t hash, unsigned char byte) { return (hash ^ byte) * kHashStep; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The form of a message: its text with each run of digits as one "#".
std::uint64_t FormHash(std::string_view text) {
  std::uint64_t hash = kHashStart;
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (IsDigit(text[k])) {
      while (k + 1 < text.size() && IsDigit(text[k + 1])) ++k;
      hash = HashByte(hash, '#');
    } else {
      hash = HashByte(hash, static_cast<unsigned char>(text[k]));
    }
  }
  return hash;
}

std::string FormText(std::string_view text) {
  std::string form;
  form.reserve(text.size());
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (IsDigit(text[k])) {
      while (k + 1 < text.size() && IsDigit(text[k + 1])) ++k;
      form += '#';
    } else {
      form += text[k];
    }
  }
  return form;
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

void TQ_MessageLog::KeepOutOfMemory() noexcept {
  if (errors_.size() < errors_.capacity() && (errors_.empty() || errors_.back() != kOutOfMemory))
    errors_.emplace_back(kOutOfMemory);
}

bool TQ_MessageLog::Keep(std::string_view text) noexcept {
  try {
    if (errors_.capacity() < errors_.size() + 2) errors_.reserve(2 * errors_.size() + 8);
    if (text.size() > kMostMessageBytes) {
      std::string cut(text.substr(0, kMostMessageBytes));
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
    if (omitted.form.size() > kMostMessageBytes) omitted.form.resize(kMostMessageBytes);
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
