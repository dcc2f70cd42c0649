#include "zel_video_player/sim/sim_clock.h"

#include <chrono>
#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>

#include <rosgraph_msgs/Clock.h>

namespace zel {
namespace {

using Steady = std::chrono::steady_clock;

constexpr const char* USE_SIM_TIME = "/use_sim_time";
// A rate so low that its next message is further off would overflow a steady time point; it never
// comes.
constexpr std::chrono::hours LONGEST_WAIT{24 * 365 * 100};

double steady_seconds(Steady::time_point time) {
  return std::chrono::duration<double>(time.time_since_epoch()).count();
}

const SimClockOptions& checked(const SimClockOptions& options) {
  const auto positive = [](double value) { return std::isfinite(value) && value > 0.0; };
  if (!positive(options.speed) || !positive(options.hz) || !std::isfinite(options.start_seconds) ||
      options.start_seconds < 0.0) {
    throw std::invalid_argument("a simulated clock needs a positive speed and rate and a start of zero or more");
  }
  return options;
}

// The simulated time `elapsed` real seconds after the start; nothing once it is past what a
// ros::Time holds.
std::optional<ros::Time> simulated_time(const SimClockOptions& options, std::chrono::nanoseconds elapsed) {
  const double nanoseconds = options.start_seconds * 1e9 + options.speed * static_cast<double>(elapsed.count());
  constexpr double LAST = (static_cast<double>(std::numeric_limits<std::uint32_t>::max()) + 1.0) * 1e9;
  if (!(nanoseconds < LAST)) return std::nullopt;
  ros::Time time;
  time.fromNSec(static_cast<std::uint64_t>(std::llround(nanoseconds)));
  return time;
}

}  // namespace

SimClock::SimClock(ros::NodeHandle& node, const SimClockOptions& options)
    : options_(checked(options)),
      publisher_(node.advertise<rosgraph_msgs::Clock>("/clock", 1)),
      ros_seconds_(options.start_seconds),
      thread_(&SimClock::run, this) {}

SimClock::~SimClock() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stop_asked_.notify_all();
  thread_.join();
  publisher_.shutdown();
}

SimClock::Reading SimClock::read() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return {steady_seconds(Steady::now()), ros_seconds_, sent_steady_seconds_, messages_};
}

bool SimClock::ran_out() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return ran_out_;
}

void SimClock::run() {
  const Steady::time_point start = Steady::now();
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    const Steady::time_point now = Steady::now();
    const auto elapsed = now - start;
    const auto time = simulated_time(options_, elapsed);
    if (!time) {
      ran_out_ = true;
      return;
    }
    // Counted before it goes out, so a reader that has heard a message finds it counted.
    ros_seconds_ = time->toSec();
    sent_steady_seconds_ = steady_seconds(now);
    ++messages_;
    rosgraph_msgs::Clock message;
    message.clock = *time;
    lock.unlock();
    publisher_.publish(message);
    lock.lock();
    // A late tick is dropped, not made up for with a burst.
    const double next_tick = std::floor(std::chrono::duration<double>(elapsed).count() * options_.hz) + 1.0;
    const std::chrono::duration<double> due(next_tick / options_.hz);
    const auto stop_asked = [&] { return stopping_; };
    if (due < LONGEST_WAIT) {
      stop_asked_.wait_until(lock, start + std::chrono::duration_cast<Steady::duration>(due), stop_asked);
    } else {
      stop_asked_.wait(lock, stop_asked);
    }
  }
}

SimTimeParameter::SimTimeParameter() {
  ros::param::set(USE_SIM_TIME, true);
  bool set = false;
  // ros::param::set says nothing when the master refused.
  if (!ros::param::get(USE_SIM_TIME, set) || !set) throw std::runtime_error("could not set /use_sim_time on the master");
}

SimTimeParameter::~SimTimeParameter() { ros::param::del(USE_SIM_TIME); }

}  // namespace zel
