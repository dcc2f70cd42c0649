#pragma once

#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "zel_video_player/player/clock.h"
#include "zel_video_player/player/play_state.h"
#include "zel_video_player/player/playback.h"
#include "zel_video_player/player/playback_output.h"
#include "zel_video_player/player/showing_book.h"
#include "zel_video_player/player/pose_tracking.h"
#include "zel_video_player/player/settings.h"
#include "zel_video_player/world/locations.h"
#include "zel_video_player/world/random.h"
#include "zel_video_player/cancellation.h"

namespace zel {

// The whole player without ROS: the points of interest, where the robot is among them, what plays
// there and what shows and fails. Positions come in, frames and what the camera shows go out
// through one output; the ROS side only wires topics and diagnostics to it. Which thread calls
// what, and what each may touch: the node's one list of its threads, in ros/zel_video_player.h.
class Player {
 public:
  // Places the points and lists them on `out`; `settings.video_folder` ends in "/". `engine`,
  // `clock` and `output` must outlive the player. `outside_stop` tells of the process's own
  // shutdown; a stop while a great many points are placed or listed throws Interrupted.
  Player(const Settings& settings, RandomEngine& engine, std::ostream& out, const Clock& clock,
         PlaybackOutput& output, StopRequested outside_stop = [] { return false; });
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // The pose thread.
  void on_position(double x, double y);
  DiceRoll roll_dice(double probability);

  // The playing thread: the current playlist over and over until a stop.
  void run() { playback_.main_loop(); }
  Playback& playback() { return playback_; }
  const Playback& playback() const { return playback_; }

  // Any thread. Ends run within a frame period.
  void request_stop() { state_.request_stop(); }
  PlaybackStatus status() const { return status_.snapshot(state_.location(), state_.to_play()); }
  int location() const { return state_.location(); }
  PlaylistPtr to_play() const { return state_.to_play(); }
  const std::vector<Location>& locations() const { return tracker_.locations(); }
  double radius() const { return tracker_.radius(); }
  int n_sample() const { return tracker_.n_sample(); }

 private:
  PlayState state_;
  ShowingBook status_;
  std::mutex engine_mutex_;  // the pose thread and roll_dice draw from the one engine
  RandomEngine& engine_;
  PoseTracker tracker_;
  Playback playback_;
};

}  // namespace zel
