#include "zel_video_player/player/frame_stamps.h"

#include <algorithm>

namespace zel {

std::int64_t FrameStamps::next(std::int64_t due) {
  const bool went_back = due_seen_ && due < *due_seen_;
  last_given_ = !due_seen_ || went_back ? due : std::max(due, last_given_ + 1);
  due_seen_ = due;
  return last_given_;
}

}  // namespace zel
