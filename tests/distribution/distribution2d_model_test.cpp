// The two-dimensional distribution as a model: what its factory makes and registers, its type
// id, copying, the index sets and default assignments it hands to the host (read back from the
// executive's log) on real domains through the host's model cycle, the sets its arrays are bound
// to, and what happens when its y domain goes away (distribution_links_test.cpp has what every
// distribution does with an empty link).
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "handed_values.h"
#include "real_domain.h"
#include "distribution/tq_distribution2d.h"
#include "host/tq_executive_testing.h"

namespace morvane::eqn::testing {
namespace {

std::set<int> KeysOf(const SUValue& set) {
  std::set<int> out;
  for (int p = 0; p < set.SetSize(); ++p) out.insert(set.IntegerAt(p));
  return out;
}

std::set<int> Nodes(int lo, int hi) {
  std::set<int> out;
  for (int k = lo; k <= hi; ++k) out.insert(k);
  return out;
}

// One axis's domain: method, node counts of its sections, HIGHESTORDERDERIVATIVE.
struct Axis {
  const char* method;
  std::vector<int> nodeCounts;
  int order;
};
const Axis kX{"BFD1", {5}, 1};      // ENDNODE 5, INTERIOR 1..4
const Axis kX2{"BFD1", {2, 3}, 2};  // ENDNODE 5, INTERIOR {1, 3, 4}: node 2 joins the sections
const Axis kY1{"BFD1", {3, 4}, 1};  // ENDNODE 7, INTERIOR 1..6
const Axis kY2{"BFD1", {3, 4}, 2};  // ENDNODE 7, INTERIOR {1, 2, 4, 5, 6}

// What a road sets up; an entry below 0 or an empty text is left to the assignments.
struct Setup2D {
  Axis x = kX;
  Axis y = kY2;
  int xOrder = -1, yOrder = -1;  // HIGHESTORDER<A>DERIVATIVE fixed
  int xUsed = -1, yUsed = -1;    // HIGHESTORDER<A>DERIVATIVEUSED fixed
  const char* integrals = "";    // INTEGRALS fixed, members each followed by a quote
  int endX = -1;                 // XDOMAIN's ENDNODE fixed
};

// Domains "X" and "Y" and the distribution "D", made by the factories and held by the executive.
class Road2D {
 public:
  explicit Road2D(const Setup2D& s = Setup2D{}) : host(TQ_Executive::Instance()) {
    host.Reset();
    x = dynamic_cast<TQ_DOMAIN*>(DOMAINFactory());
    y = dynamic_cast<TQ_DOMAIN*>(DOMAINFactory());
    d = dynamic_cast<TQ_DISTRIBUTION2D*>(DISTRIBUTION2DFactory());
    std::string error;
    for (auto [name, object] : {std::pair<const char*, TQ_ModelType*>{"X", x}, {"Y", y}, {"D", d}})
      EXPECT_TRUE(host.AddObject(name, object, &error)) << error;
    EXPECT_TRUE(d->XDOMAIN.Attach(x, &error)) << error;
    EXPECT_TRUE(d->YDOMAIN.Attach(y, &error)) << error;
    FixAxis("X", s.x);
    FixAxis("Y", s.y);
    const std::pair<const char*, int> orders[] = {{"D.HIGHESTORDERXDERIVATIVE", s.xOrder},
                                                  {"D.HIGHESTORDERYDERIVATIVE", s.yOrder},
                                                  {"D.HIGHESTORDERXDERIVATIVEUSED", s.xUsed},
                                                  {"D.HIGHESTORDERYDERIVATIVEUSED", s.yUsed},
                                                  {"X.ENDNODE", s.endX}};
    for (auto [path, value] : orders)
      if (value >= 0) Fix(path, TQ_Value(value, 0u, 0u, 0));
    if (*s.integrals != 0) Fix("D.INTEGRALS", TQ_Value(s.integrals, 0u, 0u, 0));
  }
  ~Road2D() { host.Reset(); }

  void Fix(const std::string& path, const TQ_Value& value) {
    std::string error;
    auto* property = dynamic_cast<TQ_VarParamProp*>(host.FindByPath(path, true, &error));
    ASSERT_NE(property, nullptr) << path << ": " << error;
    ASSERT_EQ(property->Fix(value, &error), TQ_ASSIGN_DONE) << path << ": " << error;
  }
  void FixAxis(const std::string& name, const Axis& axis) {
    Fix(name + ".DISCRETIZATIONMETHOD", TQ_Value(axis.method, 0u, 0u, 0));
    Fix(name + ".NUMSECTIONS", TQ_Value(static_cast<int>(axis.nodeCounts.size()), 0u, 0u, 0));
    if (axis.order != 1) Fix(name + ".HIGHESTORDERDERIVATIVE", TQ_Value(axis.order, 0u, 0u, 0));
    for (std::size_t s = 0; s < axis.nodeCounts.size(); ++s)
      Fix(name + ".SECTION(" + std::to_string(s + 1) + ").NODECOUNT", TQ_Value(axis.nodeCounts[s], 0u, 0u, 0));
  }
  bool ErrorMentions(const std::string& text) const {
    for (const std::string& e : host.Errors())
      if (e.find(text) != std::string::npos) return true;
    return false;
  }
  std::string Errors() const {
    std::string all;
    for (const std::string& e : host.Errors()) all += e + "\n";
    return all;
  }
  // The assignment phase with the log on; what the distribution handed over, in order.
  std::vector<Handed> AssignLogged() {
    TQ_ExecutiveTesting::ClearLog(host);
    TQ_ExecutiveTesting::EnableLog(host, true);
    EXPECT_TRUE(host.RunAssignments(TQ_Executive::CycleOptions())) << Errors();
    TQ_ExecutiveTesting::EnableLog(host, false);
    return AllHanded();
  }
  std::vector<Handed> AllHanded() const {
    std::vector<Handed> out;
    for (const TQ_LogEntry& e : TQ_ExecutiveTesting::Log(host))
      if (e.target != nullptr && e.target->Owner() == d) out.push_back(HandedFrom(e));
    return out;
  }
  // The properties the numbers 1 to 22 name.
  std::vector<const TQ_Containable*> Targets() const {
    return {nullptr,
            &d->TQ_VALUE_SET1,
            &d->TQ_VALUE_SET2,
            &d->TQ_DDX_SET1,
            &d->TQ_DDX_SET2,
            &d->TQ_DDY_SET1,
            &d->TQ_DDY_SET2,
            &d->TQ_D2DX2_SET1,
            &d->TQ_D2DX2_SET2,
            &d->TQ_D2DY2_SET1,
            &d->TQ_IDX_SET1,
            &d->TQ_IDX_SET2,
            &d->TQ_IDY_SET1,
            &d->TQ_IDY_SET2,
            &d->TQ_IDXDY_SET1,
            &d->TQ_IDXDY_SET2,
            &d->HIGHESTORDERXDERIVATIVE,
            &d->HIGHESTORDERYDERIVATIVE,
            &d->HIGHESTORDERXDERIVATIVEUSED,
            &d->HIGHESTORDERYDERIVATIVEUSED,
            &d->HIGHESTORDERXDERIVATIVEUSED,
            &d->HIGHESTORDERYDERIVATIVEUSED,
            &d->INTEGRALS};
  }

  TQ_Executive& host;
  TQ_DOMAIN* x = nullptr;
  TQ_DOMAIN* y = nullptr;
  TQ_DISTRIBUTION2D* d = nullptr;
};

// ---- The class ----

TEST(Distribution2DModel, FactoryRegistersTheThirtyThreePropertiesInOrder) {
  Road2D road;
  TQ_DISTRIBUTION2D& d = *road.d;
  const char* const kValue = "Variable value at a node point";
  const char* const kIntegrals = "Integrals to be calculated. Valid values: idx, idy, idxdy";
  const struct {
    const char* name;
    const TQ_Containable* member;
    const char* description;
  } expected[] = {
      {"XDOMAIN", &d.XDOMAIN, nullptr},
      {"YDOMAIN", &d.YDOMAIN, nullptr},
      {"TQ_VALUE_SET1", &d.TQ_VALUE_SET1, nullptr},
      {"TQ_VALUE_SET2", &d.TQ_VALUE_SET2, nullptr},
      {"VALUE", &d.VALUE, kValue},
      {"USERNOTES", &d.USERNOTES, nullptr},
      {"INPUTSIGNAL", &d.INPUTSIGNAL, nullptr},
      {"OUTPUTSIGNAL", &d.OUTPUTSIGNAL, nullptr},
      {"HIGHESTORDERXDERIVATIVE", &d.HIGHESTORDERXDERIVATIVE, nullptr},
      {"HIGHESTORDERYDERIVATIVE", &d.HIGHESTORDERYDERIVATIVE, nullptr},
      {"HIGHESTORDERXDERIVATIVEUSED", &d.HIGHESTORDERXDERIVATIVEUSED, nullptr},
      {"HIGHESTORDERYDERIVATIVEUSED", &d.HIGHESTORDERYDERIVATIVEUSED, nullptr},
      {"INTEGRALS", &d.INTEGRALS, kIntegrals},
      {"TQ_DDX_SET1", &d.TQ_DDX_SET1, nullptr},
      {"TQ_DDX_SET2", &d.TQ_DDX_SET2, nullptr},
      {"DDX", &d.DDX, "1st-order partial deriv wrt x"},
      {"TQ_DDY_SET1", &d.TQ_DDY_SET1, nullptr},
      {"TQ_DDY_SET2", &d.TQ_DDY_SET2, nullptr},
      {"DDY", &d.DDY, "1st-order partial deriv wrt y"},
      {"TQ_D2DX2_SET1", &d.TQ_D2DX2_SET1, nullptr},
      {"TQ_D2DX2_SET2", &d.TQ_D2DX2_SET2, nullptr},
      {"D2DX2", &d.D2DX2, "2nd-order partial deriv wrt x"},
      {"TQ_D2DY2_SET1", &d.TQ_D2DY2_SET1, nullptr},
      {"D2DY2", &d.D2DY2, "2nd-order partial deriv wrt y"},
      {"TQ_IDX_SET1", &d.TQ_IDX_SET1, nullptr},
      {"TQ_IDX_SET2", &d.TQ_IDX_SET2, nullptr},
      {"IDX", &d.IDX, "integral of distributed variable wrt x"},
      {"TQ_IDY_SET1", &d.TQ_IDY_SET1, nullptr},
      {"TQ_IDY_SET2", &d.TQ_IDY_SET2, nullptr},
      {"IDY", &d.IDY, "integral of distributed variable wrt y"},
      {"TQ_IDXDY_SET1", &d.TQ_IDXDY_SET1, nullptr},
      {"TQ_IDXDY_SET2", &d.TQ_IDXDY_SET2, nullptr},
      {"IDXDY", &d.IDXDY, "integral of distributed variable wrt x and y"},
  };
  ASSERT_EQ(d.PropertyCount(), 33);
  for (int k = 0; k < 33; ++k) {
    const TQ_PropertyRecord& r = d.PropertyAt(k);
    SCOPED_TRACE(expected[k].name);
    EXPECT_STREQ(r.name, expected[k].name);
    EXPECT_EQ(r.property, expected[k].member);
    EXPECT_STREQ(r.description, expected[k].description);  // both null where there is none
    // The control ports alone have a direction (4 in, 8 out) and are not exported.
    const int direction = r.property == &d.INPUTSIGNAL ? 4 : r.property == &d.OUTPUTSIGNAL ? 8 : 0;
    EXPECT_EQ(r.direction, direction);
    EXPECT_EQ(r.property->IsToBeExported(), direction == 0);
    EXPECT_FALSE(r.flag);
  }
  EXPECT_EQ(d.RefCount(), 1);
  TQ_DISTRIBUTION2D bare(false);
  EXPECT_EQ(bare.PropertyCount(), 0);
}

TEST(Distribution2DModel, TypeIdAndDerivation) {
  Road2D road;
  TQ_DISTRIBUTION2D& d = *road.d;
  EXPECT_STREQ(TQ_DISTRIBUTION2D::TQ_ContainerId(), "Model DISTRIBUTION2D\tV7.1");
  EXPECT_EQ(d.TQ_DefaultDESCRIPTION(), TQ_DISTRIBUTION2D::TQ_ContainerId());
  const struct {
    const char* id;
    bool derives;
  } cases[] = {{"Model DISTRIBUTION2D\tV7.1", true},
               {"model distribution2d\tv7.1", true},
               {"Model DISTRIBUTION2D V7.1", false},
               {"Model DISTRIBUTION1D\tV7.1", false},
               {"Model DOMAIN\tV7.1", false},
               {"Model DISTRIBUTION2D\tV7.1 ", false}};
  for (const auto& c : cases) EXPECT_EQ(d.ContainerDerivesFrom(c.id), c.derives) << c.id;
  EXPECT_EQ(d.Residuals(nullptr, 3, 4), 0);
  EXPECT_EQ(d.Jacobian(nullptr, 3, 4), 0);
}

TEST(Distribution2DModel, CountersStartAtZeroAndAssignmentCopiesThemWithTheMembers) {
  Road2D road;
  TQ_DISTRIBUTION2D& d = *road.d;
  EXPECT_EQ(d.FirstGroup, 0);
  EXPECT_EQ(d.LocalEqnCount, 0);
  EXPECT_EQ(d.LocalNonZeroCount, 0);
  // After a cycle the counters hold what the distribution added.
  ASSERT_TRUE(road.host.RunCycle()) << road.Errors();
  int equations = 0;
  std::uint32_t nonZeros = 0;
  for (const TQ_DeclaredEquation& e : road.host.Declared()) {
    if (e.owner != &d) continue;
    ++equations;
    nonZeros += e.nonZeroCount;
  }
  EXPECT_GT(equations, 0);
  EXPECT_EQ(d.LocalEqnCount, equations);
  EXPECT_EQ(static_cast<std::uint32_t>(d.LocalNonZeroCount), nonZeros);

  d.FirstGroup = 7;
  d.LocalEqnCount = 8;
  d.LocalNonZeroCount = 9;
  road.Fix("D.USERNOTES", TQ_Value("notes", 0u, 0u, 0));
  auto* copy = dynamic_cast<TQ_DISTRIBUTION2D*>(DISTRIBUTION2DFactory());
  ASSERT_NE(copy, nullptr);
  *copy = d;
  EXPECT_EQ(copy->FirstGroup, 7);
  EXPECT_EQ(copy->LocalEqnCount, 8);
  EXPECT_EQ(copy->LocalNonZeroCount, 9);
  EXPECT_STREQ(copy->USERNOTES.v(), "notes");
  EXPECT_EQ(copy->YDOMAIN.ExternalLink(), road.y);
  EXPECT_EQ(copy->D2DY2.DeclaredSet(1), &road.y->INTERIOR);
  EXPECT_EQ(copy->Release(), 0);
  EXPECT_EQ(d.D2DY2.DeclaredSet(1), &road.y->INTERIOR);
}

// ---- Index sets and assignments ----

TEST(Distribution2DIndexSets, NumbersCarryPassThenLevelThroughBothSweeps) {
  // Both domains of order 2 with both model orders held at 1: every assignment is made, the
  // orders used are assigned 1 (18, 19) and raised to 2 (20, 21).
  Setup2D setup;
  setup.x = kX2;
  setup.xOrder = 1;
  setup.yOrder = 1;
  Road2D road(setup);
  ASSERT_TRUE(road.host.RunAssignments(TQ_Executive::CycleOptions())) << road.Errors();
  TQ_ExecutiveTesting::ClearLog(road.host);
  TQ_ExecutiveTesting::EnableLog(road.host, true);
  EXPECT_EQ(road.d->ExecuteAssignments(3, 1), 0);
  TQ_ExecutiveTesting::EnableLog(road.host, false);
  const std::vector<Handed> handed = road.AllHanded();
  const auto targets = road.Targets();
  ASSERT_EQ(handed.size(), 15u + 7u + 15u);
  for (std::size_t k = 0; k < handed.size(); ++k) {
    const int number = k < 22 ? static_cast<int>(k) + 1 : static_cast<int>(k) - 21;
    SCOPED_TRACE(number);
    EXPECT_EQ(handed[k].number, number);
    EXPECT_EQ(handed[k].target, targets[static_cast<std::size_t>(number)]);
    EXPECT_EQ(handed[k].indexSet, number <= 15);
    if (number <= 15) {
      EXPECT_EQ(handed[k].sweep, k < 15 ? 0 : 1);
    }
    EXPECT_EQ(handed[k].value.Pass(), 1u);
    EXPECT_EQ(handed[k].value.Level(), 3u);
  }
  const int assigned[] = {2, 2, 1, 1, 2, 2};  // 16 to 21
  for (int n = 16; n <= 21; ++n)
    EXPECT_EQ(handed[static_cast<std::size_t>(n - 1)].value.Integer(), assigned[n - 16]) << n;
  EXPECT_STREQ(handed[21].value.Text(), "None");
}

TEST(Distribution2DIndexSets, FinalSetsFollowTheOrdersUsedAndTheIntegrals) {
  const std::set<int> none;
  const struct Case {
    const char* label;
    Setup2D setup;
    std::vector<int> assigned;  // the assignments made, by number
    int usedX, usedY;
    std::set<int> ddx, ddy, d2dx2, d2dy2, idx, idy, idxdy;  // the first sets, as sweep 1 leaves them
  } cases[] = {
      {"orders from the domains, no integrals",
       {},
       {16, 17, 18, 19, 22},
       1,
       2,
       Nodes(0, 5),
       Nodes(0, 5),
       none,
       Nodes(0, 5),
       none,
       none,
       none},
      {"x order used held at 0, y at 1",
       {.xUsed = 0, .yUsed = 1},
       {16, 17, 18, 19, 22},
       0,
       1,
       {0},
       Nodes(0, 5),
       none,
       {0},
       none,
       none,
       none},
      {"y order used held at 0",
       {.yUsed = 0},
       {16, 17, 18, 19, 22},
       1,
       0,
       Nodes(0, 5),
       {0},
       none,
       {0},
       none,
       none,
       none},
      {"x order 2 across a junction, y order 1",
       {.x = kX2, .y = kY1},
       {16, 17, 18, 19, 22},
       2,
       1,
       Nodes(0, 5),
       Nodes(0, 5),
       {1, 3, 4},
       {0},
       none,
       none,
       none},
      {"both orders 2: D2DY2 leaves out the x junction",
       {.x = kX2},
       {16, 17, 18, 19, 22},
       2,
       2,
       Nodes(0, 5),
       Nodes(0, 5),
       {1, 3, 4},
       {0, 1, 3, 4, 5},
       none,
       none,
       none},
      {"orders held at 1 on domains of order 2 are raised",
       {.x = kX2, .xOrder = 1, .yOrder = 1},
       {16, 17, 18, 19, 20, 21, 22},
       2,
       2,
       Nodes(0, 5),
       Nodes(0, 5),
       {1, 3, 4},
       {0, 1, 3, 4, 5},
       none,
       none,
       none},
      {"idxdy alone also gives IDX",
       {.integrals = "idxdy"},
       {16, 17, 18, 19, 22},
       1,
       2,
       Nodes(0, 5),
       Nodes(0, 5),
       none,
       Nodes(0, 5),
       Nodes(0, 5),
       none,
       Nodes(0, 5)},
      {"idx and idy",
       {.integrals = "idx\"idy\""},
       {16, 17, 18, 19, 22},
       1,
       2,
       Nodes(0, 5),
       Nodes(0, 5),
       none,
       Nodes(0, 5),
       Nodes(0, 5),
       Nodes(0, 5),
       none},
      {"last x node 0: every x range is {0}, integrals too",
       {.endX = 0},
       {16, 17, 18, 19, 22},
       1,
       2,
       {0},
       {0},
       none,
       {0},
       {0},
       {0},
       {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Road2D road(c.setup);
    const std::vector<Handed> handed = road.AssignLogged();
    std::vector<int> assigned;
    std::vector<std::set<int>> last(16);  // by number, the value sweep 1 gave
    for (const Handed& h : handed) {
      if (!h.indexSet)
        assigned.push_back(h.number);
      else if (h.sweep == 1)
        last[static_cast<std::size_t>(h.number)] = KeysOf(h.value.Set());
    }
    EXPECT_EQ(assigned, c.assigned);
    EXPECT_EQ(road.d->HIGHESTORDERXDERIVATIVEUSED.v(), c.usedX);
    EXPECT_EQ(road.d->HIGHESTORDERYDERIVATIVEUSED.v(), c.usedY);
    EXPECT_EQ(last[3], c.ddx);
    EXPECT_EQ(last[5], c.ddy);
    EXPECT_EQ(last[7], c.d2dx2);
    EXPECT_EQ(last[9], c.d2dy2);
    EXPECT_EQ(last[10], c.idx);
    EXPECT_EQ(last[12], c.idy);
    EXPECT_EQ(last[14], c.idxdy);
    // The x nodes of VALUE, every y set, and D2DX2's y nodes: node 0, Y's interior, Y's last node.
    const int endY = road.y->ENDNODE.v();
    EXPECT_EQ(last[1], Nodes(0, road.x->ENDNODE.v()));
    for (int n : {2, 4, 6, 11, 13, 15}) EXPECT_EQ(last[static_cast<std::size_t>(n)], Nodes(0, endY)) << n;
    std::set<int> boundaryY = KeysOf(road.y->INTERIOR.v());
    boundaryY.insert({0, endY});
    EXPECT_EQ(last[8], boundaryY);
  }
}

// ---- Arrays ----

TEST(Distribution2DArrays, SetDimsBindsEveryArrayToItsSetsAndD2DY2ToYsInterior) {
  Road2D road;  // orders used 1 and 2, no integrals: ENDNODE 5 and 7, Y's interior {1, 2, 4, 5, 6}
  TQ_DISTRIBUTION2D& d = *road.d;
  ASSERT_TRUE(road.host.RunCycle()) << road.Errors();
  const struct {
    const char* name;
    const TQ_Matrix* array;
    const TQ_Set* first;
    const TQ_Set* second;
    int elements;  // the combinations of the two sets' values, which the host makes
  } cases[] = {
      {"VALUE", &*d.VALUE, &d.TQ_VALUE_SET1, &d.TQ_VALUE_SET2, 6 * 8},
      {"DDX", &d.DDX, &d.TQ_DDX_SET1, &d.TQ_DDX_SET2, 6 * 8},
      {"DDY", &d.DDY, &d.TQ_DDY_SET1, &d.TQ_DDY_SET2, 6 * 8},
      {"D2DX2", &d.D2DX2, &d.TQ_D2DX2_SET1, &d.TQ_D2DX2_SET2, 0},
      {"D2DY2", &d.D2DY2, &d.TQ_D2DY2_SET1, &road.y->INTERIOR, 6 * 5},
      {"IDX", &d.IDX, &d.TQ_IDX_SET1, &d.TQ_IDX_SET2, 0},
      {"IDY", &d.IDY, &d.TQ_IDY_SET1, &d.TQ_IDY_SET2, 0},
      {"IDXDY", &d.IDXDY, &d.TQ_IDXDY_SET1, &d.TQ_IDXDY_SET2, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.array->DeclaredSet(0), c.first);
    ASSERT_EQ(c.array->DeclaredSet(1), c.second);
    EXPECT_EQ(c.first->v().SetSize() * c.second->v().SetSize(), c.elements);
  }
}

// ---- Domain links ----

TEST(Distribution2DLinks, AYDomainThatGoesWhileTheDistributionLivesLeavesNoSetBehind) {
  Road2D road;
  TQ_DISTRIBUTION2D& d = *road.d;
  // A y domain that only the link holds once the test lets go of it.
  TQ_DOMAIN* gone = dynamic_cast<TQ_DOMAIN*>(DOMAINFactory());
  ASSERT_NE(gone, nullptr);
  std::string error;
  ASSERT_TRUE(d.YDOMAIN.Attach(gone, &error)) << error;
  EXPECT_EQ(gone->Release(), 1);
  EXPECT_EQ(gone->ExecuteAssignments(10, 1), 0);
  ASSERT_TRUE(road.host.RunCycle()) << road.Errors();
  EXPECT_EQ(d.D2DY2.DeclaredSet(1), &gone->INTERIOR);

  // Relinked, the first domain is destroyed; D2DY2 forgets its INTERIOR, keeps its own set.
  ASSERT_TRUE(d.YDOMAIN.Attach(road.y, &error)) << error;
  EXPECT_EQ(d.D2DY2.DeclaredSet(1), nullptr);
  EXPECT_EQ(d.D2DY2.DeclaredSet(0), &d.TQ_D2DY2_SET1);
  ASSERT_TRUE(road.host.RunCycle()) << road.Errors();
  EXPECT_EQ(d.D2DY2.DeclaredSet(1), &road.y->INTERIOR);
  EXPECT_EQ(road.y->INTERIOR.DependentCount(), 1);

  // Unlinked, the cycle reports the empty link; linked again, it runs.
  d.YDOMAIN.Detach();
  EXPECT_FALSE(road.host.RunCycle());
  EXPECT_TRUE(road.ErrorMentions("D: YDOMAIN has no domain attached")) << road.Errors();
  ASSERT_TRUE(d.YDOMAIN.Attach(road.y, &error)) << error;
  road.host.ClearErrors();
  EXPECT_TRUE(road.host.RunCycle()) << road.Errors();
  EXPECT_EQ(road.y->INTERIOR.DependentCount(), 1);
}

}  // namespace
}  // namespace morvane::eqn::testing
