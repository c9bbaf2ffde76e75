// Test support for the equation engine: a grid built the way the domain builds it, a context
// over it, recording sinks and an evaluator of recorded programs.
#pragma once

#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "distribution/distribution1d_equations.h"
#include "domain/tq_methods.h"

namespace morvane::eqn::testing {

// A stencil fault in words (empty for a fault of another kind).
inline std::string Describe(const GridFault& f) {
  char text[512];
  eqn::Describe(f, text, sizeof text);
  return text;
}

// A variable or parameter term: array 0..3 (VALUE, DDX, D2DX2, IDX) with a node index, or the
// element length of a section.
struct TermRef {
  static constexpr std::uint8_t kElementLength = 4;
  std::uint8_t array = 0;
  std::int32_t index = 0;
  friend bool operator==(const TermRef&, const TermRef&) = default;
};

// What the method table says of a method as written (letter case counts): its points inside an
// element, whether it is a collocation method (none of either for a name outside the table), and
// the fractions at which the domain places its collocation points.
inline int PointsOf(const std::string& method) {
  const TQ_MethodFacts* facts = FindDiscretizationMethod(method);
  return facts != nullptr ? facts->points : 0;
}
inline bool IsCollocation(const std::string& method) {
  const TQ_MethodFacts* facts = FindDiscretizationMethod(method);
  return facts != nullptr && facts->collocation;
}
inline std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

inline std::vector<double> CollocationFractions(const std::string& method) {
  if (!IsCollocation(method)) return {};
  const TQ_MethodFacts& facts = *FindDiscretizationMethod(method);
  return std::vector<double>(facts.fractions, facts.fractions + facts.points);
}

struct Section {
  std::int32_t base = 0;
  std::int32_t nodeCount = 0;
  std::int32_t elements = 0;
  double elementLength = 0.0;
};

// A one-dimensional distribution over a domain: sections tiling nodes 0..ENDNODE, node
// coordinates evenly spaced for difference methods and at the collocation fractions of each
// element for the collocation methods.
class Grid1D {
 public:
  using Coord = std::array<std::int32_t, 1>;
  using Handle = TermRef;

  std::string methodText = "BFD1";  // as the domain holds it (may differ in case)
  std::int32_t orderUsed_ = 2;
  std::int32_t highestOrder_ = 2;
  std::int32_t polyPoints = 0;
  bool idx = true;
  std::vector<Section> sections;
  std::vector<double> x;  // node coordinates

  // Reads of the integral selection and of the method, to check where the walk reads them.
  int integralReads = 0;
  int methodReads = 0;

  // elementsPerSection: elements of each section; lengths: each section's length.
  static Grid1D Make(const std::string& method,
                     const std::vector<int>& elementsPerSection,
                     const std::vector<double>& lengths = {}) {
    Grid1D g;
    g.methodText = method;
    g.polyPoints = PointsOf(method);
    const int p1 = g.polyPoints + 1;
    const std::vector<double> fractions = CollocationFractions(method);
    std::int32_t base = 0;
    double x0 = 0.0;
    g.x.assign(1, 0.0);
    for (std::size_t s = 0; s < elementsPerSection.size(); ++s) {
      const double length = lengths.empty() ? 1.0 : lengths[s];
      Section sec;
      sec.base = base;
      sec.elements = elementsPerSection[s];
      sec.nodeCount = sec.elements * p1;
      const double spacing = length / sec.nodeCount;
      sec.elementLength = IsCollocation(method) ? spacing * p1 : spacing;
      for (int e = 0; e < sec.elements; ++e) {
        const double start = x0 + e * spacing * p1;
        for (int p = 1; p < p1; ++p) {
          g.x.push_back(IsCollocation(method) ? start + fractions[static_cast<std::size_t>(p - 1)] * spacing * p1
                                              : start + p * spacing);
        }
        g.x.push_back(x0 + (e + 1) * spacing * p1);
      }
      g.sections.push_back(sec);
      base += sec.nodeCount;
      x0 += length;
    }
    return g;
  }

  std::int32_t EndNode() const { return static_cast<std::int32_t>(x.size()) - 1; }
  std::int32_t EndNode(int) const { return EndNode(); }

  // The INTERIOR set the domain gives this grid for its HIGHESTORDERDERIVATIVE, ascending: below
  // 2 the nodes 1 .. ENDNODE-1; at 2 the inner nodes of every section, less the element
  // boundaries of a collocation method.
  std::vector<std::int32_t> DomainInterior(int domainOrder) const {
    std::vector<std::int32_t> out;
    if (domainOrder < 2) {
      for (std::int32_t k = 1; k < EndNode(); ++k) out.push_back(k);
      return out;
    }
    for (const Section& s : sections) {
      for (std::int32_t k = s.base + 1; k < s.base + s.nodeCount; ++k) {
        if (IsCollocation(UpperCase(methodText)) && (k - s.base) % (polyPoints + 1) == 0) continue;
        out.push_back(k);
      }
    }
    return out;
  }

  // ---- The context the walker reads ----
  const char* Method(int) {
    ++methodReads;
    return methodText.c_str();
  }
  bool SelectsIntegral(const char* selector) {
    ++integralReads;
    return idx && std::string(selector) == "idx";
  }
  std::int32_t OrderUsed(int) const { return orderUsed_; }
  std::int32_t HighestOrder(int) const { return highestOrder_; }
  std::int32_t NumSections(int) const { return static_cast<std::int32_t>(sections.size()); }
  std::int32_t NumPolyPoints(int) const { return polyPoints; }
  const Section& SectionAt(std::int32_t s) const { return sections.at(static_cast<std::size_t>(s - 1)); }
  std::int32_t Base(int, std::int32_t s) const { return SectionAt(s).base; }
  std::int32_t NodeCount(int, std::int32_t s) const { return SectionAt(s).nodeCount; }
  std::int32_t NumElements(int, std::int32_t s) const { return SectionAt(s).elements; }
  Handle ElementLength(int, std::int32_t s) const { return {TermRef::kElementLength, s}; }
  Handle Variable(std::uint8_t array, const Coord& at) const { return {array, at[0]}; }
};

// ---- Recording sinks ----

// One item of a recorded program; Term is the grid's term type (TermRef over one axis).
template <class Term>
struct BasicEntry {
  ItemKind kind = ItemKind::Operator;
  Op op = Op::Root;
  std::int32_t ivalue = 0;
  double dvalue = 0.0;
  Term term{};
};

template <class Term>
struct BasicEquation {
  int row = 0;
  std::string name;
  std::int32_t group = 0;
  std::vector<BasicEntry<Term>> program;  // emitted: the whole program; declared: the terms only
  std::vector<Term> Terms() const {
    std::vector<Term> out;
    for (const BasicEntry<Term>& e : program) {
      if (e.kind == ItemKind::Term) out.push_back(e.term);
    }
    return out;
  }
};

using Entry = BasicEntry<TermRef>;
using Equation = BasicEquation<TermRef>;

// An emitted program as text: operator codes, "i:<int>", "d:<double>", and terms as termName
// names them.
template <class Term, class Name>
std::vector<std::string> Render(const BasicEquation<Term>& e, Name termName) {
  std::vector<std::string> out;
  for (const BasicEntry<Term>& x : e.program) {
    switch (x.kind) {
      case ItemKind::Operator:
        out.push_back(std::to_string(static_cast<int>(x.op)));
        break;
      case ItemKind::IntConst:
        out.push_back("i:" + std::to_string(x.ivalue));
        break;
      case ItemKind::DoubleConst:
        out.push_back("d:" + std::to_string(x.dvalue));
        break;
      case ItemKind::Term:
        out.push_back(termName(x.term));
        break;
    }
  }
  return out;
}

// Terms over one axis as VALUE(k), DDX(k), D2DX2(k), IDX(k) or h(s).
inline std::string TermName(const TermRef& t) {
  static const char* const arrays[] = {"VALUE", "DDX", "D2DX2", "IDX", "h"};
  return std::string(arrays[t.array]) + "(" + std::to_string(t.index) + ")";
}
inline std::vector<std::string> Render(const Equation& e) {
  return Render(e, [](const TermRef& t) { return TermName(t); });
}

template <SinkMode Mode, class Term = TermRef>
struct Recorder {
  static constexpr SinkMode kMode = Mode;
  std::vector<BasicEquation<Term>> equations;
  Recorder& OpenEquation(int row, const char* name, std::int32_t group) {
    equations.push_back({row, name, group, {}});
    return *this;
  }
  void AddOperator(Op o) { equations.back().program.push_back({ItemKind::Operator, o, 0, 0.0, {}}); }
  void AddConstant(std::int32_t v) { equations.back().program.push_back({ItemKind::IntConst, Op::Root, v, 0.0, {}}); }
  void AddConstant(double v) { equations.back().program.push_back({ItemKind::DoubleConst, Op::Root, 0, v, {}}); }
  void AddTerm(Term t) { equations.back().program.push_back({ItemKind::Term, Op::Root, 0, 0.0, t}); }
  std::size_t TermCount() const {
    std::size_t n = 0;
    for (const BasicEquation<Term>& e : equations) n += e.Terms().size();
    return n;
  }
};
using Declared = Recorder<SinkMode::Declare>;
using Emitted = Recorder<SinkMode::Emit>;

template <class Context>
Emitted Emit(Context& ctx, std::int32_t groupBase = 0) {
  Emitted out;
  d1::WalkEquations(ctx, out, groupBase);
  return out;
}
template <class Context>
Declared Declare(Context& ctx, std::int32_t groupBase = 0) {
  Declared out;
  d1::WalkEquations(ctx, out, groupBase);
  return out;
}

// ---- Evaluation of an emitted program ----

struct Value {
  double value = 0.0;
  double magnitude = 0.0;  // the same expression over the absolute values of its leaves
};

using Lookup = std::function<double(const TermRef&)>;

// lookup(term) gives a term's value.
template <class Term, class TermLookup>
Value Evaluate(const std::vector<BasicEntry<Term>>& program, std::size_t& at, const TermLookup& lookup) {
  if (at >= program.size()) throw std::runtime_error("program ends inside an operator");
  const BasicEntry<Term>& e = program[at++];
  switch (e.kind) {
    case ItemKind::IntConst:
      return {double(e.ivalue), std::fabs(double(e.ivalue))};
    case ItemKind::DoubleConst:
      return {e.dvalue, std::fabs(e.dvalue)};
    case ItemKind::Term: {
      const double v = lookup(e.term);
      return {v, std::fabs(v)};
    }
    case ItemKind::Operator:
      break;
  }
  const Value a = Evaluate(program, at, lookup);
  switch (e.op) {
    case Op::Root:
      return a;
    case Op::Square:
      return {a.value * a.value, a.magnitude * a.magnitude};
    default:
      break;
  }
  const Value b = Evaluate(program, at, lookup);
  switch (e.op) {
    case Op::Plus:
      return {a.value + b.value, a.magnitude + b.magnitude};
    case Op::Minus:
      return {a.value - b.value, a.magnitude + b.magnitude};
    case Op::Times:
      return {a.value * b.value, a.magnitude * b.magnitude};
    case Op::Divide:
      return {a.value / b.value, a.magnitude / b.magnitude};
    default:
      throw std::runtime_error("unknown operator");
  }
}

// Evaluates a whole program; throws when it is not exactly one expression.
template <class Term, class TermLookup>
Value Evaluate(const std::vector<BasicEntry<Term>>& program, const TermLookup& lookup) {
  std::size_t at = 0;
  const Value v = Evaluate(program, at, lookup);
  if (at != program.size()) throw std::runtime_error("program holds more than one expression");
  return v;
}

// Values of a function on the grid: VALUE = f, DDX = f', D2DX2 = f'', IDX(k) the integral over the
// interval from node k-1 to node k (IDX(0) = 0), element lengths from the grid.
struct Field {
  std::function<double(double)> f, df, d2f, antiderivative;
};

inline Lookup LookupOf(const Grid1D& g, const Field& field) {
  return [&g, field](const TermRef& t) -> double {
    if (t.array == TermRef::kElementLength) return g.SectionAt(t.index).elementLength;
    if (t.index < 0 || t.index > g.EndNode()) throw std::out_of_range("node outside the grid");
    const double xk = g.x[static_cast<std::size_t>(t.index)];
    switch (t.array) {
      case d1::kValue:
        return field.f(xk);
      case d1::kDdx:
        return field.df(xk);
      case d1::kD2dx2:
        return field.d2f(xk);
      case d1::kIdx:
        return t.index == 0
                   ? 0.0
                   : field.antiderivative(xk) - field.antiderivative(g.x[static_cast<std::size_t>(t.index - 1)]);
      default:
        throw std::out_of_range("unknown array");
    }
  };
}

// (x - c)^n with its derivatives and antiderivative.
inline Field Monomial(int n, double c) {
  auto pw = [](double v, int k) { return k < 0 ? 0.0 : std::pow(v, k); };
  return Field{[=](double x) { return pw(x - c, n); },
               [=](double x) { return n * pw(x - c, n - 1); },
               [=](double x) { return n * (n - 1) * pw(x - c, n - 2); },
               [=](double x) { return pw(x - c, n + 1) / (n + 1); }};
}

// The polynomial c[0] + c[1] x + c[2] x^2 + ... with its derivatives and antiderivative.
inline Field Polynomial(std::vector<double> c) {
  auto sum = [c](double x, int derivative) {
    double total = 0.0;
    for (std::size_t k = 0; k < c.size(); ++k) {
      const int n = static_cast<int>(k);
      double factor = c[k];
      for (int d = 0; d < derivative; ++d) factor *= n - d;
      if (derivative < 0) factor /= n + 1;
      if (n - derivative >= 0) total += factor * std::pow(x, n - derivative);
    }
    return total;
  };
  return Field{[=](double x) { return sum(x, 0); },
               [=](double x) { return sum(x, 1); },
               [=](double x) { return sum(x, 2); },
               [=](double x) { return sum(x, -1); }};
}

// The method names in the order in which the distributions test them (their blocks' order).
inline constexpr std::array<const char*, kDiscretizationMethodCount> kMethods = [] {
  std::array<const char*, kDiscretizationMethodCount> names{};
  for (std::size_t m = 0; m < names.size(); ++m) names[m] = kDiscretizationMethods[m].name;
  return names;
}();
inline constexpr int kMethodCount = static_cast<int>(kMethods.size());

}  // namespace morvane::eqn::testing
