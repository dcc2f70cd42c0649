#include "zel_video_player/app/media_check.h"

#include <vector>

#include "zel_video_player/player/media_folder.h"
#include "zel_video_player/world/world.h"

namespace zel {

std::optional<std::string> check_paths(const std::string& video_folder) {
  if (!path_exists(video_folder)) return "Video folder " + video_folder + " does not exist";
  std::vector<std::string> names(OBJECT_LIST.begin(), OBJECT_LIST.end());
  names.emplace_back(EMPTY_CLIP);
  for (const auto& name : names) {
    if (media_of(video_folder, name)) continue;
    return "Element " + either_media_path(video_folder, name) + " does not exist! Please add it to the video folder.";
  }
  return std::nullopt;
}

}  // namespace zel
