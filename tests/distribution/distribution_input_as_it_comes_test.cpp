// Input the distributions take as it comes, over one, two and three axes, through the host's
// model cycle: a derivative order outside 0 to 2 and INTEGRALS names a distribution does not
// compute. The guards read "order used > 0", "order used > 1" and "highest order == 2", and a
// selector counts only where StringInSet finds it, so such input gives exactly what the input it
// stands for gives (the index sets, the arrays' elements, the declared and the emitted equations),
// the fixed value stays as fixed, and the library says nothing.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "real_domains.h"

namespace morvane::eqn::testing {
namespace {

using Fixes = std::vector<std::pair<std::string, int>>;

// What a cycle left of the distribution "D", each part as text in the order the host holds it.
struct Outcome {
  bool cycled = false;
  std::string errors;
  std::string difference;             // of the declared and the emitted equations
  std::vector<std::string> outside;   // elements outside their sets
  std::vector<std::string> sets;      // every index set with its members
  std::vector<std::string> arrays;    // every array with its number of elements
  std::vector<std::string> declared;  // group and non-zeros of every declared equation
  std::vector<std::string> emitted;   // name, group and residual of every emitted equation
  std::vector<int> fixedValues;       // the fixed integers, read after the cycle
};

Outcome Observe(HostRoad& road, TQ_ModelType* d, const Fixes& fixes) {
  Outcome out;
  out.cycled = road.Cycle();
  out.errors = road.Errors();
  TQ_Executive& host = road.host;
  if (!host.DeclaredMatchesEmitted(&out.difference) && out.difference.empty()) out.difference = "(differ)";
  out.outside = ElementsOutsideTheirSets(host, d);
  for (int k = 0; k < d->PropertyCount(); ++k) {
    TQ_Containable* property = d->PropertyAt(k).property;
    const std::string name = d->PropertyAt(k).name;
    if (auto* set = dynamic_cast<TQ_INTEGERSET*>(property)) {
      std::string members = name + ":";
      const TQ_SetValue& value = set->v();
      for (int p = 0; p < value.SetSize(); ++p) members += " " + std::to_string(value.IntegerAt(p));
      out.sets.push_back(members);
    }
    if (auto* link = dynamic_cast<TQ_VirtualBase*>(property)) property = link->CurrentLink();
    if (auto* array = dynamic_cast<TQ_Matrix*>(property))
      out.arrays.push_back(name + ": " + std::to_string(array->ElementCount()));
  }
  for (const TQ_DeclaredEquation& e : host.Declared()) {
    if (e.owner != d) continue;
    std::string text = std::to_string(e.group) + ":";
    for (std::uint32_t k = 0; k < e.nonZeroCount; ++k)
      text += " " + host.PathOf(host.DeclaredNonZeros()[e.firstNonZero + k]);
    out.declared.push_back(text);
  }
  for (const TQ_EmittedEquation* e : road.EmittedBy(d))
    out.emitted.push_back(std::string(host.EquationName(*e)) + "@" + std::to_string(e->group) + ": " + host.Infix(*e));
  for (const auto& [path, value] : fixes) {
    auto* parameter = dynamic_cast<TQ_INTEGERPARAMETER*>(host.FindByPath(path, false, nullptr));
    out.fixedValues.push_back(parameter != nullptr ? parameter->v() : INT_MIN + 1);
  }
  return out;
}

// A distribution over `axes` axes, each a domain of one section fixed as `axis` gives (the axis
// `under` as `special` gives), with the integer fixes and INTEGRALS (fixed when not empty), run
// through the host's cycle.
Outcome RunRoad(int axes,
                int under,
                const RoadAxisSetup& special,
                const RoadAxisSetup& axis,
                const Fixes& fixes,
                const std::vector<std::string>& integrals) {
  if (axes == 1) {
    RoadSetup setup = SectionsOf(special.method, special.nodeCounts, -1, false);
    setup.domainOrder = special.order;
    Road road(setup);
    for (const auto& [path, value] : fixes) road.Fix(path, TQ_Value(value, 0u, 0u, 0));
    if (!integrals.empty()) {
      TQ_SetValue selected;
      for (const std::string& selector : integrals) selected += selector.c_str();
      road.Fix("D.INTEGRALS", TQ_Value(selected, 0u, 0u, 0));
    }
    return Observe(road, road.distribution, fixes);
  }
  AxesSetup setup{std::vector<RoadAxisSetup>(static_cast<std::size_t>(axes), axis), integrals, fixes};
  setup.axes[static_cast<std::size_t>(under)] = special;
  AxesRoad road(setup);
  return Observe(road, road.distribution, fixes);
}

// The given input gives what its reference gives, and is taken without a word.
void ExpectSameAs(const Outcome& given, const Outcome& reference, const std::string& where) {
  EXPECT_TRUE(given.cycled) << where << ": " << given.errors;
  EXPECT_EQ(given.errors, "") << where;
  EXPECT_EQ(given.difference, "") << where;
  EXPECT_EQ(given.outside, std::vector<std::string>{}) << where;
  EXPECT_EQ(reference.errors, "") << where << " (its reference)";
  EXPECT_EQ(given.sets, reference.sets) << where;
  EXPECT_EQ(given.arrays, reference.arrays) << where;
  EXPECT_EQ(given.declared, reference.declared) << where;
  EXPECT_EQ(given.emitted, reference.emitted) << where;
}

TEST(DistributionInputAsItComes, OrdersOutsideZeroToTwoActAsTheOrderTheGuardsReadInThem) {
  // An order fixed on the model along one axis ("" the highest order, "USED" the order used),
  // and the fixes it stands for. The axis under test is a first-order collocation axis of two
  // elements, so that the first- and second-derivative families and the junction rows (which
  // stand only where the highest order is exactly 2) each show.
  const struct {
    Fixes given;      // as (suffix, value)
    Fixes reference;  // likewise
  } cases[] = {
      {{{"USED", 3}}, {{"USED", 2}}},
      {{{"USED", 7}}, {{"USED", 2}}},
      {{{"USED", INT_MAX}}, {{"USED", 2}}},
      {{{"USED", -1}}, {{"USED", 0}}},
      {{{"USED", INT_MIN}}, {{"USED", 0}}},
      // The order used follows the highest order (3 stands for 2); no junction rows.
      {{{"", 3}}, {{"", 1}, {"USED", 2}}},
      {{{"", -1}}, {{"", 0}}},
  };
  const RoadAxisSetup special{"OCFE2", {4}, 1};
  const RoadAxisSetup other{"BFD1", {2}, 1};
  for (int axes = 1; axes <= 3; ++axes) {
    for (int under = 0; under < axes; ++under) {
      const std::string order = std::string("D.HIGHESTORDER") + "XYZ"[under] + "DERIVATIVE";
      const auto paths = [&](const Fixes& fixes) {
        Fixes out;
        for (const auto& [suffix, value] : fixes) out.push_back({order + suffix, value});
        return out;
      };
      const Outcome unfixed = RunRoad(axes, under, special, other, {}, {});
      for (const auto& c : cases) {
        const Fixes given = paths(c.given);
        const std::string where =
            std::to_string(axes) + " axes, " + given.front().first + " " + std::to_string(given.front().second);
        const Outcome outcome = RunRoad(axes, under, special, other, given, {});
        const Outcome reference = RunRoad(axes, under, special, other, paths(c.reference), {});
        ExpectSameAs(outcome, reference, where);
        EXPECT_NE(reference.emitted, unfixed.emitted) << where << ": the reference is the unfixed road";
        EXPECT_EQ(outcome.fixedValues, std::vector<int>{given.front().second}) << where << ": the value stays";
      }
    }
  }
}

TEST(DistributionInputAsItComes, IntegralNamesCountOnlyWhereTheDistributionTestsThem) {
  // INTEGRALS as given, and the selection it stands for (empty: INTEGRALS left to its default).
  const struct {
    int axes;
    std::vector<std::string> given;
    std::vector<std::string> reference;
  } cases[] = {
      {1, {"idx", "bogus"}, {"idx"}},
      {1, {"none"}, {}},
      {2, {"idx", "idz", "idxdy"}, {"idx", "idxdy"}},
      {2, {"bogus"}, {}},
      // IDX and its start rows follow "idx", or failing that "idxdy".
      {2, {"idxdy", "idydz"}, {"idxdy"}},
      {3, {"idxdydz", "idw"}, {"idxdydz"}},
      {3, {"none", ""}, {}},
  };
  const RoadAxisSetup axis = SmallAxis("OCFE2", 1);
  for (const auto& c : cases) {
    std::string where = std::to_string(c.axes) + " axes, INTEGRALS";
    for (const std::string& name : c.given) where += " \"" + name + "\"";
    const Outcome given = RunRoad(c.axes, 0, axis, axis, {}, c.given);
    const Outcome reference = RunRoad(c.axes, 0, axis, axis, {}, c.reference);
    ExpectSameAs(given, reference, where);
    EXPECT_FALSE(given.emitted.empty()) << where;
  }
}

}  // namespace
}  // namespace morvane::eqn::testing
