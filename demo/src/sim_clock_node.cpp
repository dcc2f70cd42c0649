// A simulation's clock for the demo: publishes /clock at a multiple of real speed, as a simulator or
// `rosbag play --clock` would, so that nodes started with /use_sim_time run faster or slower.
#include <chrono>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include <ros/ros.h>

#include "zel_video_player/app/ros/stop_signals.h"
#include "zel_video_player/demo/sim_clock_options.h"
#include "zel_video_player/sim/sim_clock.h"
#include "zel_video_player/text/formatting.h"

namespace {

// The longest wait between two looks at a stop request.
constexpr std::chrono::milliseconds STOP_LOOK{50};

int publish_clock(const zel::SimClockOptions& options) {
  ros::NodeHandle node;
  const zel::SimClock clock(node, options);
  std::cout << "zel_sim_clock: /clock from 1 s at " << zel::format_real(options.speed) << " times real speed, "
            << zel::format_real(options.hz) << " messages a second" << std::endl;
  while (ros::ok() && !clock.ran_out()) std::this_thread::sleep_for(STOP_LOOK);
  if (clock.ran_out()) {
    std::cerr << "zel_sim_clock: the simulated time went past the last time ROS can hold" << std::endl;
    return 1;
  }
  return 0;
}

int run(int argc, char** argv) {
  // ros::init takes the remapping arguments out of the vector it is given; removeROSArgs needs
  // them all to hand back the rest.
  std::vector<char*> init_args(argv, argv + argc);
  int init_argc = argc;
  ros::init(init_argc, init_args.data(), "zel_sim_clock", ros::init_options::NoSigintHandler);
  std::vector<std::string> args;
  ros::removeROSArgs(argc, argv, args);
  const auto command = zel::demo::parse_sim_clock_args(std::vector<std::string>(args.begin() + 1, args.end()));
  if (command.kind != zel::demo::SimClockCommandLine::Kind::run) {
    (command.kind == zel::demo::SimClockCommandLine::Kind::help ? std::cout : std::cerr) << command.text;
    return command.exit_status();
  }
  zel::handle_stop_signals();
  // Waits for the master; a stop signal ends the wait.
  ros::start();
  if (!ros::ok() || zel::stop_signal_received()) {
    ros::shutdown();
    return 0;
  }
  const int status = publish_clock(command.options);
  ros::shutdown();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& error) {
    std::cerr << "zel_sim_clock: " << error.what() << std::endl;
    return 1;
  }
}
