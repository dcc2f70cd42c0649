#include "zel_video_player/player/ros/ros_outputs.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include <diagnostic_msgs/KeyValue.h>
#include <image_transport/camera_common.h>
#include <sensor_msgs/CameraInfo.h>
#include <std_msgs/String.h>

#include "zel_video_player/player/ros/names.h"
#include "zel_video_player/player/ros/camera_info_conversion.h"
#include "zel_video_player/player/ros/frame_label_conversion.h"
#include "zel_video_player/player/ros/now_showing_conversion.h"

namespace zel {
namespace {

// A test scoring its detector wants every change, even when it reads slowly.
constexpr uint32_t NOW_SHOWING_QUEUE = 10;
// Labels are small: a few seconds of them wait for a subscriber that reads slowly.
constexpr uint32_t FRAME_MEDIA_QUEUE = 300;
constexpr uint32_t FRAME_LABEL_QUEUE = 300;
// A still is one picture however often it goes out: its label names no frame of a clip.
constexpr std::int64_t STILL_FRAME_NUMBER = 0;

}  // namespace

RosOutputs::RosOutputs(const ros::NodeHandle& node, const ros::NodeHandle& private_node,
                       PlayerDiagnostics& diagnostics, const std::string& line_tag)
    : node_(node),
      private_node_(private_node),
      line_tag_(line_tag),
      raw_pub_(node_.advertise<sensor_msgs::Image>(IMAGE_TOPIC, IMAGE_QUEUE)),
      // Beside the image topic as it resolves, remapped or not, where image_transport's camera
      // subscribers look for it.
      camera_info_pub_(node_.advertise<sensor_msgs::CameraInfo>(
          image_transport::getCameraInfoTopic(node_.resolveName(IMAGE_TOPIC)), IMAGE_QUEUE)),
      other_transports_(node_, line_tag_),
      now_showing_pub_(private_node_.advertise<std_msgs::String>(NOW_SHOWING_TOPIC, NOW_SHOWING_QUEUE, true)),
      frame_media_pub_(private_node_.advertise<diagnostic_msgs::KeyValue>(FRAME_MEDIA_TOPIC, FRAME_MEDIA_QUEUE)),
      frame_label_pub_(private_node_.advertise<zel_video_player::FrameLabel>(FRAME_LABEL_TOPIC, FRAME_LABEL_QUEUE)),
      diagnostics_(diagnostics) {}

// Straight into the bytes on the wire while only other processes take the frames, and no other
// transport wants a message to encode.
cv::Mat RosOutputs::frame_pixels(int width, int height) {
  takers_ = image_takers(raw_pub_);
  const bool bytes_only = takers_.other_processes && !takers_.this_process && !other_transports_.wanted();
  return frame_.prepare_frame(width, height, bytes_only);
}

void RosOutputs::send_frame(const cv::Mat& pixels, Clock::Time stamp, std::int64_t frame_number) {
  frame_.frame_decoded(pixels);
  publish(frame_, stamp, frame_number);
}

void RosOutputs::send_still(Clock::Time stamp) {
  takers_ = image_takers(raw_pub_);
  publish(*still_, stamp, STILL_FRAME_NUMBER);
}

// The bytes for other processes are made here, outside roscpp's topic lock (image_publication.h);
// image_transport's other transports (compressed, theora) get the message on a thread of their own
// when someone subscribes to them.
//
// ~now_showing goes out before a playback's first frame, but on a connection of its own, which a
// subscriber may read later than the image topic's: each frame's own label on ~frame_media and
// ~frame_label tells exactly what it shows, whichever comes first. The camera_info and the label
// carry the image's very header, by which message_filters pair them with it.
void RosOutputs::publish(OutgoingImage& image, Clock::Time frame_stamp, std::int64_t frame_number) {
  ros::Time stamp;
  stamp.fromNSec(static_cast<std::uint64_t>(std::max<Clock::Time::rep>(0, frame_stamp.count())));
  image.stamp(stamp);
  std_msgs::Header header;
  header.stamp = stamp;
  if (takers_.other_processes) image.make_bytes();
  const sensor_msgs::ImageConstPtr message = image.message();
  last_published_.store(message.get());
  publish_image(raw_pub_, message, image.bytes());
  if (message) other_transports_.offer(message);
  if (camera_info_pub_.getNumSubscribers() > 0) {
    camera_info_pub_.publish(uncalibrated_camera_info(header, static_cast<std::uint32_t>(image.width()),
                                                      static_cast<std::uint32_t>(image.height())));
  }
  if (frame_media_pub_.getNumSubscribers() > 0) frame_media_pub_.publish(frame_media_message(stamp, showing_));
  if (frame_label_pub_.getNumSubscribers() > 0) {
    frame_label_pub_.publish(frame_label_message(header, showing_, frame_number));
  }
  diagnostics_.frame_sent();
}

void RosOutputs::now_showing(const std::string& media_file) {
  showing_ = media_file;
  now_showing_pub_.publish(now_showing_message(media_file));
}

void RosOutputs::log_info(const std::string& line) { ROS_INFO_STREAM(line_tag_ << line); }

void RosOutputs::log_error(const std::string& line) { ROS_ERROR_STREAM(line_tag_ << line); }

}  // namespace zel
