// modelhost's reports of a run: the text and the JSON lines, each written as
// it is made, and what both share.
#pragma once

#include <iosfwd>
#include <new>
#include <string>
#include <utility>

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

// What the report keeps while it is written (its tables of what it has visited, of each
// object's equations) is counted in what the host holds and admitted by the size budget before it
// is made: with the models' elements and equations it stays within the budget. This asks for
// `bytes` more, `size` saying what for; when they would not fit, ReportRefused is thrown with the
// refusal, which ends the report as memory that ran out does (it is a std::bad_alloc), and its
// writer gives the refusal in place of running out of memory.
struct ReportRefused : std::bad_alloc {
  explicit ReportRefused(std::string refusal) : why(std::move(refusal)) {}
  const char* what() const noexcept override { return why.c_str(); }
  std::string why;
};
void AdmitForReport(const std::string& size, double bytes);

// The number of equation groups the declared equations use.
int GroupsUsed(const TQ_Executive& host);

// The report of the run, written as it is produced; with `summaryOnly` only its summary (the
// first line of the text, the last line of the JSON lines).
void WriteText(std::ostream& out, bool summaryOnly = false);
void WriteJsonLines(std::ostream& out, const Run& run, bool summaryOnly = false);

}  // namespace modelhost
