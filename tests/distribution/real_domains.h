// Test support for the two- and three-dimensional distributions on the whole road: a domain per
// axis ("X", "Y", "Z") and a distribution "D" made by the library's factories and held by the
// executive, the links attached, the inputs fixed as a user fixes them, the host's model cycle,
// and readers that turn what the host holds into terms (array and node per axis, or the element
// length of a section), equations and residuals.
//
// The arrays are read from the distribution's own properties and understood from their names:
// DDX is the first derivative along x, D2DY2 the second along y, IDXDZ the integral over x and z.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "distribution/distribution2d_equations.h"
#include "distribution/distribution3d_equations.h"
#include "real_domain.h"
#include "test_grid.h"
#include "distribution/tq_distribution2d.h"
#include "distribution/tq_distribution3d.h"

namespace morvane::eqn::testing {

inline constexpr const char* kDomainNames[] = {"X", "Y", "Z"};

// How the equations of a distribution over `axes` axes are numbered and grouped: its
// integral-start equations 1 .. starts, then one block per method and axis (block D*m + a for
// method m of kMethods along axis a) whose equations run from blockStarts[block] to the next
// block's first, all in group firstBlockGroup + block.
struct Numbering {
  int axes;
  int starts;
  int firstBlockGroup;
  std::vector<int> blockStarts;  // one past the last equation at the end

  static const Numbering& ForAxes(int axes) {
    static const Numbering two{
        2, 4, 4, {5, 10, 16, 23, 32, 38, 45, 53, 63, 70, 79, 92, 109, 122, 139, 146, 155, 165, 178, 191, 208}};
    static const Numbering three{
        3, 12, 8, {13,  18,  24,  32,  39,  48,  61,  67,  74,  83,  91,  101, 115, 122, 131, 144,
                   157, 174, 199, 212, 229, 254, 261, 270, 283, 293, 306, 325, 338, 355, 380}};
    return axes == 2 ? two : three;
  }
  // The block of equation `row`, or -1 for an integral start (or a row outside every block).
  int BlockOf(int row) const {
    if (row <= starts || row >= blockStarts.back()) return -1;
    return static_cast<int>(std::upper_bound(blockStarts.begin(), blockStarts.end(), row) - blockStarts.begin()) - 1;
  }
  std::pair<int, int> RowsOf(int block) const {
    return {blockStarts[static_cast<std::size_t>(block)], blockStarts[static_cast<std::size_t>(block) + 1]};
  }
};

// The polynomial degree equation `row` of a distribution over `axes` axes is exact for, as its
// formula in the catalogue states it.
inline int FormulaDegree(int axes, int row) {
  const std::span<const MethodBlock> blocks =
      axes == 2 ? std::span<const MethodBlock>(d2::table::kBlocks) : std::span<const MethodBlock>(d3::table::kBlocks);
  for (const MethodBlock& b : blocks)
    for (const RowEntry& r : b.rows)
      if (r.number == row) return r.formula->degree;
  ADD_FAILURE() << "no equation " << row << " over " << axes << " axes";
  return 0;
}

// One axis: its domain's method (fixed unless empty), the node counts of its sections (fixed by
// hand; when none are given the domain divides itself) and the domain's HIGHESTORDERDERIVATIVE
// (fixed when not 1).
struct RoadAxisSetup {
  std::string method = "BFD1";
  std::vector<int> nodeCounts{4};
  int order = 2;
};

// Small sections that carry every row of a method: two elements in the first section and one in
// each other (four and three intervals for the methods of one-interval elements).
inline std::vector<int> SmallSections(std::string method, int sections) {
  for (char& c : method) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const int perElement = PointsOf(method) + 1;
  std::vector<int> counts(static_cast<std::size_t>(sections), perElement == 1 ? 3 : perElement);
  counts.front() = perElement == 1 ? 4 : 2 * perElement;
  return counts;
}

inline RoadAxisSetup SmallAxis(const std::string& method, int sections) {
  return {method, SmallSections(method, sections), 2};
}

// What a road sets up beyond the axes: INTEGRALS (fixed when not empty), integer values fixed by
// path ("D.HIGHESTORDERXDERIVATIVE", "Y.SECTION(2).NODECOUNT"), and which links are attached
// (bit a for axis a).
struct AxesSetup {
  std::vector<RoadAxisSetup> axes;
  std::vector<std::string> integrals{};
  std::vector<std::pair<std::string, int>> fixes{};
  unsigned links = 7u;
};

// An array of the distribution as its name describes it.
struct ArrayInfo {
  enum Kind { Value, First, Second, Integral };
  std::string name;
  TQ_Matrix* array = nullptr;
  Kind kind = Value;
  unsigned axes = 0;  // the axis of a derivative, the axes of an integral (bit a for axis a)
  int rank = 0;       // integrals: 1, 2, ... in the order the distribution holds them

  static int AxisOf(char letter) { return letter == 'X' ? 0 : letter == 'Y' ? 1 : letter == 'Z' ? 2 : -1; }
  // The axis an equation about this array runs along: a derivative's own, an integral's last
  // (an integral over several axes is built along its last from the one over the others).
  int AlongAxis() const {
    int last = -1;
    for (int a = 0; a < 3; ++a)
      if (axes & (1u << a)) last = a;
    return last;
  }
};

// A term of an emitted equation: an element of one of the distribution's arrays at one node per
// axis, or the element length of section `section` of axis `axis`'s domain.
struct TermInfo {
  int array = -1;  // -1: an element length
  std::array<int, 3> at{};
  int axis = -1;
  int section = 0;
};

// An emitted equation of the distribution with its terms understood.
struct RoadEquation {
  const TQ_EmittedEquation* emitted = nullptr;
  std::string name;
  int row = 0;
  int groupOffset = 0;  // its group less the distribution's FirstGroup
  std::vector<TermInfo> terms;
};

// Every element an array of `only` (or, when null, of any of the host's objects) holds outside
// the sets its dimensions are declared over, by path; every element of an array with a dimension
// not declared at all.
inline std::vector<std::string> ElementsOutsideTheirSets(TQ_Executive& host, const TQ_ModelType* only = nullptr) {
  std::vector<std::string> outside;
  for (int i = 0; i < host.ObjectCount(); ++i) {
    TQ_ModelType* object = host.ObjectAt(i);
    if (only != nullptr && object != only) continue;
    for (int k = 0; k < object->PropertyCount(); ++k) {
      TQ_Containable* property = object->PropertyAt(k).property;
      if (auto* link = dynamic_cast<TQ_VirtualBase*>(property)) property = link->CurrentLink();
      auto* array = dynamic_cast<TQ_Matrix*>(property);
      if (array == nullptr) continue;
      for (unsigned int slot = 0; slot < array->ElementVector.Elements(); ++slot) {
        if (array->ElementVector[slot] == nullptr) continue;
        // Slots run row-major over the index values present, the last dimension fastest.
        unsigned int rest = slot;
        bool inside = true;
        std::string keys;
        for (int d = array->Dimensions(); d-- > 0;) {
          const TQ_SetValue& values = array->IndexValuesOf(d);
          const auto count = static_cast<unsigned int>(values.SetSize());
          if (count == 0) {
            inside = false;
            keys = "?" + keys;
            break;
          }
          const auto at = static_cast<int>(rest % count);
          rest /= count;
          const TQ_Set* declared = array->DeclaredSet(d);
          int position = 0;
          if (values.HoldsStrings()) {
            const char* key = values.StringAt(at);
            inside = inside && declared != nullptr && declared->v().SetContains(key, position) != 0;
            keys = std::string(key) + (keys.empty() ? "" : "," + keys);
          } else {
            const int key = values.IntegerAt(at);
            inside = inside && declared != nullptr && declared->v().SetContains(key, position) != 0;
            keys = std::to_string(key) + (keys.empty() ? "" : "," + keys);
          }
        }
        if (!inside) outside.push_back(host.PathOf(array) + "(" + keys + ")");
      }
    }
  }
  return outside;
}

// The residual of an emitted equation as the host evaluates it, with each term's value given
// by `value`, and the size of its terms: the same program over the absolute values of its
// leaves (from the recorded program, its terms numbered in order).
inline Value ResidualOf(const TQ_Executive& host,
                        const TQ_EmittedEquation& e,
                        const std::function<double(const TQ_VarParam&)>& value) {
  std::vector<Entry> program;
  std::vector<const TQ_VarParam*> terms;
  for (std::uint32_t k = 0; k < e.itemCount; ++k) {
    const TQ_ProgramItem& item = host.Items()[e.firstItem + k];
    program.push_back(EntryOf(item, TermRef{0, static_cast<std::int32_t>(terms.size())}));
    if (item.kind == TQ_ProgramItem::Term) terms.push_back(item.term);
  }
  const Value recorded =
      Evaluate(program, [&](const TermRef& t) { return value(*terms[static_cast<std::size_t>(t.index)]); });
  bool ok = false;
  const double residual = host.Evaluate(e, value, &ok);
  EXPECT_TRUE(ok) << host.EquationName(e) << ": the host cannot evaluate it";
  return Value{residual, recorded.magnitude};
}

// Domains "X", "Y" (and "Z") and a distribution "D" over them, made by the factories and handed
// to a fresh executive, in this order.
class AxesRoad : public HostRoad {
 public:
  explicit AxesRoad(const AxesSetup& setup) : axes(static_cast<int>(setup.axes.size())) {
    std::string error;
    for (int a = 0; a < axes; ++a) {
      domains[a] = dynamic_cast<TQ_DOMAIN*>(DOMAINFactory());
      EXPECT_TRUE(host.AddObject(kDomainNames[a], domains[a], &error)) << error;
    }
    if (axes == 2) {
      d2 = dynamic_cast<TQ_DISTRIBUTION2D*>(DISTRIBUTION2DFactory());
      distribution = d2;
    } else {
      d3 = dynamic_cast<TQ_DISTRIBUTION3D*>(DISTRIBUTION3DFactory());
      distribution = d3;
    }
    EXPECT_NE(distribution, nullptr);
    EXPECT_TRUE(host.AddObject("D", distribution, &error)) << error;
    for (int a = 0; a < axes; ++a) {
      if ((setup.links & (1u << a)) != 0) {
        EXPECT_TRUE(Link(a).Attach(domains[a], &error)) << error;
      }
      const RoadAxisSetup& axis = setup.axes[static_cast<std::size_t>(a)];
      const std::string name = kDomainNames[a];
      if (!axis.method.empty()) Fix(name + ".DISCRETIZATIONMETHOD", TQ_Value(axis.method.c_str(), 0u, 0u, 0));
      if (!axis.nodeCounts.empty())
        Fix(name + ".NUMSECTIONS", TQ_Value(static_cast<int>(axis.nodeCounts.size()), 0u, 0u, 0));
      if (axis.order != 1) Fix(name + ".HIGHESTORDERDERIVATIVE", TQ_Value(axis.order, 0u, 0u, 0));
      for (std::size_t s = 0; s < axis.nodeCounts.size(); ++s)
        Fix(name + ".SECTION(" + std::to_string(s + 1) + ").NODECOUNT", TQ_Value(axis.nodeCounts[s], 0u, 0u, 0));
    }
    if (!setup.integrals.empty()) {
      TQ_SetValue selected;
      for (const std::string& selector : setup.integrals) selected += selector.c_str();
      Fix("D.INTEGRALS", TQ_Value(selected, 0u, 0u, 0));
    }
    for (const auto& [path, value] : setup.fixes) Fix(path, TQ_Value(value, 0u, 0u, 0));
  }

  // The distribution's arrays in the order it registers them (VALUE once the host has made
  // the array its virtual property stands for).
  std::vector<ArrayInfo> Arrays() const {
    std::vector<ArrayInfo> out;
    for (int k = 0; k < distribution->PropertyCount(); ++k) {
      TQ_Containable* property = distribution->PropertyAt(k).property;
      if (auto* virtualLink = dynamic_cast<TQ_VirtualBase*>(property)) property = virtualLink->CurrentLink();
      if (auto* array = dynamic_cast<TQ_Matrix*>(property))
        out.push_back(DescribeArray(distribution->PropertyAt(k).name, array, out));
    }
    return out;
  }

  TQ_External<TQ_DOMAIN>& Link(int axis) {
    if (d2 != nullptr) return axis == 0 ? d2->XDOMAIN : d2->YDOMAIN;
    return axis == 0 ? d3->XDOMAIN : axis == 1 ? d3->YDOMAIN : d3->ZDOMAIN;
  }
  std::int32_t FirstGroup() const { return d2 != nullptr ? d2->FirstGroup : d3->FirstGroup; }
  std::int32_t LocalEqnCount() const { return d2 != nullptr ? d2->LocalEqnCount : d3->LocalEqnCount; }
  std::int32_t LocalNonZeroCount() const { return d2 != nullptr ? d2->LocalNonZeroCount : d3->LocalNonZeroCount; }
  const Numbering& RowNumbering() const { return Numbering::ForAxes(axes); }

  // The equations the distribution emitted in the last cycle, with their terms understood; a
  // term that is neither an element of its arrays nor a section's element length fails.
  std::vector<RoadEquation> Equations() const {
    const auto known = TermMap();
    std::vector<RoadEquation> out;
    for (const TQ_EmittedEquation* e : EmittedBy(distribution)) {
      RoadEquation equation;
      equation.emitted = e;
      equation.name = host.EquationName(*e);
      equation.row = equation.name.rfind("TQ_Eqn", 0) == 0 ? std::atoi(equation.name.c_str() + 6) : 0;
      equation.groupOffset = e->group - FirstGroup();
      for (std::uint32_t k = 0; k < e->itemCount; ++k) {
        const TQ_ProgramItem& item = host.Items()[e->firstItem + k];
        if (item.kind != TQ_ProgramItem::Term) continue;
        const auto found = known.find(item.term);
        EXPECT_NE(found, known.end()) << equation.name << ": the term " << host.PathOf(item.term)
                                      << " is neither an element of the distribution nor an element length";
        equation.terms.push_back(found == known.end() ? TermInfo{} : found->second);
      }
      out.push_back(std::move(equation));
    }
    return out;
  }

  // What every element of the distribution's arrays, and every element length of its domains'
  // sections, stands for.
  std::unordered_map<const TQ_VarParam*, TermInfo> TermMap() const {
    std::unordered_map<const TQ_VarParam*, TermInfo> known;
    const std::vector<ArrayInfo> held = Arrays();
    for (std::size_t k = 0; k < held.size(); ++k) {
      const TQ_Matrix& array = *held[k].array;
      const int dims = array.Dimensions();
      for (unsigned int slot = 0; slot < array.ElementVector.Elements(); ++slot) {
        const auto* element = dynamic_cast<const TQ_VarParam*>(array.ElementVector[slot]);
        if (element == nullptr) continue;
        TermInfo term;
        term.array = static_cast<int>(k);
        unsigned int rest = slot;
        for (int d = dims; d-- > 0;) {
          const TQ_SetValue& values = array.IndexValuesOf(d);
          const auto count = static_cast<unsigned int>(values.SetSize());
          term.at[static_cast<std::size_t>(d)] = values.IntegerAt(static_cast<int>(rest % count));
          rest /= count;
        }
        known[element] = term;
      }
    }
    for (int a = 0; a < axes; ++a) {
      if (domains[a] == nullptr) continue;
      for (int s = 1; s <= domains[a]->NUMSECTIONS.v(); ++s) {
        TermInfo step;
        step.axis = a;
        step.section = s;
        known[&(*domains[a]->SECTION)(s).ELEMENTLENGTH] = step;
      }
    }
    return known;
  }

  // The coordinate of node k of axis a, as the domain placed it.
  double Coordinate(int a, int k) const { return (*domains[a]->VALUE)(k).v(); }

  // Every equation as text, in order: name, group offset and residual.
  std::vector<std::string> Stream() const {
    std::vector<std::string> out;
    for (const TQ_EmittedEquation* e : EmittedBy(distribution))
      out.push_back(std::string(host.EquationName(*e)) + "@" + std::to_string(e->group - FirstGroup()) + ": " +
                    host.Infix(*e));
    return out;
  }

  int axes;
  std::array<TQ_DOMAIN*, 3> domains{};
  TQ_ModelType* distribution = nullptr;
  TQ_DISTRIBUTION2D* d2 = nullptr;
  TQ_DISTRIBUTION3D* d3 = nullptr;

 private:
  static ArrayInfo DescribeArray(const std::string& name, TQ_Matrix* array, const std::vector<ArrayInfo>& before) {
    ArrayInfo info;
    info.name = name;
    info.array = array;
    if (name.rfind("D2D", 0) == 0) {
      info.kind = ArrayInfo::Second;
      info.axes = 1u << ArrayInfo::AxisOf(name[3]);
    } else if (name.rfind("DD", 0) == 0) {
      info.kind = ArrayInfo::First;
      info.axes = 1u << ArrayInfo::AxisOf(name[2]);
    } else if (name.rfind("I", 0) == 0) {
      info.kind = ArrayInfo::Integral;
      for (std::size_t k = 1; k + 1 < name.size(); k += 2) info.axes |= 1u << ArrayInfo::AxisOf(name[k + 1]);
      for (const ArrayInfo& a : before) info.rank += a.kind == ArrayInfo::Integral ? 1 : 0;
      ++info.rank;
    }
    return info;
  }
};

}  // namespace morvane::eqn::testing
