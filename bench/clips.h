#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "zel_video_player/sim/media_maker.h"

namespace zel::bench {

struct ClipFormat {
  int width;
  int height;
  int fps;
  int seconds;

  int frames() const { return fps * seconds; }
  std::string label() const;        // "1920x1080@30"
  std::string folder_name() const;  // "1920x1080_30_5s"
};

// The formats the measurements play, each a 5-s clip.
inline constexpr ClipFormat FORMAT_480_30{640, 480, 30, 5};
inline constexpr ClipFormat FORMAT_480_60{640, 480, 60, 5};
inline constexpr ClipFormat FORMAT_720_30{1280, 720, 30, 5};
inline constexpr ClipFormat FORMAT_720_60{1280, 720, 60, 5};
inline constexpr ClipFormat FORMAT_1080_30{1920, 1080, 30, 5};
inline constexpr ClipFormat FORMAT_1080_60{1920, 1080, 60, 5};
inline constexpr ClipFormat FORMAT_2160_30{3840, 2160, 30, 5};

// Codes written into every frame, so a subscriber can tell which clip a frame came from.
inline constexpr int OBJECT_CLIP_CODE = 1;
inline constexpr int EMPTY_CLIP_CODE = 2;

// Every frame carries the block mark, which survives H.264 at every size measured.
using FrameMark = media_maker::FrameIdentity;
std::optional<FrameMark> read_mark(const std::uint8_t* bgr, int width, int height, std::size_t step);

// An H.264 clip in an MP4 file whose frames look like a panning camera: a textured background
// that moves every frame, a moving disc and the frame number. Deterministic for a given format.
void write_clip(const std::string& path, const ClipFormat& format, int clip_code, int frames);

// A complete media folder for the player, made under `root` the first time and reused after:
// "empty" plays the format's full clip; every object name links to one short object clip, so
// arriving at any point of interest shows frames with the object code.
std::string ensure_media_folder(const std::string& root, const ClipFormat& format);

// The folder's clip that the player shows while the robot is at no point.
std::string empty_clip_path(const std::string& media_folder);

}  // namespace zel::bench
