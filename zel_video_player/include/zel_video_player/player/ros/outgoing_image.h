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

  // Whether the frames published on `publisher` now go only to other processes, as bytes.
  static bool only_bytes_wanted(const ros::Publisher& publisher);

  // A frame to decode into, `width` by `height`. The message and the bytes of `spent`, an image
  // sent before, are written over when nothing else holds them any more and they have the size: an
  // in-process subscriber may still hold the message, roscpp the bytes. With `only_bytes`, the
  // frame is decoded straight into the bytes that go on the wire, and there is no message: what a
  // subscriber in another process needs is the decode and one send, not a copy in between.
  static std::unique_ptr<OutgoingImage> for_frame(int width, int height, FrameBufferPtr spent,
                                                  bool only_bytes = false);

  // The outgoing image a buffer is. Throws std::logic_error for any other buffer.
  static OutgoingImage& of(FrameBuffer& buffer);

  // The pixels are final. A decoder that had to put them elsewhere than the message (the frame's
  // size changed) has them copied into a message of their own.
  void frame_decoded();

  // Stamps the image for its next publication, in its message and its bytes alike. A message or
  // bytes that someone else still holds (a still's last publication, with an in-process subscriber
  // or a connection that has not sent it yet) must not change under them: the image is copied
  // first. A frame decoded for this publication alone is stamped where it lies.
  void stamp(const ros::Time& time);
  const ros::Time& stamp() const { return stamp_; }

  // In-process subscribers get the message itself, as from ros::Publisher::publish. Publishing
  // again sends the same bytes: the image must not change in between.
  //
  void publish(const ros::Publisher& publisher);

  // What goes to other processes: the length, then the message, as roscpp lays them out. Made now
  // when they are not yet.
  const ros::SerializedMessage& bytes();

  // Empty for a frame decoded into its bytes alone.
  sensor_msgs::ImageConstPtr message() const { return in_bytes_ ? nullptr : message_; }

 private:
  OutgoingImage() = default;
  void show_message_pixels();
  void lay_out_bytes(int width, int height);
  // A message of the frame's own, for those who take messages, when it lies only in its bytes.
  void make_message();

  sensor_msgs::ImagePtr message_;
  ros::Time stamp_;
  ros::SerializedMessage bytes_;  // made at the first publication that goes to another process
  bool bytes_made_ = false;
  bool in_bytes_ = false;  // the pixels lie in the bytes, and the message is only kept to be reused
};

}  // namespace zel
