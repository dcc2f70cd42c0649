#include "zel_video_player/player/ros/now_showing_conversion.h"

namespace zel {

std_msgs::String now_showing_message(const std::string& media_file) {
  std_msgs::String message;
  message.data = media_file;
  return message;
}

diagnostic_msgs::KeyValue frame_media_message(std::uint32_t image_seq, const std::string& media_file) {
  diagnostic_msgs::KeyValue message;
  message.key = std::to_string(image_seq);
  message.value = media_file;
  return message;
}

}  // namespace zel
