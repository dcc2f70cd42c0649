#pragma once

#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <geometry_msgs/Point.h>
#include <geometry_msgs/PoseWithCovarianceStamped.h>
#include <ros/ros.h>

#include "zel_video_player/player/clock.h"
#include "zel_video_player/player/player.h"
#include "zel_video_player/player/ros/player_diagnostics.h"
#include "zel_video_player/player/ros/ros_outputs.h"
#include "zel_video_player/world/locations.h"
#include "zel_video_player/world/random.h"

namespace zel {

// The running node: the ROS-free player (player.h) wired to the pose topic, the image topic and
// the node's other outputs, and to /diagnostics.
//
// The node's threads, and what each may touch (the player's own, player.h, among them):
// - the pose thread (the program's pose spinner, or a nodelet manager's worker) runs
//   pose_callback, which hands the position to the player's on_position: it writes the play state
//   (play_state.h) and draws from the random engine, under the engine's lock;
// - the playing thread (the program's main thread, or the nodelet's own) runs main_loop, the
//   player's run: it reads the play state, owns the playback engine, every frame and message it
//   sends and the memory they are sent from, and writes the player's status;
// - the clip worker opens the next clip ahead and decodes its first frame; it touches only the
//   clips it is handed (clip_opener.h);
// - FFmpeg's decoding threads, one per core past 1080p at 30 a second, each within its own
//   decoder (clip_decoder.h);
// - the encoder thread encodes the latest frame offered for image_transport's compressed or
//   theora subscribers, and alone publishes on their topics (other_transports.h);
// - the diagnostics thread, a spinner on a callback queue of its own, reads the player's status
//   and points, atomics or values replaced whole (player_diagnostics.h);
// - the program's master watch only registers the node again with a master that restarted
//   (master_watch.h); a nodelet has none;
// - any thread may call request_stop; roscpp's own threads only carry messages, and its network
//   thread is the one a large picture must not starve (image_publication.h).
class ZELVideoPlayer {
 public:
  // ros::init must have run. `engine` and `out` must outlive the player. Throws Interrupted when
  // ROS shuts down while it places or lists a great many points. The topics follow `node`'s
  // namespace and remappings; the private topics and the diagnostics names follow
  // `private_node`'s, which a nodelet gives its own name. Frames are paced in ROS time: the
  // simulator's clock under /use_sim_time. Each of its log lines begins with `line_tag`, as each
  // line on `out` is to (nodelet_line_tag).
  ZELVideoPlayer(const std::string& video_folder, std::int64_t n_locations, double radius,
                 bool test, RandomEngine& engine, std::ostream& out = std::cout,
                 const ros::NodeHandle& node = ros::NodeHandle(),
                 const ros::NodeHandle& private_node = ros::NodeHandle("~"), const std::string& line_tag = "");
  ~ZELVideoPlayer();
  ZELVideoPlayer(const ZELVideoPlayer&) = delete;
  ZELVideoPlayer& operator=(const ZELVideoPlayer&) = delete;

  // Plays the current playlist over and over until ROS shuts down or a stop is requested.
  void main_loop() { player_.run(); }

  // Ends main_loop within a frame period, from any thread, while ROS runs on.
  void request_stop() { player_.request_stop(); }

  void pose_callback(const geometry_msgs::PoseWithCovarianceStamped::ConstPtr& msg);

  bool is_still(const std::string& fname) const { return player_.playback().is_still(fname); }

  // True when the clip ended by itself (or gave no frame); false when the robot's point changed or
  // ROS shut down.
  bool play_video(const std::string& video_name) { return player_.playback().play_video(video_name); }

  // True when every publication was made; false when it stopped early or the picture is unusable.
  bool play_still(const std::string& still_name, double duration = Playback::DEFAULT_STILL_SECONDS,
                  double fps = Playback::DEFAULT_STILL_RATE) {
    return player_.playback().play_still(still_name, duration, fps);
  }

  bool in_room(const geometry_msgs::Point& pose, const std::string& room_name) const;
  bool roll_dice(double probability);
  static double distance(const geometry_msgs::Point& a, const geometry_msgs::Point& b);

  int location() const { return player_.location(); }
  PlaylistPtr to_play() const { return player_.to_play(); }
  const std::vector<Location>& locations() const { return player_.locations(); }
  double radius() const { return player_.radius(); }
  int n_sample() const { return player_.n_sample(); }

  // Only to tell whether a subscriber was handed this very object; never to be dereferenced.
  const void* last_published() const { return outputs_.last_published(); }

 private:
  void show_points();

  ros::NodeHandle node_;
  ros::NodeHandle private_node_;
  const std::string line_tag_;
  PlayerDiagnostics diagnostics_{node_, private_node_};
  RosOutputs outputs_{node_, private_node_, diagnostics_, line_tag_};
  const std::unique_ptr<const Clock> clock_;
  Player player_;
  ros::Publisher markers_pub_;
  ros::Subscriber pose_sub_;
};

}  // namespace zel
