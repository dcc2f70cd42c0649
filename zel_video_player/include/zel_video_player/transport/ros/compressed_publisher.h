#pragma once

#include <chrono>
#include <mutex>
#include <string>

#include <image_transport/simple_publisher_plugin.h>
#include <sensor_msgs/CompressedImage.h>

#include "zel_video_player/transport/compressed_format.h"

namespace zel::transport {

// The publisher of the "compressed" transport, on <image topic>/compressed. Its settings are the
// parameters <image topic>/compressed/format ("jpeg" or "png"), jpeg_quality and png_level.
class CompressedPublisher : public image_transport::SimplePublisherPlugin<sensor_msgs::CompressedImage> {
 public:
  using SimplePublisherPlugin::publish;

  std::string getTransportName() const override { return "compressed"; }

  // A still goes out many times over, each time with a stamp of its own: a picture with the same
  // pixels and settings as the last goes out as the compressed data made for it then, under its
  // own header. A published message does not change, as roscpp requires.
  void publish(const sensor_msgs::ImageConstPtr& image) const override;

 protected:
  void publish(const sensor_msgs::Image& image, const PublishFn& publish_fn) const override;

 private:
  sensor_msgs::CompressedImageConstPtr compress(const sensor_msgs::Image& image, const EncodeSettings& settings) const;
  // Asking the master costs a round trip: the parameters are read again at most once a second.
  EncodeSettings current_settings() const;

  mutable std::mutex mutex_;
  mutable EncodeSettings settings_;
  mutable std::chrono::steady_clock::time_point settings_read_;
  mutable bool settings_known_ = false;
  mutable std::string settings_problems_;
  // Held, so that no other message can come to the same address while its compression is kept.
  mutable sensor_msgs::ImageConstPtr last_image_;
  mutable EncodeSettings last_settings_;
  mutable sensor_msgs::CompressedImageConstPtr last_compressed_;  // none when it could not be encoded
};

}  // namespace zel::transport
