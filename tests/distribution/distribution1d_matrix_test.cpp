// Declared and emitted equations agree, through the host, for every method, derivative order
// used, integral selection, domain order and number of sections; every node gets its equations
// once; and over all these cases the catalogue's 90 rows with their 518 non-zeros all occur.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "real_domain.h"

namespace morvane::eqn::testing {
namespace {

TEST(Distribution1DMatrix, AgreeForEveryMethodOrderSelectionDomainOrderAndSectionCount) {
  std::map<int, std::size_t> termsOfRow;  // every row met, with its number of non-zeros
  int cases = 0;
  for (const char* method : kMethods) {
    for (int used : {0, 1, 2}) {
      for (bool idx : {false, true}) {
        for (int domainOrder : {1, 2}) {
          for (int sections = 1; sections <= 3; ++sections) {
            RoadSetup setup;
            setup.method = method;
            setup.sections = sections;
            setup.domainOrder = domainOrder;
            setup.orderUsed = used;
            setup.idx = idx;
            Road road(setup);
            const std::string where = std::string(method) + ", order used " + std::to_string(used) +
                                      (idx ? ", idx" : ", no idx") + ", domain order " + std::to_string(domainOrder) +
                                      ", " + std::to_string(sections) + " SectionAt(s)";
            ASSERT_TRUE(road.Cycle()) << where << ": " << road.Errors();
            ++cases;
            std::string difference;
            EXPECT_TRUE(road.host.DeclaredMatchesEmitted(&difference)) << where << ": " << difference;
            const int written = road.host.PatternEntriesWritten();
            EXPECT_EQ(static_cast<std::size_t>(written), road.host.DeclaredNonZeros().size()) << where;

            const std::vector<Equation> equations = road.RecordedEquations();
            EXPECT_EQ(road.distribution->LocalEqnCount, static_cast<int>(equations.size())) << where;
            EXPECT_EQ(road.distribution->LocalNonZeroCount, written) << where;

            // Which node each equation is about: DDX at every node once (the junction rows
            // apart), D2DX2 at the members of its set, IDX at every node once.
            const int end = road.domain->ENDNODE.v();
            std::map<std::uint8_t, std::multiset<int>> subjects;
            for (const Equation& e : equations) {
              const auto& junctions = std::set<int>{5, 11, 18, 25, 32, 43, 56, 64, 72, 83};
              if (junctions.count(e.row) == 0) subjects[e.Terms().at(0).array].insert(e.Terms().at(0).index);
              const auto found = termsOfRow.find(e.row);
              if (found != termsOfRow.end()) {
                EXPECT_EQ(found->second, e.Terms().size()) << where << " " << e.name;
              }
              termsOfRow[e.row] = e.Terms().size();
            }
            std::multiset<int> everyNode;
            for (int k = 0; k <= end; ++k) everyNode.insert(k);
            EXPECT_EQ(subjects[d1::kDdx], used >= 1 ? everyNode : std::multiset<int>{}) << where;
            EXPECT_EQ(subjects[d1::kIdx], idx ? everyNode : std::multiset<int>{}) << where;
            std::multiset<int> d2;
            if (used >= 2) {
              // The rows stand at the sections' (or elements') inner nodes; the set holds
              // those and, below domain order 2, the junction nodes too.
              const TQ_SetValue& set = road.distribution->TQ_D2DX2_SET1.v();
              for (int p = 0; p < set.SetSize(); ++p) d2.insert(set.IntegerAt(p));
              if (domainOrder < 2) {
                for (int s = 2; s <= sections; ++s) d2.erase((*road.domain->SECTION)(s).BASE.v());
                if (PointsOf(method) > 0 && IsCollocation(method)) {
                  for (int k = 0; k <= end; k += PointsOf(method) + 1) d2.erase(k);
                }
              }
            }
            EXPECT_EQ(subjects[d1::kD2dx2], d2) << where;
          }
        }
      }
    }
  }
  EXPECT_EQ(cases, 10 * 3 * 2 * 2 * 3);
  EXPECT_EQ(termsOfRow.size(), 90u);
  std::size_t nonZeros = 0;
  for (const auto& [row, terms] : termsOfRow) nonZeros += terms;
  EXPECT_EQ(nonZeros, 518u);
}

}  // namespace
}  // namespace morvane::eqn::testing
