#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include <ros/ros.h>

namespace zel::testing {

// A simulation's clock: its time starts at `start_seconds` and runs `speed` times as fast as the
// steady clock, sent `hz` times a real second.
struct SimClockOptions {
  double speed = 1.0;
  double hz = 100.0;
  double start_seconds = 1.0;
};

// /clock as a simulator or `rosbag play --clock` sends it, from a thread of its own while it lives.
class SimClock {
 public:
  SimClock(ros::NodeHandle& node, const SimClockOptions& options);
  // To its subscribers the simulation stands still from then on.
  ~SimClock();
  SimClock(const SimClock&) = delete;
  SimClock& operator=(const SimClock&) = delete;

 private:
  void run();

  const SimClockOptions options_;
  ros::Publisher publisher_;
  std::mutex mutex_;
  std::condition_variable stop_asked_;
  bool stopping_ = false;
  std::thread thread_;
};

// Sets /use_sim_time on the master for the nodes started while it lives, and deletes it after, so
// nodes started later keep wall time.
class SimTimeParameter {
 public:
  SimTimeParameter();
  ~SimTimeParameter();
  SimTimeParameter(const SimTimeParameter&) = delete;
  SimTimeParameter& operator=(const SimTimeParameter&) = delete;
};

}  // namespace zel::testing
