#include "zel_video_player/player/frame_pacer.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace zel {
namespace {

// A period a hair too short would put two frames' stamps closer than a recorder's own rounding of
// 1/hz, which then drops every other frame; a hair too long slows nothing anyone can measure. The
// millionth of a nanosecond keeps 1/25 s, which a double holds a hair above 0.04, at 40 ms.
FramePacer::Time whole_nanoseconds_up(double seconds) {
  return FramePacer::Time(static_cast<FramePacer::Time::rep>(std::ceil(seconds * 1e9 - 1e-6)));
}

}  // namespace

FramePacer::FramePacer(double hz, const Clock& clock, WentBack went_back)
    : clock_(clock),
      went_back_(std::move(went_back)),
      period_(whole_nanoseconds_up(1.0 / hz)),
      catch_up_(std::max(period_, clock.step())),
      period_start_(clock.now()) {}

void FramePacer::wait_out_frame(const PlayState& state, std::uint64_t change, const StopRequested& stopping) {
  Time now = clock_.now();
  if (now < period_start_) restart_after_going_back(period_start_, now);
  Time deadline = next_deadline(now);
  const bool slept = now < deadline;
  while (now < deadline && state.change() == change && !stopping()) {
    state.wait_for_change(change, clock_.wait_toward(deadline));
    const Time woke = clock_.now();
    if (woke < now) {
      restart_after_going_back(now, woke);
      deadline = next_deadline(woke);
    }
    now = woke;
  }
  // Jumped ahead while the frame waited: the frames of the time it skipped are not sent.
  if (slept && too_far_past(deadline, now)) period_start_ = now;
}

FramePacer::Time FramePacer::next_deadline(Time now) {
  const Time deadline = period_start_ + period_;
  period_start_ = too_far_past(deadline, now) ? now : deadline;
  return deadline;
}

void FramePacer::restart_after_going_back(Time from, Time to) {
  went_back_(from, to);
  period_start_ = to;
}

}  // namespace zel
