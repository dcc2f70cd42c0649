#pragma once

#include <chrono>
#include <optional>

#include "zel_video_player/player/play_state.h"

namespace zel {

// The time that paces frames: steady wall time for a robot in the real world, the simulator's
// clock for one in simulation. Playback reads and sleeps on it from its one thread.
class Clock {
 public:
  using Time = std::chrono::nanoseconds;  // since the clock's own epoch

  virtual ~Clock() = default;

  virtual Time now() const = 0;

  // How far the clock may move at one step while it runs normally: a simulator's /clock can step
  // over several frame periods at once. A move beyond it is a jump.
  virtual Time step() const { return Time::zero(); }

  // Sleeps toward `deadline` of this clock; a change of point away from `from` or a stop request
  // in `state` ends the sleep at once. It may also end sooner, and within a tenth of a second of
  // wall time at the latest, so the caller looks at the clock, and at requests that cannot wake
  // it, again.
  virtual void sleep_toward(Time deadline, const PlayState& state, int from) const = 0;

  // The time a frame due at `instant` of this clock is stamped with: the instant itself on a
  // simulator's clock, which is ROS time already.
  virtual Time stamp_of(Time instant) const { return instant; }
};

class SteadyClock : public Clock {
 public:
  Time now() const override;
  void sleep_toward(Time deadline, const PlayState& state, int from) const override;
  // The real time, since 1970, of a steady instant. Frames due a period apart must be stamped
  // exactly a period apart, or a recorder that keeps one frame a period drops those that came a
  // hair early: the two clocks' offset is read anew only when it moved by more than a millisecond,
  // as when the system's time is set. Only the playing thread asks.
  Time stamp_of(Time instant) const override;

 private:
  mutable std::optional<Time> real_minus_steady_;
};

// Sleeps longer than this come back early to look at requests that do not wake the sleeper.
inline constexpr std::chrono::milliseconds LONGEST_SLEEP{100};

}  // namespace zel
