#include "zel_video_player/player/ros/image_conversion.h"

#include <boost/make_shared.hpp>
#include <cv_bridge/cv_bridge.h>
#include <sensor_msgs/image_encodings.h>

namespace zel {

sensor_msgs::ImagePtr ImageConverter::to_message(const cv::Mat& bgr) const {
  return cv_bridge::CvImage(std_msgs::Header(), sensor_msgs::image_encodings::BGR8, bgr).toImageMsg();
}

namespace {

bool fits_frame(const sensor_msgs::Image& message, int width, int height) {
  return message.width == static_cast<uint32_t>(width) && message.height == static_cast<uint32_t>(height) &&
         message.encoding == sensor_msgs::image_encodings::BGR8 && message.step == message.width * 3 &&
         message.data.size() == static_cast<std::size_t>(message.step) * message.height;
}

}  // namespace

ImageConverter::FrameSlot ImageConverter::frame_slot(int width, int height, sensor_msgs::ImagePtr recycled) const {
  FrameSlot slot;
  if (width <= 0 || height <= 0) {
    slot.message = boost::make_shared<sensor_msgs::Image>();
    return slot;
  }
  // A message that someone else still holds (an in-process subscriber's queue) must not change
  // under them. A TCP subscriber gets a serialised copy: roscpp lets go before publish returns.
  if (recycled && recycled.use_count() == 1 && fits_frame(*recycled, width, height)) {
    slot.message = std::move(recycled);
  } else {
    slot.message = boost::make_shared<sensor_msgs::Image>();
    sensor_msgs::Image& message = *slot.message;
    message.height = static_cast<uint32_t>(height);
    message.width = static_cast<uint32_t>(width);
    message.encoding = sensor_msgs::image_encodings::BGR8;
    message.is_bigendian = 0;
    message.step = message.width * 3;
    message.data.resize(static_cast<std::size_t>(message.step) * message.height);
  }
  slot.pixels = cv::Mat(height, width, CV_8UC3, slot.message->data.data(), slot.message->step);
  return slot;
}

bool ImageConverter::FrameSlot::holds_frame() const {
  return !message->data.empty() && pixels.data == message->data.data() &&
         pixels.rows == static_cast<int>(message->height) &&
         pixels.cols == static_cast<int>(message->width) && pixels.type() == CV_8UC3;
}

}  // namespace zel
