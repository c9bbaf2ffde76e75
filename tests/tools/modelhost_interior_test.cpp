// modelhost over a distribution of one, two or three axes whose first domain has its INTERIOR
// fixed outside its nodes: the same refusal from each, in one line, with status 2 and no
// equation of the distribution listed.
#include <gtest/gtest.h>

#include <string>

#include "modelhost_tool.h"

using modelhost_test::Outcome;
using modelhost_test::RunTool;

namespace {

// Domains X, Y, Z (as many as axes), CFD2 over one section of eight intervals with second
// derivatives, X's INTERIOR fixed to `interior`, and a distribution D over them.
std::string Configuration(int axes, const std::string& interior) {
  const char* names[] = {"X", "Y", "Z"};
  std::string objects;
  std::string links;
  for (int a = 0; a < axes; ++a) {
    objects += std::string(R"({"name":")") + names[a] +
               R"(","type":"DOMAIN","fix":{"DISCRETIZATIONMETHOD":"CFD2","NUMSECTIONS":1,)"
               R"("HIGHESTORDERDERIVATIVE":2)" +
               (a == 0 ? R"(,"INTERIOR":[)" + interior + "]" : std::string()) + "}},";
    links += std::string(a == 0 ? "" : ",") + "\"" + names[a] + "DOMAIN\":\"" + names[a] + "\"";
  }
  return R"({"objects":[)" + objects + R"({"name":"D","type":"DISTRIBUTION)" + std::to_string(axes) +
         R"(D","links":{)" + links + "}}]}";
}

class ModelHostInterior : public ::testing::TestWithParam<int> {};

TEST_P(ModelHostInterior, AnInteriorOutsideTheNodesIsRefusedWithStatus2) {
  const int axes = GetParam();
  const struct {
    const char* interior;
    const char* message;
  } cases[] = {
      {"100",
       "D: the interior nodes 100 to 100 of the domain X (XDOMAIN) lie outside the domain's nodes 0 to 8 (TQ_Eqn"},
      {"-2,3", "D: the interior nodes -2 to 3 of the domain X (XDOMAIN) lie outside the domain's nodes 0 to 8 (TQ_Eqn"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(axes) + " axes, INTERIOR [" + c.interior + "]");
    const Outcome run = RunTool({}, Configuration(axes, c.interior));
    EXPECT_EQ(run.status, 2) << run.err;
    ASSERT_EQ(run.ErrorLines().size(), 1u) << run.err;
    EXPECT_EQ(run.ErrorLines().front().rfind(std::string("modelhost: ") + c.message, 0), 0u) << run.err;
    EXPECT_EQ(run.out.find("D2DX2("), std::string::npos) << "no equation of D is listed: " << run.out;
  }
  // Within the nodes, the same model runs and lists its second derivatives.
  const Outcome inside = RunTool({}, Configuration(axes, "1,2,3,4,5,6,7"));
  EXPECT_EQ(inside.status, 0) << inside.err;
  EXPECT_NE(inside.out.find("D2DX2("), std::string::npos) << inside.out;
}

INSTANTIATE_TEST_SUITE_P(Axes, ModelHostInterior, ::testing::Values(1, 2, 3), [](const auto& info) {
  return std::to_string(info.param) + "D";
});

}  // namespace
