// The ten discretization methods and what each fixes about a grid and its
// equations. The domain assigns its method values from this table, the
// distributions' plans are checked against it when the library is built, and
// the tests that build grids of their own read it.
//
// An element of a method has `points` points inside it and points + 1
// intervals. A collocation method places its points at the fractions of the
// element; every other method spaces its nodes evenly. The reach of a method
// is the number of node intervals its widest equation spans: no section may
// have fewer, and the domain assigns it as MINNODECOUNT.
//
// The rows stand in the order in which the distributions test the methods.
#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

inline constexpr int kMaxMethodPoints = 3;

struct TQ_MethodFacts {
  const char* name;
  int reach;
  int points;
  double fractions[kMaxMethodPoints];
  bool collocation;
  // The numbers of the domain's statements that assign MINNODECOUNT and
  // NUMPOLYPOINTS (0: the method assigns no points); POLYPOINT(p) follows
  // as pointsStatement + p.
  int reachStatement;
  int pointsStatement;
};

inline constexpr TQ_MethodFacts kDiscretizationMethods[] = {
    {"BFD1", 2, 0, {}, false, 6, 0},
    {"BFD2", 2, 1, {0.5}, false, 6, 11},
    {"FFD1", 2, 0, {}, false, 6, 0},
    {"FFD2", 2, 1, {0.5}, false, 6, 11},
    {"CFD2", 2, 1, {0.5}, false, 6, 11},
    {"CFD4", 4, 3, {0.25, 0.5, 0.75}, false, 8, 20},
    {"UBFD4", 4, 3, {0.25, 0.5, 0.75}, false, 8, 20},
    {"OCFE2", 2, 1, {0.5}, true, 6, 9},
    {"OCFE3", 3, 2, {0.21132, 0.78868}, true, 7, 13},
    {"OCFE4", 4, 3, {0.1127, 0.5, 0.8873}, true, 8, 16},
};

inline constexpr std::size_t kDiscretizationMethodCount = std::size(kDiscretizationMethods);

// How far a POLYPOINT may lie from the method's fraction and still count as the method's point.
// The table holds the collocation points to five decimals, within 5e-6 of the roots they stand
// for. The root typed to five decimals, rounded or cut, is the table's value or one unit of the
// fifth decimal from it, and typed to more decimals it comes closer still: 1.5e-5 takes these
// and refuses a value two units or more off, and no value of five decimals or fewer lies near
// the bound.
inline constexpr double kMethodPointTolerance = 1.5e-5;

// How far a node may lie from where its method puts it and still count as placed there: this
// fraction of its section's element (the element the section's start and end and its node count
// give, whatever ELEMENTLENGTH holds), as for the points (a coordinate typed to as many digits as
// the points are), plus kGridUlps units in the last place of the largest magnitude among the
// coordinates compared and the terms the node is computed from (its section's start and end; for
// the node where one section ends and the next starts, also the start of the one that ends), for
// the rounding by which the node statements and the sections' LOCATION statements reach the same
// coordinate by different sums (a few ulps of the largest term; far below the fraction unless a
// section is short beside its distance from 0, or beside that of the section before it).
inline constexpr double kGridTolerance = kMethodPointTolerance;
inline constexpr double kGridUlps = 16.0;

// The row of a method name as written (letter case counts); null for any
// other name.
constexpr const TQ_MethodFacts* FindDiscretizationMethod(std::string_view name) {
  for (const TQ_MethodFacts& method : kDiscretizationMethods)
    if (name == method.name) return &method;
  return nullptr;
}
