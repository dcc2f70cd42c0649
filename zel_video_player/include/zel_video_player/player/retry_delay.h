#pragma once

#include <algorithm>
#include <chrono>

namespace zel {

// How long to wait before trying again media that showed nothing: the first wait, then twice as
// long each time it fails again, up to the ceiling. So a broken file costs next to nothing, and its
// decoder's complaints come rarely, once it has failed a few times; playback need not wait this
// long for media that is mended, which it sees change on disk.
class RetryDelay {
 public:
  using Duration = std::chrono::steady_clock::duration;

  RetryDelay(Duration first, Duration ceiling) : first_(first), ceiling_(ceiling), next_(first) {}

  Duration next() {
    const Duration now = next_;
    next_ = std::min(next_ * 2, ceiling_);
    return now;
  }

  void reset() { next_ = first_; }

 private:
  Duration first_;
  Duration ceiling_;
  Duration next_;
};

}  // namespace zel
