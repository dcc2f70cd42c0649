#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <diagnostic_updater/diagnostic_updater.h>
#include <diagnostic_updater/update_functions.h>
#include <image_transport/image_transport.h>
#include <ros/callback_queue.h>
#include <ros/ros.h>
#include <sensor_msgs/Image.h>

#include "zel_video_player/player/frame_sink.h"
#include "zel_video_player/player/player_status.h"
#include "zel_video_player/player/ros/image_conversion.h"
#include "zel_video_player/world/locations.h"
#include "zel_video_player/player/ros/now_showing_conversion.h"
#include "zel_video_player/player/ros/outgoing_image.h"
#include "zel_video_player/player/play_state.h"

namespace zel {

// The image topic's rate in ROS time, as a camera's would be measured in simulation too: a clock
// that stands still (paused, or before its first /clock) is told as such, not as frames missing,
// and one that goes back starts the count afresh.
class FrameRateStatus : public diagnostic_updater::FrequencyStatus {
 public:
  using FrequencyStatus::FrequencyStatus;
  void run(diagnostic_updater::DiagnosticStatusWrapper& out) override;

 private:
  ros::Time last_run_;
};

// Everything the node publishes: the frames through image_transport, and for the ROS tools the
// points of interest (latched markers for RViz), the media on the camera now (latched
// ~now_showing, and ~frame_media for each frame) and the node's health on /diagnostics. Playback
// calls it from its one thread; the diagnostics run on a thread of their own, so they keep coming,
// and say so, when no frame does.
class RosOutputs : public FrameSink {
 public:
  // ros::init must have run. `state` must outlive this object. `node` resolves the image topic,
  // `private_node` the private topics; its namespace names the diagnostics entries.
  RosOutputs(const PlayState& state, const ros::NodeHandle& node, const ros::NodeHandle& private_node);
  ~RosOutputs() override;
  RosOutputs(const RosOutputs&) = delete;
  RosOutputs& operator=(const RosOutputs&) = delete;

  // Once, when the points are placed: latches the markers and starts the diagnostics.
  void show_points(const std::vector<Location>& points, double radius);

  cv::Mat frame_buffer(int width, int height) override;
  void send_frame(const cv::Mat& pixels) override;
  void prepare_still(const cv::Mat& picture) override;
  void send_still() override { publish_frame(*still); }
  void playback_began(const std::string& clip_name, MediaKind kind) override;
  // A clip not ready when due, rather than opened ahead, makes a visible pause.
  void clip_started(bool was_ready) override { status.clip_started(was_ready); }
  void media_failed(const std::string& clip_name, const std::string& path, const std::string& problem) override;
  void showing_nothing() override;
  void log_info(const std::string& line) override;
  void log_error(const std::string& line) override;

  // Only to tell whether a subscriber was handed this very object; never to be dereferenced.
  const void* last_published() const { return last_published_.load(); }

 private:
  void publish_frame(OutgoingImage& image);
  void report_playback(diagnostic_updater::DiagnosticStatusWrapper& out);

  const PlayState& state;
  ros::NodeHandle node;
  ros::NodeHandle private_node;
  ros::Publisher raw_pub;
  image_transport::Publisher other_transports;
  ros::Publisher markers_pub;
  ros::Publisher now_showing_pub;
  ros::Publisher frame_media_pub;
  // Mirrors roscpp's count of the image topic's messages, which numbers the frames on the wire.
  std::uint32_t image_seq = 0;

  const ImageConverter bridge{};
  ImageConverter::FrameSlot slot;  // the frame being decoded
  // The last video frame's message, written over by the next frame once no one else holds it:
  // a fresh 6 MB buffer costs more to first touch than to fill.
  sensor_msgs::ImagePtr recycled_frame;
  ros::SerializedMessage recycled_bytes;  // the last video frame's bytes for other processes, likewise
  std::optional<OutgoingImage> still;
  std::atomic<const void*> last_published_{nullptr};

  std::vector<Location> points;  // set by show_points before the diagnostics start
  PlayerStatus status;

  double image_rate_floor;
  double image_rate_ceiling;
  diagnostic_updater::Updater updater;
  FrameRateStatus image_frequency;
  ros::CallbackQueue diagnostics_queue;
  ros::WallTimer diagnostics_timer;
  std::optional<ros::AsyncSpinner> diagnostics_spinner;
};

}  // namespace zel
