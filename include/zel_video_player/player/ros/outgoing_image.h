#pragma once

#include <ros/publisher.h>
#include <ros/serialized_message.h>
#include <sensor_msgs/Image.h>

namespace zel {

// An image on its way to the image topic.
//
// ros::Publisher::publish serialises a message while holding the topic lock that roscpp's one
// network thread takes before every round of socket reads and writes. Copying a picture of tens of
// megabytes takes longer than a frame period, so the publishing thread takes the lock back as soon
// as it lets go: the network thread starves, nothing reaches a subscriber, pose messages wait, and
// the serialised copies pile up in the publication's unbounded queue. Here the bytes are made
// outside that lock, and made once for an image that is published again and again; roscpp's queue
// of one per connection then drops what a slow connection cannot take yet, and each subscriber
// gets what its own connection carries.
class OutgoingImage {
 public:
  // The bytes are written into `spare`, the bytes of an image sent before, when roscpp has let go
  // of them and they have the size: a fresh 6 MB buffer costs more to first touch than to fill.
  explicit OutgoingImage(sensor_msgs::ImageConstPtr image, ros::SerializedMessage spare = {});

  // In-process subscribers get the message itself, as from ros::Publisher::publish. Publishing
  // again sends the same bytes: the image must not change in between.
  //
  // True when roscpp numbered this publication: it writes its own count of the topic's messages
  // into the header's seq of what it sends to other processes, counting every publication except
  // those that only subscribers in this process took.
  bool publish(const ros::Publisher& publisher);

  const sensor_msgs::ImageConstPtr& message() const { return image_; }

  // The bytes made, for the next image to write over; the spare given when none were made.
  const ros::SerializedMessage& spare() const { return bytes_.buf ? bytes_ : spare_; }

 private:
  const ros::SerializedMessage& bytes();

  sensor_msgs::ImageConstPtr image_;
  ros::SerializedMessage spare_;
  ros::SerializedMessage bytes_;  // made at the first publication that goes to another process
};

}  // namespace zel
