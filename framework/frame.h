// The library frame: membership of a text in a string set, the content
// resource the library carries for the host, the version numbers, and the
// allocator that keeps the standard containers of the library's own code on
// the runtime heap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "framework/morvane_api.h"
#include "host/vekexp.h"

// 1 when `text` is a member of `set`, 0 otherwise (the host's answer).
int StringInSet(const char* text, const SUValue& set);

namespace morvane {

struct Version {
  std::uint16_t major, minor, build, revision;
};
inline constexpr Version kFileVersion{23, 0, 0, 19};
inline constexpr Version kProductVersion{23, 0, 0, 0};
inline constexpr const char* kFileName = "Morvane230_1.dll";

// The library's global allocation operators put objects and arrays on the
// host heap. Standard containers in the library's own code use this
// allocator instead, so that they stay on the runtime heap and never mix with
// the host's blocks.
template <typename T>
struct RuntimeAllocator {
  using value_type = T;
  RuntimeAllocator() noexcept = default;
  template <typename U>
  RuntimeAllocator(const RuntimeAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    void* block = std::malloc(n * sizeof(T));
    if (block == nullptr) throw std::bad_alloc();
    return static_cast<T*>(block);
  }
  void deallocate(T* block, std::size_t) noexcept { std::free(block); }
  template <typename U>
  bool operator==(const RuntimeAllocator<U>&) const noexcept {
    return true;
  }
  template <typename U>
  bool operator!=(const RuntimeAllocator<U>&) const noexcept {
    return false;
  }
};

template <typename T>
using vector = std::vector<T, RuntimeAllocator<T>>;
using string = std::basic_string<char, std::char_traits<char>, RuntimeAllocator<char>>;

// A number in decimal, as a library string (std::to_string's string would be
// made on the runtime's heap and freed by the library's operators).
template <typename N>
string Text(N number) {
  char digits[32];
  if constexpr (std::is_floating_point_v<N>)
    std::snprintf(digits, sizeof digits, "%g", static_cast<double>(number));
  else if constexpr (std::is_signed_v<N>)
    std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(number));
  else
    std::snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(number));
  return string(digits);
}

// The allocation the library's global operators make: the host heap, with
// nothing added around the block.
inline void* HostNew(std::size_t size) noexcept {
  return size > 0xFFFFFFFFu ? nullptr : MyAllocate(static_cast<unsigned int>(size));
}
inline void HostDelete(void* pointer) noexcept { MyFree(pointer); }

}  // namespace morvane
