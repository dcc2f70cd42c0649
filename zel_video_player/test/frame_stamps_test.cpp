// Stamps that name one frame each, whatever the clock does between frames.
#include "zel_video_player/player/frame_stamps.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace zel {
namespace {

std::vector<std::int64_t> stamps_at(const std::vector<std::int64_t>& clock_readings) {
  FrameStamps stamps;
  std::vector<std::int64_t> given;
  for (const std::int64_t now : clock_readings) given.push_back(stamps.next(now));
  return given;
}

TEST(FrameStamps, FollowTheClockAndNeverRepeat) {
  EXPECT_EQ(stamps_at({0, 100, 250}), (std::vector<std::int64_t>{0, 100, 250}));
  // Three frames made due by one step of a simulated clock, then the clock moves on.
  EXPECT_EQ(stamps_at({1000, 1000, 1000, 2000}), (std::vector<std::int64_t>{1000, 1001, 1002, 2000}));
  // A clock that moved on by less than the nanoseconds lent out.
  EXPECT_EQ(stamps_at({1000, 1000, 1000, 1001}), (std::vector<std::int64_t>{1000, 1001, 1002, 1003}));
  // A bag that loops starts again from its beginning, and so do the stamps.
  EXPECT_EQ(stamps_at({5000, 5000, 10, 10}), (std::vector<std::int64_t>{5000, 5001, 10, 11}));
}

}  // namespace
}  // namespace zel
