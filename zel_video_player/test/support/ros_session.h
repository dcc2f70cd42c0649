#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include <ros/ros.h>
#include <sensor_msgs/Image.h>

#include "process.h"

namespace zel::testing {

// Looks at `condition` every few milliseconds for up to `seconds` of wall time; its last answer.
bool wait_until(double seconds, const std::function<bool()>& condition);

// Starts a private master and makes this test process a ROS node of it, once per process.
void start_ros_session(const std::string& node_name);

// Publishes a position in the map frame, as a localiser would, once someone listens (for at most
// ten seconds).
void send_pose(const ros::Publisher& poses, double x, double y);

// Every image that arrives on a topic.
class ImageRecorder {
 public:
  explicit ImageRecorder(const std::string& topic);

  bool wait_for_publisher(double seconds) const;
  // Waits until at least `count` images have arrived; false on timeout.
  bool wait_for_count(std::size_t count, double seconds) const;
  std::size_t count() const;
  std::vector<sensor_msgs::ImageConstPtr> images() const;
  void clear();

 private:
  void on_image(const sensor_msgs::ImageConstPtr& image);

  mutable std::mutex mutex_;
  std::vector<sensor_msgs::ImageConstPtr> images_;
  ros::Subscriber subscriber_;
};

}  // namespace zel::testing
