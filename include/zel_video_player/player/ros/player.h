#pragma once

#include <cstdint>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <geometry_msgs/Point.h>
#include <geometry_msgs/PoseWithCovarianceStamped.h>
#include <ros/ros.h>

#include "zel_video_player/player/clock.h"
#include "zel_video_player/world/locations.h"
#include "zel_video_player/player/playback.h"
#include "zel_video_player/player/pose_tracking.h"
#include "zel_video_player/world/random.h"
#include "zel_video_player/player/ros/ros_outputs.h"

namespace zel {

// The running node: follows the robot's pose and plays what belongs to where it stands.
//
// Its threads, and what each may touch:
// - the pose thread (the program's pose spinner, or a nodelet manager's worker) runs
//   pose_callback: it writes the play state and draws from the random engine, under their locks;
// - the playing thread (the program's main thread, or the nodelet's own) runs main_loop: it reads
//   the play state and owns the playback engine and every frame and message it sends;
// - the clip worker opens the next clip ahead and releases the last; it touches only the clips it
//   is handed (clip_opener.h);
// - the diagnostics thread reads the play state and what the outputs noted, as atomics or values
//   replaced whole (ros_outputs.h);
// - the program's master watch only registers the node again with a master that restarted.
class ZELVideoPlayer {
 public:
  // ros::init must have run. `engine` and `out` must outlive the player. Throws Interrupted when
  // ROS shuts down while it places or lists a great many points. The topics follow `node`'s
  // namespace and remappings; the private topics and the diagnostics names follow
  // `private_node`'s, which a nodelet gives its own name. Frames are paced in ROS time: the
  // simulator's clock under /use_sim_time.
  ZELVideoPlayer(const std::string& video_folder, std::int64_t n_locations, double radius,
                 bool test, RandomEngine& engine, std::ostream& out = std::cout,
                 const ros::NodeHandle& node = ros::NodeHandle(),
                 const ros::NodeHandle& private_node = ros::NodeHandle("~"));
  ~ZELVideoPlayer();
  ZELVideoPlayer(const ZELVideoPlayer&) = delete;
  ZELVideoPlayer& operator=(const ZELVideoPlayer&) = delete;

  // Plays the current playlist over and over until ROS shuts down or a stop is requested.
  void main_loop() { playback.main_loop(); }

  // Ends main_loop within a frame period, from any thread, while ROS runs on.
  void request_stop() { play_state.request_stop(); }

  void pose_callback(const geometry_msgs::PoseWithCovarianceStamped::ConstPtr& msg);

  bool is_still(const std::string& fname) const { return playback.is_still(fname); }

  // True when the clip ended by itself (or gave no frame); false when the robot's point changed,
  // ROS shut down or the capture closed after at least one frame.
  bool play_video(const std::string& video_name) { return playback.play_video(video_name); }

  // True when every publication was made; false when it stopped early or the picture is unusable.
  bool play_still(const std::string& still_name, double duration = Playback::DEFAULT_STILL_SECONDS,
                  double fps = Playback::DEFAULT_STILL_RATE) {
    return playback.play_still(still_name, duration, fps);
  }

  bool in_room(const geometry_msgs::Point& pose, const std::string& room_name) const;
  bool roll_dice(double probability);
  static double distance(const geometry_msgs::Point& a, const geometry_msgs::Point& b);

  int location() const { return play_state.location(); }
  PlaylistPtr to_play() const { return play_state.to_play(); }
  const std::vector<Location>& locations() const { return tracker->locations(); }
  double radius() const { return tracker->radius(); }
  int n_sample() const { return tracker->n_sample(); }

  // Only to tell whether a subscriber was handed this very object; never to be dereferenced.
  const void* last_published() const { return outputs.last_published(); }

 private:
  void print_listing(const std::vector<Location>& points);

  ros::NodeHandle node;
  ros::NodeHandle private_node;
  ros::Subscriber pose_sub;
  const std::string video_folder_path;
  const bool test;
  PlayState play_state;  // `location` and `to_play`, the two values the pose thread hands over
  RosOutputs outputs{play_state, node, private_node};  // the frames, and what RViz and the diagnostics show of the node
  const std::unique_ptr<const Clock> clock;
  Playback playback;
  std::ostream& out;

  std::mutex random_mutex;  // the pose thread and roll_dice draw from the one engine
  RandomEngine& engine;
  std::optional<PoseTracker> tracker;
};

}  // namespace zel
