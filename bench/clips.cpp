#include "clips.h"

#include <filesystem>
#include <fstream>
#include <iostream>

#include <opencv2/imgproc.hpp>

#include "zel_video_player/world/world.h"

namespace zel::bench {
namespace {

namespace fs = std::filesystem;

constexpr media_maker::Mark MARK = media_maker::Mark::blocks;
constexpr int PAN_PIXELS_PER_FRAME = 3;
// Raise when the clip content changes, so cached folders are made again.
constexpr const char* CLIP_VERSION = "panning texture v1";
constexpr const char* COMPLETE_STAMP = ".complete";

cv::Mat background_texture(const ClipFormat& format, int frames) {
  cv::Mat texture(format.height, format.width + frames * PAN_PIXELS_PER_FRAME, CV_8UC3);
  cv::RNG rng(format.width * 7919 + format.height);
  rng.fill(texture, cv::RNG::UNIFORM, 0, 256);
  cv::GaussianBlur(texture, texture, cv::Size(0, 0), 2.0);
  return texture;
}

}  // namespace

std::string ClipFormat::label() const {
  return std::to_string(width) + "x" + std::to_string(height) + "@" + std::to_string(fps);
}

std::string ClipFormat::folder_name() const {
  return std::to_string(width) + "x" + std::to_string(height) + "_" + std::to_string(fps) + "_" +
         std::to_string(seconds) + "s";
}

std::optional<FrameMark> read_mark(const std::uint8_t* bgr, int width, int height, std::size_t step) {
  return media_maker::read_mark(cv::Mat(height, width, CV_8UC3, const_cast<std::uint8_t*>(bgr), step), MARK);
}

void write_clip(const std::string& path, const ClipFormat& format, int clip_code, int frames) {
  const cv::Mat texture = background_texture(format, frames);
  const int disc_radius = format.height / 8;
  const double text_scale = format.height / 240.0;
  const media_maker::VideoFormat video{{format.width, format.height}, static_cast<double>(format.fps),
                                       media_maker::Codec::h264};
  media_maker::write_clip(path, video, frames, [&](cv::Mat& frame, int i) {
    texture(cv::Rect(i * PAN_PIXELS_PER_FRAME, 0, format.width, format.height)).copyTo(frame);
    const int disc_x = disc_radius + (i * format.width / std::max(frames, 1)) % (format.width - 2 * disc_radius);
    cv::circle(frame, cv::Point(disc_x, format.height / 2), disc_radius,
               clip_code == EMPTY_CLIP_CODE ? cv::Scalar(40, 40, 40) : cv::Scalar(30, 160, 240), cv::FILLED);
    cv::putText(frame, std::to_string(i), cv::Point(format.width / 20, format.height - format.height / 10),
                cv::FONT_HERSHEY_SIMPLEX, text_scale, cv::Scalar(255, 255, 255), std::max(1, format.height / 120));
    media_maker::paint_mark(frame, MARK, {clip_code, i});
  });
}

std::string ensure_media_folder(const std::string& root, const ClipFormat& format) {
  const fs::path folder = fs::path(root) / format.folder_name();
  const fs::path stamp = folder / COMPLETE_STAMP;
  {
    std::ifstream existing(stamp);
    std::string version;
    if (existing && std::getline(existing, version) && version == CLIP_VERSION) return folder.string();
  }
  std::cout << "  making the " << format.label() << " clips (once; they are kept in " << folder.string()
            << ")" << std::endl;
  fs::remove_all(folder);
  fs::create_directories(folder);
  write_clip((folder / "empty.mp4").string(), format, EMPTY_CLIP_CODE, format.frames());
  write_clip((folder / "object.mp4").string(), format, OBJECT_CLIP_CODE, format.fps);
  for (const std::string_view name : OBJECT_LIST) {
    fs::create_symlink("object.mp4", folder / (std::string(name) + ".mp4"));
  }
  std::ofstream(stamp) << CLIP_VERSION << "\n";
  return folder.string();
}

std::string empty_clip_path(const std::string& media_folder) {
  return (fs::path(media_folder) / (std::string(EMPTY_CLIP) + ".mp4")).string();
}

}  // namespace zel::bench
