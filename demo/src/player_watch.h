#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <ros/callback_queue.h>
#include <ros/ros.h>
#include <std_msgs/String.h>
#include <visualization_msgs/MarkerArray.h>

#include "zel_video_player/world/locations.h"

namespace zel::demo {

struct MarkedPoints {
  std::vector<Location> points;
  std::optional<double> radius;  // nothing when the player drew no discs
};

// The points in the order the player numbers them (its dots' ids), the radius from its discs.
MarkedPoints read_marked_points(const visualization_msgs::MarkerArray& array);

// What the tour learns from the player besides its camera, as any node beside it would: the points
// of interest from its markers, and the media it has begun to show.
class PlayerWatch {
 public:
  PlayerWatch();
  // The callbacks run on the spinner's thread: stopped before the fields they write go.
  ~PlayerWatch();

  std::string markers_topic() const { return markers_subscriber_.getTopic(); }
  // Nothing until the player's markers have come.
  std::optional<MarkedPoints> points();
  // Empty until the player names its first media.
  std::string now_showing();

 private:
  void on_markers(const visualization_msgs::MarkerArrayConstPtr& markers);
  void on_showing(const std_msgs::StringConstPtr& showing);

  ros::CallbackQueue queue_;
  ros::Subscriber markers_subscriber_;
  ros::Subscriber showing_subscriber_;
  ros::AsyncSpinner spinner_{1, &queue_};
  std::mutex mutex_;  // the values below, written by the spinner's thread
  visualization_msgs::MarkerArrayConstPtr markers_;
  std::string showing_;
};

}  // namespace zel::demo
