#include "robot_poses.h"

#include <cmath>

#include <geometry_msgs/PoseWithCovarianceStamped.h>
#include <geometry_msgs/TransformStamped.h>
#include <visualization_msgs/Marker.h>

#include "zel_video_player/player/ros/names.h"
#include "zel_video_player/localiser_pose.h"

namespace zel::demo {
namespace {

constexpr double LABEL_HEIGHT = 0.35;
constexpr double LABEL_DROP = 0.8;  // metres below the robot on the map, clear of the points' numbers

geometry_msgs::TransformStamped transform(const std::string& parent, const std::string& child,
                                          const Position& position, double yaw) {
  geometry_msgs::TransformStamped result;
  result.header.stamp = ros::Time::now();
  result.header.frame_id = parent;
  result.child_frame_id = child;
  result.transform.translation.x = position.x;
  result.transform.translation.y = position.y;
  result.transform.rotation.z = std::sin(yaw / 2.0);
  result.transform.rotation.w = std::cos(yaw / 2.0);
  return result;
}

}  // namespace

RobotPoses::RobotPoses() {
  ros::NodeHandle node;
  ros::NodeHandle private_node("~");
  pose_publisher_ = node.advertise<geometry_msgs::PoseWithCovarianceStamped>(POSE_TOPIC, 10);
  label_publisher_ = private_node.advertise<visualization_msgs::Marker>("camera_label", 1, true);
  // The localiser's correction is none: the simulated odometry is exact.
  static_broadcaster_.sendTransform(transform(MAP_FRAME, "odom", {0.0, 0.0}, 0.0));
}

void RobotPoses::publish(const Position& position, double yaw, const std::string& showing) {
  auto message = localiser_pose(position.x, position.y, yaw, ros::Time::now());
  // A confident localiser: a few centimetres in x and y, a few degrees in heading.
  message.pose.covariance[0] = 0.0025;
  message.pose.covariance[7] = 0.0025;
  message.pose.covariance[35] = 0.003;
  pose_publisher_.publish(message);
  broadcaster_.sendTransform(transform("odom", "base_link", position, yaw));
  publish_label(position, showing);
}

// In the map frame rather than the robot's, so it stays below the robot however the robot turns.
void RobotPoses::publish_label(const Position& position, const std::string& showing) {
  if (showing.empty()) return;
  visualization_msgs::Marker label;
  label.header.frame_id = MAP_FRAME;
  label.header.stamp = ros::Time::now();
  label.ns = "camera";
  label.type = visualization_msgs::Marker::TEXT_VIEW_FACING;
  label.action = visualization_msgs::Marker::ADD;
  label.pose.position.x = position.x;
  label.pose.position.y = position.y - LABEL_DROP;
  label.pose.orientation.w = 1.0;
  label.scale.x = label.scale.y = label.scale.z = LABEL_HEIGHT;
  label.color.r = label.color.g = 1.0f;
  label.color.a = 1.0f;
  label.text = "camera: " + showing;
  label_publisher_.publish(label);
}

}  // namespace zel::demo
