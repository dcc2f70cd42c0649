#include "zel_video_player/player/ros/image_conversion.h"

#include <cstdint>

#include <boost/make_shared.hpp>
#include <cv_bridge/cv_bridge.h>
#include <ros/serialization.h>
#include <sensor_msgs/image_encodings.h>

namespace zel {
namespace {

namespace ser = ros::serialization;

// An image's every field but its pixels.
sensor_msgs::Image bgr_fields(int width, int height) {
  sensor_msgs::Image fields;
  fields.height = static_cast<std::uint32_t>(height);
  fields.width = static_cast<std::uint32_t>(width);
  fields.encoding = sensor_msgs::image_encodings::BGR8;
  fields.is_bigendian = 0;
  fields.step = fields.width * 3;
  return fields;
}

void make_room(ros::SerializedMessage& bytes, std::size_t num_bytes) {
  if (!bytes.buf || bytes.buf.use_count() != 1 || bytes.num_bytes != num_bytes) {
    bytes.buf.reset(new std::uint8_t[num_bytes]);
    bytes.num_bytes = num_bytes;
  }
}

// The stream over `bytes` resized for a message of `length`, past the length roscpp sends first.
ser::OStream message_stream(ros::SerializedMessage& bytes, std::uint32_t length) {
  make_room(bytes, std::size_t{length} + 4);
  ser::OStream stream(bytes.buf.get(), static_cast<std::uint32_t>(bytes.num_bytes));
  ser::serialize(stream, length);
  bytes.message_start = stream.getData();
  return stream;
}

}  // namespace

sensor_msgs::ImagePtr image_message(const cv::Mat& bgr) {
  return cv_bridge::CvImage(std_msgs::Header(), sensor_msgs::image_encodings::BGR8, bgr).toImageMsg();
}

sensor_msgs::ImagePtr frame_message(int width, int height) {
  if (width <= 0 || height <= 0) return boost::make_shared<sensor_msgs::Image>();
  auto message = boost::make_shared<sensor_msgs::Image>(bgr_fields(width, height));
  message->data.resize(static_cast<std::size_t>(message->step) * message->height);
  return message;
}

bool fits_frame(const sensor_msgs::Image& message, int width, int height) {
  const sensor_msgs::Image fields = bgr_fields(width, height);
  return message.width == fields.width && message.height == fields.height && message.encoding == fields.encoding &&
         message.step == fields.step && message.data.size() == static_cast<std::size_t>(fields.step) * fields.height;
}

// The pixels are serialised last, after their count: everything before them is written here.
cv::Mat lay_out_frame_bytes(ros::SerializedMessage& bytes, int width, int height) {
  sensor_msgs::Image fields = bgr_fields(width, height);
  const std::uint32_t data_size = fields.step * fields.height;
  ser::OStream stream = message_stream(bytes, ser::serializationLength(fields) + data_size);
  ser::serialize(stream, fields.header);
  ser::serialize(stream, fields.height);
  ser::serialize(stream, fields.width);
  ser::serialize(stream, fields.encoding);
  ser::serialize(stream, fields.is_bigendian);
  ser::serialize(stream, fields.step);
  ser::serialize(stream, data_size);
  return cv::Mat(height, width, CV_8UC3, stream.getData(), fields.step);
}

void serialize_image(const sensor_msgs::Image& message, ros::SerializedMessage& bytes) {
  ser::OStream stream = message_stream(bytes, ser::serializationLength(message));
  ser::serialize(stream, message);
}

// The header's seq comes first, and roscpp writes it itself.
void stamp_image_bytes(ros::SerializedMessage& bytes, const ros::Time& stamp) {
  ser::OStream stream(bytes.message_start + sizeof(std::uint32_t), 2 * sizeof(std::uint32_t));
  ser::serialize(stream, stamp);
}

}  // namespace zel
