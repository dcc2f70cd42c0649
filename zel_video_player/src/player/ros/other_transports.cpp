#include "zel_video_player/player/ros/other_transports.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <ros/master.h>

#include "zel_video_player/player/ros/master_answer.h"
#include "zel_video_player/player/ros/names.h"
#include "zel_video_player/text/formatting.h"

namespace zel {
namespace {

using XmlRpc::XmlRpcValue;

constexpr const char* RAW_PLUGIN = "image_transport/raw";
constexpr const char* COMPRESSED_PLUGIN = "image_transport/compressed";

// What the master holds under a parameter's name, once it answered; nothing when it holds nothing.
struct MasterParameter {
  bool answered = false;
  std::optional<XmlRpcValue> value;
};

// Waits for the master as roscpp's own calls do: only a shutdown leaves it unanswered, so a value
// that is there is never taken for one that is not.
MasterParameter ask_master(const std::string& name) {
  XmlRpcValue request;
  request[0] = ros::this_node::getName();
  request[1] = name;
  XmlRpcValue response;
  XmlRpcValue value;
  if (ros::master::execute("getParam", request, response, value, true)) return {true, value};
  return {master_answered(response), std::nullopt};
}

bool lists(const XmlRpcValue& plugins, const std::string& plugin) {
  for (int i = 0; i < plugins.size(); ++i) {
    if (plugins[i].getType() == XmlRpcValue::TypeString && std::string(plugins[i]) == plugin) return true;
  }
  return false;
}

// image_transport would publish the raw frames too, through roscpp's own serialisation, which a
// large picture turns into a standstill. It reads which of its transports to leave out only while
// it advertises a topic, so raw is left out just for the player's own advertising, beside what the
// user left out, and the parameter is put back right after: a publisher that comes later on the
// topic, image_transport's republish say, still publishes raw, and a value of the user's stays
// theirs. One that changed meanwhile (a master that restarted holds none) is not ours to put back.
class RawLeftOutWhileAdvertising {
 public:
  explicit RawLeftOutWhileAdvertising(const std::string& topic) : name_(topic + "/disable_pub_plugins") {
    const MasterParameter found = ask_master(name_);
    if (!found.answered) return;
    XmlRpcValue plugins;
    plugins.setSize(0);
    if (found.value && found.value->getType() == XmlRpcValue::TypeArray) {
      if (lists(*found.value, RAW_PLUGIN)) return;
      for (int i = 0; i < found.value->size(); ++i) {
        if ((*found.value)[i].getType() == XmlRpcValue::TypeString) plugins[plugins.size()] = (*found.value)[i];
      }
    }
    plugins[plugins.size()] = std::string(RAW_PLUGIN);
    before_ = found.value;
    ros::param::set(name_, plugins);
    set_ = plugins;
  }

  ~RawLeftOutWhileAdvertising() {
    if (!set_) return;
    const MasterParameter now = ask_master(name_);
    if (!now.answered || !now.value || !(*now.value == *set_)) return;
    if (before_) {
      ros::param::set(name_, *before_);
    } else {
      XmlRpcValue request;
      request[0] = ros::this_node::getName();
      request[1] = name_;
      XmlRpcValue response;
      XmlRpcValue ignored;
      ros::master::execute("deleteParam", request, response, ignored, true);
    }
  }

  RawLeftOutWhileAdvertising(const RawLeftOutWhileAdvertising&) = delete;
  RawLeftOutWhileAdvertising& operator=(const RawLeftOutWhileAdvertising&) = delete;

 private:
  const std::string name_;
  std::optional<XmlRpcValue> before_;  // the user's value
  std::optional<XmlRpcValue> set_;     // what was put in its place, while it is there
};

// Without any other transport installed there is nothing for image_transport to do.
image_transport::Publisher advertise_other_transports(const ros::NodeHandle& node, const std::string& line_tag) {
  image_transport::ImageTransport transports(node);
  const std::vector<std::string> loadable = transports.getLoadableTransports();
  // The package always brings a compressed transport; pluginlib finds it only through the
  // environment of a workspace, which a program started by its path lacks.
  if (std::find(loadable.begin(), loadable.end(), COMPRESSED_PLUGIN) == loadable.end()) {
    ROS_WARN_STREAM(line_tag << LOG_PREFIX << "image_transport finds no compressed transport, so "
                             << node.resolveName(IMAGE_TOPIC)
                             << "/compressed is not published; source the workspace's setup.bash before starting "
                                "the player");
  }
  if (std::all_of(loadable.begin(), loadable.end(), [](const std::string& name) { return name == RAW_PLUGIN; })) {
    return {};
  }
  const RawLeftOutWhileAdvertising raw_left_out(node.resolveName(IMAGE_TOPIC));
  return transports.advertise(IMAGE_TOPIC, IMAGE_QUEUE);
}

}  // namespace

OtherTransports::OtherTransports(const ros::NodeHandle& node, const std::string& line_tag)
    : publisher_(advertise_other_transports(node, line_tag)) {
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
