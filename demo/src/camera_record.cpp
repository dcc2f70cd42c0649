#include "zel_video_player/demo/camera_record.h"

namespace zel::demo {
namespace {

std::string people_text(std::size_t boxes) {
  if (boxes == 0) return "no people found";
  return std::to_string(boxes) + (boxes == 1 ? " person found" : " people found");
}

}  // namespace

std::string detector_view_caption(const std::string& media, std::optional<std::size_t> boxes) {
  return media + ": " + (boxes ? people_text(*boxes) : "its result missing");
}

std::string camera_frame_caption(const std::optional<std::string>& media, bool expect_views) {
  const std::string caption = media ? "showing " + *media : "the player named no media";
  // A sheet of camera frames where the detector's pictures were asked for says why.
  return expect_views ? caption + "; no detector picture counted" : caption;
}

}  // namespace zel::demo
