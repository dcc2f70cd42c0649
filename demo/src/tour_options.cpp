#include "zel_video_player/demo/tour_options.h"

#include <cmath>

#include "option_values.h"
#include "zel_video_player/app/argument_parser.h"
#include "zel_video_player/app/command_outcome.h"

namespace zel::demo {
namespace {

constexpr const char* PROGRAM = "zel_tour";

enum OptionId {
  RADIUS,
  SPEED,
  DWELL,
  WAIT,
  OUTPUT_DIR,
  SAMPLE_MEDIA,
  DETECTOR_RESULTS,
  DETECTOR_VIEW,
};

std::string topic_value(const DeclaredOption& declared, const std::string& text) {
  if (text.empty()) throw UsageError(declared.names.front() + " needs a topic");
  return text;
}

bool not_negative(double value) { return std::isfinite(value) && value >= 0.0; }
bool any_number(double) { return true; }

const ArgumentParser& tour_arguments() {
  static const ArgumentParser parser(
      "Plays the localiser for the ZEL video player: walks a simulated robot through every point of\n"
      "interest, publishing its pose on /amcl_pose and its transforms (map, odom, base_link), keeps a\n"
      "frame of /camera/image from each point and draws a map of the tour and a contact sheet of the\n"
      "frames. The points come from the player's /zel_tq_video/points_of_interest, what the camera shows\n"
      "from /zel_tq_video/now_showing and each frame's media from /zel_tq_video/frame_label (remap them\n"
      "for a player of another name).",
      {{RADIUS, {"--radius"}, "R", false, "the player's radius in metres (default: as its markers show it)"},
       {SPEED, {"--speed"}, "M_PER_S", false, "walking speed (default 1.4)"},
       {DWELL, {"--dwell"}, "SECONDS", false, "time spent at each point (default 4)"},
       {WAIT, {"--wait"}, "SECONDS", false, "how long to wait for the player, and the detector (default 30)"},
       {OUTPUT_DIR, {"--output_dir"}, "DIR", false, "where the pictures and scores go (default: the working folder)"},
       {SAMPLE_MEDIA, {"--sample_media"}, "", false,
        "the player shows the project's sample media: name the clip in each frame"}},
      {{"Scoring a detector that watches the camera (such as opencv_apps' people_detect)",
        {{DETECTOR_RESULTS, {"--detector_results"}, "TOPIC", false,
          "its results (opencv_apps/RectArrayStamped): at the end the tour prints and writes "
          "zel_detector_scores.txt, for each media the share of its results that found people (one box or more); "
          "each result counts for the media of the frame its header stamp names"},
         {DETECTOR_VIEW, {"--detector_view"}, "TOPIC", false,
          "its picture with the boxes drawn (sensor_msgs/Image), kept on the contact sheet instead of the "
          "camera's frame"}}}},
      100);
  return parser;
}

}  // namespace

std::string tour_help() { return tour_arguments().help(PROGRAM); }

TourCommandLine parse_tour_args(const std::vector<std::string>& args) {
  TourCommandLine result;
  TourOptions& options = result.options;
  const auto on_value = [&](const DeclaredOption& declared, const std::string& value) {
    switch (declared.id) {
      case RADIUS:
        options.radius = real_value(declared, value, any_number, "a number");
        break;
      case SPEED:
        options.pace.speed = real_value(declared, value, positive, "a positive number");
        break;
      case DWELL:
        options.pace.dwell = real_value(declared, value, not_negative, "zero or a positive number");
        break;
      case WAIT:
        options.wait = real_value(declared, value, positive, "a positive number");
        break;
      case OUTPUT_DIR:
        options.output_dir = value;
        break;
      case DETECTOR_RESULTS:
        options.detector_results = topic_value(declared, value);
        break;
      case DETECTOR_VIEW:
        options.detector_view = topic_value(declared, value);
        break;
    }
  };
  const auto check = [&] {
    if (options.output_dir.empty()) throw UsageError("--output_dir needs a folder");
    // Without results to score, a view would be taken and silently do nothing.
    if (options.detector_results.empty() && !options.detector_view.empty()) {
      throw UsageError("--detector_view needs --detector_results");
    }
  };
  tour_arguments().read(args, PROGRAM, result, [&](const DeclaredOption&) { options.sample_media = true; },
                        on_value, check);
  return result;
}

}  // namespace zel::demo
