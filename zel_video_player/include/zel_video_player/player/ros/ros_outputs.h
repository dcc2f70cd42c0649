#pragma once

#include <atomic>
#include <optional>
#include <string>

#include <ros/ros.h>

#include "zel_video_player/player/playback_output.h"
#include "zel_video_player/player/ros/image_publication.h"
#include "zel_video_player/player/ros/other_transports.h"
#include "zel_video_player/player/ros/outgoing_image.h"
#include "zel_video_player/player/ros/player_diagnostics.h"

namespace zel {

// What playback shows and says, on ROS: the frames on the image topic, each stamped with the ROS
// time it was due at and paired with a camera_info, and through image_transport's other transports;
// the media on the camera (latched ~now_showing, and for each frame ~frame_media and ~frame_label);
// the log lines.
// Playback calls it from its one thread.
class RosOutputs : public PlaybackOutput {
 public:
  // ros::init must have run. `node` resolves the image topic, `private_node` the private topics.
  // `diagnostics` must outlive this object: it counts each frame. Each log line begins with
  // `line_tag`.
  RosOutputs(const ros::NodeHandle& node, const ros::NodeHandle& private_node, PlayerDiagnostics& diagnostics,
             const std::string& line_tag);

  cv::Mat frame_pixels(int width, int height) override;
  void send_frame(const cv::Mat& pixels, Clock::Time stamp, std::int64_t frame_number) override;
  void hold_still(const cv::Mat& picture) override { still_.emplace(picture); }
  void send_still(Clock::Time stamp) override;
  void release_still() override { still_.reset(); }
  void now_showing(const std::string& media_file) override;
  void log_info(const std::string& line) override;
  void log_error(const std::string& line) override;

  // Only to tell whether a subscriber was handed this very object; never to be dereferenced.
  const void* last_published() const { return last_published_.load(); }

 private:
  void publish(OutgoingImage& image, Clock::Time frame_stamp, std::int64_t frame_number);

  ros::NodeHandle node_;
  ros::NodeHandle private_node_;
  const std::string line_tag_;
  ros::Publisher raw_pub_;
  ros::Publisher camera_info_pub_;
  OtherTransports other_transports_;
  ros::Publisher now_showing_pub_;
  ros::Publisher frame_media_pub_;
  ros::Publisher frame_label_pub_;
  PlayerDiagnostics& diagnostics_;
  OutgoingImage frame_;                 // a video's, written over frame after frame
  std::optional<OutgoingImage> still_;  // while a still plays
  ImageTakers takers_;                  // asked once for each image, before it is made ready
  std::string showing_;                 // the media file each frame's label names
  std::atomic<const void*> last_published_{nullptr};
};

}  // namespace zel
