#include "zel_video_player/start_up.h"

#include <ros/console.h>

#include "zel_video_player/media.h"

namespace zel {

int StartUp::exit_status() const {
  switch (kind) {
    case Kind::usage_error:
      return 2;
    case Kind::media_missing:
      return 1;
    case Kind::play:
    case Kind::help:
      break;
  }
  return 0;
}

StartUp start_up(const std::vector<std::string>& args, const std::string& program_path,
                 std::ostream& out) {
  ROS_INFO("ZEL Video Player Node started");
  ParseOutcome parsed = parse_args(args, program_path);
  StartUp start;
  if (parsed.kind != ParseOutcome::Kind::settings) {
    start.kind = parsed.kind == ParseOutcome::Kind::help ? StartUp::Kind::help : StartUp::Kind::usage_error;
    start.text = std::move(parsed.text);
    return start;
  }
  start.settings = std::move(parsed.settings);

  ROS_INFO("Using arguments:");
  for (const auto& line : settings_echo_lines(start.settings)) out << line << std::endl;
  start.settings.video_folder = with_trailing_slash(start.settings.video_folder);
  if (const auto missing = check_paths(start.settings.video_folder)) {
    ROS_ERROR_STREAM(*missing);
    start.kind = StartUp::Kind::media_missing;
  }
  return start;
}

}  // namespace zel
