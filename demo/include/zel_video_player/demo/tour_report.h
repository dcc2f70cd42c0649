#pragma once

#include <optional>
#include <string>

#include <opencv2/core.hpp>

#include "zel_video_player/demo/player_output.h"
#include "zel_video_player/demo/tour.h"

namespace zel::demo {

// The words the tour prints and writes under each frame.

// "(3.75, 3.5)", rounded as the player rounds its listing.
std::string position_text(const Position& position);

// What the robot does next, for the progress lines: "heading for point 2 at (10.7, 6.0)".
std::string leg_text(const Leg& leg);

// The caption under the frame kept at a point (index from 0): "playlist ['dog1', 'cat']", as the
// player printed it on arrival there. `heard` is where the player last said the robot is, and is only meaningful when
// the tour follows the player's output.
std::string playlist_caption(std::size_t point, const std::optional<Arrival>& heard, bool following_player);

// "dog1" for a frame of the sample media, else a description of the frame.
std::string camera_text(const cv::Mat& frame, bool sample_media);

}  // namespace zel::demo
