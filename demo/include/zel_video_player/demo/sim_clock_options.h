#pragma once

#include <string>
#include <vector>

#include "zel_video_player/app/command_outcome.h"

namespace zel::demo {

// Beyond this a clock only floods its subscribers.
inline constexpr double SIM_CLOCK_MOST_HZ = 10000.0;

// A simulated clock: its time starts at `start_seconds` and runs `speed` times as fast as the steady
// clock, sent `hz` times a real second.
struct SimClockOptions {
  double speed = 1.0;
  double hz = 100.0;
  // Zero is "no time yet" to a node in simulated time; a simulator starts just after it.
  double start_seconds = 1.0;
};

using SimClockCommandLine = CommandOutcome<SimClockOptions>;

// zel_sim_clock's command line, which sets the speed and the rate; `args` holds neither the program
// name nor ROS remapping arguments.
SimClockCommandLine parse_sim_clock_args(const std::vector<std::string>& args);

}  // namespace zel::demo
