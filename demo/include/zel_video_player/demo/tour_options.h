#pragma once

#include <optional>
#include <string>
#include <vector>

#include "zel_video_player/app/command_outcome.h"
#include "zel_video_player/demo/tour.h"

namespace zel::demo {

struct TourOptions {
  std::optional<double> radius;              // overrides the radius the player's markers show
  TourPace pace;
  double wait = 30.0;                        // seconds to wait for the player
  std::string output_dir = ".";
  bool sample_media = false;                 // name the sample clip seen in each kept frame
  // A detector watching the camera, scored against what it showed: its results
  // (opencv_apps/RectArrayStamped; empty: no detector) and its picture with the boxes drawn (empty:
  // the sheet keeps the camera's frames).
  std::string detector_results;
  std::string detector_view;
};

using TourCommandLine = CommandOutcome<TourOptions>;

// `args` holds neither the program name nor ROS remapping arguments.
TourCommandLine parse_tour_args(const std::vector<std::string>& args);

std::string tour_help();

}  // namespace zel::demo
