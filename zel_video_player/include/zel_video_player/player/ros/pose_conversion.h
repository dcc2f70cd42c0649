#pragma once

#include <geometry_msgs/PoseWithCovarianceStamped.h>
#include <ros/time.h>

namespace zel {

// A localiser's pose as the player reads it from the pose topic: at (`x`, `y`) on the map, facing
// `yaw` radians, with no covariance. The demo's tour, the benchmark and the tests send the player
// their robot's poses this way.
geometry_msgs::PoseWithCovarianceStamped pose_message(double x, double y, double yaw = 0.0,
                                                      const ros::Time& stamp = ros::Time());

}  // namespace zel
