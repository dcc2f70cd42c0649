#include "zel_video_player/transport/ros/compressed_subscriber.h"

#include <cv_bridge/cv_bridge.h>
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
  const sensor_msgs::ImagePtr image = cv_bridge::CvImage(message->header, decoded.encoding, decoded.pixels).toImageMsg();
  user_cb(image);
}

}  // namespace zel::transport
