#pragma once

#include <cstdint>

#include <sensor_msgs/CameraInfo.h>
#include <std_msgs/Header.h>

namespace zel {

// What a ROS camera driver sends beside each frame when it has no calibration, as
// camera_info_manager gives it: the frame's header and size, every intrinsic zero, which
// image_geometry and image_proc read as an uncalibrated camera.
sensor_msgs::CameraInfo uncalibrated_camera_info(const std_msgs::Header& header, std::uint32_t width,
                                                 std::uint32_t height);

}  // namespace zel
