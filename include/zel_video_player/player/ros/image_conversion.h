#pragma once

#include <opencv2/core.hpp>
#include <sensor_msgs/Image.h>

namespace zel {

// Every image the player sends is a "bgr8" Image with the header left empty (zero stamp, no frame).
class ImageConverter {
 public:
  sensor_msgs::ImagePtr to_message(const cv::Mat& bgr) const;

  // A message sized for a frame, with a Mat over its pixel buffer so a decoder can write
  // straight into the message instead of into a Mat that is then copied.
  struct FrameSlot {
    sensor_msgs::ImagePtr message;
    cv::Mat pixels;

    // False when the decoder had to reallocate (the frame size changed): then the pixels live in
    // the Mat, not in the message.
    bool holds_frame() const;
  };
  // `recycled`, the previous frame's message, is written over instead of making a new one when
  // nothing else holds it any more and it has the frame's size: zeroing a new buffer takes about
  // a sixth as many instructions as decoding the frame.
  FrameSlot frame_slot(int width, int height, sensor_msgs::ImagePtr recycled = nullptr) const;
};

}  // namespace zel
