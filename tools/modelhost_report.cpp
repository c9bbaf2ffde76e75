#include "modelhost_report.h"

#include <iostream>
#include <new>
#include <unordered_set>

#include "host/vekexp.h"

namespace modelhost {

namespace {
std::string MemberText(const SUValue& set, int position) {
  return set.HoldsStrings() ? "\"" + std::string(set.StringAt(position)) + "\""
                            : std::to_string(set.IntegerAt(position));
}

}  // namespace

// A set as text: "{1,2,3}", or for a large one its runs, "{1,...,5,9,...,2147483647} (2147483644
// members)", a run of one member written as that member.
std::string SetText(const SUValue& set) {
  const int size = set.SetSize();
  if (size <= kMostListedMembers) return set.ToString();
  std::string text = "{";
  if (set.HoldsStrings()) {
    text += MemberText(set, 0) + ",...," + MemberText(set, size - 1);
  } else {
    for (int r = 0; r < set.RunCount(); ++r) {
      int lo = 0, hi = 0;
      set.RunAt(r, lo, hi);
      if (r > 0) text += ',';
      text += std::to_string(lo);
      if (hi != lo) text += (hi == lo + 1 ? "," : ",...,") + std::to_string(hi);
    }
  }
  return text + "} (" + std::to_string(size) + " members)";
}

void AdmitForReport(const std::string& size, double bytes) {
  std::string why;
  if (TQ_SizeBudget::AdmitBytes("the report", size.c_str(), bytes, &why)) return;
  throw ReportRefused(why);
}

int GroupsUsed(const TQ_Executive& host) {
  std::unordered_set<int> groups;
  int last = 0;
  for (const TQ_DeclaredEquation& e : host.Declared()) {
    if (!groups.empty() && e.group == last) continue;
    groups.insert(e.group);
    last = e.group;
  }
  return static_cast<int>(groups.size());
}

}  // namespace modelhost
