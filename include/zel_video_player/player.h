#pragma once

#include <atomic>
#include <cstdint>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <geometry_msgs/Point.h>
#include <geometry_msgs/PoseWithCovarianceStamped.h>
#include <ros/ros.h>

#include "zel_video_player/clip_opener.h"
#include "zel_video_player/frame_pacer.h"
#include "zel_video_player/image_conversion.h"
#include "zel_video_player/locations.h"
#include "zel_video_player/master_watch.h"
#include "zel_video_player/outgoing_image.h"
#include "zel_video_player/pose_tracking.h"
#include "zel_video_player/random.h"
#include "zel_video_player/repeat_filter.h"
#include "zel_video_player/ros_outputs.h"

namespace zel {

// Keeps FFmpeg's own messages ("moov atom not found") off the node's output, where each retry of
// a broken clip would repeat them; the player reports media failures once, in its own words. Call
// it before other threads start; a level the user sets in OPENCV_FFMPEG_LOGLEVEL wins.
void quiet_media_libraries();

// The running node: follows the robot's pose and plays what belongs to where it stands.
// Pose messages arrive on a thread of their own; the main thread runs main_loop and the playback.
class ZELVideoPlayer {
 public:
  // ros::init must have run. `engine` and `out` must outlive the player. Throws Interrupted when
  // ROS shuts down while it places or lists a great many points.
  // Without `hosted_node` the player serves its pose messages with a spinner of its own and keeps
  // the process registered with a master that restarts. With it (a nodelet's handle) the topics
  // follow that handle's remappings and its owner serves the pose messages and the registration.
  ZELVideoPlayer(const std::string& video_folder, std::int64_t n_locations, double radius,
                 bool test, RandomEngine& engine, std::ostream& out = std::cout,
                 const std::optional<ros::NodeHandle>& hosted_node = std::nullopt);
  ~ZELVideoPlayer();
  ZELVideoPlayer(const ZELVideoPlayer&) = delete;
  ZELVideoPlayer& operator=(const ZELVideoPlayer&) = delete;

  // Plays the current playlist over and over until ROS shuts down or a stop is requested.
  void main_loop();

  // Ends main_loop within a frame period, from any thread, while ROS runs on.
  void request_stop() { shared.request_stop(); }

  void pose_callback(const geometry_msgs::PoseWithCovarianceStamped::ConstPtr& msg);

  bool is_still(const std::string& fname) const;

  // True when the clip ended by itself (or gave no frame); false when the robot's point changed,
  // ROS shut down or the capture closed after at least one frame.
  bool play_video(const std::string& video_name);

  static constexpr double DEFAULT_STILL_SECONDS = 8.0;
  static constexpr double DEFAULT_STILL_RATE = 30;
  // True when every publication was made; false when it stopped early or the picture is unusable.
  bool play_still(const std::string& still_name, double duration = DEFAULT_STILL_SECONDS,
                  double fps = DEFAULT_STILL_RATE);

  bool in_room(const geometry_msgs::Point& pose, const std::string& room_name) const;
  bool roll_dice(double probability);
  static double distance(const geometry_msgs::Point& a, const geometry_msgs::Point& b);

  int location() const { return shared.location(); }
  PlaylistPtr to_play() const { return shared.to_play(); }
  const std::vector<Location>& locations() const { return tracker->locations(); }

  // Only to tell whether a subscriber was handed this very object; never to be dereferenced.
  const void* last_published() const { return last_published_.load(); }

 private:
  bool stopping() const;
  void publish(const sensor_msgs::ImageConstPtr& image_msg);
  void publish(OutgoingImage& image_msg);
  void print_listing(const std::vector<Location>& points);
  void open_ahead(const std::string& name);
  void play_item(const std::string& name, int loc, const std::string& next);
  // `next`, when given, is opened ahead once this clip is under way.
  bool play_video_at(const std::string& video_name, int video_location, const std::string* next);
  bool play_still_at(const std::string& still_name, double duration, double fps, int video_location);
  void wait_out_frame(FramePacer& pacer, int loc) const;
  void wait_unless_point_changes(int loc, std::chrono::steady_clock::duration timeout) const;
  void report_media_failure(const std::string& path, const std::string& problem);
  void media_worked(const std::string& path) { failure_reports.forget(path); }

  ros::NodeHandle node;
  ros::Subscriber pose_sub;
  const std::string video_folder_path;
  const bool test;
  const ImageConverter bridge{};
  PlayState shared;  // `location` and `to_play`, the two values the pose thread hands over
  RosOutputs outputs{shared, node};  // the frames, and what RViz and the diagnostics show of the node
  const double radius;
  const int n_sample;
  std::ostream& out;

  std::mutex random_mutex;  // the pose thread and roll_dice draw from the one engine
  RandomEngine& engine;
  std::optional<PoseTracker> tracker;

  std::uint64_t published_count = 0;  // main thread only: tells a pass that showed nothing
  sensor_msgs::ImagePtr recycled_frame;  // main thread only: the last video frame's message
  std::atomic<const void*> last_published_{nullptr};
  RepeatFilter failure_reports;
  ClipOpener clip_opener;
  std::optional<ros::AsyncSpinner> pose_spinner;
  std::optional<MasterWatch> master_watch;
};

}  // namespace zel
