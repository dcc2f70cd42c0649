#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "zel_video_player/player/play_state.h"
#include "zel_video_player/player/media_folder.h"

namespace zel {

// What the player is doing, as the diagnostics report it beside the image topic's frequency.
struct PlaybackStatus {
  int location = NO_LOCATION;
  PlaylistPtr playlist;
  std::string showing;  // the media file whose frames go out; empty while none do
  std::vector<std::string> failing;  // the playlist's media that failed and has not played since
  std::uint64_t media_failures = 0;
  std::uint64_t clips_ready_ahead = 0;
  std::uint64_t clips_opened_when_due = 0;  // each a pause: a switch, or a playlist's first pass
};

// The book of what shows and what fails. The playback thread writes it as it plays; any other
// thread reads what shows and a snapshot, each value replaced whole so a reader never waits.
class ShowingBook {
 public:
  // Just before a playback's first frame, so the name never announces media that fails; the
  // clip no longer fails. Gives the media file now showing.
  std::string playback_began(const std::string& clip_name, MediaKind kind);
  // `what` names the path and its problem; `location` is where the robot was, since elsewhere it
  // is not this point's media that fails.
  void media_failed(const std::string& clip_name, int location, const std::string& what);
  // A whole pass over the playlist showed nothing: nothing shows from now on. True when something
  // had been showing, so the change is told once.
  bool end_showing();
  // Whether a clip had been opened ahead, or its opening made a pause.
  void clip_started(bool was_ready);

  // The media file whose frames go out now; empty while none do.
  std::shared_ptr<const std::string> showing() const { return std::atomic_load(&showing_); }
  // Failing media counts only where it failed and while its clip is in the playlist.
  PlaybackStatus snapshot(int location, const PlaylistPtr& playlist) const;

 private:
  struct Failure {
    int location;
    std::string what;
  };
  using FailingMedia = std::map<std::string, Failure>;

  std::shared_ptr<const std::string> showing_ = std::make_shared<const std::string>();
  std::shared_ptr<const FailingMedia> failing_ = std::make_shared<const FailingMedia>();
  std::atomic<std::uint64_t> media_failures_{0};
  std::atomic<std::uint64_t> clips_ready_ahead_{0};
  std::atomic<std::uint64_t> clips_opened_when_due_{0};
};

}  // namespace zel
