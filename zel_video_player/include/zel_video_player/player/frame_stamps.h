#pragma once

#include <cstdint>
#include <optional>

namespace zel {

// The stamp each published frame carries, in nanoseconds: the time it was due on the camera's
// pace, which the pacer keeps a period apart. A frame that was due no later than the one before it
// (a pacer started afresh on a clock that stood still) is stamped a nanosecond after it, so a stamp
// names one frame alone and the pairing of an image with its camera_info, or of a detector's
// result with its frame, stays exact. A clock that went back (a looping bag, a reset simulator) is
// followed where it lands.
class FrameStamps {
 public:
  std::int64_t next(std::int64_t due);

 private:
  std::optional<std::int64_t> due_seen_;
  std::int64_t last_given_ = 0;
};

}  // namespace zel
