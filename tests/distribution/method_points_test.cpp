// A domain's NUMPOLYPOINTS and POLYPOINT are its method's: the distributions' formulas hold only
// on the points the method places, and read neither POLYPOINT nor the coordinates. Over one, two
// and three axes, with the domain at every axis position and for every method:
// - points fixed off the method's are refused where a distribution would write rows along the
//   domain: the domain names itself, the property, the value fixed and the method's value, once
//   however many distributions and axes meet it, and the distribution declares and emits nothing;
// - the method's own points typed by hand (to five decimals, one unit of the fifth decimal off, or
//   to the precision of a double) run as the domain that fixes nothing: the same rows, no word;
// - a domain with other points that no distribution writes rows along is no error.
// Likewise the grid the method places from the sections' starts, node counts and points:
// - a node moved, a section's LENGTH, SPACINGUSED or ELEMENTLENGTH fixed (the section then ends
//   off the next one's start, or off the domain's end), and an INTERIOR that leaves out a node
//   where a second derivative's row stands are refused with the node at fault, and nothing is
//   written;
// - a section's LOCATION, NODECOUNT or SPACINGPREFERENCE, a negative LENGTH, and an INTERIOR that
//   holds more than the rows need run as the grid computed without them;
// - a node moved along a domain without rows is no error.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "domain/tq_methods.h"
#include "real_domains.h"

namespace morvane::eqn::testing {
namespace {

constexpr const char* kUsedOrders[] = {
    "D.HIGHESTORDERXDERIVATIVEUSED", "D.HIGHESTORDERYDERIVATIVEUSED", "D.HIGHESTORDERZDERIVATIVEUSED"};

// A value fixed on the domain under test, by its property path within the domain.
struct PointFix {
  std::string property;
  double value;
  bool integer = false;
};

// A value as the domain's messages write it.
std::string Number(double v) { return MessageReal(v).text; }

// The domain's report of points that are not its method's.
std::string Refusal(const std::string& domain, const std::string& what) {
  return "domain " + domain + ": " + what +
         "; the distributions' equations hold only on the method's points, and none are written along the domain";
}

// What a model that meets a domain reported before says.
std::string MetAgain(const std::string& model, const std::string& domain, const std::string& link) {
  return model + ": the grid of the domain " + domain + " (" + link +
         ") is not the one its method places, as reported for the domain; its equations are not declared";
}

// The points the method stands for, from the mathematics: the roots of the Legendre polynomial of
// degree `points` on (0, 1) for collocation, the element divided evenly otherwise.
std::vector<double> ExactPoints(const TQ_MethodFacts& method) {
  const int n = method.points;
  if (!method.collocation) {
    std::vector<double> even;
    for (int p = 1; p <= n; ++p) even.push_back(double(p) / double(n + 1));
    return even;
  }
  if (n == 1) return {0.5};
  if (n == 2) return {(1.0 - 1.0 / std::sqrt(3.0)) / 2.0, (1.0 + 1.0 / std::sqrt(3.0)) / 2.0};
  return {(1.0 - std::sqrt(0.6)) / 2.0, 0.5, (1.0 + std::sqrt(0.6)) / 2.0};
}

// What one cycle left.
struct CycleOutcome {
  bool ok = false;
  std::vector<std::string> errors;
  std::vector<std::string> rows;  // D's emitted equations: name, group and text
  bool declared = false;          // whether D declared any equation
};

// A distribution "D" over `axes` axes: every domain of `method`, in two sections of a few
// elements, with second derivatives; D's integrals all selected (or those given); `fixes` on the
// domain of axis `axis`, and integer values fixed by path.
struct PointsCase {
  int axes = 1;
  int axis = 0;
  std::string method;
  std::vector<PointFix> fixes{};
  std::vector<std::string> integrals{};  // empty: every one the distribution computes
  std::vector<std::pair<std::string, int>> values{};
  const char* interior = nullptr;  // the INTERIOR fixed on the domain under test, as members text
};

std::vector<std::string> AllIntegrals(int axes) {
  if (axes == 1) return {"idx"};
  if (axes == 2) return {"idx", "idy", "idxdy"};
  return {"idx", "idy", "idz", "idxdy", "idxdz", "idydz", "idxdydz"};
}

// A distribution that writes no row along the domain of axis `axis`: no derivative along it and
// no integral over it (over one axis, no row at all).
PointsCase RowsAlongOtherAxesOnly(int axes, int axis, const std::string& method) {
  PointsCase setup{axes, axis, method};
  setup.values.push_back({kUsedOrders[axis], 0});
  setup.integrals = {"None"};
  for (const std::string& selector : AllIntegrals(axes)) {
    if (selector.find(static_cast<char>('x' + axis)) == std::string::npos) setup.integrals.push_back(selector);
  }
  return setup;
}

CycleOutcome RunCycle(const PointsCase& setup) {
  std::unique_ptr<HostRoad> road;
  TQ_ModelType* d = nullptr;
  const std::vector<std::string> integrals = setup.integrals.empty() ? AllIntegrals(setup.axes) : setup.integrals;
  if (setup.axes == 1) {
    RoadSetup one;
    one.method = setup.method;
    one.sections = 2;
    one.domainOrder = 2;
    one.spacing = 0.5;
    auto made = std::make_unique<Road>(one);
    TQ_SetValue selected;
    for (const std::string& selector : integrals) selected += selector.c_str();
    made->Fix("D.INTEGRALS", TQ_Value(selected, 0u, 0u, 0));
    d = made->distribution;
    road = std::move(made);
  } else {
    AxesSetup many;
    for (int a = 0; a < setup.axes; ++a) many.axes.push_back(RoadAxisSetup{setup.method, {}, 2});
    many.integrals = integrals;
    for (int a = 0; a < setup.axes; ++a) many.fixes.push_back({std::string(kDomainNames[a]) + ".NUMSECTIONS", 2});
    auto made = std::make_unique<AxesRoad>(many);
    for (int a = 0; a < setup.axes; ++a)
      made->Fix(std::string(kDomainNames[a]) + ".SPACINGPREFERENCE", TQ_Value(0.5, 0u, 0u, 0));
    d = made->distribution;
    road = std::move(made);
  }
  const std::string domain = kDomainNames[setup.axis];
  for (const PointFix& f : setup.fixes) {
    const std::string path = domain + "." + f.property;
    if (f.integer)
      road->Fix(path, TQ_Value(static_cast<int>(f.value), 0u, 0u, 0));
    else
      road->Fix(path, TQ_Value(f.value, 0u, 0u, 0));
  }
  for (const auto& [path, value] : setup.values) road->Fix(path, TQ_Value(value, 0u, 0u, 0));
  if (setup.interior != nullptr) road->Fix(domain + ".INTERIOR", TQ_Value(TQ_IntSetValue(setup.interior), 0u, 0u, 0));

  CycleOutcome outcome;
  outcome.ok = road->Cycle();
  outcome.errors = road->host.Errors();
  for (const TQ_EmittedEquation* e : road->EmittedBy(d))
    outcome.rows.push_back(std::string(road->host.EquationName(*e)) + "@" + std::to_string(e->group) + ": " +
                           road->host.Infix(*e));
  for (const TQ_DeclaredEquation& e : road->host.Declared()) outcome.declared = outcome.declared || e.owner == d;
  return outcome;
}

std::string Where(const PointsCase& setup) {
  std::string where =
      setup.method + " over " + std::to_string(setup.axes) + " axes, on axis " + std::to_string(setup.axis) + ":";
  for (const PointFix& f : setup.fixes) where += " " + f.property + "=" + Number(f.value);
  return where;
}

// A refused cycle: the one message, the domain's (no line of the host repeats the failure), and
// nothing declared or emitted by the distribution.
void ExpectRefused(const CycleOutcome& run, const std::string& message, const std::string& where) {
  EXPECT_FALSE(run.ok) << where;
  EXPECT_EQ(run.errors, std::vector<std::string>{message}) << where;
  EXPECT_FALSE(run.declared) << where;
  EXPECT_TRUE(run.rows.empty()) << where;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& line : lines) all += line + "\n";
  return all;
}

class MethodPoints : public ::testing::TestWithParam<std::size_t> {
 protected:
  const TQ_MethodFacts& Method() const { return kDiscretizationMethods[GetParam()]; }

  // Every axis position over one, two and three axes.
  template <class Body>
  void ForEachAxis(Body&& body) const {
    for (int axes = 1; axes <= 3; ++axes)
      for (int axis = 0; axis < axes; ++axis) body(axes, axis);
  }
};

TEST_P(MethodPoints, PointsOffTheMethodsAreRefusedWithTheirValuesAndNothingIsWritten) {
  const TQ_MethodFacts& method = Method();
  const int n = method.points;
  // Each off input, with what the domain says of it.
  struct Off {
    std::vector<PointFix> fixes;
    std::string what;
  };
  std::vector<Off> offs;
  {
    // One point more, spread evenly (the grid is sound: the domain has nothing else to say).
    Off more;
    more.fixes.push_back({"NUMPOLYPOINTS", double(n + 1), true});
    for (int p = 1; p <= n + 1; ++p) more.fixes.push_back({"POLYPOINT(" + std::to_string(p) + ")", p / (n + 2.0)});
    more.what = "NUMPOLYPOINTS is fixed at " + std::to_string(n + 1) + ", but its method " + method.name + " has " +
                std::to_string(n);
    offs.push_back(more);
  }
  if (n > 0) {
    // One point fewer, the method's others kept.
    offs.push_back({{{"NUMPOLYPOINTS", double(n - 1), true}},
                    "NUMPOLYPOINTS is fixed at " + std::to_string(n - 1) + ", but its method " + method.name + " has " +
                        std::to_string(n)});
  }
  for (int p = 1; p <= n; ++p) {
    const double f = method.fractions[p - 1];
    // Well inside the element and before the next point, and two units of the fifth decimal
    // either way: past the tolerance.
    for (const double value : {f - 0.05, f + 2e-5, f - 2e-5}) {
      const std::string property = "POLYPOINT(" + std::to_string(p) + ")";
      offs.push_back(
          {{{property, value}},
           property + " is fixed at " + Number(value) + ", but its method " + method.name + " has " + Number(f)});
    }
  }
  ForEachAxis([&](int axes, int axis) {
    for (const Off& off : offs) {
      PointsCase setup{axes, axis, method.name, off.fixes};
      ExpectRefused(RunCycle(setup), Refusal(kDomainNames[axis], off.what), Where(setup));
    }
  });
}

TEST_P(MethodPoints, TheMethodsOwnPointsTypedByHandRunAsTheDomainThatFixesNothing) {
  const TQ_MethodFacts& method = Method();
  const int n = method.points;
  std::vector<std::vector<PointFix>> typed;
  // NUMPOLYPOINTS alone, then with the points to five decimals, one unit of the fifth decimal
  // either way (the root cut, not rounded), and the points of the mathematics.
  typed.push_back({{"NUMPOLYPOINTS", double(n), true}});
  const std::vector<double> exact = ExactPoints(method);
  for (const double shift : {0.0, 1e-5, -1e-5}) {
    std::vector<PointFix> fixes{{"NUMPOLYPOINTS", double(n), true}};
    for (int p = 1; p <= n; ++p)
      fixes.push_back(
          {"POLYPOINT(" + std::to_string(p) + ")", std::round(method.fractions[p - 1] * 1e5) / 1e5 + shift});
    typed.push_back(fixes);
  }
  {
    std::vector<PointFix> fixes;
    for (int p = 1; p <= n; ++p) fixes.push_back({"POLYPOINT(" + std::to_string(p) + ")", exact[p - 1]});
    typed.push_back(fixes);
  }
  ForEachAxis([&](int axes, int axis) {
    const CycleOutcome unfixed = RunCycle(PointsCase{axes, axis, method.name});
    ASSERT_TRUE(unfixed.ok) << Lines(unfixed.errors);
    ASSERT_FALSE(unfixed.rows.empty());
    for (const std::vector<PointFix>& fixes : typed) {
      PointsCase setup{axes, axis, method.name, fixes};
      const CycleOutcome run = RunCycle(setup);
      const std::string where = Where(setup);
      EXPECT_TRUE(run.ok) << where << ": " << Lines(run.errors);
      EXPECT_EQ(run.rows, unfixed.rows) << where;
    }
  });
}

TEST_P(MethodPoints, OtherPointsAlongWhichNoRowsAreWrittenAreNoError) {
  const TQ_MethodFacts& method = Method();
  const int n = method.points;
  // Points the method does not have: one more than its own, spread evenly (a grid of other node
  // counts); and, for a method with points, its first point moved (the same nodes).
  std::vector<std::vector<PointFix>> offs;
  {
    std::vector<PointFix> more{{"NUMPOLYPOINTS", double(n + 1), true}};
    for (int p = 1; p <= n + 1; ++p) more.push_back({"POLYPOINT(" + std::to_string(p) + ")", p / (n + 2.0)});
    offs.push_back(more);
  }
  if (n > 0) offs.push_back({{"POLYPOINT(1)", method.fractions[0] - 0.05}});

  // A domain alone.
  for (const std::vector<PointFix>& off : offs) {
    HostRoad road;
    auto* domain = dynamic_cast<TQ_DOMAIN*>(DOMAINFactory());
    std::string error;
    ASSERT_TRUE(road.host.AddObject("X", domain, &error)) << error;
    road.Fix("X.DISCRETIZATIONMETHOD", TQ_Value(method.name, 0u, 0u, 0));
    for (const PointFix& f : off)
      road.Fix("X." + f.property,
               f.integer ? TQ_Value(static_cast<int>(f.value), 0u, 0u, 0) : TQ_Value(f.value, 0u, 0u, 0));
    EXPECT_TRUE(road.Cycle()) << road.Errors();
    EXPECT_EQ(road.Errors(), "");
    EXPECT_FALSE(domain->HoldsMethodGrid());
  }

  // A distribution that writes rows along the other axes only (over one axis, none at all): no
  // derivative along the domain and no integral over it. No row of its comes of a block along the
  // domain; with the domain's nodes as they were, its rows are those over the domain that fixes
  // nothing.
  ForEachAxis([&](int axes, int axis) {
    const PointsCase unfixedSetup = RowsAlongOtherAxesOnly(axes, axis, method.name);
    const CycleOutcome unfixed = RunCycle(unfixedSetup);
    ASSERT_TRUE(unfixed.ok) << Lines(unfixed.errors);
    EXPECT_EQ(unfixed.rows.empty(), axes == 1);
    for (const std::vector<PointFix>& off : offs) {
      PointsCase setup = unfixedSetup;
      setup.fixes = off;
      const CycleOutcome run = RunCycle(setup);
      const std::string where = Where(setup);
      EXPECT_TRUE(run.ok) << where << ": " << Lines(run.errors);
      EXPECT_EQ(run.rows.empty(), axes == 1) << where;
      if (off.front().integer) {
        for (const std::string& row : run.rows) {
          const int block = axes == 1 ? -1 : Numbering::ForAxes(axes).BlockOf(std::atoi(row.c_str() + 6));
          EXPECT_TRUE(block < 0 || block % axes != axis) << where << ": " << row;
        }
      } else {
        EXPECT_EQ(run.rows, unfixed.rows) << where;
      }
    }
  });
}

INSTANTIATE_TEST_SUITE_P(Methods,
                         MethodPoints,
                         ::testing::Range(std::size_t{0}, kDiscretizationMethodCount),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                           return std::string(kDiscretizationMethods[info.param].name);
                         });

// ---- once per domain ----

// Distributions made by the factories over domains X, Y and Z, all of OCFE2 (X with its point
// fixed at 0.3, Y at 0.7 when asked), and the names the host holds them by.
class SharedDomains : public HostRoad {
 public:
  explicit SharedDomains(bool yOff) {
    std::string error;
    for (int a = 0; a < 3; ++a) {
      domains[a] = dynamic_cast<TQ_DOMAIN*>(DOMAINFactory());
      EXPECT_TRUE(host.AddObject(kDomainNames[a], domains[a], &error)) << error;
      Fix(std::string(kDomainNames[a]) + ".DISCRETIZATIONMETHOD", TQ_Value("OCFE2", 0u, 0u, 0));
    }
    Fix("X.POLYPOINT(1)", TQ_Value(0.3, 0u, 0u, 0));
    if (yOff) Fix("Y.POLYPOINT(1)", TQ_Value(0.7, 0u, 0u, 0));
  }
  template <class Distribution>
  Distribution* Add(TQ_ModelType* made, const char* name) {
    auto* d = dynamic_cast<Distribution*>(made);
    std::string error;
    EXPECT_TRUE(host.AddObject(name, d, &error)) << error;
    models.push_back(d);
    return d;
  }
  bool Wrote() const {
    for (const TQ_ModelType* d : models)
      if (!EmittedBy(d).empty()) return true;
    for (const TQ_DeclaredEquation& e : host.Declared())
      for (const TQ_ModelType* d : models)
        if (e.owner == d) return true;
    return false;
  }

  std::array<TQ_DOMAIN*, 3> domains{};
  std::vector<TQ_ModelType*> models;
};

TEST(MethodPointsReported, OncePerDomainWhateverDistributionsAndAxesMeetIt) {
  SharedDomains road(false);
  std::string error;
  auto* one = road.Add<TQ_DISTRIBUTION1D>(DISTRIBUTION1DFactory(), "A");
  EXPECT_TRUE(one->XDOMAIN.Attach(road.domains[0], &error)) << error;
  auto* two = road.Add<TQ_DISTRIBUTION2D>(DISTRIBUTION2DFactory(), "B");
  EXPECT_TRUE(two->XDOMAIN.Attach(road.domains[0], &error)) << error;
  EXPECT_TRUE(two->YDOMAIN.Attach(road.domains[0], &error)) << error;
  auto* three = road.Add<TQ_DISTRIBUTION3D>(DISTRIBUTION3DFactory(), "C");
  EXPECT_TRUE(three->XDOMAIN.Attach(road.domains[1], &error)) << error;
  EXPECT_TRUE(three->YDOMAIN.Attach(road.domains[0], &error)) << error;
  EXPECT_TRUE(three->ZDOMAIN.Attach(road.domains[0], &error)) << error;
  const std::vector<std::string> expected = {
      Refusal("X", "POLYPOINT(1) is fixed at 0.3, but its method OCFE2 has 0.5"),
      MetAgain("B", "X", "XDOMAIN"),
      MetAgain("C", "X", "YDOMAIN"),
  };
  // Every cycle runs the domain's assignments anew, and says it all again.
  for (int cycle = 1; cycle <= 2; ++cycle) {
    road.host.ClearErrors();
    EXPECT_FALSE(road.Cycle()) << cycle;
    EXPECT_EQ(road.host.Errors(), expected) << cycle << ": " << road.Errors();
    EXPECT_FALSE(road.Wrote()) << cycle;
  }
  // Asked again without the assignments, the models are refused as before; the domain has told
  // its values already.
  road.host.ClearErrors();
  EXPECT_EQ(one->SetUpEquations(), TQ_DISTRIBUTION1D::kGridTooShort);
  EXPECT_EQ(road.host.Errors(), std::vector<std::string>{MetAgain("A", "X", "XDOMAIN")});
}

TEST(MethodPointsReported, EachDomainAtFaultIsNamedWithItsOwnValues) {
  SharedDomains road(true);
  std::string error;
  auto* three = road.Add<TQ_DISTRIBUTION3D>(DISTRIBUTION3DFactory(), "C");
  EXPECT_TRUE(three->XDOMAIN.Attach(road.domains[2], &error)) << error;
  EXPECT_TRUE(three->YDOMAIN.Attach(road.domains[1], &error)) << error;
  EXPECT_TRUE(three->ZDOMAIN.Attach(road.domains[0], &error)) << error;
  EXPECT_FALSE(road.Cycle());
  // In axis order: Y (YDOMAIN), then X (ZDOMAIN); Z holds its method's point.
  EXPECT_EQ(road.host.Errors(),
            (std::vector<std::string>{Refusal("Y", "POLYPOINT(1) is fixed at 0.7, but its method OCFE2 has 0.5"),
                                      Refusal("X", "POLYPOINT(1) is fixed at 0.3, but its method OCFE2 has 0.5")}))
      << road.Errors();
  EXPECT_FALSE(road.Wrote());
}

// ---- the method's grid ----

// The grid of RunCycle's domains: two sections of 0.5, each of the method's least node count
// (a whole element or more), as many intervals as the method reaches.
struct SmallGrid {
  explicit SmallGrid(const TQ_MethodFacts& method)
      : nodes(method.reach),
        element(method.collocation ? 0.5 : 0.5 / method.reach),
        // (The node statement adds the point's fraction to its element's number and takes 1 off
        // again, which rounds.)
        first(method.collocation ? 0.5 * ((method.fractions[0] + 1.0) - 1.0) : 0.5 / method.reach) {}
  int nodes;       // intervals per section
  double element;  // ELEMENTLENGTH
  double first;    // where the method puts node 1, to the last bit
};

std::string GridRefusal(const std::string& domain, const std::string& what) {
  return "domain " + domain + ": " + what +
         "; the distributions' equations hold only on the nodes where the method puts them, and none are written "
         "along the domain";
}

class MethodGrid : public MethodPoints {};

TEST_P(MethodGrid, AGridItsRowsDoNotDescribeIsRefusedAtTheNodeAtFault) {
  const TQ_MethodFacts& method = Method();
  const SmallGrid grid(method);
  const std::string n = std::to_string(grid.nodes);
  // The section's end as a fixed spacing or element length puts it.
  const auto endAt = [&](double spacing) { return Number(grid.nodes * spacing); };
  struct Off {
    PointFix fix;
    std::string what;
  };
  const Off offs[] = {
      {{"VALUE(1)", 0.05},
       "node 1 lies at 0.05, but its method " + std::string(method.name) + " puts it at " + Number(grid.first) +
           " (section 1, from its LOCATION 0 and ELEMENTLENGTH " + Number(grid.element) + ")"},
      {{"SECTION(1).LENGTH", 0.3},
       "node " + n +
           ", where section 1 ends and section 2 starts, lies at 0.3, but section 2 starts at its LOCATION 0.5 "
           "(section 1's LENGTH is fixed at 0.3)"},
      {{"SECTION(1).SPACINGUSED", 0.05},
       "node " + n + ", where section 1 ends and section 2 starts, lies at " + endAt(0.05) +
           ", but section 2 starts at its LOCATION 0.5 (section 1's SPACINGUSED is fixed at 0.05)"},
      {{"SECTION(1).ELEMENTLENGTH", 0.05},
       "node " + n + ", where section 1 ends and section 2 starts, lies at " +
           (method.collocation ? Number(0.05) : endAt(0.05)) +
           ", but section 2 starts at its LOCATION 0.5 (section 1's ELEMENTLENGTH is fixed at 0.05)"},
      // The last section: its end at the domain's.
      {{"SECTION(2).LENGTH", 0.3},
       "node " + std::to_string(2 * grid.nodes) +
           ", the last of section 2, lies at 0.8, but the domain ends at 1 (its LENGTH 1 from section 1's LOCATION "
           "0; section 2's LENGTH is fixed at 0.3)"},
  };
  ForEachAxis([&](int axes, int axis) {
    for (const Off& off : offs) {
      PointsCase setup{axes, axis, method.name, {off.fix}};
      ExpectRefused(RunCycle(setup), GridRefusal(kDomainNames[axis], off.what), Where(setup));
    }
  });
}

TEST_P(MethodGrid, AnInteriorThatLeavesOutARowsNodeIsRefused) {
  const TQ_MethodFacts& method = Method();
  const SmallGrid grid(method);
  // Empty: the first row's node 1 is missing; every node but the last row's (2 × nodes - 1) and
  // the domain's last.
  std::string members;
  for (int k = 1; k <= 2 * grid.nodes - 2; ++k) members += (k > 1 ? "," : "") + std::to_string(k);
  const struct {
    std::string interior;
    int node;
    int section;
  } cases[] = {{"", 1, 1}, {members, 2 * grid.nodes - 1, 2}};
  ForEachAxis([&](int axes, int axis) {
    for (const auto& c : cases) {
      PointsCase setup{axes, axis, method.name};
      setup.interior = c.interior.c_str();
      const CycleOutcome run = RunCycle(setup);
      const std::string where = Where(setup) + " INTERIOR {" + c.interior + "}";
      EXPECT_FALSE(run.ok) << where;
      ASSERT_EQ(run.errors.size(), 1u) << where << ": " << Lines(run.errors);
      const std::string domain = kDomainNames[axis];
      const std::string& message = run.errors.front();
      const std::string head = "D: the INTERIOR of the domain " + domain + " (" + domain + "DOMAIN) leaves out node " +
                               std::to_string(c.node) + ", where TQ_Eqn";
      const std::string tail = " of section " + std::to_string(c.section) + " (axis " + std::to_string(axis) +
                               ") stands at a second derivative: the second derivatives along the domain are "
                               "declared at its INTERIOR, which must hold every node where their rows stand";
      EXPECT_EQ(message.rfind(head, 0), 0u) << where << ": " << message;
      EXPECT_NE(message.find(tail, head.size()), std::string::npos) << where << ": " << message;
      EXPECT_FALSE(run.declared) << where;
      EXPECT_TRUE(run.rows.empty()) << where;
    }
  });
}

TEST_P(MethodGrid, WhatAUserMayFixRunsAsTheGridComputedWithoutIt) {
  const TQ_MethodFacts& method = Method();
  const SmallGrid grid(method);
  std::string everyNode;
  for (int k = 0; k <= 2 * grid.nodes; ++k) everyNode += (k > 0 ? "," : "") + std::to_string(k);
  ForEachAxis([&](int axes, int axis) {
    const CycleOutcome unfixed = RunCycle(PointsCase{axes, axis, method.name});
    ASSERT_TRUE(unfixed.ok) << Lines(unfixed.errors);
    ASSERT_FALSE(unfixed.rows.empty());
    // The same node counts: the rows of the unfixed grid.
    const std::vector<std::vector<PointFix>> same = {
        {{"SECTION(2).LOCATION", 0.6}},
        {{"SECTION(1).LOCATION", 0.25}},
        {{"SECTION(1).LOCATION", 1e5}},
        {{"LENGTH", -1.0}, {"SPACINGPREFERENCE", -0.5}},
        {{"VALUE(1)", grid.first}},
        {{"SECTION(1).ELEMENTLENGTH", grid.element}},
    };
    for (const std::vector<PointFix>& fixes : same) {
      PointsCase setup{axes, axis, method.name, fixes};
      const CycleOutcome run = RunCycle(setup);
      const std::string where = Where(setup);
      EXPECT_TRUE(run.ok) << where << ": " << Lines(run.errors);
      EXPECT_EQ(run.rows, unfixed.rows) << where;
    }
    PointsCase superset{axes, axis, method.name};
    superset.interior = everyNode.c_str();
    const CycleOutcome more = RunCycle(superset);
    EXPECT_TRUE(more.ok) << Where(superset) << " INTERIOR {" << everyNode << "}: " << Lines(more.errors);
    // (Over more axes the other axes' rows stand at the INTERIOR's members too: more of them.)
    if (axes == 1) {
      EXPECT_EQ(more.rows, unfixed.rows) << Where(superset);
    }
    EXPECT_GE(more.rows.size(), unfixed.rows.size()) << Where(superset);
    // Twice the node count, fixed or from a finer spacing: the same rows, more than the unfixed.
    const CycleOutcome counted =
        RunCycle(PointsCase{axes, axis, method.name, {{"SECTION(1).NODECOUNT", 2.0 * grid.nodes, true}}});
    const CycleOutcome finer =
        RunCycle(PointsCase{axes, axis, method.name, {{"SECTION(1).SPACINGPREFERENCE", 0.25 / grid.nodes}}});
    EXPECT_TRUE(counted.ok) << Lines(counted.errors);
    EXPECT_TRUE(finer.ok) << Lines(finer.errors);
    EXPECT_EQ(counted.rows, finer.rows);
    EXPECT_GT(counted.rows.size(), unfixed.rows.size());
  });
}

TEST_P(MethodGrid, ANodeMovedAlongWhichNoRowsAreWrittenIsNoError) {
  const TQ_MethodFacts& method = Method();
  ForEachAxis([&](int axes, int axis) {
    const PointsCase unfixedSetup = RowsAlongOtherAxesOnly(axes, axis, method.name);
    const CycleOutcome unfixed = RunCycle(unfixedSetup);
    ASSERT_TRUE(unfixed.ok) << Lines(unfixed.errors);
    for (const PointFix& fix : {PointFix{"VALUE(1)", 0.05}, PointFix{"SECTION(1).LENGTH", 0.3}}) {
      PointsCase setup = unfixedSetup;
      setup.fixes = {fix};
      const CycleOutcome run = RunCycle(setup);
      EXPECT_TRUE(run.ok) << Where(setup) << ": " << Lines(run.errors);
      EXPECT_EQ(run.rows, unfixed.rows) << Where(setup);
    }
  });
}

INSTANTIATE_TEST_SUITE_P(Methods,
                         MethodGrid,
                         ::testing::Range(std::size_t{0}, kDiscretizationMethodCount),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                           return std::string(kDiscretizationMethods[info.param].name);
                         });

TEST(MethodGridReported, OncePerDomainWhateverDistributionsAndAxesMeetIt) {
  SharedDomains road(false);
  road.Fix("X.POLYPOINT(1)", TQ_Value(0.5, 0u, 0u, 0));
  road.Fix("X.VALUE(3)", TQ_Value(0.4, 0u, 0u, 0));
  std::string error;
  auto* one = road.Add<TQ_DISTRIBUTION1D>(DISTRIBUTION1DFactory(), "A");
  EXPECT_TRUE(one->XDOMAIN.Attach(road.domains[0], &error)) << error;
  auto* two = road.Add<TQ_DISTRIBUTION2D>(DISTRIBUTION2DFactory(), "B");
  EXPECT_TRUE(two->XDOMAIN.Attach(road.domains[1], &error)) << error;
  EXPECT_TRUE(two->YDOMAIN.Attach(road.domains[0], &error)) << error;
  // X: OCFE2 of one section of four elements of 0.25; node 3, the second element's point, at 0.375
  // (0.4 keeps the nodes in order: the domain's own check of its nodes has nothing to say).
  const std::vector<std::string> expected = {
      GridRefusal("X",
                  "node 3 lies at 0.4, but its method OCFE2 puts it at 0.375 (section 1, from its LOCATION 0 and "
                  "ELEMENTLENGTH 0.25)"),
      MetAgain("B", "X", "YDOMAIN"),
  };
  for (int cycle = 1; cycle <= 2; ++cycle) {
    road.host.ClearErrors();
    EXPECT_FALSE(road.Cycle()) << cycle;
    EXPECT_EQ(road.host.Errors(), expected) << cycle << ": " << road.Errors();
    EXPECT_FALSE(road.Wrote()) << cycle;
  }
}

}  // namespace
}  // namespace morvane::eqn::testing
