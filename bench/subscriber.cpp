#include "subscriber.h"

#include <stdexcept>
#include <string>

#include <ros/ros.h>
#include <sensor_msgs/Image.h>

#include "zel_video_player/player/ros/names.h"

namespace zel::bench {

int run_subscriber(int argc, char** argv) {
  ros::init(argc, argv, "zel_bench_subscriber", ros::init_options::AnonymousName);
  if (argc > 2) throw std::invalid_argument("unknown option " + std::string(argv[2]));
  ros::NodeHandle node;
  const ros::Subscriber subscriber = node.subscribe<sensor_msgs::Image>(
      IMAGE_TOPIC, 2, [](const sensor_msgs::ImageConstPtr&) {}, ros::VoidConstPtr(), ros::TransportHints().tcpNoDelay());
  ros::spin();
  return 0;
}

}  // namespace zel::bench
