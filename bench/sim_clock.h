#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include <ros/ros.h>

namespace zel::bench {

// /clock as a simulator or `rosbag play --clock` sends it: ROS time running `speed` times as fast
// as the steady clock. Each message is due at a fixed steady instant and carries the ROS time of
// that instant, so neither a late wake-up nor a skipped message makes the clock drift.
class SimClock {
 public:
  static constexpr double MESSAGES_PER_SECOND = 1000.0;
  // Zero is "no time yet" to a node in simulated time; a simulator starts just after it.
  static constexpr double START_SECONDS = 1.0;

  SimClock(ros::NodeHandle& node, double speed);
  ~SimClock();
  SimClock(const SimClock&) = delete;
  SimClock& operator=(const SimClock&) = delete;

  struct Reading {
    double steady_seconds;  // when the reading was taken
    double ros_seconds;     // the last time sent
    std::uint64_t messages;
  };
  Reading read() const;

 private:
  void run();

  ros::Publisher publisher_;
  double speed_;
  std::atomic<double> ros_seconds_{0};
  std::atomic<std::uint64_t> messages_{0};
  std::atomic<bool> running_{true};
  std::thread thread_;
};

// Sets /use_sim_time on the master for the nodes started while it lives, and deletes it after, so
// nodes started later keep wall time. Nodes already running, this one included, are not affected:
// roscpp reads the parameter once, at start.
class SimTimeParameter {
 public:
  SimTimeParameter();
  ~SimTimeParameter();
  SimTimeParameter(const SimTimeParameter&) = delete;
  SimTimeParameter& operator=(const SimTimeParameter&) = delete;
};

}  // namespace zel::bench
