#pragma once

// Clips and stills made on the spot, for the tests, the demo and the benchmarks, never part of the
// node, which only plays what it finds. Their frames may carry a mark that tells a receiver which
// clip and which of its frames it got.

#include <functional>
#include <optional>
#include <string>

#include <opencv2/core.hpp>

namespace zel::media_maker {

enum class Codec {
  mpeg4,  // quick to write; keeps a flat colour within a few steps
  h264,   // what cameras and phones record, and what costs a decoder most
};

struct VideoFormat {
  cv::Size size;
  double fps;
  Codec codec;
};

// The clip a frame belongs to and its index in it, from 0.
struct FrameIdentity {
  int clip_code;
  int frame_index;
};

// How a frame carries its identity.
enum class Mark {
  // The whole frame one colour, its blue the clip (codes 0 to 6) and its green the frame: read at the
  // centre it survives MPEG-4 at any size, but nothing else may be drawn. Green runs out after 30
  // frames: every later one reads as index 30.
  colour,
  // A row of sixteen black and white blocks of 16 pixels at the top left, 4 bits of clip code and 12
  // of frame index: blocks that large and that contrasted come through H.264 unchanged over any
  // picture, where exact pixel values would not. Needs a frame at least 256 pixels wide.
  blocks,
};

// Paints `identity` onto a bgr8 frame; std::invalid_argument for an identity or a frame the mark
// cannot carry.
void paint_mark(cv::Mat& frame, Mark mark, FrameIdentity identity);
// The identity a decoded bgr8 frame carries; nothing where it carries none that can be read.
std::optional<FrameIdentity> read_mark(const cv::Mat& frame, Mark mark);

// Draws frame `frame_index` into `frame`, which it finds the format's size and bgr8, and must leave so.
using FramePainter = std::function<void(cv::Mat& frame, int frame_index)>;

// Writes a clip of `frames` frames to `path`, an .mp4, deterministically. Like write_still it writes
// beside the path and then moves the file into place, so whoever watches the folder never sees half
// a file. Throws std::runtime_error when the file cannot be written or a frame came out wrong.
void write_clip(const std::string& path, const VideoFormat& format, int frames, const FramePainter& paint);
// A picture in the format its extension names (.jpg, .png).
void write_still(const std::string& path, const cv::Mat& picture);

}  // namespace zel::media_maker
