#pragma once

#include <string>

#include <ros/ros.h>
#include <tf2_ros/static_transform_broadcaster.h>
#include <tf2_ros/transform_broadcaster.h>

#include "zel_video_player/demo/tour.h"

namespace zel::demo {

// Where the simulated robot is, told as a localiser and odometry would tell it: the pose for the
// player, the transforms for RViz, and what the camera shows written under the robot.
class RobotPoses {
 public:
  // Stamps the fixed map-to-odom transform: construct once the clock runs.
  RobotPoses();

  std::string pose_topic() const { return pose_publisher_.getTopic(); }
  bool player_listens() const { return pose_publisher_.getNumSubscribers() > 0; }

  // `showing` empty: the player has named no media yet, and no label is written.
  void publish(const Position& position, double yaw, const std::string& showing);

 private:
  void publish_label(const Position& position, const std::string& showing);

  ros::Publisher pose_publisher_;
  ros::Publisher label_publisher_;
  tf2_ros::TransformBroadcaster broadcaster_;
  tf2_ros::StaticTransformBroadcaster static_broadcaster_;
};

}  // namespace zel::demo
