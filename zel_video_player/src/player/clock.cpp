#include "zel_video_player/player/clock.h"

#include <algorithm>

namespace zel {

Clock::Time SteadyClock::now() const {
  return std::chrono::duration_cast<Time>(std::chrono::steady_clock::now().time_since_epoch());
}

Clock::Time SteadyClock::stamp_of(Time instant) const {
  constexpr Time LARGEST_DRIFT = std::chrono::milliseconds(1);
  const Time real = std::chrono::duration_cast<Time>(std::chrono::system_clock::now().time_since_epoch());
  const Time offset = real - now();
  if (!real_minus_steady_ || std::chrono::abs(offset - *real_minus_steady_) > LARGEST_DRIFT) real_minus_steady_ = offset;
  return instant + *real_minus_steady_;
}

std::chrono::nanoseconds SteadyClock::wait_toward(Time deadline) const {
  return std::clamp<Time>(deadline - now(), Time::zero(), LONGEST_SLEEP);
}

}  // namespace zel
