#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>

namespace zel {

// Lets the first report of a failure through at once and its repeats at most once per quiet
// period, so a broken clip that is retried every frame period does not flood the log.
class RepeatFilter {
 public:
  using Clock = std::chrono::steady_clock;

  explicit RepeatFilter(Clock::duration quiet_period) : quiet_period_(quiet_period) {}

  // The number of repeats held back since the last report let through, or nothing to hold this
  // one back too.
  std::optional<int> admit(const std::string& key, Clock::time_point now);

  // After a success the next failure is news again.
  void forget(const std::string& key) { last_reports_.erase(key); }

 private:
  struct LastReport {
    Clock::time_point when;
    int held_back;
  };

  Clock::duration quiet_period_;
  std::map<std::string, LastReport> last_reports_;
};

}  // namespace zel
