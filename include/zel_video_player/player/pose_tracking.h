#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "zel_video_player/world/locations.h"
#include "zel_video_player/world/random.h"

namespace zel {

using Playlist = std::vector<std::string>;
using PlaylistPtr = std::shared_ptr<const Playlist>;

inline constexpr int NO_LOCATION = -1;

// What the pose thread tells the playback thread. Each value is replaced whole and atomically; a
// stored playlist is never changed, so a reader keeps a consistent list for as long as it holds it.
class PlayState {
 public:
  PlayState();

  int location() const { return location_.load(); }
  void set_location(int index);

  // Wakes the waiters at once; the writer calls it when location and playlist both hold their new
  // values, so a woken player never starts the old playlist at the new point.
  void announce_change() { location_changed_.notify_all(); }

  // Ends every wait, now and later: playback is to stop while the process runs on.
  void request_stop();
  bool stop_requested() const { return stop_requested_.load(); }

  // Waits until the location differs from `from`, a stop is requested or the time is up; true
  // unless the time ran out. The lock behind it is held only while a waiter checks or a writer
  // stores, never while playing.
  bool wait_for_location_change(int from, std::chrono::steady_clock::duration timeout) const;

  PlaylistPtr to_play() const { return std::atomic_load(&to_play_); }
  void set_to_play(PlaylistPtr playlist) { std::atomic_store(&to_play_, std::move(playlist)); }

 private:
  std::atomic<int> location_{NO_LOCATION};
  std::atomic<bool> stop_requested_{false};
  PlaylistPtr to_play_;
  mutable std::mutex change_mutex_;
  mutable std::condition_variable location_changed_;
};

PlaylistPtr empty_playlist();

// The index of the first point, in list order, whose circle holds (x, y), edge included.
std::optional<int> find_location(const std::vector<Location>& locations, double radius, double x,
                                 double y);

// Between 1 and n_sample distinct object names, in the order drawn.
Playlist draw_playlist(int n_sample, RandomEngine& engine);

// Turns each position into the player's decisions: at which point the robot is, and what to show.
class PoseTracker {
 public:
  PoseTracker(std::vector<Location> locations, double radius, int n_sample, PlayState& state,
              RandomEngine& engine, std::ostream& out);

  void on_position(double x, double y);

  const std::vector<Location>& locations() const { return locations_; }
  double radius() const { return radius_; }
  int n_sample() const { return n_sample_; }

 private:
  void print_line(const std::string& line);

  const std::vector<Location> locations_;
  const double radius_;
  const int n_sample_;
  PlayState& state_;
  RandomEngine& engine_;
  std::ostream& out_;
};

}  // namespace zel
