// How a handle packs slot index, load epoch and generation into the pointer-sized integer
// a host keeps. A handle is never negative and never 0, so it must fit in 63 bits on a
// 64-bit host and in 31 on a 32-bit one: there fewer handles live at once, load epochs
// repeat sooner, and a slot is retired after fewer reuses.
#pragma once

#include <cstdint>

namespace ryn::handles {

// The widths of the fields, low to high: slot index + 1, epoch, generation.
template <int kPointerBits>
struct Layout;
template <>
struct Layout<64> {
  static constexpr int kIndexBits = 24, kEpochBits = 15, kGenerationBits = 24;
};
// Ten thousand live handles and more; 4095 handles a slot, 32 epochs.
template <>
struct Layout<32> {
  static constexpr int kIndexBits = 14, kEpochBits = 5, kGenerationBits = 12;
};

template <class L>
struct Fields {
  static_assert(L::kIndexBits + L::kEpochBits + L::kGenerationBits <= 63);
  static constexpr uint64_t kIndexMask = (1ull << L::kIndexBits) - 1;
  static constexpr uint64_t kEpochMask = (1ull << L::kEpochBits) - 1;
  static constexpr uint64_t kMaxGeneration = 1ull << L::kGenerationBits;  // a slot past it is never reused

  static constexpr uint64_t Encode(uint64_t generation, uint64_t epoch, uint32_t index) {
    return (generation << (L::kIndexBits + L::kEpochBits)) | (epoch << L::kIndexBits) | (index + 1ull);
  }
  // The fields of a handle's bits; a value no handle can have gives index + 1 == 0 or a
  // generation of 0 or past the last.
  static constexpr uint64_t Generation(uint64_t h) { return h >> (L::kIndexBits + L::kEpochBits); }
  static constexpr uint64_t Epoch(uint64_t h) { return (h >> L::kIndexBits) & kEpochMask; }
  static constexpr uint32_t IndexPlusOne(uint64_t h) { return static_cast<uint32_t>(h & kIndexMask); }
};

using Native = Fields<Layout<static_cast<int>(sizeof(intptr_t) * 8)>>;
static_assert(Native::Encode(Native::kMaxGeneration - 1, Native::kEpochMask, Native::kIndexMask - 1) <=
              static_cast<uint64_t>(INTPTR_MAX));

}  // namespace ryn::handles
