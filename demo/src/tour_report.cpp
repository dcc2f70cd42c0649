#include "zel_video_player/demo/tour_report.h"

#include "zel_video_player/demo/sample_media.h"
#include "zel_video_player/world/formatting.h"

namespace zel::demo {

std::string position_text(const Position& position) {
  return "(" + format_real(round_to_hundredths(position.x)) + ", " + format_real(round_to_hundredths(position.y)) +
         ")";
}

std::string leg_text(const Leg& leg) {
  const std::string number = std::to_string(leg.point + 1);
  switch (leg.kind) {
    case LegKind::to_point:
      return "heading for point " + number + " at " + position_text(leg.to);
    case LegKind::dwell:
      return "staying at point " + number + " for " + format_real(leg.duration) + " s";
    case LegKind::leave:
      return "leaving point " + number + " for the end at " + position_text(leg.to);
  }
  return {};
}

std::string camera_text(const cv::Mat& frame, bool sample_media) {
  if (frame.empty()) return "no frame";
  if (sample_media) {
    if (const auto name = recognise_sample_frame(frame)) return *name;
    return "a frame that is not from the sample media";
  }
  return "a " + std::to_string(frame.cols) + "x" + std::to_string(frame.rows) + " frame";
}

}  // namespace zel::demo
