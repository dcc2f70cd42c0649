#include "zel_video_player/ros_clock.h"

#include <ros/time.h>

namespace zel {
namespace {

// Stage's /clock moves a tenth of a second at a time, rosbag's a hundredth times its rate factor.
constexpr std::chrono::milliseconds SIMULATED_STEP{250};
// roscpp tells no one when /clock moves on: its own sleeps look this often, and so does this one.
constexpr std::chrono::milliseconds TICK_CHECK_PERIOD{1};

// ROS time under /use_sim_time: zero until the first /clock message, then whatever the simulator
// or the bag says, paused, fast or going back.
class SimulatedClock : public Clock {
 public:
  Time now() const override { return Time(ros::Time::now().toNSec()); }
  Time step() const override { return SIMULATED_STEP; }
  void sleep_toward(Time, const PlayState& state, int from) const override {
    state.wait_for_location_change(from, TICK_CHECK_PERIOD);
  }
};

}  // namespace

std::unique_ptr<const Clock> make_ros_clock() {
  if (ros::Time::isSimTime()) return std::make_unique<SimulatedClock>();
  return std::make_unique<SteadyClock>();
}

}  // namespace zel
