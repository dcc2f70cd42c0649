#pragma once

#include <opencv2/core.hpp>
#include <ros/serialized_message.h>
#include <ros/time.h>
#include <sensor_msgs/Image.h>

namespace zel {

// Every image the player sends is a "bgr8" Image with an empty frame id, stamped as it goes out.
// Here alone is how such an image is laid out, as a message and as the bytes on the wire.

sensor_msgs::ImagePtr image_message(const cv::Mat& bgr);

// Such an image of `width` by `height`, its pixels yet to be written; none when either is 0.
sensor_msgs::ImagePtr frame_message(int width, int height);

// Whether `message` is such an image of `width` by `height`, to be written over.
bool fits_frame(const sensor_msgs::Image& message, int width, int height);

// Lays out in `bytes` the serialised image of `width` by `height` (the length, then the message,
// as roscpp sends it), in the buffer they already have when roscpp has let go of it and it has the
// size: a fresh 6 MB buffer costs more to first touch than to fill. Returns its pixels, for a
// decoder to write.
cv::Mat lay_out_frame_bytes(ros::SerializedMessage& bytes, int width, int height);

// Serialises `message` into `bytes` in the same way, reusing their buffer as above.
void serialize_image(const sensor_msgs::Image& message, ros::SerializedMessage& bytes);

// Writes `stamp` into the header of serialised image `bytes`, where it lies.
void stamp_image_bytes(ros::SerializedMessage& bytes, const ros::Time& stamp);

}  // namespace zel
