#pragma once

#include <opencv2/core.hpp>
#include <sensor_msgs/Image.h>

namespace zel {

// Every image the player sends is a "bgr8" Image; its stamp is set as it goes out, its frame id stays empty.
sensor_msgs::ImagePtr image_message(const cv::Mat& bgr);

// Such an image of `width` by `height`, its pixels yet to be written; none when either is 0.
sensor_msgs::ImagePtr frame_message(int width, int height);

// Whether `message` is such an image of `width` by `height`, to be written over.
bool fits_frame(const sensor_msgs::Image& message, int width, int height);

}  // namespace zel
