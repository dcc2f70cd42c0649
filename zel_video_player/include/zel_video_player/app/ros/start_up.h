#pragma once

#include <iostream>
#include <string>

#include "zel_video_player/app/command_line.h"

namespace zel {

// What every start says once its command line is read, the program's and the nodelet's alike:
// announce the start, and for a run echo the settings to `out` and check the media folder. For
// a run the node must be running, since the check logs what is missing; a start that only shows
// help or a usage error needs no node. Its log lines begin with `line_tag`, as a nodelet's `out`
// begins each printed one (TaggedLines). Throws EmptyVideoFolder when the folder is "". To run,
// the settings' folder ends in "/" and holds a clip for every name; an incomplete one is a failure.
ParseOutcome start_up(ParseOutcome parsed, std::ostream& out = std::cout, const std::string& line_tag = "");

}  // namespace zel
