#include "support/sim_clock.h"

#include <chrono>
#include <stdexcept>

#include <rosgraph_msgs/Clock.h>

namespace zel::testing {
namespace {

constexpr const char* USE_SIM_TIME = "/use_sim_time";

}  // namespace

SimClock::SimClock(ros::NodeHandle& node, const SimClockOptions& options)
    : options_(options), publisher_(node.advertise<rosgraph_msgs::Clock>("/clock", 1)), thread_(&SimClock::run, this) {}

SimClock::~SimClock() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stop_asked_.notify_all();
  thread_.join();
  publisher_.shutdown();
}

void SimClock::run() {
  using Steady = std::chrono::steady_clock;
  const Steady::time_point start = Steady::now();
  const auto period = std::chrono::duration_cast<Steady::duration>(std::chrono::duration<double>(1.0 / options_.hz));
  // Ticks at fixed steady instants, so a late wake-up does not make the clock drift.
  Steady::time_point next = start;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    const double elapsed = std::chrono::duration<double>(Steady::now() - start).count();
    rosgraph_msgs::Clock message;
    message.clock.fromSec(options_.start_seconds + options_.speed * elapsed);
    lock.unlock();
    publisher_.publish(message);
    lock.lock();
    next += period;
    stop_asked_.wait_until(lock, next, [&] { return stopping_; });
  }
}

SimTimeParameter::SimTimeParameter() {
  ros::param::set(USE_SIM_TIME, true);
  bool set = false;
  // ros::param::set says nothing when the master refused.
  if (!ros::param::get(USE_SIM_TIME, set) || !set) throw std::runtime_error("could not set /use_sim_time on the master");
}

SimTimeParameter::~SimTimeParameter() { ros::param::del(USE_SIM_TIME); }

}  // namespace zel::testing
