#pragma once

#include <chrono>
#include <optional>


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

  // How long to wait, in wall time, before looking at this clock again on the way to `deadline`: a
  // tenth of a second at most, so the caller also looks again at requests that cannot wake it.
  // The caller's wait ends at once when the robot's point changes.
  virtual std::chrono::nanoseconds wait_toward(Time deadline) const = 0;

  // The time a frame due at `instant` of this clock is stamped with: the instant itself on a
  // simulator's clock, which is ROS time already.
  virtual Time stamp_of(Time instant) const { return instant; }
};

class SteadyClock : public Clock {
 public:
  Time now() const override;
  std::chrono::nanoseconds wait_toward(Time deadline) const override;
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
