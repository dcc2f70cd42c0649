#pragma once

#include <string>

#include <opencv2/core.hpp>

#include "zel_video_player/sim/media_maker.h"

namespace zel::testing {

// The tests' clips and stills: small MPEG-4 frames whose colour tells the clip and the frame's index,
// so a subscriber can check both what plays and that every frame comes once and in order.
using media_maker::FrameIdentity;
void write_clip(const std::string& path, int clip_code, int frames, double fps);
void write_still(const std::string& path, int clip_code);

// The clip code and frame index read back from an image; -1 for both when it carries none.
FrameIdentity identify(const cv::Mat& bgr);

// A full media folder: each object name and "empty" as a clip with its own code (cat 1 ... empty 6).
int clip_code_of(const std::string& name);
void write_media_folder(const std::string& folder, int frames, double fps);

}  // namespace zel::testing
