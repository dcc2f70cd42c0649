#pragma once

#include <memory>

#include <opencv2/core.hpp>
#include <ros/publisher.h>
#include <ros/serialized_message.h>
#include <sensor_msgs/Image.h>

#include "zel_video_player/player/frame_sink.h"

namespace zel {

// An image on its way to the image topic: the message, its pixels to decode into, and its bytes for
// other processes.
//
// ros::Publisher::publish serialises a message while holding the topic lock that roscpp's one
// network thread takes before every round of socket reads and writes. Copying a picture of tens of
// megabytes takes longer than a frame period, so the publishing thread takes the lock back as soon
// as it lets go: the network thread starves, nothing reaches a subscriber, pose messages wait, and
// the serialised copies pile up in the publication's unbounded queue. Here the bytes are made
// outside that lock, and made once for an image that is published again and again; roscpp's queue
// of one per connection then drops what a slow connection cannot take yet, and each subscriber
// gets what its own connection carries.
class OutgoingImage : public FrameBuffer {
 public:
  // A picture, made into its message once.
  explicit OutgoingImage(const cv::Mat& picture);

  // A frame to decode into, `width` by `height`. The message and the bytes of `spent`, an image
  // sent before, are written over when nothing else holds them any more and they have the size: an
  // in-process subscriber may still hold the message, roscpp the bytes.
  static std::unique_ptr<OutgoingImage> for_frame(int width, int height, FrameBufferPtr spent);

  // The outgoing image a buffer is. Throws std::logic_error for any other buffer.
  static OutgoingImage& of(FrameBuffer& buffer);

  // The pixels are final. A decoder that had to put them elsewhere than the message (the frame's
  // size changed) has them copied into a message of their own.
  void frame_decoded();

  // In-process subscribers get the message itself, as from ros::Publisher::publish. Publishing
  // again sends the same bytes: the image must not change in between.
  //
  // True when roscpp numbered this publication: it writes its own count of the topic's messages
  // into the header's seq of what it sends to other processes, counting every publication except
  // those that only subscribers in this process took.
  bool publish(const ros::Publisher& publisher);

  sensor_msgs::ImageConstPtr message() const { return message_; }

 private:
  OutgoingImage() = default;
  void show_message_pixels();
  const ros::SerializedMessage& bytes();

  sensor_msgs::ImagePtr message_;
  ros::SerializedMessage bytes_;  // made at the first publication that goes to another process
  bool bytes_made_ = false;
};

}  // namespace zel
