#pragma once

// A simulator's clock for the tests and the demo, never part of the node, which only follows /clock.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include <ros/ros.h>

namespace zel {

// A simulated clock: its time starts at `start_seconds` and runs `speed` times as fast as the steady
// clock, sent `hz` times a real second.
struct SimClockOptions {
  double speed = 1.0;
  double hz = 100.0;
  // Zero is "no time yet" to a node in simulated time; a simulator starts just after it.
  double start_seconds = 1.0;
};

// /clock as a simulator or `rosbag play --clock` sends it, from a thread of its own while it lives.
// Each message carries the time of its sending, counted from a steady clock, and goes out at a
// fixed steady instant, so neither a late wake-up nor a skipped message makes the clock drift.
// Its own pace never follows ROS time, which in this process may be /clock itself.
class SimClock {
 public:
  // Throws std::invalid_argument for a speed or rate that is not positive, or a start before zero.
  SimClock(ros::NodeHandle& node, const SimClockOptions& options);
  // Stops the messages: to its subscribers the simulation stands still from then on.
  ~SimClock();
  SimClock(const SimClock&) = delete;
  SimClock& operator=(const SimClock&) = delete;

  struct Reading {
    double steady_seconds;       // when the reading was taken
    double ros_seconds;          // the last time sent
    double sent_steady_seconds;  // the steady instant that time stands for
    std::uint64_t messages;
  };
  Reading read() const;

  // Whether it stopped by itself, its time gone past the last a ros::Time holds.
  bool ran_out() const;

 private:
  void run();

  const SimClockOptions options_;
  ros::Publisher publisher_;
  mutable std::mutex mutex_;
  std::condition_variable stop_asked_;
  bool stopping_ = false;
  bool ran_out_ = false;
  double ros_seconds_;
  double sent_steady_seconds_ = 0.0;
  std::uint64_t messages_ = 0;
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

}  // namespace zel
