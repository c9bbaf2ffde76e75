// Residual formulas of the distributions' equations, compiled when the library is built.
//
// A formula is written in infix as the equation catalogue states it, for example
//     D(b)*h+(V(b)-V(b+1))
// and turned, by constant evaluation, into the prefix program that the host's expression
// interface receives: operators, integer and double constants, and variable or parameter terms
// whose index is symbolic (an origin such as b, b+N, i or j plus a constant offset). A
// malformed formula stops the build; nothing is parsed at run time.
//
// Reading rules:
//   + - * / are the host operators 19, 20, 21, 22; sq(x) is 40 (square) and op1(x) is 1 (the
//   root of a residual that is a single term).
//   * and / bind before + and -; operators of equal precedence group from the left; parentheses
//   stand exactly where the tree differs from that reading (a redundant pair is an error).
//   A literal without a decimal point is one integer term, one with a point a double term; a
//   leading minus belongs to the literal (-3*V(b) is the term -3 times V(b)); there is no unary
//   minus otherwise. A coefficient of 1 is never written.
//   V, D, D2 and I are the value, first derivative, second derivative and integral roles; h is
//   the section's element length, a parameter term. Indices are 0, b, b+N, i or j followed by
//   integer offsets (b+N-1, i-1, j+2).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace morvane::eqn {

// Operator codes of the host's expression programs (only these are emitted).
enum class Op : std::uint8_t { Root = 1, Plus = 19, Minus = 20, Times = 21, Divide = 22, Square = 40 };

// What a variable term of a formula stands for. The row that uses a formula binds each of the
// four array roles to one array of its distribution; Step is the section's element length.
enum class Role : std::uint8_t { Value = 0, Derivative = 1, SecondDerivative = 2, Integral = 3, Step = 4 };
inline constexpr std::size_t kArrayRoles = 4;

// Where a symbolic index starts: a constant, the section's first node b, its last node b+N, the
// node loop's i or the element start j.
enum class Origin : std::uint8_t { Zero, Base, End, Node, Element };

struct Index {
  Origin origin = Origin::Zero;
  std::int32_t offset = 0;
  friend constexpr bool operator==(const Index&, const Index&) = default;
};

enum class ItemKind : std::uint8_t { Operator, IntConst, DoubleConst, Term };

// One element of a prefix program.
struct Item {
  ItemKind kind = ItemKind::Operator;
  Op op = Op::Root;         // Operator
  Role role = Role::Value;  // Term
  Index index{};            // Term (unused for Role::Step)
  std::int32_t ivalue = 0;  // IntConst
  double dvalue = 0.0;      // DoubleConst
};

inline constexpr std::size_t kMaxItems = 32;
inline constexpr std::size_t kMaxTerms = 16;

// A compiled formula: the prefix program and, apart, the positions of its variable and parameter
// terms in stream order (what a structure declaration walks).
struct Formula {
  std::array<Item, kMaxItems> items{};
  std::array<std::uint8_t, kMaxTerms> terms{};
  std::uint8_t itemCount = 0;
  std::uint8_t termCount = 0;
  std::uint8_t degree = 0;  // of the polynomials it is exact for (stated in the catalogue)
  std::string_view text{};

  constexpr const Item& Term(std::size_t k) const { return items[terms[k]]; }
  constexpr int StepTerms() const {
    int n = 0;
    for (std::size_t k = 0; k < termCount; ++k) n += Term(k).role == Role::Step ? 1 : 0;
    return n;
  }
};

// Why a formula text was rejected.
enum class FormulaError : std::uint8_t {
  None,
  UnexpectedCharacter,
  UnexpectedEnd,
  TrailingText,
  MissingClosingParenthesis,
  RedundantParentheses,
  BadLiteral,       // a literal the compiler could not round exactly, or malformed
  UnitCoefficient,  // a written coefficient of 1
  BadIndex,         // an index other than 0, b, b+N, i, j with offsets
  RepeatedTerm,     // the same element named twice in one formula
  TooLong,          // more items or terms than a formula holds
};

struct ParsedFormula {
  Formula formula{};
  FormulaError error = FormulaError::None;
  std::size_t position = 0;  // where in the text the error was found
};

namespace detail {

struct TreeNode {
  ItemKind kind = ItemKind::Operator;
  Op op = Op::Root;
  Role role = Role::Value;
  Index index{};
  std::int32_t ivalue = 0;
  double dvalue = 0.0;
  std::int16_t left = -1;
  std::int16_t right = -1;
  bool parenthesised = false;
};

constexpr int Precedence(Op op) {
  switch (op) {
    case Op::Plus:
    case Op::Minus:
      return 1;
    case Op::Times:
    case Op::Divide:
      return 2;
    default:
      return 3;
  }
}

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class FormulaParser {
 public:
  constexpr explicit FormulaParser(std::string_view text) : text_(text) {}

  constexpr ParsedFormula Run() {
    ParsedFormula out;
    out.formula.text = text_;
    const int root = Expression();
    if (!Failed() && pos_ != text_.size()) Fail(FormulaError::TrailingText);
    if (!Failed() && nodes_[root].parenthesised) Fail(FormulaError::RedundantParentheses);
    if (!Failed()) Flatten(root, out.formula);
    if (!Failed()) CheckRepeatedTerms(out.formula);
    out.error = error_;
    out.position = errorPos_;
    return out;
  }

 private:
  static constexpr std::size_t kMaxNodes = 64;

  std::string_view text_;
  std::size_t pos_ = 0;
  std::array<TreeNode, kMaxNodes> nodes_{};
  std::size_t nodeCount_ = 0;
  FormulaError error_ = FormulaError::None;
  std::size_t errorPos_ = 0;

  constexpr bool Failed() const { return error_ != FormulaError::None; }
  constexpr int Fail(FormulaError e) {
    if (!Failed()) {
      error_ = e;
      errorPos_ = pos_;
    }
    return 0;
  }
  constexpr char Peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  constexpr bool StartsWith(std::string_view word) const { return text_.substr(pos_, word.size()) == word; }

  constexpr int Add(const TreeNode& n) {
    if (nodeCount_ == kMaxNodes) return Fail(FormulaError::TooLong);
    nodes_[nodeCount_] = n;
    return static_cast<int>(nodeCount_++);
  }

  // A parenthesised operand is needed only where the tree differs from the plain reading.
  constexpr void CheckOperand(int child, Op parent, bool isRight) {
    const TreeNode& c = nodes_[child];
    if (!c.parenthesised) return;
    bool needed = false;
    if (c.kind == ItemKind::Operator &&
        (c.op == Op::Plus || c.op == Op::Minus || c.op == Op::Times || c.op == Op::Divide)) {
      needed = isRight ? Precedence(c.op) <= Precedence(parent) : Precedence(c.op) < Precedence(parent);
    }
    if (!needed) Fail(FormulaError::RedundantParentheses);
  }

  constexpr void CheckNotUnit(int child) {
    const TreeNode& c = nodes_[child];
    if ((c.kind == ItemKind::IntConst && c.ivalue == 1) || (c.kind == ItemKind::DoubleConst && c.dvalue == 1.0)) {
      Fail(FormulaError::UnitCoefficient);
    }
  }

  constexpr int Binary(Op op, int left, int right) {
    CheckOperand(left, op, false);
    CheckOperand(right, op, true);
    if (op == Op::Times) {
      CheckNotUnit(left);
      CheckNotUnit(right);
    }
    TreeNode n;
    n.kind = ItemKind::Operator;
    n.op = op;
    n.left = static_cast<std::int16_t>(left);
    n.right = static_cast<std::int16_t>(right);
    return Add(n);
  }

  constexpr int Expression() {
    int left = Product();
    while (!Failed() && (Peek() == '+' || Peek() == '-')) {
      const Op op = Peek() == '+' ? Op::Plus : Op::Minus;
      ++pos_;
      const int right = Product();
      if (Failed()) break;
      left = Binary(op, left, right);
    }
    return left;
  }

  constexpr int Product() {
    int left = Primary();
    while (!Failed() && (Peek() == '*' || Peek() == '/')) {
      const Op op = Peek() == '*' ? Op::Times : Op::Divide;
      ++pos_;
      const int right = Primary();
      if (Failed()) break;
      left = Binary(op, left, right);
    }
    return left;
  }

  constexpr int Unary(Op op) {
    const int arg = Expression();
    if (Failed()) return 0;
    if (Peek() != ')') return Fail(FormulaError::MissingClosingParenthesis);
    ++pos_;
    if (nodes_[arg].parenthesised) return Fail(FormulaError::RedundantParentheses);
    TreeNode n;
    n.kind = ItemKind::Operator;
    n.op = op;
    n.left = static_cast<std::int16_t>(arg);
    return Add(n);
  }

  constexpr int Primary() {
    const char c = Peek();
    if (c == '\0') return Fail(FormulaError::UnexpectedEnd);
    if (c == '(') {
      ++pos_;
      const int inner = Expression();
      if (Failed()) return 0;
      if (Peek() != ')') return Fail(FormulaError::MissingClosingParenthesis);
      ++pos_;
      nodes_[inner].parenthesised = true;
      return inner;
    }
    if (IsDigit(c) || (c == '-' && pos_ + 1 < text_.size() && IsDigit(text_[pos_ + 1]))) return Literal();
    if (StartsWith("sq(")) {
      pos_ += 3;
      return Unary(Op::Square);
    }
    if (StartsWith("op1(")) {
      pos_ += 4;
      return Unary(Op::Root);
    }
    if (c == 'h') {
      ++pos_;
      TreeNode n;
      n.kind = ItemKind::Term;
      n.role = Role::Step;
      return Add(n);
    }
    if (StartsWith("D2(")) return Term(Role::SecondDerivative, 3);
    if (StartsWith("D(")) return Term(Role::Derivative, 2);
    if (StartsWith("V(")) return Term(Role::Value, 2);
    if (StartsWith("I(")) return Term(Role::Integral, 2);
    return Fail(FormulaError::UnexpectedCharacter);
  }

  constexpr int Literal() {
    const bool negative = Peek() == '-';
    if (negative) ++pos_;
    std::uint64_t mantissa = 0;
    int digits = 0;
    int fraction = -1;  // digits after the point, -1 without a point
    while (IsDigit(Peek()) || Peek() == '.') {
      if (Peek() == '.') {
        if (fraction >= 0) return Fail(FormulaError::BadLiteral);
        fraction = 0;
      } else {
        if (mantissa != 0 || Peek() != '0') ++digits;  // leading zeros are not significant
        if (digits > 17) return Fail(FormulaError::BadLiteral);
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(Peek() - '0');
        if (fraction >= 0) ++fraction;
      }
      ++pos_;
    }
    if (fraction == 0) return Fail(FormulaError::BadLiteral);  // "3." is not written
    TreeNode n;
    if (fraction < 0) {
      if (mantissa > 0x7fffffffULL) return Fail(FormulaError::BadLiteral);
      n.kind = ItemKind::IntConst;
      n.ivalue = static_cast<std::int32_t>(mantissa) * (negative ? -1 : 1);
      return Add(n);
    }
    // Exact conversion: an integer below 2^53 divided by a power of ten up to 10^22 (both
    // exact doubles) gives the nearest double in one correctly rounded division.
    if (mantissa >= (std::uint64_t{1} << 53) || fraction > 22) return Fail(FormulaError::BadLiteral);
    double scale = 1.0;
    for (int k = 0; k < fraction; ++k) scale *= 10.0;
    n.kind = ItemKind::DoubleConst;
    n.dvalue = static_cast<double>(mantissa) / scale * (negative ? -1.0 : 1.0);
    return Add(n);
  }

  constexpr int Term(Role role, std::size_t openLength) {
    pos_ += openLength;
    Index index;
    if (Peek() == '0') {
      ++pos_;
    } else if (Peek() == 'b') {
      ++pos_;
      index.origin = Origin::Base;
      if (StartsWith("+N")) {
        pos_ += 2;
        index.origin = Origin::End;
      }
    } else if (Peek() == 'i') {
      ++pos_;
      index.origin = Origin::Node;
    } else if (Peek() == 'j') {
      ++pos_;
      index.origin = Origin::Element;
    } else {
      return Fail(FormulaError::BadIndex);
    }
    while (Peek() == '+' || Peek() == '-') {
      const int sign = Peek() == '+' ? 1 : -1;
      ++pos_;
      if (!IsDigit(Peek())) return Fail(FormulaError::BadIndex);
      int value = 0;
      while (IsDigit(Peek())) {
        value = value * 10 + (Peek() - '0');
        if (value > 1000) return Fail(FormulaError::BadIndex);
        ++pos_;
      }
      index.offset += sign * value;
    }
    if (index.origin == Origin::Zero && index.offset != 0) return Fail(FormulaError::BadIndex);
    if (Peek() != ')') return Fail(FormulaError::BadIndex);
    ++pos_;
    TreeNode n;
    n.kind = ItemKind::Term;
    n.role = role;
    n.index = index;
    return Add(n);
  }

  constexpr void Flatten(int at, Formula& f) {
    if (Failed()) return;
    if (f.itemCount == kMaxItems) {
      Fail(FormulaError::TooLong);
      return;
    }
    const TreeNode& n = nodes_[at];
    Item& item = f.items[f.itemCount];
    item.kind = n.kind;
    item.op = n.op;
    item.role = n.role;
    item.index = n.index;
    item.ivalue = n.ivalue;
    item.dvalue = n.dvalue;
    if (n.kind == ItemKind::Term) {
      if (f.termCount == kMaxTerms) {
        Fail(FormulaError::TooLong);
        return;
      }
      f.terms[f.termCount++] = f.itemCount;
    }
    ++f.itemCount;
    if (n.left >= 0) Flatten(n.left, f);
    if (n.right >= 0) Flatten(n.right, f);
  }

  constexpr void CheckRepeatedTerms(const Formula& f) {
    for (std::size_t a = 0; a < f.termCount; ++a) {
      for (std::size_t b = a + 1; b < f.termCount; ++b) {
        if (f.Term(a).role == f.Term(b).role && f.Term(a).index == f.Term(b).index) {
          Fail(FormulaError::RepeatedTerm);
          return;
        }
      }
    }
  }
};

// Called only when a catalogue formula is malformed: not a constant expression, so the build
// stops here and the diagnostic names the failing formula.
inline void MalformedFormulaInCatalogue(FormulaError, std::size_t) {}

}  // namespace detail

// Parses a formula; usable at run time as well (tests check the error cases through it).
constexpr ParsedFormula ParseFormula(std::string_view text) { return detail::FormulaParser(text).Run(); }

// Parses a catalogue formula while the library is built; a malformed text fails the build.
consteval Formula CompileFormula(std::string_view text, std::uint8_t degree = 0) {
  const ParsedFormula parsed = ParseFormula(text);
  if (parsed.error != FormulaError::None) detail::MalformedFormulaInCatalogue(parsed.error, parsed.position);
  Formula f = parsed.formula;
  f.degree = degree;
  return f;
}

// Parses a symbolic index such as "b+N-1" or "i" (loop bounds of the row tables).
consteval Index ParseIndex(std::string_view text) {
  std::string_view wrapped = text;  // reuse the term parser on "V(<text>)"
  std::array<char, 40> buffer{};
  if (wrapped.size() + 3 > buffer.size()) detail::MalformedFormulaInCatalogue(FormulaError::BadIndex, 0);
  buffer[0] = 'V';
  buffer[1] = '(';
  for (std::size_t k = 0; k < wrapped.size(); ++k) buffer[k + 2] = wrapped[k];
  buffer[wrapped.size() + 2] = ')';
  const ParsedFormula parsed = ParseFormula(std::string_view(buffer.data(), wrapped.size() + 3));
  if (parsed.error != FormulaError::None) detail::MalformedFormulaInCatalogue(parsed.error, parsed.position);
  return parsed.formula.items[0].index;
}

}  // namespace morvane::eqn
