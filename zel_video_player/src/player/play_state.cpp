#include "zel_video_player/player/play_state.h"

#include "zel_video_player/world/world.h"

namespace zel {

PlayState::PlayState() : to_play_(empty_playlist()) {}

void PlayState::set_location(int index) {
  // Taken so that a waiter between its check and its sleep cannot miss the announcement.
  const std::lock_guard<std::mutex> lock(change_mutex_);
  location_.store(index);
}

void PlayState::request_stop() {
  {
    const std::lock_guard<std::mutex> lock(change_mutex_);
    stop_requested_.store(true);
  }
  location_changed_.notify_all();
}

bool PlayState::wait_for_location_change(int from, std::chrono::steady_clock::duration timeout) const {
  std::unique_lock<std::mutex> lock(change_mutex_);
  return location_changed_.wait_for(lock, timeout,
                                    [&] { return location_.load() != from || stop_requested_.load(); });
}

PlaylistPtr empty_playlist() {
  // Playlists are never changed once stored, so every holder can share the one "empty" list.
  static const PlaylistPtr empty = std::make_shared<const Playlist>(Playlist{std::string(EMPTY_CLIP)});
  return empty;
}

}  // namespace zel
