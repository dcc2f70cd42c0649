#include "zel_video_player/player/ros/image_conversion.h"

#include <boost/make_shared.hpp>
#include <cv_bridge/cv_bridge.h>
#include <sensor_msgs/image_encodings.h>

namespace zel {

sensor_msgs::ImagePtr image_message(const cv::Mat& bgr) {
  return cv_bridge::CvImage(std_msgs::Header(), sensor_msgs::image_encodings::BGR8, bgr).toImageMsg();
}

sensor_msgs::ImagePtr frame_message(int width, int height) {
  auto message = boost::make_shared<sensor_msgs::Image>();
  if (width <= 0 || height <= 0) return message;
  message->height = static_cast<uint32_t>(height);
  message->width = static_cast<uint32_t>(width);
  message->encoding = sensor_msgs::image_encodings::BGR8;
  message->is_bigendian = 0;
  message->step = message->width * 3;
  message->data.resize(static_cast<std::size_t>(message->step) * message->height);
  return message;
}

bool fits_frame(const sensor_msgs::Image& message, int width, int height) {
  return message.width == static_cast<uint32_t>(width) && message.height == static_cast<uint32_t>(height) &&
         message.encoding == sensor_msgs::image_encodings::BGR8 && message.step == message.width * 3 &&
         message.data.size() == static_cast<std::size_t>(message.step) * message.height;
}

}  // namespace zel
