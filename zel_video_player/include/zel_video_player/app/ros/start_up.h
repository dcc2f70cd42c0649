#pragma once

#include <iostream>
#include <string>
#include <vector>

#include "zel_video_player/app/command_line.h"

namespace zel {

// The steps that the program and the nodelet share once the node runs: announce the start, read
// the command line, echo the settings to `out` and check the media folder. `args` excludes the
// program name and ROS remapping arguments. Throws EmptyVideoFolder when the folder is "". To run,
// the settings' folder ends in "/" and holds a clip for every name; an incomplete one is a failure.
ParseOutcome start_up(const std::vector<std::string>& args, const std::string& program_path,
                 std::ostream& out = std::cout);

}  // namespace zel
