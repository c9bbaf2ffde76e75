// modelhost over a distribution of one, two or three axes one of whose domains has its INTERIOR
// fixed outside its nodes: wherever some axis uses second derivatives (which stand at that
// INTERIOR), the same refusal from each, in one line, with status 2 and no equation of the
// distribution listed, whichever axis holds the INTERIOR and whatever the other axes' orders;
// where no axis uses them, the run lists the equations it lists with the domain's own INTERIOR.
#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <string>
#include <vector>

#include "interior_orders.h"
#include "modelhost_tool.h"

using modelhost_test::Outcome;
using modelhost_test::RunTool;

namespace {

const char* const kNames[] = {"X", "Y", "Z"};

// Domains X, Y, Z (as many as axes), CFD2 over one section of eight intervals, each with the
// highest order of derivative orders[a] (which the distribution uses along that axis), the
// INTERIOR of axis `outside` fixed to `interior` (none: left to the domain), and a distribution
// D over them.
std::string Configuration(int axes,
                          const std::string& interior,
                          int outside = 0,
                          std::array<int, 3> orders = {2, 2, 2}) {
  std::string objects;
  std::string links;
  for (int a = 0; a < axes; ++a) {
    objects += std::string(R"({"name":")") + kNames[a] +
               R"(","type":"DOMAIN","fix":{"DISCRETIZATIONMETHOD":"CFD2","NUMSECTIONS":1,)"
               R"("HIGHESTORDERDERIVATIVE":)" +
               std::to_string(orders[static_cast<std::size_t>(a)]) +
               (a == outside && !interior.empty() ? R"(,"INTERIOR":[)" + interior + "]" : std::string()) + "}},";
    links += std::string(a == 0 ? "" : ",") + "\"" + kNames[a] + "DOMAIN\":\"" + kNames[a] + "\"";
  }
  return R"({"objects":[)" + objects + R"({"name":"D","type":"DISTRIBUTION)" + std::to_string(axes) +
         R"(D","links":{)" + links + "}}]}";
}

// The run's listing of D's equations (its lines from D's heading on) and its count line.
std::vector<std::string> Listing(const Outcome& run) {
  std::vector<std::string> lines = run.Lines();
  std::vector<std::string> out;
  if (!lines.empty()) out.push_back(lines.front());
  bool inD = false;
  for (const std::string& line : lines) {
    inD = inD || line.rfind("D: Model DISTRIBUTION", 0) == 0;
    if (inD) out.push_back(line);
  }
  return out;
}

// A refusal of the INTERIOR of `domain` with least and greatest members `least`, `greatest`,
// standing at `standsAt`: status 2, one error line, no equation of D listed.
void ExpectRefused(const Outcome& run,
                   const std::string& domain,
                   const std::string& least,
                   const std::string& greatest,
                   const std::string& standsAt) {
  const std::string message = "modelhost: D: the interior nodes " + least + " to " + greatest + " of the domain " +
                              domain + " (" + domain + "DOMAIN) lie outside the domain's nodes 0 to 8 (TQ_Eqn";
  const std::string standing = " stands at node " + standsAt + ")";
  EXPECT_EQ(run.status, 2) << run.err;
  const std::vector<std::string> errors = run.ErrorLines();
  ASSERT_EQ(errors.size(), 1u) << run.err;
  const std::string& line = errors.front();
  EXPECT_EQ(line.rfind(message, 0), 0u) << run.err;
  ASSERT_GE(line.size(), standing.size()) << run.err;
  EXPECT_EQ(line.compare(line.size() - standing.size(), standing.size(), standing), 0) << run.err;
  EXPECT_EQ(run.out.find("TQ_Eqn"), std::string::npos) << "no equation of D is listed: " << run.out;
}

class ModelHostInterior : public ::testing::TestWithParam<int> {};

TEST_P(ModelHostInterior, AnInteriorOutsideTheNodesIsRefusedWithStatus2) {
  const int axes = GetParam();
  const struct {
    const char* interior;
    const char* least;
    const char* greatest;
    const char* standsAt;
  } cases[] = {
      {"100", "100", "100", "100"},
      {"-2,3", "-2", "3", "-2"},
  };
  for (int outside = 0; outside < axes; ++outside) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::to_string(axes) + " axes, " + kNames[outside] + ".INTERIOR [" + c.interior + "]");
      ExpectRefused(
          RunTool({}, Configuration(axes, c.interior, outside)), kNames[outside], c.least, c.greatest, c.standsAt);
    }
    // Within the nodes, the same model runs and lists its second derivatives.
    const Outcome inside = RunTool({}, Configuration(axes, "1,2,3,4,5,6,7", outside));
    EXPECT_EQ(inside.status, 0) << inside.err;
    EXPECT_NE(inside.out.find(std::string("D2D") + kNames[outside] + "2("), std::string::npos) << inside.out;
  }
}

INSTANTIATE_TEST_SUITE_P(Axes, ModelHostInterior, ::testing::Values(1, 2, 3), [](const auto& info) {
  return std::to_string(info.param) + "D";
});

using interior_orders::EveryOrdersCase;
using interior_orders::OrdersCase;

class ModelHostInteriorUnderOrders : public ::testing::TestWithParam<OrdersCase> {};

TEST_P(ModelHostInteriorUnderOrders, IsRefusedWhereSecondDerivativesRun) {
  const OrdersCase& p = GetParam();
  const bool second = interior_orders::UsesSecondDerivatives(p);
  const Outcome run = RunTool({}, Configuration(p.axes, "100", p.outside, p.orders));
  if (second) {
    ExpectRefused(run, kNames[p.outside], "100", "100", "100");
    return;
  }
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.err.empty()) << run.err;
  const Outcome within = RunTool({}, Configuration(p.axes, "", p.outside, p.orders));
  EXPECT_EQ(within.status, 0) << within.err;
  EXPECT_EQ(Listing(run), Listing(within));
}

INSTANTIATE_TEST_SUITE_P(AxesOutsideAxisAndOrders,
                         ModelHostInteriorUnderOrders,
                         ::testing::ValuesIn(EveryOrdersCase()),
                         [](const auto& info) { return interior_orders::CaseName(info.param); });

}  // namespace
