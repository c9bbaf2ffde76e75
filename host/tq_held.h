// What the host holds beside the blocks of its heap: its own structures that
// grow with the models (the equation store, the registry, names, property
// tables, sets, messages) count their bytes here, so that the size budget
// weighs a model against everything the host holds (TQ_HeapStats::HeldBytes).
// The host's own code uses these; the model library does not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "vekexp_api.h"

// Adds `bytes` (less, when negative) to what the host's structures hold.
VEKEXP_API void TQ_CountHeld(std::int64_t bytes) noexcept;

// What a block of `size` bytes takes from the C library: the size with the
// allocator's own header, rounded up to its granule.
constexpr std::int64_t TQ_BlockBytes(std::size_t size) {
  constexpr std::size_t kWord = sizeof(std::size_t);
  constexpr std::size_t kGranule = 2 * kWord;
  const std::size_t block = (size + kWord + kGranule - 1) / kGranule * kGranule;
  return static_cast<std::int64_t>(block < 2 * kGranule ? 2 * kGranule : block);
}

// The standard allocator, with every block counted in what the host holds
// while it is held: a container that moves to a larger block counts both
// while it copies.
template <typename T>
class TQ_HeldAllocator {
 public:
  using value_type = T;

  TQ_HeldAllocator() noexcept = default;
  template <typename U>
  TQ_HeldAllocator(const TQ_HeldAllocator<U>&) noexcept {}  // NOLINT: converting on purpose

  T* allocate(std::size_t count) {
    T* block = std::allocator<T>().allocate(count);
    TQ_CountHeld(TQ_BlockBytes(count * sizeof(T)));
    return block;
  }
  void deallocate(T* block, std::size_t count) noexcept {
    std::allocator<T>().deallocate(block, count);
    TQ_CountHeld(-TQ_BlockBytes(count * sizeof(T)));
  }

  friend bool operator==(const TQ_HeldAllocator&, const TQ_HeldAllocator&) noexcept { return true; }
};

// One object made and destroyed through the counted allocator (the block of a text, a table
// or a set value that an object holds by pointer).
template <typename T, typename... Args>
T* TQ_NewHeld(Args&&... args) {
  TQ_HeldAllocator<T> allocator;
  T* object = allocator.allocate(1);
  try {
    return ::new (static_cast<void*>(object)) T(static_cast<Args&&>(args)...);
  } catch (...) {
    allocator.deallocate(object, 1);
    throw;
  }
}
template <typename T>
void TQ_DeleteHeld(T* object) noexcept {
  if (object == nullptr) return;
  object->~T();
  TQ_HeldAllocator<T>().deallocate(object, 1);
}

// A text, a vector and a set counted in what the host holds.
using TQ_HeldString = std::basic_string<char, std::char_traits<char>, TQ_HeldAllocator<char>>;
template <typename T>
using TQ_HeldVector = std::vector<T, TQ_HeldAllocator<T>>;
template <typename T>
using TQ_HeldSet = std::unordered_set<T, std::hash<T>, std::equal_to<>, TQ_HeldAllocator<T>>;

// Hashes a text by its characters, whatever string type holds them, so that
// a table keyed by held texts is searched with a plain one.
struct TQ_TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>()(text); }
};
struct TQ_TextEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept { return a == b; }
};
