// A simulation's clock for the demo: publishes /clock at a multiple of real speed, as a simulator or
// `rosbag play --clock` would, so that nodes started with /use_sim_time run faster or slower.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <ros/ros.h>
#include <rosgraph_msgs/Clock.h>

#include "zel_video_player/app/command_outcome.h"
#include "zel_video_player/app/number_text.h"
#include "zel_video_player/app/ros/stop_signals.h"
#include "zel_video_player/world/formatting.h"

namespace {

using Steady = std::chrono::steady_clock;

// roscpp takes a zero time for "no clock yet", so the simulated time begins just after it.
constexpr std::int64_t START_NANOSECONDS = 1'000'000'000;
// The longest sleep between two looks at a stop request, whatever the message rate.
constexpr double LONGEST_SLEEP_SECONDS = 0.05;
// Beyond this a clock only floods its subscribers.
constexpr double MOST_HZ = 10000.0;

struct ClockOptions {
  double speed = 1.0;
  double hz = 100.0;
};

using ClockCommandLine = zel::CommandOutcome<ClockOptions>;

const char* const USAGE = "usage: zel_sim_clock [-h] [--speed N] [--hz H]\n";

std::string help() {
  return std::string(USAGE) +
         "\n"
         "Publishes rosgraph_msgs/Clock on /clock, as a simulator would, for nodes started with the\n"
         "parameter /use_sim_time true. The simulated time begins at 1 s and runs at N times real speed,\n"
         "counted from a steady clock, so it never drifts from that pace.\n"
         "\n"
         "  --speed N   how many simulated seconds pass in a real one (default 1)\n"
         "  --hz H      messages a second of real time, at most 10000 (default 100)\n";
}

double positive_value(const std::string& option, const std::string& text, double most,
                      const std::string& expectation) {
  const auto value = zel::parse_real(text);
  if (!value || !std::isfinite(*value) || *value <= 0.0 || *value > most) {
    throw zel::UsageError(option + " needs " + expectation + ", not '" + text + "'");
  }
  return *value;
}

// `args` holds neither the program name nor ROS remapping arguments.
ClockCommandLine parse_clock_args(const std::vector<std::string>& args) {
  ClockCommandLine result;
  try {
    for (std::size_t i = 0; i < args.size(); ++i) {
      const std::string& arg = args[i];
      if (arg == "-h" || arg == "--help") {
        result.kind = ClockCommandLine::Kind::help;
        result.text = help();
        return result;
      }
      const auto equals = arg.find('=');
      const std::string option = arg.substr(0, equals);
      if (option != "--speed" && option != "--hz") throw zel::UsageError("unknown argument '" + arg + "'");
      std::string value;
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        throw zel::UsageError(arg + " needs a value");
      }
      if (option == "--speed") {
        result.options.speed =
            positive_value(option, value, std::numeric_limits<double>::max(), "a positive number");
      } else {
        result.options.hz = positive_value(option, value, MOST_HZ, "a positive number of at most 10000");
      }
    }
  } catch (const zel::UsageError& error) {
    result.kind = ClockCommandLine::Kind::usage_error;
    result.text = std::string(USAGE) + "zel_sim_clock: error: " + error.what() + "\n";
  }
  return result;
}

// The simulated time `elapsed` real seconds after the start; nothing once it is past what a
// ros::Time holds.
std::optional<ros::Time> simulated_time(double speed, std::chrono::nanoseconds elapsed) {
  const double nanoseconds = START_NANOSECONDS + speed * static_cast<double>(elapsed.count());
  constexpr double LAST = (static_cast<double>(std::numeric_limits<std::uint32_t>::max()) + 1.0) * 1e9;
  if (!(nanoseconds < LAST)) return std::nullopt;
  ros::Time time;
  time.fromNSec(static_cast<std::uint64_t>(std::llround(nanoseconds)));
  return time;
}

// Paced by the steady clock alone: ros::Time in this process follows /clock itself when
// /use_sim_time is set.
int publish_clock(const ClockOptions& options) {
  ros::NodeHandle node;
  ros::Publisher publisher = node.advertise<rosgraph_msgs::Clock>("/clock", 1);
  std::cout << "zel_sim_clock: /clock from 1 s at " << zel::format_real(options.speed) << " times real speed, "
            << zel::format_real(options.hz) << " messages a second" << std::endl;
  const auto start = Steady::now();
  double next_tick = 0.0;  // seconds after the start
  while (ros::ok()) {
    const auto elapsed = Steady::now() - start;
    const double elapsed_seconds = std::chrono::duration<double>(elapsed).count();
    if (elapsed_seconds >= next_tick) {
      rosgraph_msgs::Clock message;
      const auto time = simulated_time(options.speed, elapsed);
      if (!time) {
        std::cerr << "zel_sim_clock: the simulated time went past the last time ROS can hold" << std::endl;
        ros::shutdown();
        return 1;
      }
      message.clock = *time;
      publisher.publish(message);
      // A late tick is dropped, not made up for with a burst.
      next_tick = (std::floor(elapsed_seconds * options.hz) + 1.0) / options.hz;
    }
    const double wait = std::min(next_tick - elapsed_seconds, LONGEST_SLEEP_SECONDS);
    std::this_thread::sleep_for(std::chrono::duration<double>(std::max(wait, 0.0)));
  }
  ros::shutdown();
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
  const ClockCommandLine command = parse_clock_args(std::vector<std::string>(args.begin() + 1, args.end()));
  if (command.kind == ClockCommandLine::Kind::help) {
    std::cout << command.text;
    return 0;
  }
  if (command.kind == ClockCommandLine::Kind::usage_error) {
    std::cerr << command.text;
    return 2;
  }
  zel::handle_stop_signals();
  // Waits for the master; a stop signal ends the wait.
  ros::start();
  if (!ros::ok() || zel::stop_signal_received()) {
    ros::shutdown();
    return 0;
  }
  return publish_clock(command.options);
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
