#include "zel_video_player/player/ros/ros_outputs.h"

#include <algorithm>
#include <limits>

#include <std_msgs/String.h>
#include <visualization_msgs/MarkerArray.h>

#include "zel_video_player/player/ros/diagnostics_conversion.h"
#include "zel_video_player/player/ros/marker_conversion.h"
#include "zel_video_player/player/names.h"
#include "zel_video_player/player/playback.h"
#include "zel_video_player/world/formatting.h"

namespace zel {
namespace {

constexpr double RATE_TOLERANCE = 0.1;  // warns below 27 a second, as a camera driver would
constexpr double DIAGNOSTICS_PERIOD = 1.0;
constexpr int FREQUENCY_WINDOW = 2;  // periods: no frame for 2 s is an error
// A test scoring its detector wants every change, even when it reads slowly.
constexpr uint32_t NOW_SHOWING_QUEUE = 10;
// Labels are small: a few seconds of them wait for a subscriber that reads slowly.
constexpr uint32_t FRAME_MEDIA_QUEUE = 300;

constexpr uint32_t IMAGE_QUEUE = 1;
constexpr const char* RAW_PLUGIN = "image_transport/raw";

// image_transport would publish the raw frames too, but through roscpp's own serialisation, which
// a large picture turns into a standstill; its raw transport is switched off for this topic the way
// image_transport offers, keeping whatever else the user switched off. Without any other transport
// installed there is nothing for it to do.
image_transport::Publisher advertise_other_transports(const ros::NodeHandle& node) {
  image_transport::ImageTransport transports(node);
  const std::vector<std::string> loadable = transports.getLoadableTransports();
  if (std::all_of(loadable.begin(), loadable.end(), [](const std::string& name) { return name == RAW_PLUGIN; })) {
    return {};
  }
  const std::string switched_off = node.resolveName(IMAGE_TOPIC) + "/disable_pub_plugins";
  std::vector<std::string> plugins;
  node.getParam(switched_off, plugins);
  if (std::find(plugins.begin(), plugins.end(), RAW_PLUGIN) == plugins.end()) {
    plugins.emplace_back(RAW_PLUGIN);
    node.setParam(switched_off, plugins);
  }
  return transports.advertise(IMAGE_TOPIC, IMAGE_QUEUE);
}

}  // namespace

void FrameRateStatus::run(diagnostic_updater::DiagnosticStatusWrapper& out) {
  const ros::Time now = ros::Time::now();
  const bool standing_still = ros::Time::isSimTime() && now == last_run_;
  if (now < last_run_) clear();
  last_run_ = now;
  if (standing_still) {
    fill_clock_standing_still(now.isZero(), out);
  } else {
    FrequencyStatus::run(out);
  }
}

RosOutputs::RosOutputs(const PlayState& state, const ros::NodeHandle& node,
                       const ros::NodeHandle& private_node)
    : state(state),
      node(node),
      private_node(private_node),
      raw_pub(this->node.advertise<sensor_msgs::Image>(IMAGE_TOPIC, IMAGE_QUEUE)),
      other_transports(advertise_other_transports(this->node)),
      markers_pub(this->private_node.advertise<visualization_msgs::MarkerArray>(POINTS_OF_INTEREST_TOPIC, 1, true)),
      now_showing_pub(this->private_node.advertise<std_msgs::String>(NOW_SHOWING_TOPIC, NOW_SHOWING_QUEUE, true)),
      frame_media_pub(this->private_node.advertise<diagnostic_msgs::KeyValue>(FRAME_MEDIA_TOPIC, FRAME_MEDIA_QUEUE)),
      image_rate_floor(Playback::IMAGE_RATE_FLOOR),
      image_rate_ceiling(std::numeric_limits<double>::infinity()),
      updater(this->node, this->private_node, this->private_node.getNamespace()),
      image_frequency(diagnostic_updater::FrequencyStatusParam(&image_rate_floor, &image_rate_ceiling,
                                                               RATE_TOLERANCE, FREQUENCY_WINDOW),
                      raw_pub.getTopic() + " frequency") {
  updater.setHardwareID("none");
  updater.add(image_frequency);
  updater.add("playback", this, &RosOutputs::report_playback);
}

RosOutputs::~RosOutputs() {
  if (diagnostics_spinner) diagnostics_spinner->stop();
  diagnostics_timer.stop();
}

void RosOutputs::show_points(const std::vector<Location>& placed, double radius) {
  points = placed;
  if (points.size() > MAX_MARKED_POINTS) {
    ROS_WARN_STREAM(LOG_PREFIX << "RViz is shown the first " << MAX_MARKED_POINTS << " of "
                                                                 << points.size() << " points of interest");
  }
  markers_pub.publish(points_of_interest_markers(points, radius));

  ros::NodeHandle diagnostics_node;
  diagnostics_node.setCallbackQueue(&diagnostics_queue);
  diagnostics_timer = diagnostics_node.createWallTimer(ros::WallDuration(DIAGNOSTICS_PERIOD),
                                                       [this](const ros::WallTimerEvent&) { updater.force_update(); });
  diagnostics_spinner.emplace(1, &diagnostics_queue);
  diagnostics_spinner->start();
}

cv::Mat RosOutputs::frame_buffer(int width, int height) {
  // A still may be a phone photo of tens of megabytes: it is not kept while videos play.
  still.reset();
  slot = bridge.frame_slot(width, height, std::move(recycled_frame));
  return slot.pixels;
}

void RosOutputs::send_frame(const cv::Mat& pixels) {
  slot.pixels = pixels;
  sensor_msgs::ImagePtr message = slot.holds_frame() ? std::move(slot.message) : bridge.to_message(pixels);
  slot = {};
  {
    OutgoingImage outgoing(message, std::move(recycled_bytes));
    publish_frame(outgoing);
    recycled_bytes = outgoing.spare();
  }
  recycled_frame = std::move(message);
}

void RosOutputs::prepare_still(const cv::Mat& picture) { still.emplace(bridge.to_message(picture)); }

// The raw frames go out through OutgoingImage, which keeps a large picture from starving roscpp's
// network thread; image_transport serves its other transports (compressed, theora) when someone
// subscribes to them.
//
// ~now_showing goes out before a playback's first frame, but on a connection of its own, which a
// subscriber may read later than the image topic's: each frame's own label on ~frame_media tells
// exactly what it shows, whichever comes first.
void RosOutputs::publish_frame(OutgoingImage& image) {
  last_published_.store(image.message().get());
  if (image.publish(raw_pub)) {
    const std::uint32_t seq = image_seq++;
    if (frame_media_pub.getNumSubscribers() > 0) {
      frame_media_pub.publish(frame_media_message(seq, *status.showing()));
    }
  }
  if (other_transports.getNumSubscribers() > 0) other_transports.publish(image.message());
  image_frequency.tick();
}

void RosOutputs::log_info(const std::string& line) { ROS_INFO_STREAM(line); }

void RosOutputs::log_error(const std::string& line) { ROS_ERROR_STREAM(line); }

void RosOutputs::playback_began(const std::string& clip_name, MediaKind kind) {
  now_showing_pub.publish(now_showing_message(status.playback_began(clip_name, kind)));
}

void RosOutputs::media_failed(const std::string& clip_name, const std::string& path, const std::string& problem) {
  status.media_failed(clip_name, state.location(), path + " " + problem);
}

// A late subscriber to the latched name must not be told of media that no longer shows.
void RosOutputs::showing_nothing() {
  if (status.showing_nothing()) now_showing_pub.publish(now_showing_message(""));
}

void RosOutputs::report_playback(diagnostic_updater::DiagnosticStatusWrapper& out) {
  fill_playback_status(status.snapshot(state.location(), state.to_play()), points, out);
}

}  // namespace zel
