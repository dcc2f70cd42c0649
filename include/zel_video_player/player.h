#pragma once

#include <cstdint>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <geometry_msgs/Point.h>
#include <geometry_msgs/PoseWithCovarianceStamped.h>
#include <ros/ros.h>

#include "zel_video_player/image_conversion.h"
#include "zel_video_player/locations.h"
#include "zel_video_player/pose_tracking.h"
#include "zel_video_player/random.h"
#include "zel_video_player/repeat_filter.h"
#include "zel_video_player/ros_outputs.h"

namespace zel {

// The running node: follows the robot's pose and plays what belongs to where it stands.
// Pose messages arrive on a thread of their own; the main thread runs main_loop and the playback.
class ZELVideoPlayer {
 public:
  // ros::init must have run. `engine` and `out` must outlive the player.
  ZELVideoPlayer(const std::string& video_folder, std::int64_t n_locations, double radius,
                 bool test, RandomEngine& engine, std::ostream& out = std::cout);
  ~ZELVideoPlayer();
  ZELVideoPlayer(const ZELVideoPlayer&) = delete;
  ZELVideoPlayer& operator=(const ZELVideoPlayer&) = delete;

  // Plays the current playlist over and over until ROS shuts down.
  void main_loop();

  void pose_callback(const geometry_msgs::PoseWithCovarianceStamped::ConstPtr& msg);

  bool is_still(const std::string& fname) const;

  // True when the clip ended by itself (or gave no frame); false when the robot's point changed,
  // ROS shut down or the capture closed after at least one frame.
  bool play_video(const std::string& video_name);

  // True when every publication was made; false when it stopped early or the picture is unusable.
  bool play_still(const std::string& still_name, double duration = 8.0, double fps = 30);

  bool in_room(const geometry_msgs::Point& pose, const std::string& room_name) const;
  bool roll_dice(double probability);
  static double distance(const geometry_msgs::Point& a, const geometry_msgs::Point& b);

  int location() const { return shared.location(); }
  PlaylistPtr to_play() const { return shared.to_play(); }
  const std::vector<Location>& locations() const { return tracker->locations(); }

 private:
  void publish(const sensor_msgs::ImageConstPtr& image_msg);
  void play_item(const std::string& name);
  void report_media_failure(const std::string& path, const std::string& problem);
  void media_worked(const std::string& path) { failure_reports.forget(path); }

  ros::NodeHandle node;
  ros::Subscriber pose_sub;
  const std::string video_folder_path;
  const bool test;
  const ImageConverter bridge{};
  PlayState shared;  // `location` and `to_play`, the two values the pose thread hands over
  RosOutputs outputs{shared};  // the frames, and what RViz and the diagnostics show of the node
  const double radius;
  const int n_sample;
  std::ostream& out;

  std::mutex random_mutex;  // the pose thread and roll_dice draw from the one engine
  RandomEngine& engine;
  std::optional<PoseTracker> tracker;

  std::uint64_t published_count = 0;  // main thread only: tells a pass that showed nothing
  RepeatFilter failure_reports;
  std::optional<ros::AsyncSpinner> pose_spinner;
};

}  // namespace zel
