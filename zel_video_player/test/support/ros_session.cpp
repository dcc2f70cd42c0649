#include "ros_session.h"

#include <cstdlib>
#include <memory>
#include <thread>

#include "zel_video_player/localiser_pose.h"

namespace zel::testing {

bool wait_until(double seconds, const std::function<bool()>& condition) {
  const ros::WallTime deadline = ros::WallTime::now() + ros::WallDuration(seconds);
  while (ros::WallTime::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

void start_ros_session(const std::string& node_name) {
  static std::unique_ptr<RosMaster> master;
  if (master) return;
  master = std::make_unique<RosMaster>();
  for (const auto& [key, value] : master->env()) ::setenv(key.c_str(), value.c_str(), 1);
  int argc = 1;
  char name[] = "zel_test";
  char* argv[] = {name, nullptr};
  ros::init(argc, argv, node_name, ros::init_options::NoSigintHandler);
  ros::start();
  static ros::AsyncSpinner spinner(1);
  spinner.start();
}

void send_pose(const ros::Publisher& poses, double x, double y) {
  wait_until(10.0, [&] { return poses.getNumSubscribers() > 0; });
  poses.publish(localiser_pose(x, y));
}

ImageRecorder::ImageRecorder(const std::string& topic) {
  ros::NodeHandle node;
  subscriber_ = node.subscribe(topic, 10000, &ImageRecorder::on_image, this);
}

void ImageRecorder::on_image(const sensor_msgs::ImageConstPtr& image) {
  const std::lock_guard<std::mutex> lock(mutex_);
  images_.push_back(image);
}

bool ImageRecorder::wait_for_publisher(double seconds) const {
  return wait_until(seconds, [this] { return subscriber_.getNumPublishers() > 0; });
}

bool ImageRecorder::wait_for_count(std::size_t count, double seconds) const {
  return wait_until(seconds, [this, count] { return this->count() >= count; });
}

std::size_t ImageRecorder::count() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return images_.size();
}

std::vector<sensor_msgs::ImageConstPtr> ImageRecorder::images() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return images_;
}

void ImageRecorder::clear() {
  const std::lock_guard<std::mutex> lock(mutex_);
  images_.clear();
}

}  // namespace zel::testing
