#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zel {

using Playlist = std::vector<std::string>;
using PlaylistPtr = std::shared_ptr<const Playlist>;

inline constexpr int NO_LOCATION = -1;

PlaylistPtr empty_playlist();

// Where the robot is and what plays there, as one value. `change` counts every arrival and every
// leaving: a robot out of a point and back in between two frames is back at the same index, yet
// has a new playlist that must start from its first frame.
struct Scene {
  std::uint64_t change = 0;
  int location = NO_LOCATION;
  PlaylistPtr to_play = empty_playlist();
};

// What the pose thread tells the playback thread. The scene is replaced whole under a lock held
// only to copy or replace it, never while playing; a stored playlist is never changed, so a reader
// keeps a consistent list for as long as it holds it.
class PlayState {
 public:
  Scene scene() const;
  // Asked before every frame: read under the lock without copying the playlist.
  std::uint64_t change() const;
  int location() const;
  PlaylistPtr to_play() const { return scene().to_play; }

  // The robot arrived at `location`, or left for NO_LOCATION, and `to_play` plays there: a change,
  // and the waiters wake at once.
  void move_to(int location, PlaylistPtr to_play);

  // Ends every wait, now and later: playback is to stop while the process runs on.
  void request_stop();
  bool stop_requested() const;

  // Waits until the scene's change differs from `from`, a stop is requested or the time is up;
  // true unless the time ran out.
  bool wait_for_change(std::uint64_t from, std::chrono::steady_clock::duration timeout) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Scene scene_;
  bool stop_requested_ = false;
};

}  // namespace zel
