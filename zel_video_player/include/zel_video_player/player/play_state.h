#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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

}  // namespace zel
