#include "zel_video_player/player/showing_book.h"

#include <algorithm>

namespace zel {

std::string ShowingBook::playback_began(const std::string& clip_name, MediaKind kind) {
  std::string file = media_file_name(clip_name, kind);
  std::atomic_store(&showing_, std::make_shared<const std::string>(file));
  const auto failing = std::atomic_load(&failing_);
  if (failing->count(clip_name) > 0) {
    // Only the playback thread writes it, so a changed copy put in place loses no other change.
    auto changed = std::make_shared<FailingMedia>(*failing);
    changed->erase(clip_name);
    std::atomic_store(&failing_, std::shared_ptr<const FailingMedia>(std::move(changed)));
  }
  return file;
}

void ShowingBook::media_failed(const std::string& clip_name, int location, const std::string& what) {
  media_failures_.fetch_add(1);
  auto changed = std::make_shared<FailingMedia>(*std::atomic_load(&failing_));
  (*changed)[clip_name] = {location, what};
  std::atomic_store(&failing_, std::shared_ptr<const FailingMedia>(std::move(changed)));
}

bool ShowingBook::end_showing() {
  if (std::atomic_load(&showing_)->empty()) return false;
  std::atomic_store(&showing_, std::make_shared<const std::string>());
  return true;
}

void ShowingBook::clip_started(bool was_ready) {
  (was_ready ? clips_ready_ahead_ : clips_opened_when_due_).fetch_add(1);
}

PlaybackStatus ShowingBook::snapshot(int location, const PlaylistPtr& playlist) const {
  PlaybackStatus status;
  status.location = location;
  status.playlist = playlist;
  status.showing = *showing();
  // Held while it is read: the playback thread may replace it meanwhile.
  const auto failing = std::atomic_load(&failing_);
  for (const auto& [clip_name, failure] : *failing) {
    const bool in_playlist = playlist && std::find(playlist->begin(), playlist->end(), clip_name) != playlist->end();
    if (failure.location == location && in_playlist) status.failing.push_back(failure.what);
  }
  status.media_failures = media_failures_.load();
  status.clips_ready_ahead = clips_ready_ahead_.load();
  status.clips_opened_when_due = clips_opened_when_due_.load();
  return status;
}

}  // namespace zel
