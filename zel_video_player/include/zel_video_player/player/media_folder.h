#pragma once

#include <sys/types.h>

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace zel {

// A clip name of a playlist stands for a still, "NAME.jpg", or a video, "NAME.mp4", in the media
// folder; the still takes precedence when both are present. Folder paths already end in "/".

enum class MediaKind { video, still };

// The media file as the "Playing" log line names it: "cat.mp4", "dog.jpg". A perception test scores
// its detector against this name, so it stays exactly the file's name.
std::string media_file_name(const std::string& clip_name, MediaKind kind);
std::string video_path(const std::string& folder, const std::string& clip_name);
std::string still_path(const std::string& folder, const std::string& clip_name);
// Both at once, as a message about a clip that has neither names them: "FOLDER/NAME{.mp4/.jpg}".
std::string either_media_path(const std::string& folder, const std::string& clip_name);

// The media the folder holds for the clip name, as a regular file; none when it holds neither.
std::optional<MediaKind> media_of(const std::string& folder, const std::string& clip_name);
bool is_still(const std::string& folder, const std::string& clip_name);

// What tells one version of a file from the next: a file replaced, rewritten or given other
// permissions differs in one. Symbolic links are followed; an entry that cannot be examined has none.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec status_changed{};
  bool regular = false;
  bool operator==(const FileStamp& other) const;
};
std::optional<FileStamp> file_stamp(const std::string& path);
bool path_exists(const std::string& path);

// The stamps of both files each clip name may stand for, in order: any change to the media the
// names show, one kind appearing beside the other included, changes them.
using MediaStamps = std::vector<std::optional<FileStamp>>;
MediaStamps media_stamps(const std::string& folder, const std::vector<std::string>& clip_names);

}  // namespace zel
