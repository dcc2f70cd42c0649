#pragma once

#include <opencv2/core.hpp>
#include <ros/serialized_message.h>
#include <ros/time.h>
#include <sensor_msgs/Image.h>

namespace zel {

// An image on its way to the image topic: its message for subscribers in this process, its bytes
// for the others, and the pixels a decoder writes, in whichever of the two goes out. The memory of
// one frame is written over by the next where nothing else holds it any more: an in-process
// subscriber may still hold the message, roscpp the bytes.
class OutgoingImage {
 public:
  // A video's frames, prepared one by one.
  OutgoingImage() = default;
  // A still, made into its message once and sent again and again.
  explicit OutgoingImage(const cv::Mat& picture);

  // Pixels to decode the next frame into, `width` by `height`, in the message. With `bytes_only`
  // they lie straight in the bytes that go on the wire, and there is no message: what a subscriber
  // in another process needs is the decode and one send, not a copy in between.
  cv::Mat prepare_frame(int width, int height, bool bytes_only);

  // The frame as decoded: in the pixels prepare_frame gave, or where a decoder had to put it (the
  // frame's size changed), which are then copied into a message of their own.
  void frame_decoded(const cv::Mat& pixels);

  // Stamps the image for its next publication, in its message and its bytes alike. A message or
  // bytes that someone else still holds (a still's last publication, with an in-process subscriber
  // or a connection that has not sent it yet) must not change under them: they are copied first.
  void stamp(const ros::Time& time);

  // Makes the bytes, when they are not yet.
  void make_bytes();

  // Empty for a frame decoded into its bytes alone.
  sensor_msgs::ImageConstPtr message() const { return in_bytes_ ? nullptr : message_; }
  // The length, then the message, as roscpp sends them; empty until made.
  const ros::SerializedMessage& bytes() const { return bytes_made_ ? bytes_ : NO_BYTES; }

  int width() const { return pixels_.cols; }
  int height() const { return pixels_.rows; }

 private:
  static const ros::SerializedMessage NO_BYTES;

  void show_message_pixels();

  sensor_msgs::ImagePtr message_;
  ros::SerializedMessage bytes_;
  cv::Mat pixels_;  // where the image's pixels lie, in the message or in the bytes
  bool bytes_made_ = false;
  bool in_bytes_ = false;  // the pixels lie in the bytes, and there is no message
};

}  // namespace zel
