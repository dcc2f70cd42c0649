#pragma once

#include <string>

#include <std_msgs/String.h>

#include "zel_video_player/media_folder.h"

namespace zel {

// The media file as the "Playing" log line names it: "cat.mp4", "dog.jpg". A perception test scores
// its detector against this name, so it stays exactly the file's name.
std::string media_file_name(const std::string& clip_name, MediaKind kind);

std_msgs::String now_showing_message(const std::string& media_file);

}  // namespace zel
