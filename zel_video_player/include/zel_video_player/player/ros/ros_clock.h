#pragma once

#include <memory>

#include "zel_video_player/player/clock.h"

namespace zel {

// The clock a ROS rate would count in: the simulator's /clock when /use_sim_time was true as the
// node started, steady wall time otherwise. ros::init must have run.
std::unique_ptr<const Clock> make_ros_clock();

}  // namespace zel
