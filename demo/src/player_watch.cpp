#include "player_watch.h"

#include <algorithm>
#include <utility>

#include "zel_video_player/player/ros/names.h"

namespace zel::demo {

MarkedPoints read_marked_points(const visualization_msgs::MarkerArray& array) {
  std::vector<std::pair<int, Location>> dots;
  MarkedPoints marked;
  for (const auto& marker : array.markers) {
    if (marker.action != visualization_msgs::Marker::ADD) continue;
    if (marker.ns == POINTS_NAMESPACE) dots.push_back({marker.id, {{marker.pose.position.x}, {marker.pose.position.y}}});
    if (marker.ns == RADIUS_NAMESPACE) marked.radius = marker.scale.x / 2;
  }
  std::sort(dots.begin(), dots.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& dot : dots) marked.points.push_back(dot.second);
  return marked;
}

PlayerWatch::PlayerWatch() {
  ros::NodeHandle node;
  node.setCallbackQueue(&queue_);
  markers_subscriber_ =
      node.subscribe(private_topic_of_default_node(POINTS_OF_INTEREST_TOPIC), 1, &PlayerWatch::on_markers, this);
  showing_subscriber_ =
      node.subscribe(private_topic_of_default_node(NOW_SHOWING_TOPIC), 10, &PlayerWatch::on_showing, this);
  spinner_.start();
}

PlayerWatch::~PlayerWatch() {
  spinner_.stop();
  markers_subscriber_.shutdown();
  showing_subscriber_.shutdown();
}

std::optional<MarkedPoints> PlayerWatch::points() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!markers_) return std::nullopt;
  return read_marked_points(*markers_);
}

std::string PlayerWatch::now_showing() {
  std::lock_guard<std::mutex> lock(mutex_);
  return showing_;
}

void PlayerWatch::on_markers(const visualization_msgs::MarkerArrayConstPtr& markers) {
  std::lock_guard<std::mutex> lock(mutex_);
  markers_ = markers;
}

void PlayerWatch::on_showing(const std_msgs::StringConstPtr& showing) {
  std::lock_guard<std::mutex> lock(mutex_);
  showing_ = showing->data;
}

}  // namespace zel::demo
