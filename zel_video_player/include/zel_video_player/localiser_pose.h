#pragma once

#include <cmath>

#include <geometry_msgs/PoseWithCovarianceStamped.h>
#include <ros/time.h>

#include "zel_video_player/player/ros/names.h"

namespace zel {

// What a localiser sends the player on the pose topic: at (`x`, `y`) on the map, facing `yaw`
// radians, with no covariance. For the player's peers (the demo's tour, the benchmark, the tests);
// the node itself only reads such messages.
inline geometry_msgs::PoseWithCovarianceStamped localiser_pose(double x, double y, double yaw = 0.0,
                                                               const ros::Time& stamp = ros::Time()) {
  geometry_msgs::PoseWithCovarianceStamped message;
  message.header.stamp = stamp;
  message.header.frame_id = MAP_FRAME;
  message.pose.pose.position.x = x;
  message.pose.pose.position.y = y;
  message.pose.pose.orientation.z = std::sin(yaw / 2.0);
  message.pose.pose.orientation.w = std::cos(yaw / 2.0);
  return message;
}

}  // namespace zel
