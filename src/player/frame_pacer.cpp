#include "zel_video_player/player/frame_pacer.h"

#include <algorithm>

namespace zel {

FramePacer::FramePacer(double hz, Time start, Time catch_up)
    : period_(std::chrono::duration_cast<Time>(std::chrono::duration<double>(1.0 / hz))),
      catch_up_(std::max(period_, catch_up)),
      start_(start) {}

FramePacer::Time FramePacer::next_deadline(Time now) {
  const Time deadline = start_ + period_;
  start_ = too_far_past(deadline, now) ? now : deadline;
  return deadline;
}

bool FramePacer::too_far_past(Time deadline, Time now) const { return now > deadline + catch_up_; }

}  // namespace zel
