#include "sim_clock.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include <rosgraph_msgs/Clock.h>

#include "measures.h"

namespace zel::bench {
namespace {

constexpr const char* USE_SIM_TIME = "/use_sim_time";

}  // namespace

SimClock::SimClock(ros::NodeHandle& node, double speed)
    : publisher_(node.advertise<rosgraph_msgs::Clock>("/clock", 1)), speed_(speed) {
  ros_seconds_ = START_SECONDS;
  thread_ = std::thread(&SimClock::run, this);
}

SimClock::~SimClock() {
  running_ = false;
  thread_.join();
  publisher_.shutdown();
}

SimClock::Reading SimClock::read() const { return {now_seconds(), ros_seconds_.load(), messages_.load()}; }

void SimClock::run() {
  using Steady = std::chrono::steady_clock;
  const Steady::time_point start = Steady::now();
  const auto ticks_since_start = [&] {
    return static_cast<std::uint64_t>(std::chrono::duration<double>(Steady::now() - start).count() * MESSAGES_PER_SECOND);
  };
  const auto tick = [&](std::uint64_t k) {
    return start + std::chrono::duration_cast<Steady::duration>(
                       std::chrono::duration<double>(static_cast<double>(k) / MESSAGES_PER_SECOND));
  };
  std::uint64_t k = 0;
  while (running_) {
    const double ros_seconds = START_SECONDS + speed_ * static_cast<double>(k) / MESSAGES_PER_SECOND;
    rosgraph_msgs::Clock message;
    message.clock.fromSec(ros_seconds);
    publisher_.publish(message);
    ros_seconds_ = ros_seconds;
    ++messages_;
    // After a late wake-up the messages already overdue are skipped, not sent in a burst.
    k = std::max(k + 1, ticks_since_start());
    std::this_thread::sleep_until(tick(k));
  }
}

SimTimeParameter::SimTimeParameter() {
  ros::param::set(USE_SIM_TIME, true);
  bool set = false;
  // ros::param::set says nothing when the master refused.
  if (!ros::param::get(USE_SIM_TIME, set) || !set) throw std::runtime_error("could not set /use_sim_time on the master");
}

SimTimeParameter::~SimTimeParameter() { ros::param::del(USE_SIM_TIME); }

}  // namespace zel::bench
