#pragma once

#include <string>
#include <vector>

#include "zel_video_player/demo/frame_truth.h"
#include "zel_video_player/demo/pictures.h"
#include "zel_video_player/demo/tour.h"
#include "zel_video_player/world/locations.h"

namespace zel::demo {

// What a tour leaves behind in `output_dir`, each file's path printed as it is written.

// The map of the tour and the contact sheet of what the camera showed.
void write_pictures(const std::string& output_dir, const std::vector<Location>& points, double radius,
                    const TourPlan& plan, const std::vector<SheetEntry>& sheet);

// The detector's scores, printed too; throws std::runtime_error when the file cannot be written.
void write_scores(const std::string& output_dir, const ScoreTable& scores, const std::string& detector);

}  // namespace zel::demo
