// What a Check walk and a Count walk of an equation plan find: the first fault of the grid, and
// the size of the equations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "distribution/eqn_names.h"

namespace morvane::eqn {

// What keeps a grid from carrying the equations that would run on it, found by a Check walk.
enum class FaultKind : std::uint8_t {
  None,
  Stencil,          // an equation reads a node outside its own section (the section is shorter than
                    // the method's stencil)
  NodeOutside,      // an equation reads a node along its own axis outside the domain's nodes
                    // 0 .. ENDNODE (its section lies outside them), or its section's node count is
                    // negative
  SetOutside,       // an equation stands at a member of another axis's INTERIOR outside that
                    // domain's nodes 0 .. ENDNODE, or a second derivative's row meets its own
                    // axis's INTERIOR with such a member
  Unfilled,         // the elements an element loop runs over leave nodes of their section out
  InteriorMissing,  // a second derivative's row stands at a node its own axis's INTERIOR (the
                    // index set of the second derivatives along it) leaves out
};

// The first fault a Check walk finds.
struct GridFault {
  bool found = false;
  FaultKind kind = FaultKind::None;
  int row = 0;                  // catalogue number (Stencil, NodeOutside, SetOutside, InteriorMissing)
  int axis = 0;                 // the axis at fault (SetOutside: the axis of the INTERIOR)
  std::int32_t section = 0;     // of the axis at fault; 0 for a row outside every section
  std::int64_t index = 0;       // Stencil, NodeOutside: the node read; SetOutside: the member;
                                // InteriorMissing: the first node left out
  std::int64_t first = 0;       // the section's nodes first .. last; SetOutside: the least and
  std::int64_t last = 0;        // greatest members of the INTERIOR
  std::int64_t end = 0;         // NodeOutside, SetOutside: the axis's ENDNODE
  std::int64_t elements = 0;    // Unfilled: NUMELEMENTS
  std::int64_t perElement = 0;  // Unfilled: the intervals of one element
};

// A stencil fault in words, written into `out` (cut to `size` bytes; empty when the fault is of
// another kind or there is none). (Into the caller's buffer: a library string must not be made
// by the runtime's heap and freed by the library's, or the reverse.)
inline void Describe(const GridFault& f, char* out, std::size_t size) {
  if (size == 0) return;
  out[0] = '\0';
  if (!f.found || f.kind != FaultKind::Stencil) return;
  std::snprintf(out,
                size,
                "%s of section %d (axis %d) reads node %lld, outside the section's nodes %lld to %lld: the section is "
                "shorter than the discretization method's stencil",
                RowEquationName(f.row),
                static_cast<int>(f.section),
                f.axis,
                static_cast<long long>(f.index),
                static_cast<long long>(f.first),
                static_cast<long long>(f.last));
}

// What a Count walk finds: equations and their variable and parameter terms.
struct PlanSize {
  double equations = 0;
  double terms = 0;
};

}  // namespace morvane::eqn
