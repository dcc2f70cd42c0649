// An example consumer to load beside the player in one nodelet manager: it counts the images that
// reach it and every ~report_period seconds (5 by default) logs how many came, how fast and how
// evenly (the 99th percentile of the intervals between them). Each
// report also goes out on ~rate (std_msgs/Float64MultiArray, data: [images, seconds]), so a program
// reads the figure without parsing the log. In the same manager each image is the player's own
// message, handed over by pointer.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <nodelet/nodelet.h>
#include <pluginlib/class_list_macros.hpp>
#include <ros/ros.h>
#include <sensor_msgs/Image.h>
#include <std_msgs/Float64MultiArray.h>

#include "zel_video_player/demo/image_rate.h"
#include "zel_video_player/player/ros/names.h"

namespace zel {

class ImageRateNodelet : public nodelet::Nodelet {
 private:
  void onInit() override {
    const double period = getPrivateNodeHandle().param("report_period", 5.0);
    rate_publisher_ = getPrivateNodeHandle().advertise<std_msgs::Float64MultiArray>(zel::demo::IMAGE_RATE_TOPIC, 10);
    // Both callbacks run on this nodelet's one-at-a-time queue, so the counts need no lock.
    subscriber_ = getNodeHandle().subscribe(zel::IMAGE_TOPIC, 1, &ImageRateNodelet::on_image, this);
    timer_ = getNodeHandle().createWallTimer(ros::WallDuration(period), &ImageRateNodelet::report, this);
    since_ = ros::WallTime::now();
  }

  void on_image(const sensor_msgs::ImageConstPtr& image) {
    const ros::WallTime now = ros::WallTime::now();
    if (!last_arrival_.isZero()) intervals_.push_back((now - last_arrival_).toSec());
    last_arrival_ = now;
    ++count_;
    last_size_ = std::to_string(image->width) + "x" + std::to_string(image->height) + " " + image->encoding;
  }

  void report(const ros::WallTimerEvent&) {
    const ros::WallTime now = ros::WallTime::now();
    const double seconds = (now - since_).toSec();
    NODELET_INFO("%s: %llu images in %.1f s, %.1f per second, intervals p99 %.1f ms, last %s",
                 subscriber_.getTopic().c_str(), static_cast<unsigned long long>(count_), seconds, count_ / seconds,
                 interval_p99() * 1000, count_ ? last_size_.c_str() : "none");
    intervals_.clear();
    rate_publisher_.publish(rate_message(static_cast<double>(count_), seconds));
    count_ = 0;
    since_ = now;
  }

  double interval_p99() {
    if (intervals_.empty()) return 0;
    const auto at = intervals_.begin() + static_cast<std::ptrdiff_t>((intervals_.size() - 1) * 99 / 100);
    std::nth_element(intervals_.begin(), at, intervals_.end());
    return *at;
  }

  static std_msgs::Float64MultiArray rate_message(double images, double seconds) {
    std_msgs::Float64MultiArray message;
    message.layout.dim.resize(1);
    message.layout.dim[0].label = "images, seconds";
    message.layout.dim[0].size = 2;
    message.layout.dim[0].stride = 2;
    message.data.resize(2);
    message.data[zel::demo::IMAGE_RATE_IMAGES] = images;
    message.data[zel::demo::IMAGE_RATE_SECONDS] = seconds;
    return message;
  }

  ros::Subscriber subscriber_;
  ros::Publisher rate_publisher_;
  ros::WallTimer timer_;
  ros::WallTime since_;
  ros::WallTime last_arrival_;
  std::vector<double> intervals_;  // seconds between the images since the last report
  std::uint64_t count_ = 0;
  std::string last_size_;
};

}  // namespace zel

PLUGINLIB_EXPORT_CLASS(zel::ImageRateNodelet, nodelet::Nodelet)
