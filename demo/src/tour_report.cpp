#include "zel_video_player/demo/tour_report.h"

#include <cstdio>

#include "zel_video_player/demo/sample_media.h"
#include "zel_video_player/text/formatting.h"

namespace zel::demo {

std::string position_text(const Position& position) {
  return "(" + format_real(round_to_hundredths(position.x)) + ", " + format_real(round_to_hundredths(position.y)) +
         ")";
}

std::vector<std::string> plan_text(const std::vector<Location>& points, double radius, const TourPlan& plan,
                                   const TourPace& pace, bool simulated_time) {
  std::string listed;
  for (std::size_t i = 0; i < points.size(); ++i) {
    listed += (i ? ", " : "") + std::to_string(i + 1) + ". " + position_text({points[i].x.value, points[i].y.value});
  }
  std::vector<std::string> lines{std::to_string(points.size()) + " points of interest" +
                                 (points.empty() ? "" : ": " + listed)};
  char summary[160];
  std::snprintf(summary, sizeof summary, "route of %.1f m at %.1f m/s, %.1f s at each point, about %.0f s%s",
                plan.length(), pace.speed, pace.dwell, plan.duration(), simulated_time ? " of simulated time" : "");
  lines.push_back(summary);
  if (!plan.ends_are_clear()) {
    lines.push_back("every spot of the map lies within " + format_real(radius) +
                    " m of a point; the tour starts and ends as far out as it can");
  }
  return lines;
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
