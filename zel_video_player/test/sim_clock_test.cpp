// The simulated clock beside a private master, heard as a node in simulated time hears it.
#include "zel_video_player/sim/sim_clock.h"

#include <gtest/gtest.h>
#include <rosgraph_msgs/Clock.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>

#include "support/ros_session.h"
#include "support/topic_recorder.h"

namespace zel {
namespace {

using Heard = testing::Recorder<rosgraph_msgs::Clock>;

// A sanitizer's build on a busy machine is late for many ticks, and drops them.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double SLOWEST_RATE_SHARE = 1.0 / 3.0;
#else
constexpr double SLOWEST_RATE_SHARE = 0.8;
#endif

class SimClockTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::start_ros_session("sim_clock_test"); }

  ros::NodeHandle node_;
};

TEST_F(SimClockTest, RunsAtItsSpeedAndRateUntilItStops) {
  const Heard heard("/clock");
  std::optional<SimClock> clock;
  clock.emplace(node_, SimClockOptions{4.0, 200.0, 10.0});
  ASSERT_TRUE(heard.wait_until([](const auto& got) { return !got.empty(); }, 10.0));
  const SimClock::Reading before = clock->read();
  ros::WallDuration(1.0).sleep();
  const SimClock::Reading after = clock->read();
  clock.reset();
  const auto got = heard.messages();

  // From the start it was given, never going back.
  EXPECT_GE(got.front().clock.toSec(), 10.0);
  EXPECT_LT(got.front().clock.toSec(), 14.0);
  for (std::size_t i = 1; i < got.size(); ++i) EXPECT_LE(got[i - 1].clock, got[i].clock) << i;
  // Against the instants the times were sent for: a sanitizer's build on a busy machine may be late
  // to send, which the reader's own instants would count as speed.
  const double sent_over = after.sent_steady_seconds - before.sent_steady_seconds;
  EXPECT_NEAR((after.ros_seconds - before.ros_seconds) / sent_over, 4.0, 0.05);
  const double rate = static_cast<double>(after.messages - before.messages) / sent_over;
  EXPECT_GE(rate, 200.0 * SLOWEST_RATE_SHARE);
  EXPECT_LE(rate, 240.0) << "late ticks are dropped, never sent in a burst";

  // Stopped: not one message more.
  ros::WallDuration(0.3).sleep();
  EXPECT_EQ(heard.messages().size(), got.size());
}

TEST_F(SimClockTest, StopsAtTheLastTimeRosHolds) {
  const Heard heard("/clock");
  constexpr double LAST_SECONDS = std::numeric_limits<std::uint32_t>::max() + 1.0;
  const SimClock clock(node_, SimClockOptions{1.0, 100.0, LAST_SECONDS - 2.0});
  EXPECT_TRUE(testing::wait_until(10.0, [&] { return clock.ran_out(); }));
  ros::WallDuration(0.2).sleep();
  const auto got = heard.messages();
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.back().clock.sec, std::numeric_limits<std::uint32_t>::max()) << "no wrap to zero";
  ros::WallDuration(0.2).sleep();
  EXPECT_EQ(heard.messages().size(), got.size());
}

TEST_F(SimClockTest, ARateOfOneMessageInAgesSendsTheFirstAndWaits) {
  std::optional<SimClock> clock;
  clock.emplace(node_, SimClockOptions{1.0, 1e-12, 1.0});
  ros::WallDuration(0.5).sleep();
  EXPECT_EQ(clock->read().messages, 1u);
  const auto stopping = std::chrono::steady_clock::now();
  clock.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(1)) << "stops without waiting it out";
}

TEST_F(SimClockTest, RefusesAClockThatCannotRun) {
  for (const SimClockOptions& options :
       {SimClockOptions{0.0, 100.0, 1.0}, SimClockOptions{1.0, 0.0, 1.0}, SimClockOptions{1.0, 100.0, -1.0}}) {
    EXPECT_THROW(SimClock(node_, options), std::invalid_argument);
  }
}

}  // namespace
}  // namespace zel
