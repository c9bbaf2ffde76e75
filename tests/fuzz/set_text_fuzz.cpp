// Fuzz target: a set read from text, as an integer set ("1,4,5") and as a
// string set ("BFD1\"BFD2\""). Whatever the text, each set must come out
// ordered, without repeats, find each of its members where it stands, and
// equal itself under union and intersection; the integer set must read back
// from its own text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/vekexp.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckSet(const SUValue& set) {
  const int size = set.SetSize();
  Check(size >= 0);
  for (int p = 0; p < size; ++p) {
    int position = -1;
    if (set.HoldsStrings()) {
      const char* member = set.StringAt(p);
      Check(member != nullptr);
      Check(std::strchr(member, '"') == nullptr);
      Check(set.SetContains(member, position) == 1 && position == p);
      if (p > 0) Check(std::strcmp(set.StringAt(p - 1), member) < 0);
    } else {
      const int member = set.IntegerAt(p);
      Check(set.SetContains(member, position) == 1 && position == p);
      if (p > 0) Check(set.IntegerAt(p - 1) < member);
    }
  }
  TQ_SetValue joined(set);
  joined += set;
  Check(joined == set);
  TQ_SetValue met(set);
  met *= set;
  Check(met == set);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The constructors take a NUL-terminated text: the input up to its first NUL.
  const std::string text(reinterpret_cast<const char*>(data), size);
  const TQ_IntSetValue integers(text.c_str());
  CheckSet(integers);
  Check(TQ_IntSetValue(integers.ToString().c_str()) == integers);
  const TQ_StrSetValue strings(text.c_str());
  CheckSet(strings);
  return 0;
}
