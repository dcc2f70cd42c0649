#pragma once

#include <string>

namespace zel {

// Media file paths are plain joins: the folder path already ends in "/".
std::string video_path(const std::string& folder, const std::string& clip_name);
std::string still_path(const std::string& folder, const std::string& clip_name);

// Symbolic links are followed; an entry that cannot be examined counts as absent.
bool path_exists(const std::string& path);
bool is_regular_file(const std::string& path);

enum class MediaKind { video, still };

// The media file as the "Playing" log line names it: "cat.mp4", "dog.jpg". A perception test scores
// its detector against this name, so it stays exactly the file's name.
std::string media_file_name(const std::string& clip_name, MediaKind kind);

// The ".jpg" still takes precedence over the ".mp4" video when both are present.
bool is_still(const std::string& folder, const std::string& clip_name);

}  // namespace zel
