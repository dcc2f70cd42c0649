#pragma once

#include <ros/publisher.h>
#include <ros/serialized_message.h>
#include <sensor_msgs/Image.h>

namespace zel {

// Publishing an image the way roscpp would, but with its bytes made beforehand. Every use of
// roscpp's internals (its topic manager and publications) is here.
//
// ros::Publisher::publish serialises a message while holding the topic lock that roscpp's one
// network thread takes before every round of socket reads and writes. Copying a picture of tens of
// megabytes takes longer than a frame period, so the publishing thread takes the lock back as soon
// as it lets go: the network thread starves, nothing reaches a subscriber, pose messages wait, and
// the serialised copies pile up in the publication's unbounded queue. Made outside that lock, and
// made once for a still that is published again and again, the bytes leave roscpp only its queue
// of one per connection, which drops what a slow connection cannot take yet.

// Who takes the images published on `publisher` now.
struct ImageTakers {
  bool other_processes = false;  // they need bytes
  bool this_process = false;     // they get the message itself, by pointer
};
ImageTakers image_takers(const ros::Publisher& publisher);

// In-process subscribers get `message` itself, the others `bytes`. A subscriber that came since
// the takers were asked gets what the other is made into, for this image only. `message` may be
// empty when `bytes` are made, `bytes` when `message` is not.
void publish_image(const ros::Publisher& publisher, const sensor_msgs::ImageConstPtr& message,
                   const ros::SerializedMessage& bytes);

}  // namespace zel
