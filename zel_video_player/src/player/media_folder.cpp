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
  return device == other.device && inode == other.inode && size == other.size &&
         modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
         regular == other.regular;
}

std::optional<FileStamp> file_stamp(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return FileStamp{status.st_dev, status.st_ino, status.st_size, status.st_mtim, S_ISREG(status.st_mode)};
}

bool path_exists(const std::string& path) { return file_stamp(path).has_value(); }

}  // namespace zel
