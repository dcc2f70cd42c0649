#include "zel_video_player/app/ros/start_up.h"

#include <ros/console.h>

#include "zel_video_player/app/media_check.h"

namespace zel {

ParseOutcome start_up(ParseOutcome parsed, std::ostream& out, const std::string& line_tag) {
  ROS_INFO_STREAM(line_tag << "ZEL Video Player Node started");
  if (parsed.kind != ParseOutcome::Kind::run) return parsed;

  ROS_INFO_STREAM(line_tag << "Using arguments:");
  for (const auto& line : settings_echo_lines(parsed.options)) out << line << std::endl;
  parsed.options.video_folder = with_trailing_slash(parsed.options.video_folder);
  if (const auto missing = check_paths(parsed.options.video_folder)) {
    ROS_ERROR_STREAM(line_tag << *missing);
    parsed.kind = ParseOutcome::Kind::failure;
  }
  return parsed;
}

}  // namespace zel
