#include "zel_video_player/demo/tour_options.h"

#include <cmath>
#include <functional>
#include <map>

#include "zel_video_player/app/command_outcome.h"
#include "zel_video_player/app/number_text.h"
#include "zel_video_player/world/formatting.h"

namespace zel::demo {
namespace {

double real_value(const std::string& option, const std::string& text, const std::function<bool(double)>& valid,
                  const std::string& expectation) {
  const auto value = parse_real(text);
  if (!value || !valid(*value)) throw UsageError(option + " needs " + expectation + ", not '" + text + "'");
  return *value;
}

std::string topic_value(const std::string& option, const std::string& text) {
  if (text.empty()) throw UsageError(option + " needs a topic");
  return text;
}

bool positive(double value) { return std::isfinite(value) && value > 0.0; }
bool not_negative(double value) { return std::isfinite(value) && value >= 0.0; }
bool any_number(double) { return true; }

}  // namespace

std::string tour_help() {
  return "usage: zel_tour [--radius R] [--speed M_PER_S] [--dwell SECONDS] [--wait SECONDS] [--output_dir DIR]\n"
         "                [--sample_media] [--detector_results TOPIC [--detector_view TOPIC]\n"
         "                [--detector_delay SECONDS]]\n"
         "\n"
         "Plays the localiser for the ZEL video player: walks a simulated robot through every point of\n"
         "interest, publishing its pose on /amcl_pose and its transforms (map, odom, base_link), keeps a\n"
         "frame of /camera/image from each point and draws a map of the tour and a contact sheet of the\n"
         "frames. The points come from the player's /zel_tq_video/points_of_interest, what the camera shows\n"
         "from /zel_tq_video/now_showing and each frame's media from /zel_tq_video/frame_media (remap them\n"
         "for a player of another name).\n"
         "\n"
         "  --radius R            the player's radius in metres (default: as its markers show it)\n"
         "  --speed M_PER_S       walking speed (default 1.4)\n"
         "  --dwell SECONDS       time spent at each point (default 4)\n"
         "  --wait SECONDS        how long to wait for the player, and the detector (default 30)\n"
         "  --output_dir DIR      where the pictures and scores go (default: the working folder)\n"
         "  --sample_media        the player shows the project's sample media: name the clip in each frame\n"
         "\n"
         "Scoring a detector that watches the camera (such as opencv_apps' people_detect):\n"
         "  --detector_results TOPIC\n"
         "                        its results (opencv_apps/RectArrayStamped): at the end the tour prints\n"
         "                        and writes zel_detector_scores.txt, for each media the share of its\n"
         "                        results that found people (one box or more)\n"
         "  --detector_view TOPIC its picture with the boxes drawn (sensor_msgs/Image), kept on the\n"
         "                        contact sheet instead of the camera's frame\n"
         "  --detector_delay SECONDS\n"
         "                        the most it takes from a frame to its result (default " +
         format_real(DEFAULT_DETECTOR_DELAY) + "): a result\n"
         "                        counts for a media only when that one alone was shown throughout that\n"
         "                        long before it; those within it after a change are left out\n";
}

TourCommandLine parse_tour_args(const std::vector<std::string>& args) {
  TourCommandLine result;
  TourOptions& options = result.options;
  bool delay_given = false;
  const std::map<std::string, std::function<void(const std::string&)>> valued{
      {"--radius",
       [&](const std::string& value) { options.radius = real_value("--radius", value, any_number, "a number"); }},
      {"--speed",
       [&](const std::string& value) {
         options.pace.speed = real_value("--speed", value, positive, "a positive number");
       }},
      {"--dwell",
       [&](const std::string& value) {
         options.pace.dwell = real_value("--dwell", value, not_negative, "zero or a positive number");
       }},
      {"--wait",
       [&](const std::string& value) { options.wait = real_value("--wait", value, positive, "a positive number"); }},
      {"--output_dir", [&](const std::string& value) { options.output_dir = value; }},
      {"--detector_results",
       [&](const std::string& value) { options.detector_results = topic_value("--detector_results", value); }},
      {"--detector_view",
       [&](const std::string& value) { options.detector_view = topic_value("--detector_view", value); }},
      {"--detector_delay",
       [&](const std::string& value) {
         options.detector_delay = real_value("--detector_delay", value, positive, "a positive number");
         delay_given = true;
       }},
  };
  try {
    for (std::size_t i = 0; i < args.size(); ++i) {
      const std::string& arg = args[i];
      if (arg == "-h" || arg == "--help") {
        result.kind = TourCommandLine::Kind::help;
        result.text = tour_help();
        return result;
      }
      if (arg == "--sample_media") {
        options.sample_media = true;
        continue;
      }
      const auto equals = arg.find('=');
      const auto option = valued.find(arg.substr(0, equals));
      if (option == valued.end()) throw UsageError("unknown argument '" + arg + "'");
      if (equals != std::string::npos) {
        option->second(arg.substr(equals + 1));
      } else if (i + 1 < args.size()) {
        option->second(args[++i]);
      } else {
        throw UsageError(arg + " needs a value");
      }
    }
    if (options.output_dir.empty()) throw UsageError("--output_dir needs a folder");
    // Without results to score, a view or a delay would be taken and silently do nothing.
    if (options.detector_results.empty() && (!options.detector_view.empty() || delay_given)) {
      throw UsageError(std::string(delay_given ? "--detector_delay" : "--detector_view") +
                       " needs --detector_results");
    }
  } catch (const UsageError& error) {
    result.kind = TourCommandLine::Kind::usage_error;
    result.text = tour_help().substr(0, tour_help().find("\n\n") + 1) + "zel_tour: error: " + error.what() + "\n";
  }
  return result;
}

}  // namespace zel::demo
