#pragma once

#include <chrono>

namespace zel {

// Steady deadlines one period apart, counted from the moment the pacer is made, kept the way a ROS
// rate keeps them: the time spent on a frame comes out of its wait, and a pacer that has fallen
// more than a whole period behind starts counting afresh rather than rushing frames out to catch up.
class FramePacer {
 public:
  using Clock = std::chrono::steady_clock;

  explicit FramePacer(double hz, Clock::time_point start = Clock::now());

  // When the current period ends, to wait until; moves on to the next period.
  Clock::time_point next_deadline(Clock::time_point now = Clock::now());

 private:
  Clock::duration period_;
  Clock::time_point start_;
};

}  // namespace zel
