// What every distribution does when some of its domain links hold no domain, through the host's
// whole model cycle: each phase names the owner and every missing link through the host, no
// exception reaches the host, nothing is handed over, declared or emitted, every array that
// needs no missing domain is sized all the same, and once the links are attached the same
// objects run the whole cycle.
#include <gtest/gtest.h>

#include <bit>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "distribution/distribution_engine.h"
#include "library/export_table.h"
#include "domain/tq_domain.h"
#include "host/tq_executive.h"
#include "host/vekexp.h"
#include "host/tq_executive_testing.h"

// The factories, as the export table defines them.
#define MORVANE_DECLARE_FACTORY(NAME) extern "C" TQ_ModelType* NAME##Factory();
MORVANE_CREATABLE_TYPES(MORVANE_DECLARE_FACTORY)
#undef MORVANE_DECLARE_FACTORY

namespace {

constexpr const char* kLinks[] = {"XDOMAIN", "YDOMAIN", "ZDOMAIN"};
constexpr const char* kAxes[] = {"X", "Y", "Z"};

// A dimension of an array that a domain's INTERIOR set sizes; every other dimension k of an
// array A is sized by the distribution's own set TQ_A_SETk.
struct InteriorDimension {
  const char* array;
  int dimension;
  int axis;
};

struct Model {
  const char* type;
  TQ_ModelType* (*factory)();
  int axes;
  std::vector<InteriorDimension> interiors;
};

const Model kModels[] = {
    {"DISTRIBUTION1D", DISTRIBUTION1DFactory, 1, {}},
    {"DISTRIBUTION2D", DISTRIBUTION2DFactory, 2, {{"D2DY2", 1, 1}}},
    {"DISTRIBUTION3D", DISTRIBUTION3DFactory, 3, {{"D2DY2", 1, 1}, {"D2DZ2", 2, 2}}},
};

// One BFD1 domain per axis ("X", "Y", "Z", of 5, 4 and 3 nodes) and the distribution "D", made by
// the factories and held by a fresh executive; D's links attached where `attached` has the
// axis's bit.
class Road {
 public:
  Road(const Model& model, unsigned attached) : host(TQ_Executive::Instance()) {
    host.Reset();
    std::string error;
    for (int a = 0; a < model.axes; ++a) {
      domain[a] = dynamic_cast<TQ_DOMAIN*>(DOMAINFactory());
      EXPECT_TRUE(host.AddObject(kAxes[a], domain[a], &error)) << error;
      Fix(std::string(kAxes[a]) + ".SECTION(1).NODECOUNT", 4 - a);
    }
    d = model.factory();
    EXPECT_TRUE(host.AddObject("D", d, &error)) << error;
    for (int a = 0; a < model.axes; ++a)
      if ((attached & (1u << a)) != 0) Attach(a);
  }
  ~Road() { host.Reset(); }
  Road(const Road&) = delete;
  Road& operator=(const Road&) = delete;

  void Fix(const std::string& path, int value) {
    std::string error;
    auto* property = dynamic_cast<TQ_VarParamProp*>(host.FindByPath(path, true, &error));
    ASSERT_NE(property, nullptr) << path << ": " << error;
    ASSERT_EQ(property->Fix(TQ_Value(value, 0u, 0u, 0), &error), TQ_ASSIGN_DONE) << path << ": " << error;
  }
  TQ_ExternalBase& Link(int axis) const { return *dynamic_cast<TQ_ExternalBase*>(d->FindProperty(kLinks[axis])); }
  void Attach(int axis) {
    std::string error;
    EXPECT_TRUE(Link(axis).Attach(domain[axis], &error)) << error;
  }

  // D's arrays, by name: the array itself or the one its virtual property stands for.
  std::vector<std::pair<std::string, const TQ_Matrix*>> Arrays() const {
    std::vector<std::pair<std::string, const TQ_Matrix*>> out;
    for (int k = 0; k < d->PropertyCount(); ++k) {
      TQ_Containable* property = d->PropertyAt(k).property;
      const std::string name = property->Name();
      if (auto* linked = dynamic_cast<TQ_VirtualBase*>(property)) property = linked->CurrentLink();
      if (auto* array = dynamic_cast<const TQ_Matrix*>(property)) out.emplace_back(name, array);
    }
    return out;
  }

  std::string Errors() const {
    std::string all;
    for (const std::string& e : host.Errors()) all += e + "\n";
    return all;
  }

  TQ_Executive& host;
  TQ_DOMAIN* domain[3] = {};
  TQ_ModelType* d = nullptr;
};

TEST(DistributionLinks, MissingDomainsAreReportedOnceAndNothingIsHandedOrPlaced) {
  for (const Model& model : kModels) {
    const unsigned all = (1u << model.axes) - 1;
    for (unsigned attached = 0; attached < all; ++attached) {
      SCOPED_TRACE(std::string(model.type) + ", links attached " + std::to_string(attached));
      Road road(model, attached);
      const auto missing = [&](int axis) { return (attached & (1u << axis)) == 0; };

      // What the host is told: every missing link by name, once, in the first phase that meets
      // it (the later phases meet the same cause); and no line of the host's that repeats the
      // failure, since the model gave its cause; nothing else (a thrown exception would add the
      // host's own report of it).
      std::vector<std::string> expected;
      for (int a = 0; a < model.axes; ++a)
        if (missing(a))
          expected.push_back(std::string("D: ") + kLinks[a] +
                             " has no domain attached; the distribution's index sets and assignments cannot be "
                             "computed");

      TQ_ExecutiveTesting::EnableLog(road.host, true);
      EXPECT_FALSE(road.host.RunCycle());
      TQ_ExecutiveTesting::EnableLog(road.host, false);
      EXPECT_EQ(road.host.Errors(), expected) << road.Errors();
      for (const TQ_LogEntry& e : TQ_ExecutiveTesting::Log(road.host))
        EXPECT_NE(e.target->Owner(), road.d) << "handed to the host: " << e.target->Name();
      for (const TQ_DeclaredEquation& e : road.host.Declared()) EXPECT_NE(e.owner, road.d);
      for (const TQ_EmittedEquation& e : road.host.Emitted()) EXPECT_NE(e.owner, road.d);

      // SetDims sized every array by its own sets, and a dimension sized by a domain's
      // INTERIOR where the link holds the domain; an array that needs a missing domain's
      // INTERIOR is left unsized.
      const auto arrays = road.Arrays();
      ASSERT_FALSE(arrays.empty());
      for (const auto& [name, array] : arrays) {
        bool unsized = false;
        for (const InteriorDimension& i : model.interiors) unsized = unsized || (name == i.array && missing(i.axis));
        for (int k = 0; k < array->Dimensions(); ++k) {
          SCOPED_TRACE(name + " dimension " + std::to_string(k));
          const TQ_Containable* expectedSet =
              road.d->FindProperty(("TQ_" + name + "_SET" + std::to_string(k + 1)).c_str());
          for (const InteriorDimension& i : model.interiors)
            if (name == i.array && k == i.dimension) expectedSet = &road.domain[i.axis]->INTERIOR;
          EXPECT_EQ(array->DeclaredSet(k), unsized ? nullptr : expectedSet);
        }
      }

      // Called directly, each phase answers the same way, once more.
      road.host.ClearErrors();
      EXPECT_EQ(road.d->ExecuteAssignments(10, 1), morvane::eqn::kNoDomain);
      EXPECT_EQ(road.d->SetUpEquations(), morvane::eqn::kNoDomain);
      int* rows = nullptr;
      int* cols = nullptr;
      TQ_ExecutiveTesting::BeginEmission(road.host, 0, rows, cols);
      int* const start = rows;
      EXPECT_EQ(road.d->JacPattern(rows, cols, nullptr), morvane::eqn::kNoDomain);
      EXPECT_EQ(rows, start);
      EXPECT_TRUE(road.host.Emitted().empty());
      const auto reports = static_cast<std::size_t>(model.axes - std::popcount(attached));
      EXPECT_EQ(road.host.Errors().size(), 2 * reports) << road.Errors();

      // Linked, the same objects run the whole cycle.
      for (int a = 0; a < model.axes; ++a)
        if (missing(a)) road.Attach(a);
      road.host.ClearErrors();
      EXPECT_TRUE(road.host.RunCycle()) << road.Errors();
      EXPECT_TRUE(road.host.Errors().empty()) << road.Errors();
      EXPECT_FALSE(road.host.Emitted().empty());
    }
  }
}

}  // namespace
