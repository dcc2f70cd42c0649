#pragma once

#include <cstdint>
#include <functional>

#include "zel_video_player/player/clock.h"
#include "zel_video_player/player/play_state.h"
#include "zel_video_player/cancellation.h"

namespace zel {

// Every decision about when a frame goes out, on any clock. Deadlines are kept one period apart the
// way a ROS rate keeps them: the time spent on a frame comes out of its wait, and a pacer that has
// fallen too far behind counts afresh rather than rushing frames out to catch up. Too far is more
// than a period, or more than the clock's step when that is longer: a simulated clock that moves in
// steps of several periods has made every frame of the step due, and none is skipped. A clock that
// goes back, as a looping bag's or a reset simulator's does, or jumps ahead while a frame waits is
// followed from where it lands, without a burst.
class FramePacer {
 public:
  using Time = Clock::Time;
  // Told each time the clock went back, from and to.
  using WentBack = std::function<void(Time from, Time to)>;

  // The first period starts now. `clock` must outlive the pacer.
  FramePacer(double hz, const Clock& clock, WentBack went_back);

  // Waits until the current frame's period is over. A change of scene after `change`, or a stop,
  // ends the wait at once, whatever the clock does: the switch is what a user watches.
  void wait_out_frame(const PlayState& state, std::uint64_t change, const StopRequested& stopping);

  // When the current frame is due, on the clock: the start of its period.
  Time due() const { return period_start_; }

 private:
  // When the current period ends, to wait until; moves on to the next period.
  Time next_deadline(Time now);
  bool too_far_past(Time deadline, Time now) const { return now > deadline + catch_up_; }
  void restart_after_going_back(Time from, Time to);

  const Clock& clock_;
  const WentBack went_back_;
  const Time period_;
  const Time catch_up_;
  Time period_start_;
};

}  // namespace zel
