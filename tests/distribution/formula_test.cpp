// The formula compiler and the row table: programs, literal rules, rejected texts, and the
// table's terms against the distribution's list of non-zeros.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "distribution/distribution1d_equations.h"

namespace morvane::eqn {
namespace {

std::string IndexText(const Index& ix) {
  std::string s;
  switch (ix.origin) {
    case Origin::Zero:
      s = "0";
      break;
    case Origin::Base:
      s = "b";
      break;
    case Origin::End:
      s = "b+N";
      break;
    case Origin::Node:
      s = "i";
      break;
    case Origin::Element:
      s = "j";
      break;
  }
  if (ix.offset > 0) s += "+" + std::to_string(ix.offset);
  if (ix.offset < 0) s += std::to_string(ix.offset);
  return s;
}

std::string TermText(const Item& it) {
  static const char* const names[] = {"V", "D", "D2", "I"};
  if (it.role == Role::Step) return "h";
  return std::string(names[static_cast<int>(it.role)]) + "(" + IndexText(it.index) + ")";
}

// The program as text: operator codes as numbers, integer constants as "i:<v>", doubles as
// "d:<v>", terms as written in formulas.
std::vector<std::string> StreamOf(const Formula& f) {
  std::vector<std::string> out;
  for (std::size_t k = 0; k < f.itemCount; ++k) {
    const Item& it = f.items[k];
    switch (it.kind) {
      case ItemKind::Operator:
        out.push_back(std::to_string(static_cast<int>(it.op)));
        break;
      case ItemKind::IntConst:
        out.push_back("i:" + std::to_string(it.ivalue));
        break;
      case ItemKind::DoubleConst: {
        char buf[40];
        std::snprintf(buf, sizeof buf, "d:%.17g", it.dvalue);
        out.push_back(buf);
        break;
      }
      case ItemKind::Term:
        out.push_back(TermText(it));
        break;
    }
  }
  return out;
}

using Stream = std::vector<std::string>;

double FirstDouble(const Formula& f) {
  for (std::size_t k = 0; k < f.itemCount; ++k) {
    if (f.items[k].kind == ItemKind::DoubleConst) return f.items[k].dvalue;
  }
  return 0.0;
}

TEST(FormulaProgram, WorkedStreamsOfTheCatalogue) {
  EXPECT_EQ(StreamOf(formulas::integral_start), (Stream{"1", "I(0)"}));
  EXPECT_EQ(StreamOf(formulas::d1_forward2_b), (Stream{"19", "21", "D(b)", "h", "20", "V(b)", "V(b+1)"}));
  EXPECT_EQ(StreamOf(formulas::ocfe2_d1_j2),
            (Stream{"20", "21", "D(j+2)", "h", "19", "20", "V(j)", "21", "d:4", "V(j+1)", "21", "d:3", "V(j+2)"}));
  EXPECT_EQ(StreamOf(formulas::ocfe2_d1_b),
            (Stream{"19", "21", "D(b)", "h", "20", "V(b+2)", "19", "21", "d:-3", "V(b)", "21", "d:4", "V(b+1)"}));
}

TEST(FormulaProgram, IntegerAndDoubleLiteralsAndSigns) {
  // 2*(D(b)*h)+(V(b+2)-(-3*V(b)+4*V(b+1))): integer terms, the sign inside the literal.
  EXPECT_EQ(
      StreamOf(formulas::d1_forward3_b),
      (Stream{
          "19", "21", "i:2", "21", "D(b)", "h", "20", "V(b+2)", "19", "21", "i:-3", "V(b)", "21", "i:4", "V(b+1)"}));
  // Equal precedence groups from the left: ((V(i-1) - 2*V(i)) + V(i+1)).
  EXPECT_EQ(StreamOf(formulas::d2_central3_i),
            (Stream{"20", "21", "D2(i)", "40", "h", "19", "20", "V(i-1)", "21", "i:2", "V(i)", "V(i+1)"}));
  // The named constants are the doubles nearest to 1/12 and 1/720.
  EXPECT_EQ(FirstDouble(formulas::integral_parabola_j1), 1.0 / 12.0);
  EXPECT_EQ(FirstDouble(formulas::integral_quartic_j1), 1.0 / 720.0);
  // Five-decimal constants are the nearest doubles of the text.
  EXPECT_EQ(FirstDouble(formulas::ocfe4_d1_j1), -5.32379);
  EXPECT_EQ(FirstDouble(formulas::ocfe4_d2_j1), 53.2379);
  EXPECT_EQ(FirstDouble(formulas::ocfe2_integral_j2), -0.04166);
}

TEST(FormulaProgram, DeclaredTermsAreTheProgramsTermsInOrder) {
  const Formula& f = formulas::integral_quartic_j2;
  std::vector<std::string> fromProgram;
  for (const std::string& s : StreamOf(f)) {
    if (s.find('(') != std::string::npos || s == "h") fromProgram.push_back(s);
  }
  std::vector<std::string> fromTerms;
  for (std::size_t k = 0; k < f.termCount; ++k) fromTerms.push_back(TermText(f.Term(k)));
  EXPECT_EQ(fromTerms, fromProgram);
  EXPECT_EQ(fromTerms, (Stream{"I(j+2)", "h", "V(j)", "V(j+1)", "V(j+2)", "V(j+3)", "V(j+4)"}));
}

TEST(FormulaProgram, MalformedTextsAreRejected) {
  struct Case {
    const char* text;
    FormulaError error;
  };
  const Case cases[] = {
      {"(D(b)*h)+V(b)", FormulaError::RedundantParentheses},
      {"D(b)*(h)", FormulaError::RedundantParentheses},
      {"V(b)+(V(b+1)*V(b+2))", FormulaError::RedundantParentheses},
      {"(V(b)-V(b+1))", FormulaError::RedundantParentheses},
      {"sq((h))", FormulaError::RedundantParentheses},
      {"1*V(b)", FormulaError::UnitCoefficient},
      {"V(b)-1.0*V(b+1)", FormulaError::UnitCoefficient},
      {"V(k)", FormulaError::BadIndex},
      {"V(b+M)", FormulaError::BadIndex},
      {"V(0+1)", FormulaError::BadIndex},
      {"V(i", FormulaError::BadIndex},
      {"V(b)-V(b)", FormulaError::RepeatedTerm},
      {"D(b)*h+h", FormulaError::RepeatedTerm},
      {"D(b)*(h+V(b)", FormulaError::MissingClosingParenthesis},
      {"V(b))", FormulaError::TrailingText},
      {"V(b)+", FormulaError::UnexpectedEnd},
      {"-V(b)", FormulaError::UnexpectedCharacter},
      {"X(b)", FormulaError::UnexpectedCharacter},
      {"V(b) + V(b+1)", FormulaError::TrailingText},
      {"0.12345678901234567*V(b)", FormulaError::BadLiteral},
      {"3.*V(b)", FormulaError::BadLiteral},
      {"1.2.3*V(b)", FormulaError::BadLiteral},
      {"99999999999*V(b)", FormulaError::BadLiteral},
  };
  for (const Case& c : cases) {
    const ParsedFormula p = ParseFormula(c.text);
    EXPECT_EQ(p.error, c.error) << c.text;
  }
  // Needed parentheses are accepted: a right operand of equal precedence, a sum under a product.
  for (const char* ok : {"V(b)-(V(b+1)+V(b+2))", "V(b)/(2*V(b+1))", "(V(b)+V(b+1))*h", "2*(D(b)*h)"}) {
    EXPECT_EQ(ParseFormula(ok).error, FormulaError::None) << ok;
  }
}

TEST(EquationNames, AreTheRowNumbersInDecimal) {
  EXPECT_STREQ(RowEquationName(1), "TQ_Eqn1");
  EXPECT_STREQ(RowEquationName(90), "TQ_Eqn90");
  EXPECT_STREQ(RowEquationName(379), "TQ_Eqn379");
  EXPECT_STREQ(RowEquationName(0), "");
  EXPECT_STREQ(RowEquationName(kMaxEquationNumber + 1), "");
}

// The distribution's list of non-zeros per equation, in declaration order.
struct NonZeroRow {
  int row;
  int group;
  const char* terms;
};
const NonZeroRow kNonZeros[] = {
    {1, 1, "I(0)"},
    {2, 2, "D(b), h, V(b), V(b+1)"},
    {3, 2, "D(i), h, V(i-1), V(i)"},
    {4, 2, "D2(i), h, V(i-1), V(i), V(i+1)"},
    {5, 2, "D(b), h, V(b), V(b+1)"},
    {6, 2, "I(i+1), h, V(i), V(i+1)"},
    {7, 3, "D(b), h, V(b+2), V(b), V(b+1)"},
    {8, 3, "D(b+1), h, V(b), V(b+2)"},
    {9, 3, "D(i), h, V(i-2), V(i-1), V(i)"},
    {10, 3, "D2(i), h, V(i-1), V(i), V(i+1)"},
    {11, 3, "D(b), h, V(b+2), V(b), V(b+1)"},
    {12, 3, "I(j+1), h, V(j+2), V(j), V(j+1)"},
    {13, 3, "I(j+2), h, V(j+1), V(j), V(j+2)"},
    {14, 4, "D(b), h, V(b), V(b+1)"},
    {15, 4, "D(i), h, V(i), V(i+1)"},
    {16, 4, "D(b+N), h, V(b+N-1), V(b+N)"},
    {17, 4, "D2(i), h, V(i-1), V(i), V(i+1)"},
    {18, 4, "D(b), h, V(b), V(b+1)"},
    {19, 4, "I(i+1), h, V(i), V(i+1)"},
    {20, 5, "D(b), h, V(b+2), V(b), V(b+1)"},
    {21, 5, "D(i), h, V(i+2), V(i), V(i+1)"},
    {22, 5, "D(b+N-1), h, V(b+N-2), V(b+N)"},
    {23, 5, "D(b+N), h, V(b+N-2), V(b+N-1), V(b+N)"},
    {24, 5, "D2(i), h, V(i-1), V(i), V(i+1)"},
    {25, 5, "D(b), h, V(b+2), V(b), V(b+1)"},
    {26, 5, "I(j+1), h, V(j+2), V(j), V(j+1)"},
    {27, 5, "I(j+2), h, V(j+1), V(j), V(j+2)"},
    {28, 6, "D(b), h, V(b+2), V(b), V(b+1)"},
    {29, 6, "D(i), h, V(i-1), V(i+1)"},
    {30, 6, "D(b+N), h, V(b+N-2), V(b+N-1), V(b+N)"},
    {31, 6, "D2(i), h, V(i-1), V(i), V(i+1)"},
    {32, 6, "D(b), h, V(b+2), V(b), V(b+1)"},
    {33, 6, "I(j+1), h, V(j+2), V(j), V(j+1)"},
    {34, 6, "I(j+2), h, V(j+1), V(j), V(j+2)"},
    {35, 7, "D(b), h, V(b+4), V(b), V(b+1), V(b+2), V(b+3)"},
    {36, 7, "D(b+1), h, V(b), V(b+1), V(b+2), V(b+3), V(b+4)"},
    {37, 7, "D(i), h, V(i+2), V(i-2), V(i-1), V(i+1)"},
    {38, 7, "D(b+N-1), h, V(b+N-4), V(b+N-3), V(b+N-2), V(b+N-1), V(b+N)"},
    {39, 7, "D(b+N), h, V(b+N-4), V(b+N-3), V(b+N-2), V(b+N-1), V(b+N)"},
    {40, 7, "D2(b+1), h, V(b+4), V(b), V(b+1), V(b+2), V(b+3)"},
    {41, 7, "D2(i), h, V(i+2), V(i-1), V(i-2), V(i), V(i+1)"},
    {42, 7, "D2(b+N-1), h, V(b+N-3), V(b+N-4), V(b+N-2), V(b+N-1), V(b+N)"},
    {43, 7, "D(b), h, V(b+4), V(b), V(b+1), V(b+2), V(b+3)"},
    {44, 7, "I(j+1), h, V(j), V(j+1), V(j+2), V(j+3), V(j+4)"},
    {45, 7, "I(j+2), h, V(j), V(j+1), V(j+2), V(j+3), V(j+4)"},
    {46, 7, "I(j+3), h, V(j), V(j+1), V(j+2), V(j+3), V(j+4)"},
    {47, 7, "I(j+4), h, V(j), V(j+1), V(j+2), V(j+3), V(j+4)"},
    {48, 8, "D(b), h, V(b+4), V(b), V(b+1), V(b+2), V(b+3)"},
    {49, 8, "D(b+1), h, V(b), V(b+1), V(b+2), V(b+3), V(b+4)"},
    {50, 8, "D(b+2), h, V(b+4), V(b), V(b+1), V(b+3)"},
    {51, 8, "D(i), h, V(i-3), V(i-2), V(i-1), V(i), V(i+1)"},
    {52, 8, "D(b+N), h, V(b+N-4), V(b+N-3), V(b+N-2), V(b+N-1), V(b+N)"},
    {53, 8, "D2(b+1), h, V(b+4), V(b), V(b+1), V(b+2), V(b+3)"},
    {54, 8, "D2(b+2), h, V(b+4), V(b+1), V(b), V(b+2), V(b+3)"},
    {55, 8, "D2(i), h, V(i-2), V(i-3), V(i-1), V(i), V(i+1)"},
    {56, 8, "D(b), h, V(b+4), V(b), V(b+1), V(b+2), V(b+3)"},
    {57, 8, "I(j+1), h, V(j), V(j+1), V(j+2), V(j+3), V(j+4)"},
    {58, 8, "I(j+2), h, V(j), V(j+1), V(j+2), V(j+3), V(j+4)"},
    {59, 8, "I(j+3), h, V(j), V(j+1), V(j+2), V(j+3), V(j+4)"},
    {60, 8, "I(j+4), h, V(j), V(j+1), V(j+2), V(j+3), V(j+4)"},
    {61, 9, "D(b), h, V(b+2), V(b), V(b+1)"},
    {62, 9, "D(j+1), h, V(j), V(j+2)"},
    {63, 9, "D(j+2), h, V(j), V(j+1), V(j+2)"},
    {64, 9, "D(j), h, V(j+2), V(j), V(j+1)"},
    {65, 9, "D2(j+1), h, V(j), V(j+1), V(j+2)"},
    {66, 9, "I(j+1), h, V(j), V(j+1), V(j+2)"},
    {67, 9, "I(j+2), h, V(j), V(j+1), V(j+2)"},
    {68, 10, "D(b), h, V(b), V(b+1), V(b+2), V(b+3)"},
    {69, 10, "D(j+1), h, V(j+3), V(j), V(j+1), V(j+2)"},
    {70, 10, "D(j+2), h, V(j), V(j+1), V(j+2), V(j+3)"},
    {71, 10, "D(j+3), h, V(j+1), V(j), V(j+2), V(j+3)"},
    {72, 10, "D(j), h, V(j), V(j+1), V(j+2), V(j+3)"},
    {73, 10, "D2(j+1), h, V(j+3), V(j), V(j+1), V(j+2)"},
    {74, 10, "D2(j+2), h, V(j), V(j+1), V(j+2), V(j+3)"},
    {75, 10, "I(j+1), h, V(j), V(j+1), V(j+2), V(j+3)"},
    {76, 10, "I(j+2), h, V(j), V(j+1), V(j+2), V(j+3)"},
    {77, 10, "I(j+3), h, V(j), V(j+1), V(j+2), V(j+3)"},
    {78, 11, "D(b), h, V(b+4), V(b), V(b+1), V(b+2), V(b+3)"},
    {79, 11, "D(j+1), h, V(j), V(j+1), V(j+2), V(j+3), V(j+4)"},
    {80, 11, "D(j+2), h, V(j+4), V(j), V(j+1), V(j+3)"},
    {81, 11, "D(j+3), h, V(j), V(j+1), V(j+2), V(j+3), V(j+4)"},
    {82, 11, "D(j+4), h, V(j), V(j+1), V(j+2), V(j+3), V(j+4)"},
    {83, 11, "D(j), h, V(j+4), V(j), V(j+1), V(j+2), V(j+3)"},
    {84, 11, "D2(j+1), h, V(j), V(j+1), V(j+2), V(j+3), V(j+4)"},
    {85, 11, "D2(j+2), h, V(j+4), V(j), V(j+1), V(j+2), V(j+3)"},
    {86, 11, "D2(j+3), h, V(j), V(j+1), V(j+2), V(j+3), V(j+4)"},
    {87, 11, "I(j+1), h, V(j), V(j+1), V(j+2), V(j+3), V(j+4)"},
    {88, 11, "I(j+2), h, V(j), V(j+1), V(j+2), V(j+3), V(j+4)"},
    {89, 11, "I(j+3), h, V(j), V(j+1), V(j+2), V(j+3), V(j+4)"},
    {90, 11, "I(j+4), h, V(j), V(j+1), V(j+2), V(j+3), V(j+4)"},
};

struct TableRow {
  int group = 0;
  const Formula* formula = nullptr;
};

std::map<int, TableRow> RowsOfPlan() {
  std::map<int, TableRow> rows;
  for (const PlanNode& n : d1::EquationPlan()) {
    if (n.step != Step::Row) continue;
    EXPECT_EQ(rows.count(n.row), 0u) << "row " << n.row << " stands twice in the plan";
    rows[n.row] = {n.value, n.formula};
  }
  return rows;
}

TEST(RowTable, TermsAndGroupsMatchTheListOfNonZeros) {
  const auto rows = RowsOfPlan();
  ASSERT_EQ(rows.size(), 90u);
  std::size_t nonZeros = 0;
  std::map<int, int> rowsPerGroup;
  for (const NonZeroRow& expected : kNonZeros) {
    ASSERT_EQ(rows.count(expected.row), 1u) << expected.row;
    const TableRow& r = rows.at(expected.row);
    EXPECT_EQ(r.group, expected.group) << "TQ_Eqn" << expected.row;
    std::string terms;
    for (std::size_t k = 0; k < r.formula->termCount; ++k) terms += (k ? ", " : "") + TermText(r.formula->Term(k));
    EXPECT_EQ(terms, expected.terms) << "TQ_Eqn" << expected.row;
    nonZeros += r.formula->termCount;
    ++rowsPerGroup[r.group];
  }
  EXPECT_EQ(nonZeros, 518u);
  EXPECT_EQ(rowsPerGroup,
            (std::map<int, int>{
                {1, 1}, {2, 5}, {3, 7}, {4, 6}, {5, 8}, {6, 7}, {7, 13}, {8, 13}, {9, 7}, {10, 10}, {11, 13}}));
}

TEST(RowTable, CollocationRowsUseDoubleConstantsAndBareValuesWhereWeightIsOne) {
  // VALUE terms without a coefficient: exactly these, in the collocation rows.
  const std::set<std::pair<int, std::string>> bare = {{61, "V(b+2)"},
                                                      {62, "V(j)"},
                                                      {62, "V(j+2)"},
                                                      {63, "V(j)"},
                                                      {64, "V(j+2)"},
                                                      {68, "V(b+3)"},
                                                      {71, "V(j)"},
                                                      {72, "V(j+3)"},
                                                      {78, "V(b+4)"},
                                                      {82, "V(j)"},
                                                      {83, "V(j+4)"}};
  std::set<std::pair<int, std::string>> found;
  for (const auto& [row, r] : RowsOfPlan()) {
    if (row < 61) continue;
    const Formula& f = *r.formula;
    for (std::size_t k = 0; k < f.itemCount; ++k) {
      const Item& it = f.items[k];
      EXPECT_NE(it.kind, ItemKind::IntConst) << "TQ_Eqn" << row;
      if (it.kind == ItemKind::Term && it.role == Role::Value &&
          (k == 0 || f.items[k - 1].kind != ItemKind::DoubleConst)) {
        found.insert({row, TermText(it)});
      }
    }
    if (row == 80) {
      for (std::size_t k = 0; k < f.termCount; ++k) EXPECT_NE(TermText(f.Term(k)), "V(j+2)");
    }
  }
  EXPECT_EQ(found, bare);
}

}  // namespace
}  // namespace morvane::eqn
