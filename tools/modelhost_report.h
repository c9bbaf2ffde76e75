// modelhost's reports of a run: the text and the JSON lines, each written as
// it is made, and what both share.
#pragma once

#include <iosfwd>
#include <string>

#include "host/tq_executive.h"
#include "modelhost_run.h"

namespace modelhost {

// Sets are listed member by member up to this many members. A larger one (bad input can make a
// range of two thousand million nodes) is written by its runs of consecutive members, so that the
// report grows with the runs, not the members: an integer set as "{1,...,5,9,...,2147483647}
// (2147483644 members)" in text and {"size","first","last","runs":[[lo,hi],...]} in JSON, "runs"
// given when there is more than one (a single run is its first and last members); a set of texts
// by its size and its first and last members.
constexpr int kMostListedMembers = 100000;

// A set as text: "{1,2,3}", or for a large one its runs, "{1,...,5,9,...,2147483647} (2147483644
// members)", a run of one member written as that member.
std::string SetText(const SUValue& set);

// The number of equation groups the declared equations use.
int GroupsUsed(const TQ_Executive& host);

// The report of the run, written as it is produced; with `summaryOnly` only its summary (the
// first line of the text, the last line of the JSON lines).
void WriteText(std::ostream& out, bool summaryOnly = false);
void WriteJsonLines(std::ostream& out, const Run& run, bool summaryOnly = false);

}  // namespace modelhost
