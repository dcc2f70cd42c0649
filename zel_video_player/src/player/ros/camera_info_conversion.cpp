#include "zel_video_player/player/ros/camera_info_conversion.h"

namespace zel {

sensor_msgs::CameraInfo uncalibrated_camera_info(const std_msgs::Header& header, std::uint32_t width,
                                                 std::uint32_t height) {
  sensor_msgs::CameraInfo info;
  info.header = header;
  info.width = width;
  info.height = height;
  return info;
}

}  // namespace zel
