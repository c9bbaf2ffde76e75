// The cases of a domain whose INTERIOR lies outside its nodes, under every order of derivative
// the axes may use: the number of axes, the axis whose INTERIOR lies outside, and the order of
// every axis. The library's tests and modelhost's run the same table.
#pragma once

#include <array>
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace interior_orders {

inline constexpr const char* kAxisNames[] = {"X", "Y", "Z"};

struct OrdersCase {
  int axes;
  int outside;
  std::array<int, 3> orders;  // 0, 1 or 2; those past the last axis unused
};

// Whether some axis of the case uses second derivatives.
inline bool UsesSecondDerivatives(const OrdersCase& p) {
  for (int a = 0; a < p.axes; ++a)
    if (p.orders[static_cast<std::size_t>(a)] == 2) return true;
  return false;
}

inline void PrintTo(const OrdersCase& p, std::ostream* out) {
  *out << p.axes << " axes, " << kAxisNames[p.outside] << "'s INTERIOR outside, orders used";
  for (int a = 0; a < p.axes; ++a) *out << ' ' << p.orders[static_cast<std::size_t>(a)];
}

// Every number of axes, every axis outside, and every order along each axis.
inline std::vector<OrdersCase> EveryOrdersCase() {
  std::vector<OrdersCase> cases;
  for (int axes = 1; axes <= 3; ++axes) {
    int combinations = 1;
    for (int a = 0; a < axes; ++a) combinations *= 3;
    for (int outside = 0; outside < axes; ++outside) {
      for (int k = 0; k < combinations; ++k) {
        std::array<int, 3> orders{};
        for (int a = 0, rest = k; a < axes; ++a, rest /= 3) orders[static_cast<std::size_t>(a)] = rest % 3;
        cases.push_back({axes, outside, orders});
      }
    }
  }
  return cases;
}

// The test's name for a case: "2D_YOutside_Orders12".
inline std::string CaseName(const OrdersCase& p) {
  std::string name = std::to_string(p.axes) + "D_" + kAxisNames[p.outside] + "Outside_Orders";
  for (int a = 0; a < p.axes; ++a) name += std::to_string(p.orders[static_cast<std::size_t>(a)]);
  return name;
}

}  // namespace interior_orders
