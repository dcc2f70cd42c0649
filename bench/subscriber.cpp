#include "subscriber.h"

#include <fstream>
#include <stdexcept>

#include <ros/ros.h>
#include <sensor_msgs/Image.h>

#include "zel_video_player/player/names.h"

namespace zel::bench {

int run_subscriber(int argc, char** argv) {
  ros::init(argc, argv, "zel_bench_subscriber", ros::init_options::AnonymousName);
  std::string topic = IMAGE_TOPIC;
  std::string arrivals_path;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--topic" && i + 1 < argc) topic = argv[++i];
    else if (arg == "--arrivals" && i + 1 < argc) arrivals_path = argv[++i];
    else throw std::invalid_argument("unknown option " + arg);
  }
  ros::NodeHandle node;
  if (arrivals_path.empty()) {
    const ros::Subscriber subscriber = node.subscribe<sensor_msgs::Image>(
        topic, 2, [](const sensor_msgs::ImageConstPtr&) {}, ros::VoidConstPtr(), ros::TransportHints().tcpNoDelay());
    ros::spin();
    return 0;
  }
  const FrameProbe probe(node, topic);
  ros::spin();
  std::ofstream out(arrivals_path);
  out.precision(17);
  for (const auto& frame : probe.frames(0, probe.count())) {
    out << frame.seconds << ' ' << frame.clip_code << ' ' << frame.frame_index << '\n';
  }
  return out ? 0 : 1;
}

std::vector<ArrivedFrame> read_arrivals(const std::string& path) {
  std::ifstream in(path);
  std::vector<ArrivedFrame> frames;
  ArrivedFrame frame{};
  while (in >> frame.seconds >> frame.clip_code >> frame.frame_index) frames.push_back(frame);
  return frames;
}

}  // namespace zel::bench
