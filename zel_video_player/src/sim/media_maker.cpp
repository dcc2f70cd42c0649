#include "zel_video_player/sim/media_maker.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

namespace zel::media_maker {
namespace {

namespace fs = std::filesystem;

constexpr int BLUE_PER_CLIP = 40;
constexpr int MOST_COLOUR_CLIP_CODE = 255 / BLUE_PER_CLIP;
constexpr int FIRST_GREEN = 16;
constexpr int GREEN_PER_FRAME = 8;
// Its green is past 255, where every later frame's is.
constexpr int FIRST_SATURATED_INDEX = (255 - FIRST_GREEN) / GREEN_PER_FRAME + 1;

constexpr int BLOCK_PIXELS = 16;
constexpr int CODE_BITS = 4;
constexpr int INDEX_BITS = 12;
constexpr int BLOCKS = CODE_BITS + INDEX_BITS;

bool is_bgr8(const cv::Mat& frame) { return !frame.empty() && frame.type() == CV_8UC3; }

void paint_colour(cv::Mat& frame, FrameIdentity identity) {
  if (identity.clip_code > MOST_COLOUR_CLIP_CODE) {
    throw std::invalid_argument("the colour mark carries clip codes up to " +
                                std::to_string(MOST_COLOUR_CLIP_CODE));
  }
  const int green = FIRST_GREEN + std::min(identity.frame_index, FIRST_SATURATED_INDEX) * GREEN_PER_FRAME;
  frame.setTo(cv::Scalar(identity.clip_code * BLUE_PER_CLIP, green, 128));
}

std::optional<FrameIdentity> read_colour(const cv::Mat& frame) {
  const cv::Vec3b centre = frame.at<cv::Vec3b>(frame.rows / 2, frame.cols / 2);
  const double clip = centre[0] / double(BLUE_PER_CLIP);
  const double index = (centre[1] - FIRST_GREEN) / double(GREEN_PER_FRAME);
  // MPEG-4 moves a flat colour by a few steps, far less than the steps between two identities.
  const bool clear = std::abs(clip - std::round(clip)) < 0.25 && std::abs(index - std::round(index)) < 0.4;
  if (!clear || index < -0.4) return std::nullopt;
  return FrameIdentity{static_cast<int>(std::round(clip)), static_cast<int>(std::round(index))};
}

void paint_blocks(cv::Mat& frame, FrameIdentity identity) {
  if (identity.clip_code >= (1 << CODE_BITS) || identity.frame_index >= (1 << INDEX_BITS)) {
    throw std::invalid_argument("the block mark carries clip codes below 16 and frame indexes below 4096");
  }
  if (frame.cols < BLOCKS * BLOCK_PIXELS || frame.rows < BLOCK_PIXELS) {
    throw std::invalid_argument("the block mark needs a frame of at least 256x16 pixels");
  }
  const int value = (identity.clip_code << INDEX_BITS) | identity.frame_index;
  for (int bit = 0; bit < BLOCKS; ++bit) {
    const bool set = (value >> (BLOCKS - 1 - bit)) & 1;
    cv::rectangle(frame, cv::Rect(bit * BLOCK_PIXELS, 0, BLOCK_PIXELS, BLOCK_PIXELS),
                  set ? cv::Scalar(255, 255, 255) : cv::Scalar(0, 0, 0), cv::FILLED);
  }
}

std::optional<FrameIdentity> read_blocks(const cv::Mat& frame) {
  if (frame.cols < BLOCKS * BLOCK_PIXELS || frame.rows < BLOCK_PIXELS) return std::nullopt;
  int value = 0;
  for (int bit = 0; bit < BLOCKS; ++bit) {
    const cv::Vec3b pixel = frame.at<cv::Vec3b>(BLOCK_PIXELS / 2, bit * BLOCK_PIXELS + BLOCK_PIXELS / 2);
    const int brightness = (pixel[0] + pixel[1] + pixel[2]) / 3;
    value = (value << 1) | (brightness > 127 ? 1 : 0);
  }
  return FrameIdentity{value >> INDEX_BITS, value & ((1 << INDEX_BITS) - 1)};
}

int fourcc_of(Codec codec) {
  return codec == Codec::h264 ? cv::VideoWriter::fourcc('a', 'v', 'c', '1')
                              : cv::VideoWriter::fourcc('m', 'p', '4', 'v');
}

// Has `write` write the file beside `path`, then moves it there once whole; removes it otherwise. The
// extension stays last, so that writers still pick the format by it.
void write_whole(const std::string& path, const std::function<void(const std::string& partial)>& write) {
  const fs::path final_path(path);
  const std::string partial =
      (final_path.parent_path() / (final_path.stem().string() + ".part" + final_path.extension().string())).string();
  try {
    write(partial);
    std::error_code error;
    fs::rename(partial, final_path, error);
    if (error) throw std::runtime_error("cannot move " + partial + " to " + path + ": " + error.message());
  } catch (...) {
    std::error_code ignored;
    fs::remove(partial, ignored);
    throw;
  }
}

}  // namespace

void paint_mark(cv::Mat& frame, Mark mark, FrameIdentity identity) {
  if (!is_bgr8(frame)) throw std::invalid_argument("a mark is painted on a bgr8 frame");
  if (identity.clip_code < 0 || identity.frame_index < 0) {
    throw std::invalid_argument("a mark carries no negative clip code or frame index");
  }
  if (mark == Mark::colour) {
    paint_colour(frame, identity);
  } else {
    paint_blocks(frame, identity);
  }
}

std::optional<FrameIdentity> read_mark(const cv::Mat& frame, Mark mark) {
  if (!is_bgr8(frame)) return std::nullopt;
  return mark == Mark::colour ? read_colour(frame) : read_blocks(frame);
}

void write_clip(const std::string& path, const VideoFormat& format, int frames, const FramePainter& paint) {
  write_whole(path, [&](const std::string& partial) {
    cv::VideoWriter writer(partial, cv::CAP_FFMPEG, fourcc_of(format.codec), format.fps, format.size);
    if (!writer.isOpened()) throw std::runtime_error("cannot write the video " + path);
    cv::Mat frame(format.size, CV_8UC3, cv::Scalar::all(0));
    for (int index = 0; index < frames; ++index) {
      paint(frame, index);
      // The writer would drop a frame of another size or kind without a word.
      if (frame.size() != format.size || frame.type() != CV_8UC3) {
        throw std::runtime_error("frame " + std::to_string(index) + " of " + path +
                                 " is not a bgr8 frame of the clip's size");
      }
      writer.write(frame);
    }
  });
}

void write_still(const std::string& path, const cv::Mat& picture) {
  write_whole(path, [&](const std::string& partial) {
    if (!cv::imwrite(partial, picture)) throw std::runtime_error("cannot write the picture " + path);
  });
}

}  // namespace zel::media_maker
