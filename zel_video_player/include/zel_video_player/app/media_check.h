#pragma once

#include <optional>
#include <string>

#include "zel_video_player/player/media_folder.h"

namespace zel {

// The first missing piece of the media folder, as the message to report, or nothing when every
// object name and "empty" has a clip.
std::optional<std::string> check_paths(const std::string& video_folder);

}  // namespace zel
