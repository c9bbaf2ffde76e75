// What the host holds stays within its size budget: over the inputs that make the host's memory
// grow (the number of objects, the number of models, the size of one model's equation store, the
// members of a set fixed through the host's interface), at a budget of 64 MB and of 2 GB, the most
// the host held along the whole road (its heap's blocks and its own structures, by its own
// accounting, beside what the caller made itself) is no more than the budget and a fixed margin;
// and where the input would not fit, it is refused first, with its size and the limit. The same
// inputs fit the larger budget without a refusal.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "modelhost_run.h"
#include "host/vekexp.h"

namespace {

using nlohmann::json;

constexpr std::int64_t kMegabyte = 1024 * 1024;
constexpr std::int64_t kGigabyte = 1024 * kMegabyte;
// What the host may hold beyond its budget: the last object it took before it held more, and
// the estimates' error on the last model it admitted.
constexpr std::int64_t kMargin = 4 * kMegabyte;

json Objects(int count) {
  json objects = json::array();
  for (int k = 0; k < count; ++k) objects.push_back({{"name", "G" + std::to_string(k)}, {"type", "GENERICMODEL"}});
  return {{"objects", objects}};
}

// `count` three-axis distributions over three small domains (CFD4, one section, second
// derivatives, every integral): about 9,000 equations and 56,000 non-zeros each.
json Models(int count) {
  json objects = json::array();
  for (const char* axis : {"X", "Y", "Z"})
    objects.push_back({{"name", axis},
                       {"type", "DOMAIN"},
                       {"fix", {{"DISCRETIZATIONMETHOD", "CFD4"}, {"HIGHESTORDERDERIVATIVE", 2}}}});
  for (int k = 0; k < count; ++k)
    objects.push_back({{"name", "D" + std::to_string(k)},
                       {"type", "DISTRIBUTION3D"},
                       {"links", {{"XDOMAIN", "X"}, {"YDOMAIN", "Y"}, {"ZDOMAIN", "Z"}}},
                       {"fix", {{"INTEGRALS", {"idx", "idy", "idz", "idxdy", "idxdz", "idydz", "idxdydz"}}}}});
  return {{"objects", objects}};
}

// One distribution over a domain of `nodes` nodes (CFD4, second derivatives, its integral): a
// large equation store of one model.
json Store(int nodes) {
  return {{"objects",
           {{{"name", "X"},
             {"type", "DOMAIN"},
             {"fix",
              {{"DISCRETIZATIONMETHOD", "CFD4"}, {"HIGHESTORDERDERIVATIVE", 2}, {"SPACINGPREFERENCE", 1.0 / nodes}}}},
            {{"name", "D"},
             {"type", "DISTRIBUTION1D"},
             {"links", {{"XDOMAIN", "X"}}},
             {"fix", {{"INTEGRALS", {"idx"}}}}}}}};
}

struct Outcome {
  std::int64_t peak = 0;    // the most the host held along the road
  std::int64_t caller = 0;  // of which the caller's own values, made before the road
  bool refused = false;     // the budget refused something
  std::string refusal;      // the first refusal
  std::string all;          // every message
};

void Note(Outcome& outcome, const std::string& message) {
  outcome.all += message + "\n";
  if (!outcome.refused && message.find("size budget") != std::string::npos) {
    outcome.refused = true;
    outcome.refusal = message;
  }
}

// The configuration made and run as the command-line host does.
Outcome Configured(const json& configuration) {
  Outcome outcome;
  modelhost::Run run;
  std::string error;
  EXPECT_TRUE(run.LoadLibrary("", error)) << error;
  TQ_HeapStats::ResetPeak();
  if (run.Configure(configuration, error))
    run.Cycle();
  else
    Note(outcome, error);
  outcome.peak = TQ_HeapStats::PeakHeldBytes();
  for (const std::string& message : run.Errors()) Note(outcome, message);
  return outcome;
}

// A set of `members` texts made by the caller and fixed through the host's interface: the host's
// copy is its own.
Outcome FixedSet(int members) {
  Outcome outcome;
  const std::int64_t before = TQ_HeapStats::HeldBytes();
  {
    TQ_STRINGSET set;
    TQ_SetValue texts(TQ_SET_STRING);
    for (int k = 0; k < members; ++k) {
      const std::string text = std::to_string(k);
      texts += ("member-" + std::string(12 - text.size(), '0') + text).c_str();
    }
    const TQ_Value value(texts, 0u, 0u, 0);
    outcome.caller = TQ_HeapStats::HeldBytes() - before;
    TQ_HeapStats::ResetPeak();
    std::string why;
    if (set.Fix(value, &why) != TQ_ASSIGN_DONE) Note(outcome, why);
    outcome.peak = TQ_HeapStats::PeakHeldBytes();
  }
  return outcome;
}

struct Input {
  const char* what;
  std::function<Outcome()> road;
};

TEST(HostMemory, WhatTheHostHoldsStaysWithinItsBudgetOrIsRefusedFirst) {
  const Input inputs[] = {
      {"objects", [] { return Configured(Objects(100000)); }},
      {"models", [] { return Configured(Models(40)); }},
      {"one model's equation store", [] { return Configured(Store(100000)); }},
      {"a set's members", [] { return FixedSet(1000000); }},
  };
  for (const Input& input : inputs) {
    for (const std::int64_t budget : {64 * kMegabyte, 2 * kGigabyte}) {
      const std::string where = std::string(input.what) + ", budget " + std::to_string(budget / kMegabyte) + " MB";
      TQ_SizeBudget::SetLimit(budget);
      const Outcome outcome = input.road();
      TQ_SizeBudget::SetLimit(0);
      EXPECT_LE(outcome.peak - outcome.caller, budget + kMargin) << where << ": " << outcome.refusal;
      // Every input here would take more than the smaller budget and fits the larger one; refused,
      // it is told its size and the limit.
      EXPECT_EQ(outcome.refused, budget < kGigabyte) << where << ":\n" << outcome.all.substr(0, 2000);
      if (outcome.refused) {
        const std::string limit = "the size budget of " + std::string(budget < kGigabyte ? "64.00 MB" : "2.00 GB");
        EXPECT_NE(outcome.refusal.find(limit), std::string::npos) << where << ": " << outcome.refusal;
        EXPECT_TRUE(outcome.refusal.find("would take about") != std::string::npos ||
                    outcome.refusal.find("the host holds") != std::string::npos)
            << where << ": " << outcome.refusal;
      }
    }
  }
}

}  // namespace
