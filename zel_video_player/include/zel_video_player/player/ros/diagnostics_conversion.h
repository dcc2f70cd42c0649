#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <diagnostic_updater/DiagnosticStatusWrapper.h>

#include "zel_video_player/player/showing_book.h"
#include "zel_video_player/world/locations.h"

namespace zel {

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
