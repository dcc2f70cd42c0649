#pragma once

#include <string>

#include <image_transport/simple_subscriber_plugin.h>
#include <sensor_msgs/CompressedImage.h>

namespace zel::transport {

// The subscriber of the "compressed" transport: each picture decoded into an Image of the encoding
// its format names (bgr8, rgb8 or mono8; bgr8 for any other), with the header it came with.
class CompressedSubscriber : public image_transport::SimpleSubscriberPlugin<sensor_msgs::CompressedImage> {
 public:
  std::string getTransportName() const override { return "compressed"; }

 protected:
  void internalCallback(const sensor_msgs::CompressedImageConstPtr& message, const Callback& user_cb) override;
};

}  // namespace zel::transport
