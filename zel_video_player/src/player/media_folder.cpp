#include "zel_video_player/player/media_folder.h"

#include <sys/stat.h>

namespace zel {
namespace {

constexpr const char VIDEO_EXTENSION[] = ".mp4";
constexpr const char STILL_EXTENSION[] = ".jpg";

bool is_regular_file(const std::string& path) {
  const std::optional<FileStamp> stamp = file_stamp(path);
  return stamp && stamp->regular;
}

bool same_time(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

}  // namespace

std::string media_file_name(const std::string& clip_name, MediaKind kind) {
  return clip_name + (kind == MediaKind::still ? STILL_EXTENSION : VIDEO_EXTENSION);
}

std::string video_path(const std::string& folder, const std::string& clip_name) {
  return folder + media_file_name(clip_name, MediaKind::video);
}

std::string still_path(const std::string& folder, const std::string& clip_name) {
  return folder + media_file_name(clip_name, MediaKind::still);
}

std::string either_media_path(const std::string& folder, const std::string& clip_name) {
  return folder + clip_name + "{" + VIDEO_EXTENSION + "/" + STILL_EXTENSION + "}";
}

std::optional<MediaKind> media_of(const std::string& folder, const std::string& clip_name) {
  if (is_regular_file(still_path(folder, clip_name))) return MediaKind::still;
  if (is_regular_file(video_path(folder, clip_name))) return MediaKind::video;
  return std::nullopt;
}

bool is_still(const std::string& folder, const std::string& clip_name) {
  return media_of(folder, clip_name) == MediaKind::still;
}

bool FileStamp::operator==(const FileStamp& other) const {
  return device == other.device && inode == other.inode && size == other.size && same_time(modified, other.modified) &&
         same_time(status_changed, other.status_changed) && regular == other.regular;
}

std::optional<FileStamp> file_stamp(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return FileStamp{status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_ctim, S_ISREG(status.st_mode)};
}

MediaStamps media_stamps(const std::string& folder, const std::vector<std::string>& clip_names) {
  MediaStamps stamps;
  for (const auto& name : clip_names) {
    stamps.push_back(file_stamp(still_path(folder, name)));
    stamps.push_back(file_stamp(video_path(folder, name)));
  }
  return stamps;
}

bool path_exists(const std::string& path) { return file_stamp(path).has_value(); }

}  // namespace zel
