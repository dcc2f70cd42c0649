#include "zel_video_player/player/ros/frame_label_conversion.h"

#include <algorithm>
#include <limits>

namespace zel {

// Held at the largest number the field takes rather than wrapped to a negative one: a clip of two
// billion frames is years long, but a label must never name a frame before the first.
zel_video_player::FrameLabel frame_label_message(const std_msgs::Header& frame_header, const std::string& media_file,
                                                 std::int64_t frame_number) {
  zel_video_player::FrameLabel label;
  label.header = frame_header;
  label.media = media_file;
  label.frame = static_cast<std::int32_t>(
      std::clamp<std::int64_t>(frame_number, 0, std::numeric_limits<std::int32_t>::max()));
  return label;
}

}  // namespace zel
