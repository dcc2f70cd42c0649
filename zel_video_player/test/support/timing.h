#pragma once

#include <algorithm>

namespace zel::testing {

// Sanitizer builds run several times slower, and slower still on a machine busy with other work.
// Bounds on elapsed time and on CPU time that tell prompt from late stretch by this factor there;
// elsewhere it is 1.
inline constexpr int TIMING_SLACK = ZEL_TIMING_SLACK;

// A bound of `seconds` of CPU time over a window of `window_seconds`, stretched by the slack but
// kept below 90 % of the window, so that a thread that spins through it still goes over.
constexpr double cpu_seconds_bound(double seconds, double window_seconds) {
  return std::min(seconds * TIMING_SLACK, 0.9 * window_seconds);
}

}  // namespace zel::testing
