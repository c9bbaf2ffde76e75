// How the distribution's context finds array elements over two and three axes: along a line of
// one axis (the terms of one equation) it finds exactly what the array holds, wherever the
// array's index values leave gaps or an element is missing, and it follows the array when a
// lookup adds index values and moves the elements' slots.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "distribution/distribution_context.h"
#include "domain/tq_domain.h"
#include "host_test.h"

namespace morvane::eqn::testing {
namespace {

template <std::size_t D>
using Array = std::conditional_t<D == 2, TQ_ARRAY_II<TQ_REALVARIABLE>, TQ_ARRAY_III<TQ_REALVARIABLE>>;

template <std::size_t D>
using Coord = std::array<std::int32_t, D>;

// An array over D axes whose index values are `values` per axis (gaps included), with an element
// at every combination but those `missing` picks; the elements made, by their indices.
template <std::size_t D>
struct Holder {
  std::array<TQ_INTEGERSET, D> sets;
  Array<D> array;
  std::map<Coord<D>, TQ_Type*> made;
  std::array<TQ_DOMAIN, D> domains;  // the context reads no domain here; it asks that each be there
  DistributionView<D> view;

  Holder(const std::array<std::vector<std::int32_t>, D>& values, bool (*missing)(const Coord<D>&)) {
    std::apply([&](auto&... s) { array.SetDim(s...); }, sets);
    Coord<D> at{};
    Visit(values, 0, at, [&](const Coord<D>& c) {
      // Every combination is looked up once, so that every index value is the array's; those
      // `missing` picks are made and then taken away again, leaving their slots empty.
      TQ_Type* element = Make(c);
      if (missing(c)) {
        Slot(c) = nullptr;
        delete element;
      } else {
        made[c] = element;
      }
    });
    for (std::size_t a = 0; a < D; ++a) view.domains[a] = &domains[a];
    view.Add(array);
  }

  TQ_Type* Make(const Coord<D>& c) {
    return std::apply([&](auto... k) -> TQ_Type* { return &array(k...); }, c);
  }
  TQ_Type*& Slot(const Coord<D>& c) {
    // Row-major, the last axis fastest, as the array keeps its elements.
    std::size_t slot = 0;
    for (std::size_t a = 0; a < D; ++a) {
      const TQ_SetValue& v = array.IndexValues[a];
      int position = 0;
      v.SetContains(c[a], position);
      slot = slot * static_cast<std::size_t>(v.SetSize()) + static_cast<std::size_t>(position);
    }
    return array.ElementVector[static_cast<unsigned int>(slot)];
  }
  TQ_Type* Expected(const Coord<D>& c) const {
    const auto found = made.find(c);
    return found == made.end() ? nullptr : found->second;
  }

  template <class F>
  static void Visit(const std::array<std::vector<std::int32_t>, D>& values, std::size_t a, Coord<D>& at, F&& f) {
    if (a == D) return f(at);
    for (std::int32_t v : values[a]) {
      at[a] = v;
      Visit(values, a + 1, at, f);
    }
  }
};

// Every index from one below the least value to one above the greatest, along each axis.
template <std::size_t D>
std::array<std::vector<std::int32_t>, D> Probes(const std::array<std::vector<std::int32_t>, D>& values) {
  std::array<std::vector<std::int32_t>, D> probes;
  for (std::size_t a = 0; a < D; ++a)
    for (std::int32_t k = values[a].front() - 1; k <= values[a].back() + 1; ++k) probes[a].push_back(k);
  return probes;
}

// Along every axis, through every probe of the other axes, each probe of the line's own axis
// finds the element made there, and null where there is none (a gap, a missing element, an
// index outside the values).
template <std::size_t D>
void ExpectLinesFindWhatTheArrayHolds(Holder<D>& h, const std::array<std::vector<std::int32_t>, D>& values) {
  DistributionContext<Access::Constant, D> context(h.view);
  const auto probes = Probes<D>(values);
  int found = 0;
  for (std::size_t axis = 0; axis < D; ++axis) {
    Coord<D> through{};
    Holder<D>::Visit(probes, 0, through, [&](const Coord<D>& c) {
      if (c[axis] != probes[axis].front()) return;  // one line per combination of the others
      const auto line = context.Along(0, static_cast<int>(axis), c);
      for (std::int32_t k : probes[axis]) {
        Coord<D> at = c;
        at[axis] = k;
        const TQ_Type* expected = h.Expected(at);
        EXPECT_EQ(line.At(k), expected) << "axis " << axis << " index " << k;
        found += expected != nullptr ? 1 : 0;
      }
    });
  }
  EXPECT_EQ(found, static_cast<int>(D * h.made.size())) << "every element is found along each axis";
}

class ElementLinesTest : public HostTest {};

TEST_F(ElementLinesTest, TwoAxesWithGapsAndMissingElements) {
  const std::array<std::vector<std::int32_t>, 2> values{{{0, 1, 3, 7}, {2, 3, 4}}};
  Holder<2> h(values, [](const Coord<2>& c) { return (c[0] + c[1]) % 5 == 0; });
  ASSERT_LT(h.made.size(), 12u);
  ExpectLinesFindWhatTheArrayHolds(h, values);
}

TEST_F(ElementLinesTest, ThreeAxesWithGapsAndMissingElements) {
  const std::array<std::vector<std::int32_t>, 3> values{{{1, 2, 5}, {0, 1, 2, 3}, {4, 6, 7}}};
  Holder<3> h(values, [](const Coord<3>& c) { return (c[0] * c[1] + c[2]) % 4 == 0; });
  ASSERT_LT(h.made.size(), 36u);
  ExpectLinesFindWhatTheArrayHolds(h, values);
}

TEST_F(ElementLinesTest, ALookupThatAddsIndexValuesMovesTheLines) {
  const std::array<std::vector<std::int32_t>, 2> values{{{0, 1, 2}, {0, 1, 2}}};
  Holder<2> h(values, [](const Coord<2>&) { return false; });
  DistributionContext<Access::Constant, 2> context(h.view);
  // A line along y through x = 1 is found, then a lookup adds x = -1 before every other value,
  // moving every element's slot one row on.
  EXPECT_EQ(context.Along(0, 1, {1, 0}).At(2), h.Expected({1, 2}));
  const TQ_Type* added = context.Variable(0, {-1, 1});
  ASSERT_NE(added, nullptr);
  ASSERT_EQ(h.array.IndexValues[0].Integer(0), -1);
  // (A lookup of an element there already comes first: the context learns the array anew.)
  EXPECT_EQ(context.Variable(0, {0, 0}), h.Expected({0, 0}));
  EXPECT_EQ(context.Along(0, 1, {1, 0}).At(2), h.Expected({1, 2}));
  EXPECT_EQ(context.Along(0, 1, {-1, 0}).At(1), added);
  EXPECT_EQ(context.Along(0, 1, {-1, 0}).At(0), nullptr) << "only (-1, 1) was made in the new row";
  EXPECT_EQ(context.Along(0, 0, {0, 1}).At(-1), added);
}

}  // namespace
}  // namespace morvane::eqn::testing
