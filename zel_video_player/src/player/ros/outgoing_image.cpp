#include "zel_video_player/player/ros/outgoing_image.h"

#include <cstring>
#include <stdexcept>
#include <typeinfo>
#include <utility>

#include <boost/make_shared.hpp>
#include <ros/publication.h>
#include <ros/serialization.h>
#include <ros/topic_manager.h>

#include <sensor_msgs/image_encodings.h>

#include "zel_video_player/player/ros/image_conversion.h"

namespace zel {

namespace {

struct Takers {
  bool bytes = false;    // subscribers in other processes
  bool message = false;  // subscribers in this one
};

// The question roscpp asks under its lock, asked before taking it.
Takers takers(const ros::Publisher& publisher) {
  Takers takers;
  const ros::PublicationPtr publication = ros::TopicManager::instance()->lookupPublication(publisher.getTopic());
  if (publication) publication->getPublishTypes(takers.bytes, takers.message, typeid(sensor_msgs::Image));
  return takers;
}

// Room for `num_bytes`, in `bytes`' buffer when roscpp has let go of it and it has the size: a fresh
// 6 MB buffer costs more to first touch than to fill.
void make_room(ros::SerializedMessage& bytes, std::size_t num_bytes) {
  if (!bytes.buf || bytes.buf.use_count() != 1 || bytes.num_bytes != num_bytes) {
    bytes.buf.reset(new std::uint8_t[num_bytes]);
    bytes.num_bytes = num_bytes;
  }
}

}  // namespace

OutgoingImage::OutgoingImage(const cv::Mat& picture) : message_(image_message(picture)) { show_message_pixels(); }

bool OutgoingImage::only_bytes_wanted(const ros::Publisher& publisher) {
  const Takers now = takers(publisher);
  return now.bytes && !now.message;
}

std::unique_ptr<OutgoingImage> OutgoingImage::for_frame(int width, int height, FrameBufferPtr spent,
                                                        bool only_bytes) {
  std::unique_ptr<OutgoingImage> image(spent ? &of(*spent) : new OutgoingImage());
  spent.release();
  if (only_bytes && width > 0 && height > 0) {
    image->lay_out_bytes(width, height);
    return image;
  }
  image->in_bytes_ = false;
  // A TCP subscriber gets a serialised copy: roscpp lets go of the message before publish returns.
  if (!image->message_ || image->message_.use_count() != 1 || !fits_frame(*image->message_, width, height)) {
    image->message_ = frame_message(width, height);
  }
  image->bytes_made_ = false;
  image->show_message_pixels();
  return image;
}

OutgoingImage& OutgoingImage::of(FrameBuffer& buffer) {
  auto* image = dynamic_cast<OutgoingImage*>(&buffer);
  if (!image) throw std::logic_error("a frame buffer that is not an outgoing image");
  return *image;
}

void OutgoingImage::show_message_pixels() {
  sensor_msgs::Image& message = *message_;
  pixels = message.data.empty() ? cv::Mat()
                                : cv::Mat(static_cast<int>(message.height), static_cast<int>(message.width), CV_8UC3,
                                          message.data.data(), message.step);
}

// Laid out as ros::serialization lays out an Image, with the pixels left for the decoder to write.
void OutgoingImage::lay_out_bytes(int width, int height) {
  namespace ser = ros::serialization;
  sensor_msgs::Image fields = *frame_message(0, 0);
  fields.height = static_cast<uint32_t>(height);
  fields.width = static_cast<uint32_t>(width);
  fields.encoding = sensor_msgs::image_encodings::BGR8;
  fields.step = fields.width * 3;
  const std::uint32_t data_size = fields.step * fields.height;
  const std::uint32_t length = ser::serializationLength(fields) + data_size;
  make_room(bytes_, std::size_t{length} + 4);
  ser::OStream stream(bytes_.buf.get(), static_cast<std::uint32_t>(bytes_.num_bytes));
  ser::serialize(stream, length);
  bytes_.message_start = stream.getData();
  ser::serialize(stream, fields.header);
  ser::serialize(stream, fields.height);
  ser::serialize(stream, fields.width);
  ser::serialize(stream, fields.encoding);
  ser::serialize(stream, fields.is_bigendian);
  ser::serialize(stream, fields.step);
  ser::serialize(stream, data_size);
  pixels = cv::Mat(height, width, CV_8UC3, stream.getData(), fields.step);
  bytes_made_ = true;
  in_bytes_ = true;
}

void OutgoingImage::frame_decoded() {
  if (in_bytes_) {
    const std::uint8_t* data = bytes_.buf.get() + (bytes_.num_bytes - pixels.total() * pixels.elemSize());
    if (pixels.data == data && pixels.isContinuous() && pixels.type() == CV_8UC3) return;
    bytes_made_ = false;
    make_message();
    return;
  }
  const bool in_message = !message_->data.empty() && pixels.data == message_->data.data() &&
                          pixels.rows == static_cast<int>(message_->height) &&
                          pixels.cols == static_cast<int>(message_->width) && pixels.type() == CV_8UC3;
  if (!in_message) {
    message_ = image_message(pixels);
    message_->header.stamp = stamp_;
  }
}

void OutgoingImage::make_message() {
  if (!in_bytes_) return;
  message_ = image_message(pixels);
  message_->header.stamp = stamp_;
  in_bytes_ = false;
}

void OutgoingImage::stamp(const ros::Time& time) {
  stamp_ = time;
  if (!in_bytes_ && message_) {
    if (message_.use_count() != 1) {
      message_ = boost::make_shared<sensor_msgs::Image>(*message_);
      show_message_pixels();
    }
    message_->header.stamp = time;
  }
  if (!bytes_made_) return;
  if (bytes_.buf.use_count() != 1) {
    const std::ptrdiff_t message_offset = bytes_.message_start - bytes_.buf.get();
    boost::shared_array<std::uint8_t> copy(new std::uint8_t[bytes_.num_bytes]);
    std::memcpy(copy.get(), bytes_.buf.get(), bytes_.num_bytes);
    bytes_.buf = copy;
    bytes_.message_start = copy.get() + message_offset;
  }
  // The header's seq comes first, and roscpp writes it itself.
  namespace ser = ros::serialization;
  ser::OStream stream(bytes_.message_start + sizeof(std::uint32_t), 2 * sizeof(std::uint32_t));
  ser::serialize(stream, time);
}

// Laid out as ros::serialization::serializeMessage lays them out: the length, then the message.
const ros::SerializedMessage& OutgoingImage::bytes() {
  if (bytes_made_) return bytes_;
  namespace ser = ros::serialization;
  const std::uint32_t length = ser::serializationLength(*message_);
  make_room(bytes_, std::size_t{length} + 4);
  ser::OStream stream(bytes_.buf.get(), static_cast<std::uint32_t>(bytes_.num_bytes));
  ser::serialize(stream, length);
  bytes_.message_start = stream.getData();
  ser::serialize(stream, *message_);
  bytes_made_ = true;
  return bytes_;
}

void OutgoingImage::publish(const ros::Publisher& publisher) {
  if (!publisher) return;
  // A latched publisher keeps its last message itself: its own path keeps that right.
  if (publisher.isLatched()) {
    make_message();
    publisher.publish(message());
    return;
  }
  const Takers now = takers(publisher);
  // A subscriber in this process that came since the frame was decoded into its bytes.
  if (now.message) make_message();
  if (!bytes_made_ && now.bytes) bytes();
  ros::SerializedMessage publication;
  publication.type_info = &typeid(sensor_msgs::Image);
  publication.message = message();
  // roscpp calls this under its lock, only when some subscriber needs bytes: by then they are
  // made, unless that subscriber connected a moment ago.
  ros::TopicManager::instance()->publish(publisher.getTopic(), [this] { return bytes(); }, publication);
}

}  // namespace zel
