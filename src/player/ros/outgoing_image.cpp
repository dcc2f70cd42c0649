#include "zel_video_player/player/ros/outgoing_image.h"

#include <typeinfo>
#include <utility>

#include <ros/publication.h>
#include <ros/serialization.h>
#include <ros/topic_manager.h>

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

OutgoingImage::OutgoingImage(sensor_msgs::ImageConstPtr image, ros::SerializedMessage spare)
    : image_(std::move(image)), spare_(std::move(spare)) {}

// Laid out as ros::serialization::serializeMessage lays them out: the length, then the message.
const ros::SerializedMessage& OutgoingImage::bytes() {
  if (bytes_.buf) return bytes_;
  namespace ser = ros::serialization;
  const std::uint32_t length = ser::serializationLength(*image_);
  bytes_.num_bytes = std::size_t{length} + 4;
  if (spare_.buf && spare_.buf.use_count() == 1 && spare_.num_bytes == bytes_.num_bytes) {
    bytes_.buf = std::move(spare_.buf);
  } else {
    bytes_.buf.reset(new std::uint8_t[bytes_.num_bytes]);
  }
  ser::OStream stream(bytes_.buf.get(), static_cast<std::uint32_t>(bytes_.num_bytes));
  ser::serialize(stream, length);
  bytes_.message_start = stream.getData();
  ser::serialize(stream, *image_);
  return bytes_;
}

bool OutgoingImage::publish(const ros::Publisher& publisher) {
  if (!publisher) return false;
  // A latched publisher keeps its last message itself: its own path keeps that right.
  if (publisher.isLatched()) {
    publisher.publish(image_);
    return true;
  }
  if (!bytes_.buf && needs_bytes(publisher)) bytes();
  ros::SerializedMessage publication;
  publication.type_info = &typeid(sensor_msgs::Image);
  publication.message = image_;
  // roscpp calls this under its lock, only when some subscriber needs bytes: by then they are
  // made, unless that subscriber connected a moment ago.
  ros::TopicManager::instance()->publish(publisher.getTopic(), [this] { return bytes(); }, publication);
  // Bytes were queued, and are numbered as they leave the queue; or no one listened, and roscpp
  // counted the message at once. Only in-process subscribers' taking it is left uncounted: it
  // handed them the message and let go of it.
  return publication.buf || publication.message;
}

}  // namespace zel
