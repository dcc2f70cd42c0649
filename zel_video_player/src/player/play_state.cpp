#include "zel_video_player/player/play_state.h"

#include <utility>

#include "zel_video_player/world/world.h"

namespace zel {

Scene PlayState::scene() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return scene_;
}

std::uint64_t PlayState::change() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return scene_.change;
}

int PlayState::location() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return scene_.location;
}

void PlayState::move_to(int location, PlaylistPtr to_play) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    scene_ = Scene{scene_.change + 1, location, std::move(to_play)};
  }
  changed_.notify_all();
}

void PlayState::request_stop() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_requested_ = true;
  }
  changed_.notify_all();
}

bool PlayState::stop_requested() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return stop_requested_;
}

bool PlayState::wait_for_change(std::uint64_t from, std::chrono::steady_clock::duration timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return scene_.change != from || stop_requested_; });
}

PlaylistPtr empty_playlist() {
  // Playlists are never changed once stored, so every holder can share the one "empty" list.
  static const PlaylistPtr empty = std::make_shared<const Playlist>(Playlist{std::string(EMPTY_CLIP)});
  return empty;
}

}  // namespace zel
