#include "media.h"

#include <cmath>
#include <stdexcept>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include "zel_video_player/world/world.h"

namespace zel::testing {

namespace {
constexpr int BLUE_STEP = 40;
}

cv::Scalar fixture_colour(int clip_code, int frame_index) {
  return cv::Scalar(clip_code * BLUE_STEP, 16 + frame_index * GREEN_STEP, 128);
}

void write_clip(const std::string& path, int clip_code, int frames, double fps) {
  cv::VideoWriter writer(path, cv::VideoWriter::fourcc('m', 'p', '4', 'v'), fps,
                         cv::Size(FIXTURE_WIDTH, FIXTURE_HEIGHT));
  if (!writer.isOpened()) throw std::runtime_error("cannot write " + path);
  for (int i = 0; i < frames; ++i) {
    writer.write(cv::Mat(FIXTURE_HEIGHT, FIXTURE_WIDTH, CV_8UC3, fixture_colour(clip_code, i)));
  }
}

void write_still(const std::string& path, int clip_code) {
  const cv::Mat picture(FIXTURE_HEIGHT, FIXTURE_WIDTH, CV_8UC3, fixture_colour(clip_code, 0));
  if (!cv::imwrite(path, picture)) throw std::runtime_error("cannot write " + path);
}

FrameIdentity identify(const cv::Mat& bgr) {
  const cv::Vec3b centre = bgr.at<cv::Vec3b>(bgr.rows / 2, bgr.cols / 2);
  const double clip = centre[0] / double(BLUE_STEP);
  const double frame = (centre[1] - 16) / double(GREEN_STEP);
  const bool clear = std::abs(clip - std::round(clip)) < 0.25 && std::abs(frame - std::round(frame)) < 0.4;
  if (!clear) return {-1, -1};
  return {static_cast<int>(std::round(clip)), static_cast<int>(std::round(frame))};
}

int clip_code_of(const std::string& name) {
  for (std::size_t i = 0; i < OBJECT_LIST.size(); ++i) {
    if (OBJECT_LIST[i] == name) return static_cast<int>(i) + 1;
  }
  if (name == EMPTY_CLIP) return static_cast<int>(OBJECT_LIST.size()) + 1;
  throw std::invalid_argument("no clip code for " + name);
}

void write_media_folder(const std::string& folder, int frames, double fps) {
  for (auto name : OBJECT_LIST) {
    write_clip(folder + "/" + std::string(name) + ".mp4", clip_code_of(std::string(name)), frames, fps);
  }
  write_clip(folder + "/empty.mp4", clip_code_of("empty"), frames, fps);
}

}  // namespace zel::testing
