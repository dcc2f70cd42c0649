#pragma once

#include <chrono>

namespace zel {

// Deadlines one period apart on any clock, kept the way a ROS rate keeps them: the time spent on a
// frame comes out of its wait, and a pacer that has fallen too far behind starts counting afresh
// rather than rushing frames out to catch up. Too far is more than a period, or more than
// `catch_up` when that is longer: a simulated clock that moves in steps of several periods has
// made every frame of the step due, and none is skipped.
class FramePacer {
 public:
  using Time = std::chrono::nanoseconds;

  FramePacer(double hz, Time start, Time catch_up = Time::zero());

  // When the current period ends, to wait until; moves on to the next period.
  Time next_deadline(Time now);

  // True when `now` lies too far past `deadline` to catch up.
  bool too_far_past(Time deadline, Time now) const;

  // Counts afresh from `now`: the clock jumped, and the deadlines before the jump mean nothing.
  void restart(Time now) { start_ = now; }

  // Where the current period began; a clock reading before it went back.
  Time period_start() const { return start_; }

 private:
  Time period_;
  Time catch_up_;
  Time start_;
};

}  // namespace zel
