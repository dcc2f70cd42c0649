#pragma once

#include <cstdint>
#include <string>

#include <std_msgs/Header.h>

#include "zel_video_player/FrameLabel.h"

namespace zel {

// Which media one frame of the image topic shows, under the frame's own header, so that a
// synchronizer pairs it with the image and its camera_info. `frame_number` is the frame's number in
// its clip, counted from 1; 0 for a still.
zel_video_player::FrameLabel frame_label_message(const std_msgs::Header& frame_header, const std::string& media_file,
                                                 std::int64_t frame_number);

}  // namespace zel
