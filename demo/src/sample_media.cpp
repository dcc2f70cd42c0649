#include "zel_video_player/demo/sample_media.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include <opencv2/imgproc.hpp>

#include "zel_video_player/sim/media_maker.h"
#include "zel_video_player/world/world.h"

namespace zel::demo {
namespace {

namespace fs = std::filesystem;

const media_maker::VideoFormat VIDEO_FORMAT{{SAMPLE_WIDTH, SAMPLE_HEIGHT}, SAMPLE_FPS, media_maker::Codec::mpeg4};
const cv::Scalar WHITE(255, 255, 255);
const cv::Scalar SHADOW(30, 30, 30);

cv::Scalar as_scalar(const cv::Vec3b& colour) { return cv::Scalar(colour[0], colour[1], colour[2]); }

void put_centred(cv::Mat& image, const std::string& text, int baseline_y, double scale, int thickness) {
  const int font = cv::FONT_HERSHEY_DUPLEX;
  int baseline = 0;
  const cv::Size size = cv::getTextSize(text, font, scale, thickness, &baseline);
  const cv::Point origin((image.cols - size.width) / 2, baseline_y);
  // A dark rim keeps white letters readable on the lighter backgrounds.
  cv::putText(image, text, origin, font, scale, SHADOW, thickness + 4, cv::LINE_AA);
  cv::putText(image, text, origin, font, scale, WHITE, thickness, cv::LINE_AA);
}

cv::Mat draw_card(const cv::Vec3b& colour, const std::string& name, const std::string& subtitle) {
  cv::Mat image(SAMPLE_HEIGHT, SAMPLE_WIDTH, CV_8UC3, as_scalar(colour));
  const double scale = name.size() > 5 ? 3.2 : 4.0;
  put_centred(image, name, 250, scale, 8);
  put_centred(image, subtitle, 320, 1.2, 2);
  return image;
}

bool has_both_files(const SampleClip& clip) { return clip.video && clip.still; }

std::string media_path(const std::string& folder, const std::string& name, const std::string& extension) {
  return (fs::path(folder) / (name + extension)).string();
}

struct Swatch {
  std::string name;
  cv::Vec3b colour;
};

std::vector<Swatch> swatches() {
  std::vector<Swatch> all;
  for (const auto& clip : sample_clips()) all.push_back({clip.name, clip.colour});
  all.push_back({HIDDEN_VIDEO_NAME, HIDDEN_VIDEO_COLOUR});
  return all;
}

int colour_difference(const cv::Vec3b& a, const cv::Vec3b& b) {
  return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
}

}  // namespace

std::vector<SampleClip> sample_clips() {
  const int three_seconds = 3 * SAMPLE_FPS;
  return {
      {"cat", {0, 140, 255}, true, false, three_seconds},
      {"dog", {200, 100, 20}, false, true, 0},
      {"dog1", {50, 170, 40}, true, false, three_seconds},
      {"person", {150, 40, 160}, true, true, three_seconds},
      {"person1", {40, 40, 210}, true, false, three_seconds},
      {std::string(EMPTY_CLIP), {70, 70, 70}, true, false, 2 * SAMPLE_FPS},
  };
}

cv::Mat draw_still(const SampleClip& clip) { return draw_card(clip.colour, clip.name, "still picture"); }

cv::Mat draw_video_frame(const SampleClip& clip, int index) {
  const bool hidden = has_both_files(clip);
  cv::Mat image = draw_card(hidden ? HIDDEN_VIDEO_COLOUR : clip.colour, clip.name,
                            hidden ? "video hidden by " + clip.name + ".jpg" : "video");
  // A ball crossing the lower band shows at a glance that frames are moving.
  const int count = clip.frame_count > 1 ? clip.frame_count : 2;
  const int margin = 40;
  const int x = margin + (SAMPLE_WIDTH - 2 * margin) * index / (count - 1);
  cv::circle(image, {x, 400}, 26, WHITE, cv::FILLED, cv::LINE_AA);
  const std::string counter = "frame " + std::to_string(index + 1) + " / " + std::to_string(clip.frame_count);
  cv::putText(image, counter, {16, 464}, cv::FONT_HERSHEY_SIMPLEX, 0.6, WHITE, 1, cv::LINE_AA);
  return image;
}

std::vector<std::string> write_sample_media(const std::string& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) throw std::runtime_error("cannot create the folder " + folder + ": " + error.message());
  std::vector<std::string> written;
  for (const auto& clip : sample_clips()) {
    if (clip.video) {
      written.push_back(media_path(folder, clip.name, ".mp4"));
      media_maker::write_clip(written.back(), VIDEO_FORMAT, clip.frame_count,
                              [&](cv::Mat& frame, int index) { frame = draw_video_frame(clip, index); });
    }
    if (clip.still) {
      written.push_back(media_path(folder, clip.name, ".jpg"));
      media_maker::write_still(written.back(), draw_still(clip));
    }
  }
  return written;
}

std::optional<std::string> recognise_sample_frame(const cv::Mat& bgr) {
  if (bgr.empty() || bgr.type() != CV_8UC3) return std::nullopt;
  // Video compression shifts flat colours a little; the sample colours lie far further apart.
  const int tolerance = 60;
  const int step = 4;
  const auto known = swatches();
  std::vector<int> votes(known.size(), 0);
  int samples = 0;
  for (int row = step / 2; row < bgr.rows; row += step) {
    for (int column = step / 2; column < bgr.cols; column += step) {
      ++samples;
      const cv::Vec3b pixel = bgr.at<cv::Vec3b>(row, column);
      for (std::size_t i = 0; i < known.size(); ++i) {
        if (colour_difference(pixel, known[i].colour) <= tolerance) {
          ++votes[i];
          break;
        }
      }
    }
  }
  for (std::size_t i = 0; i < known.size(); ++i) {
    if (samples > 0 && votes[i] * 2 > samples) return known[i].name;
  }
  return std::nullopt;
}

}  // namespace zel::demo
