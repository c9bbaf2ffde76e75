// The host's sets: the integer and text sets of SUValue with their kinds, and the iterators that
// walk them.
#include "tq_values.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tq_executive.h"
#include "tq_held.h"

// Integer members are kept as sorted, disjoint, non-adjacent runs [lo, hi],
// with the count of members before each run, so that a range of any length
// costs one run and finding a member's position is a binary search over runs.
// Positions are ints: a set never holds more than INT_MAX members, and an
// addition that would make it larger is refused with an error.
//
// Members added one at a time in ascending order go straight to their place
// at the end. Members added out of order wait, unsorted, until the set is
// next read or they are as many as the members in place (Settle): then they
// are sorted and merged in at once, so that a set built member by member in
// any order costs time in proportion to its members (and their logarithm),
// not to their number times the set's size.
struct SUValue::Impl {
  struct Run {
    int lo;
    int hi;
    int before;  // members in the runs before this one
  };
  // Members out of order up to this many are placed one by one, more are merged.
  static constexpr std::size_t kPlacedOneByOne = 8;

  unsigned short type = TQ_SET_ANY;
  bool strings = false;
  TQ_HeldVector<Run> runs;
  TQ_HeldVector<TQ_HeldString> texts;
  // Members added out of order, not yet in place.
  TQ_HeldVector<int> laterInts;
  TQ_HeldVector<TQ_HeldString> laterTexts;

  // The members in place and those still to be placed (which may repeat); for the checks of
  // INT_MAX only.
  long long Bound() const {
    long long members = laterInts.size();
    if (!runs.empty()) members += static_cast<long long>(runs.back().before) + (runs.back().hi - runs.back().lo + 1);
    return members;
  }

  int Size() const {
    if (strings) return static_cast<int>(texts.size());
    if (runs.empty()) return 0;
    const Run& last = runs.back();
    return last.before + (last.hi - last.lo + 1);
  }

  void Renumber(std::size_t from) {
    int before = from == 0 ? 0 : runs[from - 1].before + (runs[from - 1].hi - runs[from - 1].lo + 1);
    for (std::size_t r = from; r < runs.size(); ++r) {
      runs[r].before = before;
      before += runs[r].hi - runs[r].lo + 1;
    }
  }

  // Index of the first run whose hi >= value.
  std::size_t RunAtOrAfter(int value) const {
    std::size_t lo = 0, hi = runs.size();
    while (lo < hi) {
      std::size_t mid = (lo + hi) / 2;
      if (runs[mid].hi < value)
        lo = mid + 1;
      else
        hi = mid;
    }
    return lo;
  }

  bool ContainsInt(int value, int& position) const {
    // One run (a range, as most index sets are): the position is the offset.
    if (runs.size() == 1 && value >= runs[0].lo && value <= runs[0].hi) {
      position = value - runs[0].lo;
      return true;
    }
    std::size_t r = RunAtOrAfter(value);
    if (r == runs.size()) {
      position = Size();
      return false;
    }
    if (value >= runs[r].lo) {
      position = runs[r].before + (value - runs[r].lo);
      return true;
    }
    position = runs[r].before;
    return false;
  }

  // The runs of `a` and `b` together (each sorted, disjoint and non-adjacent), in `out`; false
  // when they hold more than INT_MAX members.
  static bool UniteRuns(const TQ_HeldVector<Run>& a, const TQ_HeldVector<Run>& b, TQ_HeldVector<Run>& out) {
    out.clear();
    out.reserve(a.size() + b.size());
    std::size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
      const Run& next = j == b.size() || (i < a.size() && a[i].lo < b[j].lo) ? a[i++] : b[j++];
      if (!out.empty() && static_cast<long long>(out.back().hi) + 1 >= next.lo) {
        if (next.hi > out.back().hi) out.back().hi = next.hi;
      } else {
        out.push_back(Run{next.lo, next.hi, 0});
      }
    }
    long long total = 0;
    for (Run& run : out) {
      run.before = static_cast<int>(total < INT_MAX ? total : INT_MAX);
      total += static_cast<long long>(run.hi) - run.lo + 1;
    }
    return total <= INT_MAX;
  }

  // Places the members added out of order.
  void Settle() {
    // A few members each go to their place, moving only the runs or texts after it (a set read
    // after each member added out of order, usually near its end); more are merged in one pass.
    if (!laterInts.empty() && laterInts.size() <= kPlacedOneByOne) {
      for (int value : laterInts) InsertInt(value);
      laterInts.clear();
    }
    if (!laterTexts.empty() && laterTexts.size() <= kPlacedOneByOne) {
      for (const TQ_HeldString& text : laterTexts) {
        int position = 0;
        if (!ContainsText(text.c_str(), position)) texts.insert(texts.begin() + position, text);
      }
      laterTexts.clear();
    }
    if (!laterInts.empty()) {
      std::sort(laterInts.begin(), laterInts.end());
      TQ_HeldVector<Run> later;
      later.reserve(laterInts.size());
      for (int value : laterInts) {
        if (!later.empty() && later.back().hi != INT_MAX && later.back().hi + 1 >= value)
          later.back().hi = value;
        else
          later.push_back(Run{value, value, 0});
      }
      TQ_HeldVector<Run> united;
      // They fit: AddInt placed the members at once whenever they might not have.
      UniteRuns(runs, later, united);
      runs.swap(united);
      laterInts.clear();
    }
    if (!laterTexts.empty()) {
      const auto less = [](const TQ_HeldString& a, const TQ_HeldString& b) { return a < b; };
      std::sort(laterTexts.begin(), laterTexts.end(), less);
      TQ_HeldVector<TQ_HeldString> united;
      UniteTexts(texts, laterTexts, united);
      texts.swap(united);
      laterTexts.clear();
    }
  }

  // Places one member that the set may lack and can hold (it holds fewer than INT_MAX), joining
  // the runs it touches.
  void InsertInt(int value) {
    const std::size_t r = RunAtOrAfter(value);
    if (r < runs.size() && value >= runs[r].lo) return;  // present
    const bool joinsPrev = r > 0 && runs[r - 1].hi != INT_MAX && runs[r - 1].hi + 1 == value;
    const bool joinsNext = r < runs.size() && runs[r].lo != INT_MIN && runs[r].lo - 1 == value;
    if (joinsPrev && joinsNext) {
      runs[r - 1].hi = runs[r].hi;
      runs.erase(runs.begin() + static_cast<std::ptrdiff_t>(r));
      Renumber(r - 1);
    } else if (joinsPrev) {
      runs[r - 1].hi = value;
      Renumber(r - 1);
    } else if (joinsNext) {
      runs[r].lo = value;
      Renumber(r);
    } else {
      runs.insert(runs.begin() + static_cast<std::ptrdiff_t>(r), Run{value, value, 0});
      Renumber(r);
    }
  }

  // The texts of `a` and `b` together (each sorted; `b` may repeat), in `out`, each once.
  static void UniteTexts(TQ_HeldVector<TQ_HeldString>& a,
                         TQ_HeldVector<TQ_HeldString>& b,
                         TQ_HeldVector<TQ_HeldString>& out) {
    out.clear();
    out.reserve(a.size() + b.size());
    std::size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
      TQ_HeldString& next = j == b.size() || (i < a.size() && a[i] < b[j]) ? a[i++] : b[j++];
      if (out.empty() || out.back() != next) out.push_back(std::move(next));
    }
  }

  // False (and nothing added) when the set is full.
  bool AddInt(int value) {
    // The usual way a set grows, one member after the last: the last run reaches further.
    if (!runs.empty() && runs.back().hi != INT_MAX && value == runs.back().hi + 1) {
      if (Bound() >= INT_MAX) {
        Settle();
        if (Size() == INT_MAX) return false;
      }
      runs.back().hi = value;
      return true;
    }
    if (runs.empty() || value > runs.back().hi) {
      if (Bound() >= INT_MAX) {
        Settle();
        if (Size() == INT_MAX) return false;
        if (!runs.empty() && value <= runs.back().hi) return AddInt(value);
      }
      runs.push_back(Run{value, value, Size()});
      return true;
    }
    if (value >= runs.back().lo) return true;  // present, in the last run
    // Out of order: it waits, unless the set might be full.
    if (Bound() < INT_MAX - 1) {
      laterInts.push_back(value);
      if (laterInts.size() > 64 && laterInts.size() > runs.size()) Settle();
      return true;
    }
    Settle();
    int position = 0;
    if (ContainsInt(value, position)) return true;
    if (Size() == INT_MAX) return false;
    InsertInt(value);
    return true;
  }

  // Adds lo..hi by merging with overlapping or adjacent runs. False (and
  // nothing added) when the set would hold more than INT_MAX members.
  bool AddRange(int lo, int hi) {
    Settle();
    // A range at or beyond the end of the last run (the usual way a set is
    // built, in ascending order) extends the runs in place.
    if (runs.empty() || static_cast<long long>(lo) > static_cast<long long>(runs.back().hi) + 1) {
      if (static_cast<long long>(Size()) + (static_cast<long long>(hi) - lo + 1) > INT_MAX) return false;
      runs.push_back(Run{lo, hi, Size()});
      return true;
    }
    if (lo >= runs.back().lo) {
      if (hi <= runs.back().hi) return true;
      if (static_cast<long long>(Size()) + (static_cast<long long>(hi) - runs.back().hi) > INT_MAX) return false;
      runs.back().hi = hi;
      return true;
    }
    // Otherwise lo..hi is merged with the runs it overlaps or touches.
    TQ_HeldVector<Run> range{Run{lo, hi, 0}};
    return Unite(range);
  }

  // Adds the runs of another set; false (and nothing added) when the set would hold more than
  // INT_MAX members.
  bool Unite(const TQ_HeldVector<Run>& other) {
    if (other.empty()) return true;
    // Runs from the last one on (a set built piece by piece, in order) join it or follow it, in
    // place; one that cannot pass INT_MAX members for sure.
    if ((runs.empty() || other.front().lo >= runs.back().lo) &&
        static_cast<long long>(Size()) + OtherSize(other) <= INT_MAX) {
      for (const Run& run : other) {
        if (!runs.empty() && static_cast<long long>(runs.back().hi) + 1 >= run.lo) {
          if (run.hi > runs.back().hi) runs.back().hi = run.hi;
        } else {
          runs.push_back(Run{run.lo, run.hi, Size()});
        }
      }
      return true;
    }
    TQ_HeldVector<Run> united;
    if (!UniteRuns(runs, other, united)) return false;
    runs.swap(united);
    return true;
  }

  static long long OtherSize(const TQ_HeldVector<Run>& other) {
    return other.empty() ? 0 : static_cast<long long>(other.back().before) + (other.back().hi - other.back().lo + 1);
  }

  int IntAt(int position) const {
    if (position < 0 || position >= Size() || strings) return 0;
    std::size_t lo = 0, hi = runs.size();
    while (hi - lo > 1) {
      std::size_t mid = (lo + hi) / 2;
      if (runs[mid].before <= position)
        lo = mid;
      else
        hi = mid;
    }
    return runs[lo].lo + (position - runs[lo].before);
  }

  bool ContainsText(const char* value, int& position) const {
    auto it = std::lower_bound(texts.begin(), texts.end(), value, [](const TQ_HeldString& a, const char* b) {
      return std::strcmp(a.c_str(), b) < 0;
    });
    position = static_cast<int>(it - texts.begin());
    return it != texts.end() && *it == value;
  }

  void AddText(const char* value) {
    // In order, it goes to the end; out of order, it waits.
    const int order = texts.empty() ? 1 : std::strcmp(value, texts.back().c_str());
    if (order > 0) {
      texts.emplace_back(value);
    } else if (order < 0) {
      laterTexts.emplace_back(value);
      if (laterTexts.size() > 64 && laterTexts.size() > texts.size()) Settle();
    }
  }

  // A set of type 8 takes the kind of its first member; once it has members
  // its kind is fixed.
  bool AcceptsStrings() {
    if (type == TQ_SET_INTEGER) return false;
    if (type == TQ_SET_STRING) return true;
    if (!strings && !(runs.empty() && laterInts.empty())) return false;
    strings = true;
    return true;
  }
  bool AcceptsIntegers() {
    if (type == TQ_SET_STRING) return false;
    if (type == TQ_SET_INTEGER) return true;
    if (strings && !(texts.empty() && laterTexts.empty())) return false;
    strings = false;
    return true;
  }

  void Clear() {
    runs.clear();
    texts.clear();
    laterInts.clear();
    laterTexts.clear();
  }
};

namespace {
void ReportTooManyMembers() {
  TQ_Executive::Instance().ReportError("a set of integers may hold at most " + std::to_string(INT_MAX) +
                                       " members; the addition was refused");
}
}  // namespace

// The set's members live in a block of their own, counted with what the host holds.
SUValue::SUValue() : m_impl(TQ_NewHeld<Impl>()) {}

SUValue::SUValue(unsigned short type) : m_impl(TQ_NewHeld<Impl>()) { ResetType(type); }

SUValue::SUValue(const SUValue& other) : m_impl(TQ_NewHeld<Impl>(*other.m_impl)) {}

SUValue& SUValue::operator=(const SUValue& other) {
  if (this != &other) *m_impl = *other.m_impl;
  return *this;
}

SUValue::~SUValue() { TQ_DeleteHeld(m_impl); }

unsigned short SUValue::Type() const { return m_impl->type; }

void SUValue::ResetType(unsigned short type) {
  m_impl->type = type;
  m_impl->Clear();
  m_impl->strings = (type == TQ_SET_STRING);
}

// The readers place the members added out of order first.
const SUValue::Impl& SUValue::Settled() const {
  m_impl->Settle();
  return *m_impl;
}

bool SUValue::HoldsStrings() const { return m_impl->strings; }

int SUValue::SetSize() const { return Settled().Size(); }

int SUValue::SetContains(int value, int& position) const {
  const Impl& set = Settled();
  if (set.strings) {
    position = set.Size();
    return 0;
  }
  return set.ContainsInt(value, position) ? 1 : 0;
}

int SUValue::SetContains(const char* value, int& position) const {
  const Impl& set = Settled();
  if (!set.strings || value == nullptr) {
    position = set.Size();
    return 0;
  }
  return set.ContainsText(value, position) ? 1 : 0;
}

void SUValue::SetAddAtOffset(int value, int /*position*/) {
  // The position is where SetContains placed the value; the set keeps its own
  // order, so adding the value puts it there.
  if (m_impl->AcceptsIntegers() && !m_impl->AddInt(value)) ReportTooManyMembers();
}

void SUValue::SetAddAtOffset(const char* value, int /*position*/) {
  if (value != nullptr && m_impl->AcceptsStrings()) m_impl->AddText(value);
}

int SUValue::IntegerAt(int position) const { return Settled().IntAt(position); }

const char* SUValue::StringAt(int position) const {
  const Impl& set = Settled();
  if (!set.strings || position < 0 || position >= static_cast<int>(set.texts.size())) return "";
  return set.texts[static_cast<std::size_t>(position)].c_str();
}

SUValue& SUValue::operator+=(int member) {
  if (m_impl->AcceptsIntegers() && !m_impl->AddInt(member)) ReportTooManyMembers();
  return *this;
}

SUValue& SUValue::operator+=(const char* member) {
  if (member != nullptr && m_impl->AcceptsStrings()) m_impl->AddText(member);
  return *this;
}

// Both sets' members in order, merged in one pass.
SUValue& SUValue::operator+=(const SUValue& other) {
  if (this == &other) return *this;
  const Impl& added = other.Settled();
  Impl& set = *m_impl;
  set.Settle();
  if (added.strings) {
    if (added.texts.empty()) return *this;
    if (!set.AcceptsStrings()) return *this;
    if (set.texts.empty() || set.texts.back() < added.texts.front()) {
      // All after the last: appended in place.
      set.texts.insert(set.texts.end(), added.texts.begin(), added.texts.end());
    } else {
      TQ_HeldVector<TQ_HeldString> copy(added.texts);
      TQ_HeldVector<TQ_HeldString> united;
      Impl::UniteTexts(set.texts, copy, united);
      set.texts.swap(united);
    }
  } else {
    if (added.runs.empty()) return *this;
    if (!set.AcceptsIntegers()) return *this;
    // A union of more than INT_MAX members is refused, and leaves the set whole.
    if (!set.Unite(added.runs)) ReportTooManyMembers();
  }
  return *this;
}

SUValue& SUValue::operator*=(const SUValue& other) {
  if (this == &other) return *this;
  const Impl& b = other.Settled();
  Impl& a = *m_impl;
  a.Settle();
  if (a.strings != b.strings) {
    // Sets of different kinds share no member (an empty set of either kind
    // gives the empty set).
    a.Clear();
    return *this;
  }
  if (a.strings) {
    TQ_HeldVector<TQ_HeldString> kept;
    int position = 0;
    for (const TQ_HeldString& text : a.texts)
      if (b.ContainsText(text.c_str(), position)) kept.push_back(text);
    a.texts.swap(kept);
    return *this;
  }
  TQ_HeldVector<Impl::Run> result;
  std::size_t i = 0, j = 0;
  while (i < a.runs.size() && j < b.runs.size()) {
    int lo = std::max(a.runs[i].lo, b.runs[j].lo);
    int hi = std::min(a.runs[i].hi, b.runs[j].hi);
    if (lo <= hi) result.push_back(Impl::Run{lo, hi, 0});
    if (a.runs[i].hi < b.runs[j].hi)
      ++i;
    else
      ++j;
  }
  a.runs.swap(result);
  a.Renumber(0);
  return *this;
}

int SUValue::operator>=(const char* member) const {
  int position = 0;
  return SetContains(member, position) ? 1 : 0;
}

int SUValue::operator>=(int member) const {
  int position = 0;
  return SetContains(member, position) ? 1 : 0;
}

bool SUValue::operator==(const SUValue& other) const {
  const Impl& a = Settled();
  const Impl& b = other.Settled();
  if (a.Size() != b.Size()) return false;
  if (a.Size() == 0) return true;
  if (a.strings != b.strings) return false;
  if (a.strings) return a.texts == b.texts;
  if (a.runs.size() != b.runs.size()) return false;
  for (std::size_t r = 0; r < a.runs.size(); ++r)
    if (a.runs[r].lo != b.runs[r].lo || a.runs[r].hi != b.runs[r].hi) return false;
  return true;
}

void SUValue::Clear(int) {
  m_impl->Clear();
  if (m_impl->type == TQ_SET_ANY) m_impl->strings = false;
}

int SUValue::CompareCI(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return (a == nullptr ? 0 : 1) - (b == nullptr ? 0 : 1);
  for (;; ++a, ++b) {
    unsigned char ca = static_cast<unsigned char>(*a);
    unsigned char cb = static_cast<unsigned char>(*b);
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca - 'A' + 'a');
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb - 'A' + 'a');
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

int SUValue::RunCount() const {
  const Impl& set = Settled();
  return set.strings ? 0 : static_cast<int>(set.runs.size());
}

void SUValue::RunAt(int run, int& lo, int& hi) const {
  const Impl::Run& r = Settled().runs.at(static_cast<std::size_t>(run));
  lo = r.lo;
  hi = r.hi;
}

std::string SUValue::ToString() const {
  std::string out = "{";
  int n = SetSize();
  for (int p = 0; p < n; ++p) {
    if (p) out += ',';
    if (m_impl->strings) {
      out += '"';
      out += StringAt(p);
      out += '"';
    } else {
      out += std::to_string(IntegerAt(p));
    }
  }
  out += '}';
  return out;
}

std::int64_t SUValue::Bytes() const {
  std::int64_t bytes = TQ_BlockBytes(sizeof(Impl));
  if (m_impl->runs.capacity() > 0) bytes += TQ_BlockBytes(m_impl->runs.capacity() * sizeof(Impl::Run));
  if (m_impl->texts.capacity() > 0) bytes += TQ_BlockBytes(m_impl->texts.capacity() * sizeof(TQ_HeldString));
  if (m_impl->laterInts.capacity() > 0) bytes += TQ_BlockBytes(m_impl->laterInts.capacity() * sizeof(int));
  if (m_impl->laterTexts.capacity() > 0) bytes += TQ_BlockBytes(m_impl->laterTexts.capacity() * sizeof(TQ_HeldString));
  for (const auto* texts : {&m_impl->texts, &m_impl->laterTexts})
    for (const TQ_HeldString& text : *texts)
      if (text.capacity() > TQ_HeldString().capacity()) bytes += TQ_BlockBytes(text.capacity() + 1);
  return bytes;
}

// ---- TQ_SetValue and its kinds ----------------------------------------------

TQ_SetValue::TQ_SetValue() : SUValue(TQ_SET_ANY) {}
TQ_SetValue::TQ_SetValue(unsigned short type) : SUValue(type) {}
TQ_SetValue::TQ_SetValue(const SUValue& other) : SUValue(other) {}
TQ_SetValue::TQ_SetValue(const TQ_SetValue& other) : SUValue(other) {}
TQ_SetValue& TQ_SetValue::operator=(const TQ_SetValue& other) {
  SUValue::operator=(other);
  return *this;
}
TQ_SetValue& TQ_SetValue::operator=(const SUValue& other) {
  SUValue::operator=(other);
  return *this;
}
TQ_SetValue::~TQ_SetValue() = default;
int TQ_SetValue::Integer(int position) const { return IntegerAt(position); }
const char* TQ_SetValue::String(int position) const { return StringAt(position); }

void SUValue::AddRange(int lo, int hi) {
  if (hi < lo) return;
  if (m_impl->AcceptsIntegers() && !m_impl->AddRange(lo, hi)) ReportTooManyMembers();
}

TQ_IntSetValue::TQ_IntSetValue(int lo, int hi) : TQ_SetValue(TQ_SET_INTEGER) {
  if (hi == INT_MIN) {
    *this += lo;
  } else {
    AddRange(lo, hi);
  }
}

TQ_IntSetValue::TQ_IntSetValue(const char* members) : TQ_SetValue(TQ_SET_INTEGER) {
  if (members == nullptr) return;
  const char* p = members;
  while (*p) {
    if (*p == ',' || *p == ' ' || *p == '"' || *p == '\t') {
      ++p;
      continue;
    }
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(p, &end, 10);
    if (end == p) {
      ++p;  // a character that starts no number: skipped
      continue;
    }
    // A number outside the 32-bit range is no member (where long has 32 bits,
    // strtol reports it through errno rather than by its value).
    if (errno == 0 && value >= INT_MIN && value <= INT_MAX) *this += static_cast<int>(value);
    p = end;
  }
}

TQ_IntSetValue::TQ_IntSetValue(const TQ_SetValue& other) : TQ_SetValue(TQ_SET_INTEGER) {
  if (!other.HoldsStrings()) *this += other;
}

TQ_IntSetValue::TQ_IntSetValue(const TQ_IntSetValue& other) : TQ_SetValue(other) {}
TQ_IntSetValue& TQ_IntSetValue::operator=(const TQ_IntSetValue& other) {
  TQ_SetValue::operator=(other);
  return *this;
}
TQ_IntSetValue::~TQ_IntSetValue() = default;

TQ_StrSetValue::TQ_StrSetValue(const char* members) : TQ_SetValue(TQ_SET_STRING) {
  if (members == nullptr) return;
  std::string current;
  bool any = false;
  for (const char* p = members;; ++p) {
    if (*p == '"' || *p == 0) {
      if (any) *this += current.c_str();
      current.clear();
      any = false;
      if (*p == 0) break;
    } else {
      current += *p;
      any = true;
    }
  }
}

TQ_StrSetValue::TQ_StrSetValue(const TQ_SetValue& other) : TQ_SetValue(TQ_SET_STRING) {
  for (int p = 0; p < other.SetSize(); ++p) {
    if (other.HoldsStrings()) *this += other.String(p);
  }
}

TQ_StrSetValue::TQ_StrSetValue(const TQ_StrSetValue& other) : TQ_SetValue(other) {}
TQ_StrSetValue& TQ_StrSetValue::operator=(const TQ_StrSetValue& other) {
  TQ_SetValue::operator=(other);
  return *this;
}
TQ_StrSetValue::~TQ_StrSetValue() = default;

// ---- iterators ---------------------------------------------------------------

TQ_SetIter::TQ_SetIter(const SUValue& set)
    : m_set(set), m_position(-1), m_size(set.SetSize()), m_intCurrent(0), m_strCurrent("") {}

// A copy walks its own copy of the set: its current string must point into
// that copy, not into the source's.
TQ_SetIter::TQ_SetIter(const TQ_SetIter& other)
    : m_set(other.m_set),
      m_position(other.m_position),
      m_size(other.m_size),
      m_intCurrent(other.m_intCurrent),
      m_strCurrent("") {
  PointAtCurrentString();
}

TQ_SetIter& TQ_SetIter::operator=(const TQ_SetIter& other) {
  if (this != &other) {
    m_set = other.m_set;
    m_position = other.m_position;
    m_size = other.m_size;
    m_intCurrent = other.m_intCurrent;
    PointAtCurrentString();
  }
  return *this;
}

void TQ_SetIter::PointAtCurrentString() {
  m_strCurrent = m_set.HoldsStrings() && m_position >= 0 && m_position < m_size ? m_set.String(m_position) : "";
}
TQ_SetIter::~TQ_SetIter() = default;

void TQ_SetIter::Restart() {
  m_position = -1;
  m_intCurrent = 0;
  m_strCurrent = "";
}

bool TQ_SetIter::Next() {
  if (m_position + 1 >= m_size) {
    m_position = m_size;
    m_intCurrent = 0;
    m_strCurrent = "";
    return false;
  }
  ++m_position;
  if (m_set.HoldsStrings()) {
    m_strCurrent = m_set.String(m_position);
  } else {
    m_intCurrent = m_set.Integer(m_position);
  }
  return true;
}

TQ_IntegerSetIter::TQ_IntegerSetIter(const TQ_IntSetValue& set) : TQ_SetIter(set) {}
TQ_IntegerSetIter::TQ_IntegerSetIter(const SUValue& set) : TQ_SetIter(set) {}
TQ_IntegerSetIter::~TQ_IntegerSetIter() = default;

TQ_StringSetIter::TQ_StringSetIter(const SUValue& set) : TQ_SetIter(set) {}
TQ_StringSetIter::~TQ_StringSetIter() = default;
