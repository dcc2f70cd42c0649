#pragma once

#include <string>
#include <vector>

#include "zel_video_player/app/command_outcome.h"
#include "zel_video_player/sim/sim_clock.h"

namespace zel::demo {

// Beyond this a clock only floods its subscribers.
inline constexpr double SIM_CLOCK_MOST_HZ = 10000.0;

using SimClockCommandLine = CommandOutcome<SimClockOptions>;

// zel_sim_clock's command line, which sets the speed and the rate; `args` holds neither the program
// name nor ROS remapping arguments.
SimClockCommandLine parse_sim_clock_args(const std::vector<std::string>& args);

}  // namespace zel::demo
