#pragma once

#include <iostream>
#include <string>
#include <vector>

#include "zel_video_player/command_line.h"

namespace zel {

// What start-up decided: play with the settings, or end with the status once the text is shown.
struct StartUp {
  enum class Kind { play, help, usage_error, media_missing };

  Kind kind = Kind::play;
  Settings settings;  // to play with: the folder ends in "/" and holds a clip for every name
  std::string text;   // the help or the usage error; a missing medium has been logged already

  int exit_status() const;
};

// The steps that the program and the nodelet share once the node runs: announce the start, read
// the command line, echo the settings to `out` and check the media folder. `args` excludes the
// program name and ROS remapping arguments. Throws EmptyVideoFolder when the folder is "".
StartUp start_up(const std::vector<std::string>& args, const std::string& program_path,
                 std::ostream& out = std::cout);

}  // namespace zel
