#include "tq_message_log.h"

namespace {
constexpr const char* kOutOfMemory = "out of memory";
}  // namespace

void TQ_MessageLog::Report(const char* message) noexcept {
  try {
    if (errors_.capacity() < errors_.size() + 2) errors_.reserve(2 * errors_.size() + 8);
    errors_.emplace_back(message);
    return;
  } catch (...) {
  }
  if (errors_.size() < errors_.capacity() && (errors_.empty() || errors_.back() != kOutOfMemory))
    errors_.emplace_back(kOutOfMemory);
}
