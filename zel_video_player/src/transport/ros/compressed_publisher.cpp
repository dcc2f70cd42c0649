#include "zel_video_player/transport/ros/compressed_publisher.h"

#include <boost/make_shared.hpp>
#include <ros/ros.h>

namespace zel::transport {
namespace {

constexpr auto SETTINGS_LIFETIME = std::chrono::seconds(1);
constexpr double ERROR_THROTTLE_SECONDS = 10.0;

std::optional<int> integer(const XmlRpc::XmlRpcValue& values, const char* name, std::string& problems) {
  if (!values.hasMember(name)) return std::nullopt;
  XmlRpc::XmlRpcValue value = values[name];
  if (value.getType() == XmlRpc::XmlRpcValue::TypeInt) return static_cast<int>(value);
  problems += std::string(problems.empty() ? "" : "; ") + name + " is not an integer: using its default";
  return std::nullopt;
}

// The parameters under the transport's namespace, fetched in one call. Those that are missing, and
// all of them when the master cannot be asked, take their defaults.
EncodeSettings read_settings(const std::string& ns, std::string& problems) {
  problems.clear();
  RequestedSettings requested;
  std::string type_problems;
  XmlRpc::XmlRpcValue values;
  if (ros::param::get(ns, values) && values.getType() == XmlRpc::XmlRpcValue::TypeStruct) {
    if (values.hasMember("format")) {
      XmlRpc::XmlRpcValue format = values["format"];
      if (format.getType() == XmlRpc::XmlRpcValue::TypeString) {
        requested.format = static_cast<std::string>(format);
      } else {
        type_problems = "format is not a text: using jpeg";
      }
    }
    requested.jpeg_quality = integer(values, "jpeg_quality", type_problems);
    requested.png_level = integer(values, "png_level", type_problems);
  }
  const EncodeSettings settings = settle(requested, problems);
  if (!type_problems.empty()) problems = problems.empty() ? type_problems : type_problems + "; " + problems;
  return settings;
}

// Each publication of a still is a message of its own, with its own stamp, over the same pixels.
bool same_picture(const sensor_msgs::ImageConstPtr& image, const sensor_msgs::ImageConstPtr& before) {
  if (!before) return false;
  if (image == before) return true;
  return image->width == before->width && image->height == before->height && image->encoding == before->encoding &&
         image->step == before->step && image->is_bigendian == before->is_bigendian && image->data == before->data;
}

}  // namespace

EncodeSettings CompressedPublisher::current_settings() const {
  const auto now = std::chrono::steady_clock::now();
  if (settings_known_ && now - settings_read_ < SETTINGS_LIFETIME) return settings_;
  std::string problems;
  settings_ = read_settings(nh().getNamespace(), problems);
  settings_read_ = now;
  settings_known_ = true;
  // Once per change: a wrong parameter stays wrong until someone sets it again.
  if (problems != settings_problems_ && !problems.empty()) ROS_WARN("%s: %s", nh().getNamespace().c_str(), problems.c_str());
  settings_problems_ = problems;
  return settings_;
}

sensor_msgs::CompressedImageConstPtr CompressedPublisher::compress(const sensor_msgs::Image& image,
                                                                   const EncodeSettings& settings) const {
  RawImage raw;
  raw.width = image.width;
  raw.height = image.height;
  raw.step = image.step;
  raw.encoding = image.encoding;
  raw.data = image.data.data();
  raw.size = image.data.size();
  Encoded encoded = encode(raw, settings);
  if (!encoded.error.empty()) {
    ROS_ERROR_THROTTLE(ERROR_THROTTLE_SECONDS, "%s: an image is not sent: %s", getTopic().c_str(),
                       encoded.error.c_str());
    return nullptr;
  }
  const auto message = boost::make_shared<sensor_msgs::CompressedImage>();
  message->header = image.header;
  message->format = std::move(encoded.format);
  message->data = std::move(encoded.data);
  return message;
}

void CompressedPublisher::publish(const sensor_msgs::ImageConstPtr& image) const {
  if (!image) return;
  sensor_msgs::CompressedImageConstPtr compressed;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    const EncodeSettings settings = current_settings();
    if (settings != last_settings_ || !same_picture(image, last_image_)) {
      last_compressed_ = compress(*image, settings);
      last_settings_ = settings;
    } else if (last_compressed_ && last_compressed_->header != image->header) {
      auto restamped = boost::make_shared<sensor_msgs::CompressedImage>(*last_compressed_);
      restamped->header = image->header;
      last_compressed_ = restamped;
    }
    last_image_ = image;
    compressed = last_compressed_;
  }
  // By pointer, so that a subscriber in this process is handed the same message each time too.
  if (compressed) getPublisher().publish(compressed);
}

void CompressedPublisher::publish(const sensor_msgs::Image& image, const PublishFn& publish_fn) const {
  EncodeSettings settings;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    settings = current_settings();
  }
  if (const auto compressed = compress(image, settings)) publish_fn(*compressed);
}

}  // namespace zel::transport
