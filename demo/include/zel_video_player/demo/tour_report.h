#pragma once

#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "zel_video_player/demo/tour.h"
#include "zel_video_player/world/locations.h"

namespace zel::demo {

// The words the tour reads from the player, prints, and writes under each frame.

// "(3.75, 3.5)", rounded as the player rounds its listing.
std::string position_text(const Position& position);

// The lines that announce a tour before it starts: its points, its route, and whether it can start
// and end away from every point.
std::vector<std::string> plan_text(const std::vector<Location>& points, double radius, const TourPlan& plan,
                                   const TourPace& pace, bool simulated_time);

// What the robot does next, for the progress lines: "heading for point 2 at (10.7, 6.0)".
std::string leg_text(const Leg& leg);

// "dog1" for a frame of the sample media, else a description of the frame.
std::string camera_text(const cv::Mat& frame, bool sample_media);

}  // namespace zel::demo
