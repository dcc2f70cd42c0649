#include "zel_video_player/player/ros/outgoing_image.h"

#include <stdexcept>
#include <typeinfo>
#include <utility>

#include <ros/publication.h>
#include <ros/serialization.h>
#include <ros/topic_manager.h>

#include "zel_video_player/player/ros/image_conversion.h"

namespace zel {

namespace {

// The question roscpp asks under its lock, asked before taking it.
bool needs_bytes(const ros::Publisher& publisher) {
  const ros::PublicationPtr publication = ros::TopicManager::instance()->lookupPublication(publisher.getTopic());
  if (!publication) return false;
  bool serialize = false;
  bool nocopy = false;
  publication->getPublishTypes(serialize, nocopy, typeid(sensor_msgs::Image));
  return serialize;
}

}  // namespace

OutgoingImage::OutgoingImage(const cv::Mat& picture) : message_(image_message(picture)) { show_message_pixels(); }

std::unique_ptr<OutgoingImage> OutgoingImage::for_frame(int width, int height, FrameBufferPtr spent) {
  std::unique_ptr<OutgoingImage> image(spent ? &of(*spent) : new OutgoingImage());
  spent.release();
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

void OutgoingImage::frame_decoded() {
  const bool in_message = !message_->data.empty() && pixels.data == message_->data.data() &&
                          pixels.rows == static_cast<int>(message_->height) &&
                          pixels.cols == static_cast<int>(message_->width) && pixels.type() == CV_8UC3;
  if (!in_message) message_ = image_message(pixels);
}

// Laid out as ros::serialization::serializeMessage lays them out: the length, then the message.
const ros::SerializedMessage& OutgoingImage::bytes() {
  if (bytes_made_) return bytes_;
  namespace ser = ros::serialization;
  const std::uint32_t length = ser::serializationLength(*message_);
  const std::size_t num_bytes = std::size_t{length} + 4;
  if (!bytes_.buf || bytes_.buf.use_count() != 1 || bytes_.num_bytes != num_bytes) {
    bytes_.buf.reset(new std::uint8_t[num_bytes]);
    bytes_.num_bytes = num_bytes;
  }
  ser::OStream stream(bytes_.buf.get(), static_cast<std::uint32_t>(bytes_.num_bytes));
  ser::serialize(stream, length);
  bytes_.message_start = stream.getData();
  ser::serialize(stream, *message_);
  bytes_made_ = true;
  return bytes_;
}

bool OutgoingImage::publish(const ros::Publisher& publisher) {
  if (!publisher) return false;
  // A latched publisher keeps its last message itself: its own path keeps that right.
  if (publisher.isLatched()) {
    publisher.publish(message());
    return true;
  }
  if (!bytes_made_ && needs_bytes(publisher)) bytes();
  ros::SerializedMessage publication;
  publication.type_info = &typeid(sensor_msgs::Image);
  publication.message = message_;
  // roscpp calls this under its lock, only when some subscriber needs bytes: by then they are
  // made, unless that subscriber connected a moment ago.
  ros::TopicManager::instance()->publish(publisher.getTopic(), [this] { return bytes(); }, publication);
  // Bytes were queued, and are numbered as they leave the queue; or no one listened, and roscpp
  // counted the message at once. Only in-process subscribers' taking it is left uncounted: it
  // handed them the message and let go of it.
  return publication.buf || publication.message;
}

}  // namespace zel
