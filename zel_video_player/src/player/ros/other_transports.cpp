#include "zel_video_player/player/ros/other_transports.h"

#include <algorithm>
#include <string>
#include <vector>

#include "zel_video_player/player/ros/names.h"
#include "zel_video_player/text/formatting.h"

namespace zel {
namespace {

constexpr const char* RAW_PLUGIN = "image_transport/raw";
constexpr const char* COMPRESSED_PLUGIN = "image_transport/compressed";

// image_transport would publish the raw frames too, but through roscpp's own serialisation, which
// a large picture turns into a standstill; its raw transport is switched off for this topic the way
// image_transport offers, keeping whatever else the user switched off. Without any other transport
// installed there is nothing for it to do.
image_transport::Publisher advertise_other_transports(const ros::NodeHandle& node) {
  image_transport::ImageTransport transports(node);
  const std::vector<std::string> loadable = transports.getLoadableTransports();
  // The package always brings a compressed transport; pluginlib finds it only through the
  // environment of a workspace, which a program started by its path lacks.
  if (std::find(loadable.begin(), loadable.end(), COMPRESSED_PLUGIN) == loadable.end()) {
    ROS_WARN_STREAM(LOG_PREFIX << "image_transport finds no compressed transport, so " << node.resolveName(IMAGE_TOPIC)
                               << "/compressed is not published; source the workspace's setup.bash before starting "
                                  "the player");
  }
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

OtherTransports::OtherTransports(const ros::NodeHandle& node) : publisher_(advertise_other_transports(node)) {
  if (publisher_) thread_ = std::thread(&OtherTransports::serve, this);
}

OtherTransports::~OtherTransports() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  offered_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void OtherTransports::offer(const sensor_msgs::ImageConstPtr& image) {
  if (!wanted()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    pending_ = image;
  }
  offered_.notify_one();
}

void OtherTransports::serve() {
  for (;;) {
    sensor_msgs::ImageConstPtr image;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      offered_.wait(lock, [this] { return stopping_ || pending_; });
      if (stopping_) return;
      image = std::move(pending_);
      pending_.reset();
    }
    publisher_.publish(image);
  }
}

}  // namespace zel
