#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include <image_transport/image_transport.h>
#include <ros/ros.h>
#include <sensor_msgs/Image.h>

namespace zel {

// image_transport's transports other than raw (compressed, theora), served on a thread of their
// own: encoding a 1080p frame takes about as long as a frame period, and must hold back neither the
// raw frames nor the pace. The playing thread only offers each frame; one not yet taken when the
// next comes is replaced, so a slow encoder or subscriber only misses frames.
class OtherTransports {
 public:
  // Advertises `node`'s image topic to every transport but raw, when any other is installed.
  // Its log line begins with `line_tag`.
  OtherTransports(const ros::NodeHandle& node, const std::string& line_tag);
  ~OtherTransports();
  OtherTransports(const OtherTransports&) = delete;
  OtherTransports& operator=(const OtherTransports&) = delete;

  // Whether anyone subscribes to them.
  bool wanted() const { return publisher_ && publisher_.getNumSubscribers() > 0; }

  // From the playing thread. Nothing is kept while no one subscribes to them.
  void offer(const sensor_msgs::ImageConstPtr& image);

 private:
  void serve();

  image_transport::Publisher publisher_;
  std::mutex mutex_;  // held only to hand over or take the frame
  std::condition_variable offered_;
  sensor_msgs::ImageConstPtr pending_;
  bool stopping_ = false;
  std::thread thread_;  // the encoder thread: it alone publishes on publisher_
};

}  // namespace zel
