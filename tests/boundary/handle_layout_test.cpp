// The handle's bits on either pointer width: every field at its extremes comes back from
// the handle, and the handle stays a positive value of the host's pointer-sized integer.
#include <gtest/gtest.h>

#include <cstdint>

#include "boundary/handle_layout.h"

namespace ryn::handles {
namespace {

struct Case {
  uint64_t generation, epoch;
  uint32_t index;
};

template <class F>
void ExpectRoundTrips(uint64_t maxHandle) {
  const auto maxIndex = static_cast<uint32_t>(F::kIndexMask - 1);
  const Case cases[] = {
      {1, 0, 0},
      {1, F::kEpochMask, maxIndex},
      {F::kMaxGeneration - 1, 0, 0},
      {F::kMaxGeneration - 1, F::kEpochMask, maxIndex},
      {F::kMaxGeneration / 2, F::kEpochMask / 2, maxIndex / 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "generation " << c.generation << " epoch " << c.epoch << " index " << c.index);
    const uint64_t h = F::Encode(c.generation, c.epoch, c.index);
    EXPECT_GT(h, 0u);
    EXPECT_LE(h, maxHandle);
    EXPECT_EQ(F::Generation(h), c.generation);
    EXPECT_EQ(F::Epoch(h), c.epoch);
    EXPECT_EQ(F::IndexPlusOne(h), c.index + 1);
  }
}

TEST(HandleLayoutTest, FieldsComeBackAndTheHandleFitsThePointerWidth) {
  ExpectRoundTrips<Fields<Layout<64>>>(INT64_MAX);
  ExpectRoundTrips<Fields<Layout<32>>>(INT32_MAX);
}

TEST(HandleLayoutTest, ValuesNoHandleHasDecodeAsInvalid) {
  // What a 32-bit host might pass: 0, -1 and other negative numbers (taken through the
  // unsigned type of the same width), small integers of its own.
  using F = Fields<Layout<32>>;
  const uint64_t values[] = {0, 0xFFFFFFFFu, 0x80000000u, 1, 42};
  for (uint64_t v : values) {
    SCOPED_TRACE(v);
    EXPECT_TRUE(F::IndexPlusOne(v) == 0 || F::Generation(v) == 0 || F::Generation(v) >= F::kMaxGeneration);
  }
}

}  // namespace
}  // namespace ryn::handles
