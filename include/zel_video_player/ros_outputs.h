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

#include "zel_video_player/locations.h"
#include "zel_video_player/now_showing_conversion.h"
#include "zel_video_player/outgoing_image.h"
#include "zel_video_player/pose_tracking.h"

namespace zel {

// Everything the node publishes: the frames through image_transport, and for the ROS tools the
// points of interest (latched markers for RViz), the media on the camera now (latched
// ~now_showing) and the node's health on /diagnostics. The player calls it from the main thread;
// the diagnostics run on a thread of their own, so they keep coming, and say so, when no frame does.
class RosOutputs {
 public:
  // ros::init must have run. `state` must outlive this object; `node` resolves the image topic.
  RosOutputs(const PlayState& state, const ros::NodeHandle& node);
  ~RosOutputs();
  RosOutputs(const RosOutputs&) = delete;
  RosOutputs& operator=(const RosOutputs&) = delete;

  // Once, when the points are placed: latches the markers and starts the diagnostics.
  void show_points(const std::vector<Location>& points, double radius);

  // Just before the first frame of a playback, so the name never announces media that fails.
  void playback_began(const std::string& clip_name, MediaKind kind);

  // The raw frames go out through OutgoingImage, which keeps a large picture from starving
  // roscpp's network thread; image_transport serves its other transports (compressed, theora) when
  // someone subscribes to them.
  void publish_frame(OutgoingImage& image) {
    image.publish(raw_pub);
    if (other_transports.getNumSubscribers() > 0) other_transports.publish(image.message());
    image_frequency.tick();
  }

  void media_failed() { media_failures.fetch_add(1); }

  // A clip not ready when due, rather than opened ahead, makes a visible pause.
  void clip_started(bool was_ready) { (was_ready ? clips_ready_ahead : clips_opened_when_due).fetch_add(1); }

 private:
  void report_playback(diagnostic_updater::DiagnosticStatusWrapper& out);

  const PlayState& state;
  ros::NodeHandle node;
  ros::NodeHandle private_node{"~"};
  ros::Publisher raw_pub;
  image_transport::Publisher other_transports;
  ros::Publisher markers_pub;
  ros::Publisher now_showing_pub;

  std::vector<Location> points;                // set by show_points before the diagnostics start
  std::shared_ptr<const std::string> showing;  // replaced whole by the main thread
  std::atomic<std::uint64_t> media_failures{0};
  std::atomic<std::uint64_t> clips_ready_ahead{0};
  std::atomic<std::uint64_t> clips_opened_when_due{0};

  double image_rate_floor;
  double image_rate_ceiling;
  diagnostic_updater::Updater updater;
  diagnostic_updater::FrequencyStatus image_frequency;
  ros::CallbackQueue diagnostics_queue;
  ros::WallTimer diagnostics_timer;
  std::optional<ros::AsyncSpinner> diagnostics_spinner;
};

}  // namespace zel
