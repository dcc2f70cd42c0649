#include "zel_video_player/player/ros/ros_clock.h"

#include <algorithm>

#include <ros/time.h>

namespace zel {
namespace {

// Stage's /clock moves a tenth of a second at a time, rosbag's a hundredth times its rate factor.
constexpr std::chrono::milliseconds SIMULATED_STEP{250};
// roscpp tells no one when /clock moves on: its own sleeps look every millisecond, and so does this
// one while the clock moves. A clock that stands still (paused, or not yet started) is looked at
// less and less often, down to this: a paused simulation costs next to nothing, and its first tick
// after the pause is seen within this time.
constexpr std::chrono::milliseconds TICK_CHECK_PERIOD{1};
constexpr std::chrono::milliseconds SLOWEST_TICK_CHECK{20};
// Looks at a standing clock that many times before each step down in pace.
constexpr int CHECKS_PER_STEP = 10;

// ROS time under /use_sim_time: zero until the first /clock message, then whatever the simulator
// or the bag says, paused, fast or going back. Only the playback thread sleeps on it.
class SimulatedClock : public Clock {
 public:
  Time now() const override { return Time(ros::Time::now().toNSec()); }
  Time step() const override { return SIMULATED_STEP; }
  std::chrono::nanoseconds wait_toward(Time) const override {
    const Time seen = now();
    standing_checks_ = seen == last_seen_ ? standing_checks_ + 1 : 0;
    last_seen_ = seen;
    return std::min<std::chrono::milliseconds>(TICK_CHECK_PERIOD * (1 + standing_checks_ / CHECKS_PER_STEP),
                                               SLOWEST_TICK_CHECK);
  }

 private:
  mutable Time last_seen_{-1};
  mutable int standing_checks_ = 0;
};

}  // namespace

std::unique_ptr<const Clock> make_ros_clock() {
  if (ros::Time::isSimTime()) return std::make_unique<SimulatedClock>();
  return std::make_unique<SteadyClock>();
}

}  // namespace zel
