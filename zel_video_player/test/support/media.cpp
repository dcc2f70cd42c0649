#include "media.h"

#include <stdexcept>

#include "zel_video_player/world/world.h"

namespace zel::testing {
namespace {

const cv::Size FRAME_SIZE(160, 120);
constexpr media_maker::Mark MARK = media_maker::Mark::colour;

}  // namespace

void write_clip(const std::string& path, int clip_code, int frames, double fps) {
  media_maker::write_clip(path, {FRAME_SIZE, fps, media_maker::Codec::mpeg4}, frames,
                          [&](cv::Mat& frame, int index) { media_maker::paint_mark(frame, MARK, {clip_code, index}); });
}

void write_still(const std::string& path, int clip_code) {
  cv::Mat picture(FRAME_SIZE, CV_8UC3);
  media_maker::paint_mark(picture, MARK, {clip_code, 0});
  media_maker::write_still(path, picture);
}

FrameIdentity identify(const cv::Mat& bgr) { return media_maker::read_mark(bgr, MARK).value_or(FrameIdentity{-1, -1}); }

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
