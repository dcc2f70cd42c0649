#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <diagnostic_updater/DiagnosticStatusWrapper.h>

#include "zel_video_player/locations.h"
#include "zel_video_player/pose_tracking.h"

namespace zel {

// What the player is doing, as the diagnostics report it beside the image topic's frequency.
struct PlaybackStatus {
  int location = NO_LOCATION;
  PlaylistPtr playlist;
  std::string showing;  // the media file whose frames go out; empty before the first frame
  std::uint64_t media_failures = 0;
};

// The summary names what is shown and where; the key values give the point (as the listing prints
// it, or "none"), the playlist, the media shown and the media failures so far.
void fill_playback_status(const PlaybackStatus& status, const std::vector<Location>& points,
                          diagnostic_updater::DiagnosticStatusWrapper& out);

}  // namespace zel
