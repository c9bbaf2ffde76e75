// The equations of the two- and three-dimensional distributions on worked cases: the rows in
// emission order (or their counts), equation and term totals, the groups the blocks run in, the
// nodes particular rows stand at, and the terms of single equations; the term counts of the
// tables; method names in any case; and the stencil check.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "real_domain.h"
#include "test_grid_nd.h"

namespace morvane::eqn::testing {
namespace {

constexpr std::int32_t kGroupBase = 40;

// ---- Stating expected streams ----

// Expands a row list: numbers, ranges "a-b", groups "( ... )", each optionally repeated "xN".
// "1x3 (79-83)x2 87" is 1 1 1 79 80 81 82 83 79 80 81 82 83 87.
std::vector<int> ExpandRows(std::istringstream& in, bool inGroup) {
  std::vector<int> out;
  while (in >> std::ws && in.peek() != EOF) {
    std::vector<int> item;
    if (in.peek() == ')') {
      if (!inGroup) throw std::invalid_argument("unbalanced ')'");
      in.get();
      return out;
    }
    if (in.peek() == '(') {
      in.get();
      item = ExpandRows(in, true);
    } else {
      int lo = 0;
      if (!(in >> lo)) throw std::invalid_argument("a row number expected");
      int hi = lo;
      if (in.peek() == '-') {
        in.get();
        in >> hi;
      }
      for (int r = lo; r <= hi; ++r) item.push_back(r);
    }
    int times = 1;
    if (in.peek() == 'x') {
      in.get();
      if (!(in >> times)) throw std::invalid_argument("a count expected after 'x'");
    }
    for (int k = 0; k < times; ++k) out.insert(out.end(), item.begin(), item.end());
  }
  if (inGroup) throw std::invalid_argument("unbalanced '('");
  return out;
}
std::vector<int> ExpandRows(const std::string& text) {
  std::istringstream in(text);
  return ExpandRows(in, false);
}

// Expands term names: each word's first brace, "{a..b}" or "{a,b,c}", is the outermost.
// "DDX(2,{1..2})" is DDX(2,1) DDX(2,2).
std::vector<std::string> ExpandWord(const std::string& word) {
  const std::size_t open = word.find('{');
  if (open == std::string::npos) return {word};
  const std::size_t close = word.find('}', open);
  const std::string inside = word.substr(open + 1, close - open - 1);
  std::vector<std::string> options;
  if (const std::size_t dots = inside.find(".."); dots != std::string::npos) {
    const int last = std::stoi(inside.substr(dots + 2));
    for (int k = std::stoi(inside.substr(0, dots)); k <= last; ++k) options.push_back(std::to_string(k));
  } else {
    std::istringstream list(inside);
    for (std::string o; std::getline(list, o, ',');) options.push_back(o);
  }
  std::vector<std::string> out;
  for (const std::string& o : options) {
    for (const std::string& rest : ExpandWord(word.substr(0, open) + o + word.substr(close + 1))) out.push_back(rest);
  }
  return out;
}
std::vector<std::string> ExpandNames(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string word; in >> word;) {
    for (const std::string& name : ExpandWord(word)) out.push_back(name);
  }
  return out;
}

TEST(WorkedNotation, RowsAndNamesExpand) {
  EXPECT_EQ(ExpandRows("1x3 (79-81)x2 87"), (std::vector<int>{1, 1, 1, 79, 80, 81, 79, 80, 81, 87}));
  EXPECT_EQ(ExpandRows("(5 6x2)x2 8x0"), (std::vector<int>{5, 6, 6, 5, 6, 6}));
  EXPECT_TRUE(ExpandRows("").empty());
  EXPECT_THROW(ExpandRows("(1 2"), std::invalid_argument);
  EXPECT_THROW(ExpandRows("1 2)"), std::invalid_argument);
  EXPECT_EQ(ExpandNames("D(2,{1..2}) D({4,1},{0..1})"),
            (std::vector<std::string>{"D(2,1)", "D(2,2)", "D(4,0)", "D(4,1)", "D(1,0)", "D(1,1)"}));
}

// ---- The worked cases ----

enum class Order { Stream, Counts };  // rows and nodes stated in emission order, or as counts

// The nodes where a row stands (the first term of each of its equations) or the terms of its
// first equation.
struct Detail {
  enum What { Subjects, Terms } what;
  int row;
  const char* names;
};

struct Worked {
  const char* name;
  std::vector<AxisSetup> axes;
  std::set<std::string> integrals = {"None"};
  Order order = Order::Stream;
  const char* rows = nullptr;  // the rows of the scope (null: not stated)
  int equations = -1;          // in the scope (-1: not stated)
  int terms = -1;
  std::array<int, 2> scope = {1, 999};  // the rows counted
  const char* groups = nullptr;         // the group offsets in the order the blocks run
  std::vector<Detail> details = {};
};

AxisSetup Ax(const char* method, std::vector<int> elements, int used, int highest) {
  return AxisSetup{method, std::move(elements), used, highest};
}
// BFD1 over one section of two intervals, order used 0: no equations without its integrals.
const AxisSetup kQuiet = Ax("BFD1", {2}, 0, 1);
const std::set<std::string> kAll3D = {"idx", "idy", "idz", "idxdy", "idxdz", "idydz", "idxdydz"};

const std::vector<Worked> kWorked2D = {
    {.name = "no method of the ten, no integral",
     .axes = {Ax("XYZ", {2}, 2, 2), Ax("ABC", {2}, 2, 2)},
     .rows = "",
     .equations = 0,
     .terms = 0},
    {.name = "CFD4 x, OCFE2 y", .axes = {Ax("CFD4", {1}, 1, 1), Ax("OCFE2", {1}, 1, 1)}, .groups = "14 19"},
    {.name = "CFD4 x, BFD1 y", .axes = {Ax("CFD4", {1}, 1, 1), Ax("BFD1", {2}, 1, 1)}, .groups = "5 14"},
    {.name = "BFD2 x, BFD1 y", .axes = {Ax("BFD2", {2}, 2, 2), Ax("BFD1", {2}, 2, 2)}, .groups = "5 6"},
    {.name = "quiet axes, idxdy",
     .axes = {kQuiet, kQuiet},
     .integrals = {"idxdy"},
     .rows = "1x3 3x3 4x2 9x6 15x4",
     .equations = 18,
     .terms = 48},
    {.name = "E_X = 0, idy and idxdy",
     .axes = {Ax("BFD1", {}, 0, 1), kQuiet},
     .integrals = {"idy", "idxdy"},
     .rows = "1x3 2 3x3 14x2",
     .equations = 9,
     .terms = 15,
     .details = {{Detail::Subjects, 2, "IDY(0,0)"}}},
    {.name = "BFD1 x three sections of 2",
     .axes = {Ax("BFD1", {2, 2, 2}, 2, 2), Ax("BFD1", {4}, 0, 1)},
     .rows = "(5 6x6)x5 7x10 8x3 7x5 8x3",
     .equations = 56,
     .terms = 239,
     .details = {{Detail::Subjects, 8, "DDX(2,{1..3}) DDX(4,{1..3})"}}},
    {.name = "BFD2 x sections of 4 and 2",
     .axes = {Ax("BFD2", {2, 1}, 1, 1), kQuiet},
     .order = Order::Counts,
     .rows = "16x3 17x6 18x12",
     .equations = 21,
     .details = {{Detail::Terms, 16, "DDX(0,0) hx(1) VALUE(2,0) VALUE(0,0) VALUE(1,0)"}}},
    {.name = "FFD2 x one section of 2, idx",
     .axes = {Ax("FFD2", {1}, 2, 2), kQuiet},
     .integrals = {"idx"},
     .rows = "1x3 (45 47 48)x3 49x3 (51 52)x3",
     .equations = 21,
     .terms = 90,
     .details = {{Detail::Terms, 47, "DDX(1,0) hx(1) VALUE(0,0) VALUE(2,0)"}}},
    {.name = "CFD2 x two sections of 4",
     .axes = {Ax("CFD2", {2, 2}, 2, 2), kQuiet},
     .rows = "(63 64x3 65 64x3 65)x3 66x18 67",
     .equations = 46,
     .terms = 212,
     .details = {{Detail::Subjects, 67, "DDX(4,1)"}}},
    {.name = "CFD4 x one section of 4, idx",
     .axes = {Ax("CFD4", {1}, 1, 1), kQuiet},
     .integrals = {"idx"},
     .rows = "1x3 (79-83)x3 (88-91)x3",
     .equations = 30,
     .terms = 189},
    {.name = "CFD4 x block alone",
     .axes = {Ax("CFD4", {1}, 1, 1), kQuiet},
     .integrals = {"idx"},
     .equations = 27,
     .terms = 186,
     .scope = {79, 91}},
    {.name = "UBFD4 x one section of 4, idx",
     .axes = {Ax("UBFD4", {1}, 1, 1), kQuiet},
     .integrals = {"idx"},
     .rows = "1x3 (109-113)x3 (118-121)x3",
     .equations = 30,
     .terms = 189},
    {.name = "CFD4 x two sections of 4, idx",
     .axes = {Ax("CFD4", {1, 1}, 2, 2), kQuiet},
     .integrals = {"idx"},
     .rows = "1x3 (79 80 81 82 83 80 81 82 83)x3 (84 85 86)x6 87 (88-91)x6",
     .equations = 73,
     .terms = 487,
     .details = {{Detail::Subjects, 83, "DDX(4,0) DDX(8,0) DDX(4,1) DDX(8,1) DDX(4,2) DDX(8,2)"},
                 {Detail::Subjects, 84, "D2DX2(1,{0..2}) D2DX2(5,{0..2})"},
                 {Detail::Subjects, 85, "D2DX2(2,{0..2}) D2DX2(6,{0..2})"},
                 {Detail::Subjects, 86, "D2DX2(3,{0..2}) D2DX2(7,{0..2})"},
                 {Detail::Subjects, 87, "DDX(4,1)"}}},
    {.name = "UBFD4 x two sections of 4",
     .axes = {Ax("UBFD4", {1, 1}, 2, 2), kQuiet},
     .rows = "(109 110 111 112 113 110 111 112 113)x3 (114 115 116)x6 117",
     .equations = 46,
     .terms = 316,
     .details = {{Detail::Subjects, 117, "DDX(4,1)"}}},
    {.name = "OCFE2 x one section of 4",
     .axes = {Ax("OCFE2", {2}, 2, 2), kQuiet},
     .rows = "(139 140 141 140 141)x3 142x6 143",
     .equations = 22,
     .terms = 104,
     .details = {{Detail::Subjects, 143, "DDX(2,1)"}}},
    {.name = "OCFE2 x one element, idx",
     .axes = {Ax("OCFE2", {1}, 2, 2), kQuiet},
     .integrals = {"idx"},
     .rows = "1x3 (139 140 141)x3 142x3 (144 145)x3",
     .equations = 21,
     .terms = 90},
    {.name = "OCFE2 x order used 2, highest order 1",
     .axes = {Ax("OCFE2", {2}, 2, 1), kQuiet},
     .rows = "(139 140 141 140 141)x3 142x6"},
    {.name = "OCFE3 both axes one section of 6",
     .axes = {Ax("OCFE3", {2}, 2, 2), Ax("OCFE3", {2}, 2, 2)},
     .order = Order::Counts,
     .rows = "155x7 (156-158)x14 159x5 (160-161)x12 165x7 (166-168)x14 (169-170)x12 171x4",
     .equations = 155,
     .terms = 930,
     .details = {{Detail::Subjects, 159, "DDX(3,{1..5})"}, {Detail::Subjects, 171, "DDY({1,2,4,5},3)"}}},
    {.name = "OCFE3 both axes, idx idy idxdy",
     .axes = {Ax("OCFE3", {2}, 2, 2), Ax("OCFE3", {2}, 2, 2)},
     .integrals = {"idx", "idy", "idxdy"},
     .equations = 302,
     .terms = 1677},
    {.name = "OCFE3 both axes, idx idy idxdy: starts",
     .axes = {Ax("OCFE3", {2}, 2, 2), Ax("OCFE3", {2}, 2, 2)},
     .integrals = {"idx", "idy", "idxdy"},
     .order = Order::Counts,
     .rows = "1x7 2x7 3x7 4x6",
     .scope = {1, 4}},
    {.name = "OCFE4 both axes one section of 8",
     .axes = {Ax("OCFE4", {2}, 2, 2), Ax("OCFE4", {2}, 2, 2)},
     .order = Order::Counts,
     .rows = "178x9 (179-182)x18 183x7 (184-186)x16 191x9 (192-195)x18 (196-198)x16 199x6",
     .equations = 271,
     .terms = 1861,
     .details = {{Detail::Subjects, 183, "DDX(4,{1..7})"}}},
};

const std::vector<Worked> kWorked3D = {
    {.name = "no integral, orders used 0",
     .axes = {Ax("CFD4", {1}, 0, 2), Ax("OCFE2", {1}, 0, 2), Ax("BFD1", {2}, 0, 2)},
     .rows = "",
     .equations = 0,
     .terms = 0},
    {.name = "idxdydz, no block",
     .axes = {Ax("XYZ", {2}, 0, 1), Ax("XYZ", {2}, 0, 1), Ax("XYZ", {2}, 0, 1)},
     .integrals = {"idxdydz"},
     .order = Order::Counts,
     .rows = "1x9 4x9 5x6 10x9 11x6 12x4"},
    {.name = "all seven integrals, no block",
     .axes = {Ax("XYZ", {3}, 0, 1), Ax("XYZ", {2}, 0, 1), Ax("XYZ", {1}, 0, 1)},
     .integrals = kAll3D,
     .order = Order::Counts,
     .rows = "1x6 2x8 3x12 4x6 5x6 6x6 7x9 8x8 9x8 10x6 11x6 12x6",
     .equations = 87,
     .terms = 87},
    {.name = "BFD1 x, CFD4 y, OCFE3 z",
     .axes = {Ax("BFD1", {2}, 1, 1), Ax("CFD4", {1}, 1, 1), Ax("OCFE3", {1}, 1, 1)},
     .order = Order::Counts,
     .rows = "13x20 14x40 (157-161)x12 (306-309)x15",
     .equations = 180,
     .terms = 1008,
     .groups = "8 24 34"},
    {.name = "BFD1 x block, one section",
     .axes = {Ax("BFD1", {2}, 2, 1), kQuiet, kQuiet},
     .integrals = {"idx"},
     .order = Order::Counts,
     .rows = "13x9 14x18 15x9 16x0 17x18",
     .equations = 54,
     .terms = 225,
     .scope = {13, 17}},
    {.name = "BFD1 x block, one section: starts",
     .axes = {Ax("BFD1", {2}, 2, 1), kQuiet, kQuiet},
     .integrals = {"idx"},
     .order = Order::Counts,
     .rows = "1x9",
     .scope = {1, 12}},
    {.name = "BFD1 x block, two sections",
     .axes = {Ax("BFD1", {2, 2}, 2, 2), Ax("BFD1", {3}, 0, 2), Ax("BFD1", {3}, 0, 2)},
     .order = Order::Counts,
     .rows = "13x16 14x64 15x32 16x4",
     .scope = {13, 17}},
    {.name = "BFD2 x block",
     .axes = {Ax("BFD2", {2}, 1, 1), Ax("BFD1", {4}, 0, 1), Ax("BFD1", {4}, 0, 1)},
     .integrals = {"idx"},
     .order = Order::Counts,
     .rows = "32x25 33x25 34x75 37x50 38x50",
     .equations = 225,
     .terms = 1100,
     .scope = {32, 38}},
    {.name = "FFD1 x block",
     .axes = {Ax("FFD1", {2}, 2, 1), kQuiet, kQuiet},
     .integrals = {"idx"},
     .order = Order::Counts,
     .rows = "(61-63)x9 64x9 65x0 66x18",
     .scope = {61, 66}},
    {.name = "CFD2 x block",
     .axes = {Ax("CFD2", {1}, 2, 1), kQuiet, kQuiet},
     .integrals = {"idx"},
     .order = Order::Counts,
     .rows = "(115-117)x9 118x9 119x0 (120-121)x9",
     .scope = {115, 121}},
    {.name = "CFD4 x block",
     .axes = {Ax("CFD4", {1}, 2, 1), Ax("BFD1", {4}, 0, 1), Ax("BFD1", {4}, 0, 1)},
     .integrals = {"idx"},
     .order = Order::Counts,
     .rows = "(144-148)x25 (149-151)x25 152x0 (153-156)x25",
     .scope = {144, 156}},
    {.name = "OCFE2 x block, two elements",
     .axes = {Ax("OCFE2", {2}, 2, 2), Ax("OCFE2", {2}, 0, 2), Ax("OCFE2", {2}, 0, 2)},
     .integrals = {"idx"},
     .order = Order::Counts,
     .rows = "254x25 255x50 256x50 257x32 258x9 259x50 260x50",
     .scope = {254, 260},
     .details = {{Detail::Subjects, 258, "DDX(2,{1..3},{1..3})"}}},
    {.name = "OCFE3 x block, one element",
     .axes = {Ax("OCFE3", {1}, 2, 2), Ax("OCFE3", {1}, 0, 2), Ax("OCFE3", {1}, 0, 2)},
     .integrals = {"idx"},
     .order = Order::Counts,
     .rows = "(283-286)x16 (287-288)x16 289x0 (290-292)x16",
     .scope = {283, 292}},
    {.name = "OCFE4 x block, one element",
     .axes = {Ax("OCFE4", {1}, 1, 1), Ax("BFD1", {4}, 0, 1), Ax("BFD1", {4}, 0, 1)},
     .rows = "(325-329)x25",
     .equations = 125,
     .details = {{Detail::Subjects, 325, "DDX(0,{0..4},{0..4})"}}},
};

template <class T>
std::vector<T> Sorted(std::vector<T> v) {
  std::sort(v.begin(), v.end());
  return v;
}

template <std::size_t D>
void ExpectWorked(const Worked& c) {
  SCOPED_TRACE(c.name);
  ASSERT_EQ(c.axes.size(), D);
  std::array<AxisSetup, D> axes;
  std::copy(c.axes.begin(), c.axes.end(), axes.begin());
  GridND<D> g = MakeGrid<D>(axes, c.integrals);
  const auto out = Emit(g, kGroupBase);
  std::vector<int> rows;
  std::vector<int> groups;
  std::map<int, std::vector<std::string>> subjects;
  std::map<int, std::vector<std::string>> firstTerms;
  std::size_t terms = 0;
  for (const EquationND<D>& e : out.equations) {
    const int group = e.group - kGroupBase;
    if (groups.empty() || groups.back() != group) groups.push_back(group);
    if (e.row < c.scope[0] || e.row > c.scope[1]) continue;
    rows.push_back(e.row);
    terms += e.Terms().size();
    subjects[e.row].push_back(TermName(e.Terms().at(0)));
    if (firstTerms.count(e.row) == 0) {
      for (const GridTerm<D>& t : e.Terms()) firstTerms[e.row].push_back(TermName(t));
    }
  }
  // A count finds the whole walk's size without walking every node.
  const PlanSize size = MeasurePlan(DistributionOf<D>::EquationPlan(), g);
  EXPECT_EQ(size.equations, double(out.equations.size()));
  EXPECT_EQ(size.terms, double(out.TermCount()));
  const bool stream = c.order == Order::Stream;
  if (c.rows != nullptr) {
    const std::vector<int> expected = ExpandRows(c.rows);
    EXPECT_EQ(stream ? rows : Sorted(rows), stream ? expected : Sorted(expected));
  }
  if (c.equations >= 0) {
    EXPECT_EQ(rows.size(), static_cast<std::size_t>(c.equations));
  }
  if (c.terms >= 0) {
    EXPECT_EQ(terms, static_cast<std::size_t>(c.terms));
  }
  if (c.groups != nullptr) {
    EXPECT_EQ(groups, ExpandRows(c.groups));
  }
  for (const Detail& d : c.details) {
    const std::vector<std::string> expected = ExpandNames(d.names);
    if (d.what == Detail::Terms) {
      EXPECT_EQ(firstTerms[d.row], expected) << "TQ_Eqn" << d.row;
    } else {
      EXPECT_EQ(stream ? subjects[d.row] : Sorted(subjects[d.row]), stream ? expected : Sorted(expected))
          << "TQ_Eqn" << d.row;
    }
  }
}

TEST(Worked2D, StreamsCountsAndTerms) {
  for (const Worked& c : kWorked2D) ExpectWorked<2>(c);
}

TEST(Worked3D, StreamsCountsAndTerms) {
  for (const Worked& c : kWorked3D) ExpectWorked<3>(c);
}

// ---- The tables ----

// The terms of a block's rows together, and of the whole table.
template <std::size_t D>
std::map<std::string, std::vector<int>> TermsPerMethod(int& rows, int& terms) {
  std::map<std::string, std::vector<int>> out;
  // An integral start has one term.
  rows = static_cast<int>(DistributionOf<D>::Description().starts.size());
  terms = rows;
  for (const MethodBlock& b : DistributionOf<D>::Description().blocks) {
    int sum = 0;
    for (const RowEntry& r : b.rows) sum += r.formula->termCount;
    out[b.method].push_back(sum);
    rows += static_cast<int>(b.rows.size());
    terms += sum;
  }
  return out;
}

TEST(Tables, TermsOfTheTwoDimensionalBlocks) {
  const std::map<std::string, std::vector<int>> expected = {
      {"BFD1", {21, 25}},
      {"BFD2", {34, 44}},
      {"FFD1", {25, 29}},
      {"FFD2", {39, 49}},
      {"CFD2", {34, 44}},
      {"CFD4", {90, 118}},
      {"UBFD4", {90, 118}},
      {"OCFE2", {34, 44}},
      {"OCFE3", {60, 78}},
      {"OCFE4", {90, 118}},
  };
  int rows = 0;
  int terms = 0;
  EXPECT_EQ(TermsPerMethod<2>(rows, terms), expected);
  EXPECT_EQ(rows, 207);
  EXPECT_EQ(terms, 1188);
}

TEST(Tables, TermsOfTheThreeDimensionalRows) {
  // Per method: the rows with six terms; every other row of its three blocks has `others`.
  struct Terms {
    const char* method;
    std::set<int> sixTerms;
    int others;
  };
  const Terms expected[] = {{"OCFE3", {}, 6}, {"UBFD4", {201, 214, 231}, 7}, {"OCFE4", {327, 340, 357}, 7}};
  for (const Terms& m : expected) {
    int blocks = 0;
    for (const MethodBlock& b : d3::kTable.blocks) {
      if (std::string(b.method) != m.method) continue;
      ++blocks;
      for (const RowEntry& r : b.rows) {
        EXPECT_EQ(r.formula->termCount, m.sixTerms.count(r.number) ? 6 : m.others) << "TQ_Eqn" << r.number;
      }
    }
    EXPECT_EQ(blocks, 3) << m.method;
  }
  int rows = 0;
  int terms = 0;
  TermsPerMethod<3>(rows, terms);
  EXPECT_EQ(rows, 379);
  EXPECT_EQ(terms, 2163);
}

// ---- Method names ----

TEST(MethodNames, AnyCaseSelectsTheBlocks) {
  for (const char* method : {"BFD1", "CFD4", "OCFE3"}) {
    for (int axis = 0; axis < 3; ++axis) {
      std::array<AxisSetup, 3> axes = {Ax("FFD1", {2}, 2, 2), Ax("FFD1", {2}, 2, 2), Ax("FFD1", {2}, 2, 2)};
      axes[static_cast<std::size_t>(axis)] = Ax(method, {1, 1}, 2, 2);
      GridND<3> upper = MakeGrid<3>(axes, kAll3D);
      GridND<3> lower = upper;
      std::string text = method;
      for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      lower.axes[static_cast<std::size_t>(axis)].methodText = text;
      const auto expected = Emit(upper).equations;
      const auto got = Emit(lower).equations;
      ASSERT_EQ(got.size(), expected.size()) << text << " on axis " << axis;
      for (std::size_t k = 0; k < got.size(); ++k) {
        EXPECT_EQ(got[k].row, expected[k].row);
        EXPECT_EQ(got[k].Terms(), expected[k].Terms());
      }
      // The block of that method on that axis did run.
      EXPECT_TRUE(std::any_of(got.begin(),
                              got.end(),
                              [&](const EquationND<3>& e) {
                                const RowInfo& r = InfoOfRow<3>(e.row);
                                return !r.start && r.axis == axis && std::string(r.block->method) == method;
                              }))
          << text << " on axis " << axis;
    }
  }
}

// ---- The test grid's INTERIOR is the domain's ----

TEST(GridSupport, InteriorIsTheDomains) {
  for (const char* method : kMethods) {
    for (int order : {1, 2}) {
      const int perElement = PointsOf(method) + 1;
      RoadSetup setup = SectionsOf(method, {2 * perElement, perElement, 3 * perElement}, 0, false);
      setup.domainOrder = order;
      Road road(setup);
      ASSERT_TRUE(road.Cycle()) << method << ": " << road.Errors();
      std::vector<std::int32_t> domain;
      const TQ_SetValue& set = road.domain->INTERIOR.v();
      for (int p = 0; p < set.SetSize(); ++p) domain.push_back(set.IntegerAt(p));
      EXPECT_EQ(road.Grid().DomainInterior(order), domain) << method << " order " << order;
    }
  }
}

// ---- The stencil check ----

TEST(StencilCheck2D3D, GridsBuiltLikeTheDomainsPass) {
  for (const char* mx : kMethods) {
    for (const char* my : kMethods) {
      for (const std::vector<int>& layout : {std::vector<int>{1}, std::vector<int>{2, 1}}) {
        GridND<2> g = MakeGrid<2>({Ax(mx, layout, 2, 2), Ax(my, layout, 2, 2)}, {"idx", "idy", "idxdy"});
        const GridFault f = CheckGrid(d2::EquationPlan(), g);
        EXPECT_FALSE(f.found) << mx << " " << my << ": " << Describe(f);
      }
    }
    GridND<3> g = MakeGrid<3>({Ax(mx, {1, 2}, 2, 2), Ax(mx, {2}, 2, 2), Ax(mx, {1}, 2, 2)}, kAll3D);
    const GridFault f = CheckGrid(d3::EquationPlan(), g);
    EXPECT_FALSE(f.found) << mx << ": " << Describe(f);
  }
}

// A section of fewer nodes than one element of the method (a difference method's stencil spans
// at least one element) is found on whichever axis it lies, and the fault names that axis. The
// first section has two elements, so that every loop over the other axes' INTERIOR sets runs:
// an equation that no loop reaches reads nothing.
template <std::size_t D>
void ExpectShortSectionFound(const char* method, int axis) {
  std::array<AxisSetup, D> axes;
  axes.fill(Ax(method, {2, 1}, 2, 2));
  GridND<D> g = MakeGrid<D>(axes, D == 2 ? std::set<std::string>{"idx", "idy", "idxdy"} : kAll3D);
  Section& second = g.axes[static_cast<std::size_t>(axis)].sections[1];
  second.nodeCount = PointsOf(method);
  second.elements = 1;
  const GridFault f = CheckGrid(DistributionOf<D>::EquationPlan(), g);
  ASSERT_TRUE(f.found) << method << " axis " << axis;
  EXPECT_EQ(f.axis, axis) << method;
  EXPECT_EQ(InfoOfRow<D>(f.row).axis, axis) << method << " " << Describe(f);
  EXPECT_EQ(f.section, 2) << method << " " << Describe(f);
  EXPECT_NE(Describe(f).find("(axis " + std::to_string(axis) + ")"), std::string::npos) << Describe(f);
}

TEST(StencilCheck2D3D, ShortSectionsAreFoundOnTheirAxis) {
  for (const char* method : kMethods) {
    for (int axis = 0; axis < 2; ++axis) ExpectShortSectionFound<2>(method, axis);
    for (int axis = 0; axis < 3; ++axis) ExpectShortSectionFound<3>(method, axis);
  }
}

}  // namespace
}  // namespace morvane::eqn::testing
