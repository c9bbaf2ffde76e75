// The sets of standard descriptors that a launcher may start a process with closed, for tests
// parameterised over them: bit k of a set stands for descriptor k (0 input, 1 output, 2 error).
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace closed_descriptors {

// Every set of one, two or all three closed.
inline auto EverySet() { return ::testing::Range(1, 8); }

inline bool Closed(int set, int fd) { return (set & (1 << fd)) != 0; }

// "InputError" for standard input and error closed.
inline std::string Name(const ::testing::TestParamInfo<int>& info) {
  static const char* const kStreams[] = {"Input", "Output", "Error"};
  std::string name;
  for (int fd = 0; fd <= 2; ++fd)
    if (Closed(info.param, fd)) name += kStreams[fd];
  return name;
}

}  // namespace closed_descriptors
