#pragma once

#include <string>

namespace zel {

// The names by which the node meets the rest of the ROS graph; the player, the demo and the
// benchmark all take them from here.
inline constexpr const char* NODE_NAME = "zel_tq_video";
inline constexpr const char* POSE_TOPIC = "/amcl_pose";
inline constexpr const char* IMAGE_TOPIC = "/camera/image";
// A camera's subscribers want the latest frame, never a backlog.
inline constexpr unsigned IMAGE_QUEUE = 1;

// Private topics, under the node's own name (or the nodelet's).
inline constexpr const char* POINTS_OF_INTEREST_TOPIC = "points_of_interest";
inline constexpr const char* NOW_SHOWING_TOPIC = "now_showing";
inline constexpr const char* FRAME_MEDIA_TOPIC = "frame_media";
inline constexpr const char* FRAME_LABEL_TOPIC = "frame_label";

// The frame of the points of interest, and the namespaces of their markers, by which RViz switches
// each kind on and off.
inline constexpr const char* MAP_FRAME = "map";
inline constexpr const char* POINTS_NAMESPACE = "points";
inline constexpr const char* RADIUS_NAMESPACE = "radius";
inline constexpr const char* LABELS_NAMESPACE = "labels";
inline constexpr const char* ROOMS_NAMESPACE = "rooms";

// A private topic of a node that kept its default name, as another node names it.
inline std::string private_topic_of_default_node(const char* topic) {
  return std::string("/") + NODE_NAME + "/" + topic;
}

}  // namespace zel
