#include "zel_video_player/player/ros/outgoing_image.h"

#include <cstring>

#include <boost/make_shared.hpp>

#include "zel_video_player/player/ros/image_conversion.h"

namespace zel {

const ros::SerializedMessage OutgoingImage::NO_BYTES;

OutgoingImage::OutgoingImage(const cv::Mat& picture) : message_(image_message(picture)) { show_message_pixels(); }

cv::Mat OutgoingImage::prepare_frame(int width, int height, bool bytes_only) {
  if (bytes_only && width > 0 && height > 0) {
    // A message kept beside the bytes would hold a frame's worth that no one sends: the one made
    // before the first subscriber came, say. The heap keeps its memory for the decoder's next use.
    message_.reset();
    pixels_ = lay_out_frame_bytes(bytes_, width, height);
    bytes_made_ = true;
    in_bytes_ = true;
    return pixels_;
  }
  in_bytes_ = false;
  // A TCP subscriber gets a serialised copy: roscpp lets go of the message before publishing returns.
  if (!message_ || message_.use_count() != 1 || !fits_frame(*message_, width, height)) {
    message_ = frame_message(width, height);
  }
  bytes_made_ = false;
  show_message_pixels();
  return pixels_;
}

void OutgoingImage::show_message_pixels() {
  sensor_msgs::Image& message = *message_;
  pixels_ = message.data.empty() ? cv::Mat()
                                 : cv::Mat(static_cast<int>(message.height), static_cast<int>(message.width), CV_8UC3,
                                           message.data.data(), message.step);
}

void OutgoingImage::frame_decoded(const cv::Mat& pixels) {
  const bool where_prepared = pixels.data == pixels_.data && pixels.size() == pixels_.size() &&
                              pixels.type() == CV_8UC3 && pixels.step == pixels_.step;
  if (where_prepared) return;
  message_ = image_message(pixels);
  in_bytes_ = false;
  bytes_made_ = false;
  show_message_pixels();
}

void OutgoingImage::stamp(const ros::Time& time) {
  if (!in_bytes_ && message_) {
    if (message_.use_count() != 1) {
      message_ = boost::make_shared<sensor_msgs::Image>(*message_);
      show_message_pixels();
    }
    message_->header.stamp = time;
  }
  if (!bytes_made_) return;
  if (bytes_.buf.use_count() != 1) {
    const std::ptrdiff_t message_offset = bytes_.message_start - bytes_.buf.get();
    boost::shared_array<std::uint8_t> copy(new std::uint8_t[bytes_.num_bytes]);
    std::memcpy(copy.get(), bytes_.buf.get(), bytes_.num_bytes);
    bytes_.buf = copy;
    bytes_.message_start = copy.get() + message_offset;
  }
  stamp_image_bytes(bytes_, time);
}

void OutgoingImage::make_bytes() {
  if (bytes_made_) return;
  serialize_image(*message_, bytes_);
  bytes_made_ = true;
}

}  // namespace zel
