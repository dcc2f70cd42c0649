#include "zel_video_player/app/command_line.h"

#include "zel_video_player/app/argument_parser.h"
#include "zel_video_player/app/number_text.h"
#include "zel_video_player/text/formatting.h"

namespace zel {
namespace {

enum OptionId { TEST, NUM_LOCATIONS, RADIUS, VIDEO_FOLDER };

const ArgumentParser& player_arguments() {
  static const ArgumentParser parser(
      "Generate locations",
      {{TEST, {"--test"}, "", false, "Run in test mode"},
       {NUM_LOCATIONS, {"--num_locations"}, "NUM_LOCATIONS", false, "Number of locations to generate"},
       {RADIUS, {"--radius"}, "RADIUS", false,
        "Radius of the are around the location for which a video will be played"},
       {VIDEO_FOLDER, {"--video_folder"}, "VIDEO_FOLDER", true, "Path to the video folder"}});
  return parser;
}

void apply_value(const DeclaredOption& declared, const std::string& value, Settings& settings) {
  const std::string argument = "argument " + display_names(declared) + ": ";
  switch (declared.id) {
    case NUM_LOCATIONS: {
      const auto parsed = parse_integer(value);
      if (!parsed) throw UsageError(argument + "invalid int value: " + quoted(value));
      settings.num_locations = *parsed;
      break;
    }
    case RADIUS: {
      const auto parsed = parse_real(value);
      if (!parsed) throw UsageError(argument + "invalid float value: " + quoted(value));
      settings.radius = *parsed;
      break;
    }
    case VIDEO_FOLDER:
      settings.video_folder = value;
      break;
  }
}

}  // namespace

ParseOutcome parse_args(const std::vector<std::string>& args, const std::string& program_path) {
  const std::string prog = program_name(program_path);
  const ArgumentParser& parser = player_arguments();
  ParseOutcome outcome;
  parser.read(
      args, prog, outcome, [&](const DeclaredOption&) { outcome.options.test = true; },
      [&](const DeclaredOption& declared, const std::string& value) { apply_value(declared, value, outcome.options); });
  return outcome;
}

std::vector<std::string> settings_echo_lines(const Settings& settings) {
  const std::string indent(9, ' ');
  return {indent + "test: " + format_bool(settings.test),
          indent + "num_locations: " + std::to_string(settings.num_locations),
          indent + "radius: " + format_real(settings.radius),
          indent + "video_folder: " + settings.video_folder};
}

std::string with_trailing_slash(const std::string& folder) {
  if (folder.empty()) throw EmptyVideoFolder();
  return folder.back() == '/' ? folder : folder + "/";
}

}  // namespace zel
