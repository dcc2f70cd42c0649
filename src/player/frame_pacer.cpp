#include "zel_video_player/frame_pacer.h"

namespace zel {

FramePacer::FramePacer(double hz, Clock::time_point start)
    : period_(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / hz))),
      start_(start) {}

FramePacer::Clock::time_point FramePacer::next_deadline(Clock::time_point now) {
  const Clock::time_point deadline = start_ + period_;
  start_ = now > deadline + period_ ? now : deadline;
  return deadline;
}

}  // namespace zel
