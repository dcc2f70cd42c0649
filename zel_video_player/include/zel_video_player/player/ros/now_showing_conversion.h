#pragma once

#include <cstdint>
#include <string>

#include <diagnostic_msgs/KeyValue.h>
#include <std_msgs/String.h>

namespace zel {

std_msgs::String now_showing_message(const std::string& media_file);

// Which media one frame of the image topic shows, matched by the frame's header seq as a subscriber
// in another process receives it: the key is that number in decimal, the value the file's name.
diagnostic_msgs::KeyValue frame_media_message(std::uint32_t image_seq, const std::string& media_file);

}  // namespace zel
