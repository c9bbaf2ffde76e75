// The three-dimensional distribution as a model: what its factory makes and registers, its type
// id and copies, the index sets and default assignments it hands to the host over three real
// domains (read back from the executive's log), the sets its arrays are sized by, and what the
// cycle does when the grid is too large to hold (distribution_links_test.cpp has what every
// distribution does when a domain is missing).
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "handed_values.h"
#include "real_domain.h"
#include "distribution/tq_distribution3d.h"
#include "host/tq_executive_testing.h"

namespace {

constexpr const char* kAxes[] = {"X", "Y", "Z"};

// Three BFD1 domains "X", "Y", "Z" of one section each and a distribution "D" made by the
// factories, held by a fresh executive, and D's three links attached.
class Road3D {
 public:
  explicit Road3D(std::array<int, 3> intervals = {4, 3, 2}) : host(TQ_Executive::Instance()) {
    host.Reset();
    std::string error;
    for (int a = 0; a < 3; ++a) {
      domain[a] = dynamic_cast<TQ_DOMAIN*>(DOMAINFactory());
      EXPECT_TRUE(host.AddObject(kAxes[a], domain[a], &error)) << error;
      Fix(std::string(kAxes[a]) + ".SECTION(1).NODECOUNT", TQ_Value(intervals[a], 0u, 0u, 0));
    }
    d = dynamic_cast<TQ_DISTRIBUTION3D*>(DISTRIBUTION3DFactory());
    EXPECT_TRUE(host.AddObject("D", d, &error)) << error;
    for (int a = 0; a < 3; ++a) EXPECT_TRUE(Link(a).Attach(domain[a], &error)) << error;
  }
  ~Road3D() { host.Reset(); }
  Road3D(const Road3D&) = delete;
  Road3D& operator=(const Road3D&) = delete;

  TQ_External<TQ_DOMAIN>& Link(int axis) { return axis == 0 ? d->XDOMAIN : axis == 1 ? d->YDOMAIN : d->ZDOMAIN; }

  // Fixes the property at `path` as a user does.
  void Fix(const std::string& path, const TQ_Value& value) {
    std::string error;
    auto* property = dynamic_cast<TQ_VarParamProp*>(host.FindByPath(path, true, &error));
    ASSERT_NE(property, nullptr) << path << ": " << error;
    ASSERT_EQ(property->Fix(value, &error), TQ_ASSIGN_DONE) << path << ": " << error;
  }

  // Runs the assignments with the log on; what D handed over, in order.
  std::vector<Handed> Assign(TQ_Executive::CycleOptions options = {}) {
    TQ_ExecutiveTesting::ClearLog(host);
    TQ_ExecutiveTesting::EnableLog(host, true);
    host.RunAssignments(options);
    TQ_ExecutiveTesting::EnableLog(host, false);
    std::vector<Handed> out;
    for (const TQ_LogEntry& e : TQ_ExecutiveTesting::Log(host))
      if (e.target != nullptr && e.target->Owner() == d) out.push_back(HandedFrom(e));
    return out;
  }

  std::string Errors() const {
    std::string all;
    for (const std::string& e : host.Errors()) all += e + "\n";
    return all;
  }
  bool ErrorMentions(const std::string& text) const { return Errors().find(text) != std::string::npos; }

  TQ_Executive& host;
  std::array<TQ_DOMAIN*, 3> domain{};
  TQ_DISTRIBUTION3D* d = nullptr;
};

// The property names in registration order: each array's index sets just before the array.
std::vector<std::string> RegistrationOrder() {
  std::vector<std::string> names = {"XDOMAIN",
                                    "YDOMAIN",
                                    "ZDOMAIN",
                                    "TQ_VALUE_SET1",
                                    "TQ_VALUE_SET2",
                                    "TQ_VALUE_SET3",
                                    "VALUE",
                                    "USERNOTES",
                                    "INPUTSIGNAL",
                                    "OUTPUTSIGNAL"};
  for (const char* suffix : {"", "USED"})
    for (const char* axis : kAxes) names.push_back(std::string("HIGHESTORDER") + axis + "DERIVATIVE" + suffix);
  names.push_back("INTEGRALS");
  const std::pair<const char*, std::vector<int>> arrays[] = {{"DDX", {1, 2, 3}},
                                                             {"DDY", {1, 2, 3}},
                                                             {"DDZ", {1, 2, 3}},
                                                             {"D2DX2", {1, 2, 3}},
                                                             {"D2DY2", {1, 3}},
                                                             {"D2DZ2", {1, 2}},
                                                             {"IDX", {1, 2, 3}},
                                                             {"IDY", {1, 2, 3}},
                                                             {"IDZ", {1, 2, 3}},
                                                             {"IDXDY", {1, 2, 3}},
                                                             {"IDXDZ", {1, 2, 3}},
                                                             {"IDYDZ", {1, 2, 3}},
                                                             {"IDXDYDZ", {1, 2, 3}}};
  for (const auto& [array, sets] : arrays) {
    for (int k : sets) names.push_back(std::string("TQ_") + array + "_SET" + std::to_string(k));
    names.push_back(array);
  }
  return names;
}

// The index sets in the order of their numbers 1 to 40.
std::vector<std::string> IndexSetsByNumber() {
  std::vector<std::string> sets;
  for (const std::string& name : RegistrationOrder())
    if (name.rfind("TQ_", 0) == 0) sets.push_back(name);
  return sets;
}

const std::map<std::string, std::string> kDescriptions = {
    {"VALUE", "Variable value at a node point"},
    {"INTEGRALS", "Integrals to be calculated. Valid values: idx, idy, idz, idxdy, idxdz, idydz, idxdydz"},
    {"DDX", "1st-order partial deriv wrt x"},
    {"DDY", "1st-order partial deriv wrt y"},
    {"DDZ", "1st-order partial deriv wrt z"},
    {"D2DX2", "2nd-order partial deriv wrt x"},
    {"D2DY2", "2nd-order partial deriv wrt y"},
    {"D2DZ2", "2nd-order partial deriv wrt z"},
    {"IDX", "integral of distributed variable wrt x"},
    {"IDY", "integral of distributed variable wrt y"},
    {"IDZ", "integral of distributed variable wrt z"},
    {"IDXDY", "integral of distributed variable wrt x and y"},
    {"IDXDZ", "integral of distributed variable wrt x and z"},
    {"IDYDZ", "integral of distributed variable wrt y and z"},
    {"IDXDYDZ", "integral of distributed variable wrt x, y and z"},
};

TEST(Distribution3DModel, RegistersItsSixtySevenPropertiesInOrder) {
  Road3D road;
  const TQ_DISTRIBUTION3D& d = *road.d;
  const std::vector<std::string> names = RegistrationOrder();
  ASSERT_EQ(names.size(), 67u);
  ASSERT_EQ(d.PropertyCount(), 67);
  const auto* begin = reinterpret_cast<const char*>(&d);
  for (int k = 0; k < 67; ++k) {
    const TQ_PropertyRecord& r = d.PropertyAt(k);
    const std::string& name = names[static_cast<std::size_t>(k)];
    SCOPED_TRACE(name);
    EXPECT_EQ(r.name, name);
    const auto described = kDescriptions.find(name);
    EXPECT_EQ(r.description == nullptr ? std::string("(none)") : std::string(r.description),
              described == kDescriptions.end() ? "(none)" : described->second);
    const int direction = name == "INPUTSIGNAL" ? 4 : name == "OUTPUTSIGNAL" ? 8 : 0;
    EXPECT_EQ(r.direction, direction);
    EXPECT_EQ(r.property->IsToBeExported(), direction == 0);
    EXPECT_FALSE(r.flag);
    // Every property is a member of the object, and each index set is declared after the
    // array it sizes although registered before it.
    const auto* at = reinterpret_cast<const char*>(r.property);
    EXPECT_TRUE(at >= begin && at < begin + sizeof d);
    if (name.rfind("TQ_", 0) == 0) {
      const std::string array = name.substr(3, name.find("_SET") - 3);
      EXPECT_GT(at, reinterpret_cast<const char*>(d.FindProperty(array.c_str())));
    }
  }

  // Built with the flag clear, nothing is registered until Construct().
  auto* bare = new TQ_DISTRIBUTION3D(false);
  EXPECT_EQ(bare->PropertyCount(), 0);
  bare->Construct();
  ASSERT_EQ(bare->PropertyCount(), 67);
  for (int k = 0; k < 67; ++k) EXPECT_EQ(bare->PropertyAt(k).name, names[static_cast<std::size_t>(k)]);
  delete bare;
}

TEST(Distribution3DModel, TypeIdCountersAndCopies) {
  Road3D road;
  TQ_DISTRIBUTION3D& d = *road.d;
  EXPECT_STREQ(TQ_DISTRIBUTION3D::TQ_ContainerId(), "Model DISTRIBUTION3D\tV7.1");
  EXPECT_EQ(d.TQ_DefaultDESCRIPTION(), TQ_DISTRIBUTION3D::TQ_ContainerId());
  const std::pair<const char*, bool> ids[] = {{"Model DISTRIBUTION3D\tV7.1", true},
                                              {"model distribution3d\tv7.1", true},
                                              {"Model DISTRIBUTION2D\tV7.1", false},
                                              {"Model DISTRIBUTION3D V7.1", false},
                                              {"", false}};
  for (const auto& [id, derives] : ids) EXPECT_EQ(d.ContainerDerivesFrom(id), derives) << id;
  EXPECT_EQ(d.Residuals(nullptr, 3, 4), 0);
  EXPECT_EQ(d.Jacobian(nullptr, -1, 9), 0);
  EXPECT_EQ(d.RefCount(), 1);

  // The counters hold 0 until the equation phases write them, and a copy carries them.
  EXPECT_EQ(d.FirstGroup, 0);
  EXPECT_EQ(d.LocalEqnCount, 0);
  EXPECT_EQ(d.LocalNonZeroCount, 0);
  d.FirstGroup = 11;
  d.LocalEqnCount = 22;
  d.LocalNonZeroCount = 33;
  auto* copy = dynamic_cast<TQ_DISTRIBUTION3D*>(DISTRIBUTION3DFactory());
  ASSERT_NE(copy, nullptr);
  *copy = d;
  EXPECT_EQ(copy->FirstGroup, 11);
  EXPECT_EQ(copy->LocalEqnCount, 22);
  EXPECT_EQ(copy->LocalNonZeroCount, 33);
  EXPECT_EQ(copy->PropertyCount(), 67);
  EXPECT_EQ(copy->PropertyAt(0).property, &copy->XDOMAIN) << "the copy keeps its own registration";
  copy->Release();
}

TEST(Distribution3DIndexSets, HandsFortySetsInTwoSweepsAroundTheAssignments) {
  Road3D road;
  TQ_Executive::CycleOptions options;
  options.level = 3;
  options.pass = 7;
  const std::vector<Handed> handed = road.Assign(options);
  EXPECT_TRUE(road.host.Errors().empty()) << road.Errors();
  const std::vector<std::string> sets = IndexSetsByNumber();
  ASSERT_EQ(sets.size(), 40u);
  // (number, sweep) of every value, sweep -1 for an assignment, and its target.
  std::vector<std::pair<int, int>> expected;
  std::vector<std::string> targets;
  for (int sweep = 0; sweep < 2; ++sweep) {
    for (int n = 1; n <= 40; ++n) {
      expected.push_back({n, sweep});
      targets.push_back(sets[static_cast<std::size_t>(n - 1)]);
    }
    if (sweep == 1) break;
    for (int n : {41, 42, 43, 44, 45, 46, 50}) expected.push_back({n, -1});
    for (const char* t : {"HIGHESTORDERXDERIVATIVE",
                          "HIGHESTORDERYDERIVATIVE",
                          "HIGHESTORDERZDERIVATIVE",
                          "HIGHESTORDERXDERIVATIVEUSED",
                          "HIGHESTORDERYDERIVATIVEUSED",
                          "HIGHESTORDERZDERIVATIVEUSED",
                          "INTEGRALS"})
      targets.push_back(t);
  }
  ASSERT_EQ(handed.size(), expected.size());
  for (std::size_t k = 0; k < handed.size(); ++k) {
    EXPECT_EQ(std::make_pair(handed[k].number, handed[k].indexSet ? handed[k].sweep : -1), expected[k]) << k;
    EXPECT_EQ(handed[k].target->Name(), targets[k]) << k;
    EXPECT_EQ(handed[k].value.Pass(), 7u) << k;
    EXPECT_EQ(handed[k].value.Level(), 3u) << k;
  }
  // Sweep 0 sees the orders used before the assignments (0), sweep 1 as assigned (1).
  EXPECT_EQ(handed[3].value.Set().ToString(), "{0}");
  EXPECT_EQ(handed[47 + 3].value.Set().ToString(), "{0,1,2,3,4}");
  EXPECT_STREQ(handed[46].value.Text(), "None");

  // The parent's status is the result, unexamined: the sets are handed all the same.
  TQ_ExecutiveTesting::SetRootAssignmentStatus(road.host, -7);
  TQ_ExecutiveTesting::EnableLog(road.host, true);
  TQ_ExecutiveTesting::ClearLog(road.host);
  EXPECT_EQ(road.d->ExecuteAssignments(10, 1), -7);
  TQ_ExecutiveTesting::EnableLog(road.host, false);
  TQ_ExecutiveTesting::SetRootAssignmentStatus(road.host, 0);
  EXPECT_EQ(TQ_ExecutiveTesting::Log(road.host).size(), handed.size());
}

// A user's fix: an integer, a text, or (with `set`) the integer set the text lists.
struct Fix {
  const char* path;
  int value;
  const char* text = nullptr;
  bool set = false;
};

TEST(Distribution3DIndexSets, SetsFollowTheOrdersTheIntegralsAndTheNodes) {
  // X has nodes 0 .. 4 (interior 1 .. 3), Y 0 .. 3 (1 .. 2), Z 0 .. 2 (1).
  struct Case {
    const char* what;
    std::vector<Fix> fixes;
    std::vector<int> assigned;                // the numbers of the assignments made
    std::map<std::string, std::string> sets;  // sweep-1 values of some of the sets
  };
  const std::string all = "{0,1,2,3,4}";
  const Case cases[] = {
      {"first order, no integrals",
       {},
       {41, 42, 43, 44, 45, 46, 50},
       {{"TQ_VALUE_SET1", all},
        {"TQ_VALUE_SET2", "{0,1,2,3}"},
        {"TQ_VALUE_SET3", "{0,1,2}"},
        {"TQ_DDX_SET1", all},
        {"TQ_DDY_SET1", all},
        {"TQ_DDZ_SET1", all},
        {"TQ_DDY_SET2", "{0,1,2,3}"},
        {"TQ_D2DX2_SET1", "{}"},
        {"TQ_D2DX2_SET2", "{0,1,2,3}"},
        {"TQ_D2DX2_SET3", "{0,1,2}"},
        {"TQ_D2DY2_SET1", "{0}"},
        {"TQ_D2DY2_SET3", "{0,1,2}"},
        {"TQ_D2DZ2_SET1", "{0}"},
        {"TQ_D2DZ2_SET2", "{0,1,2,3}"},
        {"TQ_IDX_SET1", "{}"},
        {"TQ_IDX_SET3", "{0,1,2}"},
        {"TQ_IDXDYDZ_SET1", "{}"},
        {"TQ_IDXDYDZ_SET2", "{0,1,2,3}"}}},
      {"orders used held at 0",
       {{"D.HIGHESTORDERXDERIVATIVEUSED", 0},
        {"D.HIGHESTORDERYDERIVATIVEUSED", 0},
        {"D.HIGHESTORDERZDERIVATIVEUSED", 0}},
       {41, 42, 43, 44, 45, 46, 50},
       {{"TQ_DDX_SET1", "{0}"},
        {"TQ_DDY_SET1", "{0}"},
        {"TQ_DDZ_SET1", "{0}"},
        {"TQ_DDZ_SET3", "{0,1,2}"},
        {"TQ_D2DX2_SET1", "{}"},
        {"TQ_D2DY2_SET1", "{0}"}}},
      {"second order on every axis",
       {{"X.HIGHESTORDERDERIVATIVE", 2}, {"Y.HIGHESTORDERDERIVATIVE", 2}, {"Z.HIGHESTORDERDERIVATIVE", 2}},
       {41, 42, 43, 44, 45, 46, 50},
       {{"TQ_D2DX2_SET1", "{1,2,3}"}, {"TQ_D2DY2_SET1", all}, {"TQ_D2DZ2_SET1", all}}},
      {"y's order held at 1 under a domain of order 2: raised to 2",
       {{"Y.HIGHESTORDERDERIVATIVE", 2}, {"D.HIGHESTORDERYDERIVATIVE", 1}},
       {41, 42, 43, 44, 45, 46, 48, 50},
       {{"TQ_D2DY2_SET1", all}, {"TQ_D2DX2_SET1", "{}"}, {"TQ_D2DZ2_SET1", "{0}"}}},
      {"idxdydz",
       {{"D.INTEGRALS", 0, "idxdydz"}},
       {41, 42, 43, 44, 45, 46, 50},
       {{"TQ_IDX_SET1", all},
        {"TQ_IDY_SET1", "{}"},
        {"TQ_IDZ_SET1", "{}"},
        {"TQ_IDXDY_SET1", all},
        {"TQ_IDXDZ_SET1", "{}"},
        {"TQ_IDYDZ_SET1", "{}"},
        {"TQ_IDXDYDZ_SET1", all}}},
      {"idydz",
       {{"D.INTEGRALS", 0, "idydz"}},
       {41, 42, 43, 44, 45, 46, 50},
       {{"TQ_IDX_SET1", "{}"},
        {"TQ_IDY_SET1", all},
        {"TQ_IDZ_SET1", "{}"},
        {"TQ_IDXDY_SET1", "{}"},
        {"TQ_IDXDZ_SET1", "{}"},
        {"TQ_IDYDZ_SET1", all},
        {"TQ_IDXDYDZ_SET1", "{}"}}},
      {"idxdz and idz",
       {{"D.INTEGRALS", 0, "idxdz\"idz"}},
       {41, 42, 43, 44, 45, 46, 50},
       {{"TQ_IDX_SET1", all},
        {"TQ_IDY_SET1", "{}"},
        {"TQ_IDZ_SET1", all},
        {"TQ_IDXDY_SET1", "{}"},
        {"TQ_IDXDZ_SET1", all},
        {"TQ_IDYDZ_SET1", "{}"},
        {"TQ_IDXDYDZ_SET1", "{}"}}},
      {"x's last node held at 0: a range of x nodes is {0}, selected or not",
       {{"X.ENDNODE", 0}},
       {41, 42, 43, 44, 45, 46, 50},
       {{"TQ_VALUE_SET1", "{0}"}, {"TQ_IDX_SET1", "{0}"}, {"TQ_IDYDZ_SET1", "{0}"}, {"TQ_DDX_SET1", "{0}"}}},
      {"an interior with gaps: B is {0} with it and the last node",
       {{"X.ENDNODE", 6},
        {"X.INTERIOR", 0, "2,3,5", true},
        {"X.HIGHESTORDERDERIVATIVE", 2},
        {"Y.HIGHESTORDERDERIVATIVE", 2}},
       {41, 42, 43, 44, 45, 46, 50},
       {{"TQ_D2DX2_SET1", "{2,3,5}"},
        {"TQ_D2DY2_SET1", "{0,2,3,5,6}"},
        {"TQ_D2DZ2_SET1", "{0}"},
        {"TQ_DDX_SET1", "{0,1,2,3,4,5,6}"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Road3D road;
    for (const Fix& f : c.fixes) {
      if (f.set)
        road.Fix(f.path, TQ_Value(TQ_IntSetValue(f.text), 0u, 0u, 0));
      else if (f.text != nullptr)
        road.Fix(f.path, TQ_Value(f.text, 0u, 0u, 0));
      else
        road.Fix(f.path, TQ_Value(f.value, 0u, 0u, 0));
    }
    const std::vector<Handed> handed = road.Assign();
    std::vector<int> assigned;
    std::map<std::string, std::string> finalSets;
    for (const Handed& h : handed) {
      if (!h.indexSet) assigned.push_back(h.number);
      if (h.indexSet && h.sweep == 1) finalSets[h.target->Name()] = h.value.Set().ToString();
    }
    EXPECT_EQ(assigned, c.assigned);
    for (const auto& [set, value] : c.sets) EXPECT_EQ(finalSets[set], value) << set;
    // Each set holds what it was handed last.
    for (const auto& [set, value] : finalSets)
      EXPECT_EQ(dynamic_cast<TQ_Set*>(road.d->FindProperty(set.c_str()))->v().ToString(), value) << set;
  }
}

TEST(Distribution3DIndexSets, AnOrderHeldAtOneIsRaisedAfterItIsCopied) {
  Road3D road;
  road.Fix("X.HIGHESTORDERDERIVATIVE", TQ_Value(2, 0u, 0u, 0));
  road.Fix("D.HIGHESTORDERXDERIVATIVE", TQ_Value(1, 0u, 0u, 0));
  std::vector<std::pair<int, int>> used;  // (number, value) of the assignments to the x order used
  for (const Handed& h : road.Assign())
    if (h.target == &road.d->HIGHESTORDERXDERIVATIVEUSED) used.push_back({h.number, h.value.Integer()});
  EXPECT_EQ(used, (std::vector<std::pair<int, int>>{{44, 1}, {47, 2}}));
  EXPECT_EQ(road.d->HIGHESTORDERXDERIVATIVEUSED.v(), 2);
}

TEST(Distribution3DArrays, SetDimsGivesEachArrayItsSetsOrItsDomainsInterior) {
  Road3D road;  // nodes 5 x 4 x 3; interiors of 3, 2 and 1 nodes
  for (const char* axis : kAxes) road.Fix(std::string(axis) + ".HIGHESTORDERDERIVATIVE", TQ_Value(2, 0u, 0u, 0));
  road.Fix("D.INTEGRALS", TQ_Value("idx", 0u, 0u, 0));
  ASSERT_TRUE(road.host.RunCycle()) << road.Errors();
  TQ_DISTRIBUTION3D& d = *road.d;
  struct Expected {
    const char* array;
    std::array<const TQ_Set*, 3> sets;
    long long elements;
  };
  const Expected expected[] = {
      {"VALUE", {&d.TQ_VALUE_SET1, &d.TQ_VALUE_SET2, &d.TQ_VALUE_SET3}, 60},
      {"DDX", {&d.TQ_DDX_SET1, &d.TQ_DDX_SET2, &d.TQ_DDX_SET3}, 60},
      {"DDZ", {&d.TQ_DDZ_SET1, &d.TQ_DDZ_SET2, &d.TQ_DDZ_SET3}, 60},
      {"D2DX2", {&d.TQ_D2DX2_SET1, &d.TQ_D2DX2_SET2, &d.TQ_D2DX2_SET3}, 3 * 4 * 3},
      {"D2DY2", {&d.TQ_D2DY2_SET1, &road.domain[1]->INTERIOR, &d.TQ_D2DY2_SET3}, 5 * 2 * 3},
      {"D2DZ2", {&d.TQ_D2DZ2_SET1, &d.TQ_D2DZ2_SET2, &road.domain[2]->INTERIOR}, 5 * 4 * 1},
      {"IDX", {&d.TQ_IDX_SET1, &d.TQ_IDX_SET2, &d.TQ_IDX_SET3}, 60},
      {"IDY", {&d.TQ_IDY_SET1, &d.TQ_IDY_SET2, &d.TQ_IDY_SET3}, 0},  // not selected: no x node
      {"IDXDYDZ", {&d.TQ_IDXDYDZ_SET1, &d.TQ_IDXDYDZ_SET2, &d.TQ_IDXDYDZ_SET3}, 0},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.array);
    TQ_Containable* property = d.FindProperty(e.array);
    if (auto* link = dynamic_cast<TQ_VirtualBase*>(property)) property = link->CurrentLink();
    const auto* array = dynamic_cast<const TQ_Matrix*>(property);
    ASSERT_NE(array, nullptr);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(array->DeclaredSet(k), e.sets[static_cast<std::size_t>(k)]) << k;
    EXPECT_EQ(array->DeclaredElementCount(), e.elements);
  }
}

TEST(Distribution3DErrors, AGridTooLargeToHoldIsRefusedBeforeAnythingIsMade) {
  // 1290 nodes per axis make 1290^3 = 2146689000 elements, which fit 2^31-1 slots; 1291 do not.
  for (int intervals : {1289, 1290}) {
    SCOPED_TRACE(intervals);
    Road3D road({intervals, intervals, intervals});
    const bool fits = intervals == 1289;
    EXPECT_FALSE(road.host.RunCycle()) << road.Errors();
    EXPECT_EQ((*road.d->VALUE).DeclaredElementCount(),
              static_cast<long long>(intervals + 1) * (intervals + 1) * (intervals + 1));
    EXPECT_EQ((*road.d->VALUE).ElementVector.Elements(), 0u);
    if (fits) {
      // The arrays fit, but their equations (a first derivative per node and axis, 4 terms
      // each) would not fit the host's counts: the distribution refuses them, naming their
      // number, before it looks up any element.
      EXPECT_TRUE(road.ErrorMentions("D: the distribution would add 6440067000 equations with 25760268000 non-zeros"))
          << road.Errors();
      EXPECT_TRUE(road.ErrorMentions("more than the host's counts hold")) << road.Errors();
      continue;
    }
    for (const char* array : {"VALUE", "DDX", "DDY", "DDZ"})
      EXPECT_TRUE(road.ErrorMentions(std::string("D: SetDims: array D.") + array + " over D.TQ_" + array +
                                     "_SET1, D.TQ_" + array + "_SET2, D.TQ_" + array +
                                     "_SET3 calls for 1291 x 1291 x 1291 = 2151685171 elements"))
          << road.Errors();
    EXPECT_TRUE(road.ErrorMentions("D: SetUpEquations not called: its arrays are too large to hold")) << road.Errors();
    EXPECT_FALSE(road.ErrorMentions("D.D2DX2")) << "D2DX2 has no x node at first order";
  }
}

}  // namespace
