#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <diagnostic_updater/DiagnosticStatusWrapper.h>

#include "zel_video_player/world/locations.h"
#include "zel_video_player/player/pose_tracking.h"

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

// The image rate's status while the simulated clock does not move: no frame is due, so none
// missing is no fault. `never_started` tells a clock that has not yet sent its first time.
void fill_clock_standing_still(bool never_started, diagnostic_updater::DiagnosticStatusWrapper& out);

// The summary names what is shown and where, and any media that fails: a warning while other media
// shows, an error while nothing does. The key values give the point (as the listing prints it, or
// "none"), the playlist, the media shown, the failing media, the media failures so far and how the
// clips were opened.
void fill_playback_status(const PlaybackStatus& status, const std::vector<Location>& points,
                          diagnostic_updater::DiagnosticStatusWrapper& out);

}  // namespace zel
