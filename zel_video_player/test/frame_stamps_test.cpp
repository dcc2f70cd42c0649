// Stamps that name one frame each, whatever the clock does between frames.
#include "zel_video_player/player/frame_stamps.h"

#include "zel_video_player/player/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

namespace zel {
namespace {

std::vector<std::int64_t> stamps_at(const std::vector<std::int64_t>& dues) {
  FrameStamps stamps;
  std::vector<std::int64_t> given;
  for (const std::int64_t due : dues) given.push_back(stamps.next(due));
  return given;
}

TEST(FrameStamps, FollowTheDueTimesAndNeverRepeat) {
  EXPECT_EQ(stamps_at({0, 100, 250}), (std::vector<std::int64_t>{0, 100, 250}));
  // Pacers started afresh on a clock that stood still, then the clock moves on.
  EXPECT_EQ(stamps_at({1000, 1000, 1000, 2000}), (std::vector<std::int64_t>{1000, 1001, 1002, 2000}));
  // A clock that moved on by less than the nanoseconds lent out.
  EXPECT_EQ(stamps_at({1000, 1000, 1000, 1001}), (std::vector<std::int64_t>{1000, 1001, 1002, 1003}));
  // A bag that loops starts again from its beginning, and so do the stamps.
  EXPECT_EQ(stamps_at({5000, 5000, 10, 10}), (std::vector<std::int64_t>{5000, 5001, 10, 11}));
}

// Frames due a period apart on the steady clock go out stamped in real time exactly a period
// apart, however the two clocks' readings jitter from one frame to the next.
TEST(SteadyClock, StampsItsInstantsInRealTimeKeepingTheirDistance) {
  const SteadyClock clock;
  const Clock::Time now = clock.now();
  const Clock::Time first = clock.stamp_of(now);
  const auto real_now = std::chrono::system_clock::now().time_since_epoch();
  EXPECT_LT(std::chrono::abs(first - std::chrono::duration_cast<Clock::Time>(real_now)), std::chrono::seconds(1));
  const Clock::Time period(33'333'334);
  for (int k = 1; k <= 1000; ++k) ASSERT_EQ(clock.stamp_of(now + k * period) - first, k * period) << k;
}

}  // namespace
}  // namespace zel
