#include "zel_video_player/player/clock.h"

#include <algorithm>

namespace zel {

Clock::Time SteadyClock::now() const {
  return std::chrono::duration_cast<Time>(std::chrono::steady_clock::now().time_since_epoch());
}

void SteadyClock::sleep_toward(Time deadline, const PlayState& state, int from) const {
  state.wait_for_location_change(from, std::clamp<Time>(deadline - now(), Time::zero(), LONGEST_SLEEP));
}

}  // namespace zel
