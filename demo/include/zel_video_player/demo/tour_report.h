#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <opencv2/core.hpp>

#include "zel_video_player/demo/tour.h"

namespace zel::demo {

// The words the tour reads from the player, prints, and writes under each frame.

// The frame a label on frame_media names: its key, the image's header.seq in decimal. Nothing for a
// key that is no such number, as from a publisher other than the player.
std::optional<std::uint32_t> frame_label_seq(std::string_view key);

// "(3.75, 3.5)", rounded as the player rounds its listing.
std::string position_text(const Position& position);

// What the robot does next, for the progress lines: "heading for point 2 at (10.7, 6.0)".
std::string leg_text(const Leg& leg);

// "dog1" for a frame of the sample media, else a description of the frame.
std::string camera_text(const cv::Mat& frame, bool sample_media);

}  // namespace zel::demo
