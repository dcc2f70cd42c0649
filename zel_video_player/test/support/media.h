#pragma once

#include <string>

#include <opencv2/core.hpp>

namespace zel::testing {

// Clips whose frames say who they are: blue tells the clip, green the frame's index, so a
// subscriber can check both what plays and that every frame comes once and in order.
inline constexpr int FIXTURE_WIDTH = 160;
inline constexpr int FIXTURE_HEIGHT = 120;
inline constexpr int GREEN_STEP = 8;

cv::Scalar fixture_colour(int clip_code, int frame_index);
void write_clip(const std::string& path, int clip_code, int frames, double fps);
void write_still(const std::string& path, int clip_code);

// The clip code and frame index read back from an image's centre; -1 when it matches none.
struct FrameIdentity {
  int clip_code;
  int frame_index;
};
FrameIdentity identify(const cv::Mat& bgr);

// A full media folder: each object name and "empty" as a clip with its own code (cat 1 ... empty 6).
int clip_code_of(const std::string& name);
void write_media_folder(const std::string& folder, int frames, double fps);

}  // namespace zel::testing
