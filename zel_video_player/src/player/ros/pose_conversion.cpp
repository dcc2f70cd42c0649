#include "zel_video_player/player/ros/pose_conversion.h"

#include <cmath>

#include "zel_video_player/player/names.h"

namespace zel {

geometry_msgs::PoseWithCovarianceStamped pose_message(double x, double y, double yaw, const ros::Time& stamp) {
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
