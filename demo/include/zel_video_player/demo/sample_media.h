#pragma once

#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace zel::demo {

// A media folder made on the spot, so a newcomer can watch the player without finding clips of
// cats and dogs first. Each clip has its own background colour, which lets a program tell from a
// received frame which clip the player was showing.

inline constexpr int SAMPLE_WIDTH = 640;
inline constexpr int SAMPLE_HEIGHT = 480;
inline constexpr int SAMPLE_FPS = 30;

struct SampleClip {
  std::string name;
  cv::Vec3b colour;  // blue, green, red
  bool video;        // writes NAME.mp4
  bool still;        // writes NAME.jpg
  int frame_count;   // of the video
};

// Every object name and "empty", in the order of the object list with "empty" last. Both media
// kinds occur, and one name has both files so that the still's precedence shows.
std::vector<SampleClip> sample_clips();

// A name with both files gets a video of this colour: the player must never show it.
inline const cv::Vec3b HIDDEN_VIDEO_COLOUR{220, 220, 0};
inline const std::string HIDDEN_VIDEO_NAME = "hidden video";

cv::Mat draw_still(const SampleClip& clip);
cv::Mat draw_video_frame(const SampleClip& clip, int index);

// Writes every clip into `folder`, creating it, and returns the paths written. Each file appears
// whole under its final name, so a reader never sees half a clip. Throws std::runtime_error when
// a file cannot be written.
std::vector<std::string> write_sample_media(const std::string& folder);

// The name of the sample clip a frame comes from (or HIDDEN_VIDEO_NAME), judged by the colour that
// covers most of it; nothing for a frame that is not from the sample media.
std::optional<std::string> recognise_sample_frame(const cv::Mat& bgr);

}  // namespace zel::demo
