#include "zel_video_player/world/media_folder.h"

#include <sys/stat.h>

#include <optional>

namespace zel {
namespace {

std::optional<struct stat> stat_following_links(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return status;
}

}  // namespace

std::string media_file_name(const std::string& clip_name, MediaKind kind) {
  return clip_name + (kind == MediaKind::still ? ".jpg" : ".mp4");
}

std::string video_path(const std::string& folder, const std::string& clip_name) {
  return folder + clip_name + ".mp4";
}

std::string still_path(const std::string& folder, const std::string& clip_name) {
  return folder + clip_name + ".jpg";
}

bool path_exists(const std::string& path) { return stat_following_links(path).has_value(); }

bool is_regular_file(const std::string& path) {
  const auto status = stat_following_links(path);
  return status && S_ISREG(status->st_mode);
}

bool is_still(const std::string& folder, const std::string& clip_name) {
  return is_regular_file(still_path(folder, clip_name));
}

}  // namespace zel
