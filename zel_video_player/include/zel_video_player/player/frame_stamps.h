#pragma once

#include <cstdint>
#include <optional>

namespace zel {

// The stamp each published frame carries: the ROS time of its publication, in nanoseconds. A
// simulator's /clock may step over several frame periods at once, and the frames of one step would
// then share a time; each is stamped a nanosecond after the one before, so a stamp names one frame
// alone, and the pairing of an image with its camera_info or a detector's result with its frame
// stays exact. A clock that went back (a looping bag, a reset simulator) is followed where it lands.
class FrameStamps {
 public:
  std::int64_t next(std::int64_t clock_now);

 private:
  std::optional<std::int64_t> clock_seen_;
  std::int64_t last_given_ = 0;
};

}  // namespace zel
