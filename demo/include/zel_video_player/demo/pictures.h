#pragma once

#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "zel_video_player/demo/tour.h"
#include "zel_video_player/world/locations.h"

namespace zel::demo {

// The two pictures a tour leaves behind: where the robot went, and what the camera showed there.

// The map shows the whole building at a fixed scale, x to the right and y upwards.
cv::Size map_size();
cv::Point map_pixel(double x, double y);

cv::Mat draw_map(const std::vector<Location>& points, double radius, const TourPlan& plan);

struct SheetEntry {
  cv::Mat frame;        // any size; an empty frame leaves its tile blank with a note
  std::string title;    // "point 2"
  std::string caption;  // "playlist ['dog1', 'cat']"
};

struct SheetLayout {
  cv::Size size;
  std::vector<cv::Rect> tiles;   // where each frame is fitted, keeping its shape
  std::vector<cv::Rect> labels;  // the strip under each tile
};

SheetLayout contact_sheet_layout(std::size_t entries);
cv::Mat draw_contact_sheet(const std::vector<SheetEntry>& entries);

// Writes a PNG; throws std::runtime_error when it cannot.
void write_png(const std::string& path, const cv::Mat& picture);

}  // namespace zel::demo
