#include "zel_video_player/player/frame_stamps.h"

#include <algorithm>

namespace zel {

std::int64_t FrameStamps::next(std::int64_t clock_now) {
  const bool went_back = clock_seen_ && clock_now < *clock_seen_;
  last_given_ = !clock_seen_ || went_back ? clock_now : std::max(clock_now, last_given_ + 1);
  clock_seen_ = clock_now;
  return last_given_;
}

}  // namespace zel
