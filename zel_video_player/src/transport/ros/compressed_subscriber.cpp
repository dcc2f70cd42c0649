#include "zel_video_player/transport/ros/compressed_subscriber.h"

#include <boost/make_shared.hpp>
#include <ros/ros.h>
#include <sensor_msgs/Image.h>

#include "zel_video_player/transport/compressed_format.h"

namespace zel::transport {

void CompressedSubscriber::internalCallback(const sensor_msgs::CompressedImageConstPtr& message,
                                            const Callback& user_cb) {
  const Decoded decoded = decode(message->data, message->format);
  if (!decoded.error.empty()) {
    ROS_WARN_THROTTLE(10.0, "%s: a picture is dropped: %s", getTopic().c_str(), decoded.error.c_str());
    return;
  }
  const cv::Mat& pixels = decoded.pixels;
  const auto image = boost::make_shared<sensor_msgs::Image>();
  image->header = message->header;
  image->height = static_cast<std::uint32_t>(pixels.rows);
  image->width = static_cast<std::uint32_t>(pixels.cols);
  image->encoding = decoded.encoding;
  image->is_bigendian = 0;
  image->step = static_cast<std::uint32_t>(pixels.cols * pixels.elemSize());
  image->data.assign(pixels.datastart, pixels.dataend);
  user_cb(image);
}

}  // namespace zel::transport
