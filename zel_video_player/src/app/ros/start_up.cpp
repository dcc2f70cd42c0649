#include "zel_video_player/app/ros/start_up.h"

#include <ros/console.h>

#include "zel_video_player/app/media_check.h"

namespace zel {

ParseOutcome start_up(const std::vector<std::string>& args, const std::string& program_path,
                 std::ostream& out) {
  ROS_INFO("ZEL Video Player Node started");
  ParseOutcome start = parse_args(args, program_path);
  if (start.kind != ParseOutcome::Kind::run) return start;

  ROS_INFO("Using arguments:");
  for (const auto& line : settings_echo_lines(start.options)) out << line << std::endl;
  start.options.video_folder = with_trailing_slash(start.options.video_folder);
  if (const auto missing = check_paths(start.options.video_folder)) {
    ROS_ERROR_STREAM(*missing);
    start.kind = ParseOutcome::Kind::failure;
  }
  return start;
}

}  // namespace zel
