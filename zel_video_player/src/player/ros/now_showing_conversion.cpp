#include "zel_video_player/player/ros/now_showing_conversion.h"

#include <cstdio>

namespace zel {

std_msgs::String now_showing_message(const std::string& media_file) {
  std_msgs::String message;
  message.data = media_file;
  return message;
}

diagnostic_msgs::KeyValue frame_media_message(const ros::Time& stamp, const std::string& media_file) {
  diagnostic_msgs::KeyValue message;
  message.key = frame_label_key(stamp);
  message.value = media_file;
  return message;
}

std::string frame_label_key(const ros::Time& stamp) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%09u", stamp.sec, stamp.nsec);
  return text;
}

}  // namespace zel
