#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "zel_video_player/app/command_outcome.h"
#include "zel_video_player/player/settings.h"

namespace zel {

// What the command line asks for: to run with settings, help, or a usage error.
using ParseOutcome = CommandOutcome<Settings>;

// `args` excludes the program name and ROS remapping arguments; `program_path` names the program
// in the usage line by its last path component.
ParseOutcome parse_args(const std::vector<std::string>& args, const std::string& program_path);

// The four settings as echoed at start-up, each line indented by nine spaces.
std::vector<std::string> settings_echo_lines(const Settings& settings);

class EmptyVideoFolder : public std::invalid_argument {
 public:
  EmptyVideoFolder() : std::invalid_argument("the video folder path is empty") {}
};

// The folder path ending in exactly the one "/" it may need; throws EmptyVideoFolder for "".
std::string with_trailing_slash(const std::string& folder);

}  // namespace zel
