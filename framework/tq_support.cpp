#include "framework/tq_support.h"

#include <cstdio>

TQ_ArrayElementError::TQ_ArrayElementError(const char* what) : std::runtime_error(what) {}
TQ_ArrayElementError::~TQ_ArrayElementError() = default;

namespace morvane {

namespace {
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

const char* NameOf(const TQ_Containable& item) {
  const char* name = item.Name();
  return name != nullptr && *name != 0 ? name : "(unnamed)";
}
}  // namespace

bool EqualIgnoringCase(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return a == b;
  for (; *a != 0 && *b != 0; ++a, ++b)
    if (Lower(*a) != Lower(*b)) return false;
  return *a == *b;
}

void ThrowLinkError(const TQ_Containable& via, const char* what) {
  char message[320];
  if (via.Owner() != nullptr)
    std::snprintf(message, sizeof message, "%s.%s %s", NameOf(*via.Owner()), NameOf(via), what);
  else
    std::snprintf(message, sizeof message, "%s %s", NameOf(via), what);
  throw TQ_LinkError(message);
}

void ThrowMissingElement(const TQ_Containable& array) {
  char message[256];
  std::snprintf(message, sizeof message, "array %s: the element could not be made (allocation refused)", NameOf(array));
  throw TQ_ArrayElementError(message);
}

}  // namespace morvane
