#include "zel_video_player/player/ros/diagnostics_conversion.h"

#include "zel_video_player/text/formatting.h"

namespace zel {
namespace {

std::string point_text(int location, const std::vector<Location>& points) {
  if (location < 0 || static_cast<std::size_t>(location) >= points.size()) return "none";
  const auto index = static_cast<std::size_t>(location);
  const std::string line = format_listing_line(index + 1, points[index]);
  return line.substr(line.find_first_not_of(' '));
}

}  // namespace

void fill_clock_standing_still(bool never_started, diagnostic_updater::DiagnosticStatusWrapper& out) {
  out.summary(diagnostic_msgs::DiagnosticStatus::OK,
              never_started ? "Waiting for the simulated clock (/clock)" : "Simulated clock paused");
  out.add("Clock", never_started ? "not started" : "paused");
}

void fill_playback_status(const PlaybackStatus& status, const std::vector<Location>& points,
                          diagnostic_updater::DiagnosticStatusWrapper& out) {
  const std::string point = point_text(status.location, points);
  const std::string where =
      point == "none" ? "away from every point" : "at point " + std::to_string(status.location + 1);
  std::string failing;
  for (const auto& what : status.failing) failing += (failing.empty() ? "" : "; ") + what;
  if (!failing.empty()) {
    if (status.showing.empty()) {
      out.summary(diagnostic_msgs::DiagnosticStatus::ERROR, "showing nothing " + where + ": " + failing);
    } else {
      out.summary(diagnostic_msgs::DiagnosticStatus::WARN, "showing " + status.showing + " " + where + "; " + failing);
    }
  } else if (status.showing.empty()) {
    out.summary(diagnostic_msgs::DiagnosticStatus::OK, "nothing shown yet");
  } else {
    out.summary(diagnostic_msgs::DiagnosticStatus::OK, "showing " + status.showing + " " + where);
  }
  out.add("Point", point);
  out.add("Playlist", status.playlist ? format_name_list(*status.playlist) : "[]");
  out.add("Showing", status.showing.empty() ? "nothing" : status.showing);
  out.add("Failing media", failing.empty() ? "none" : failing);
  out.add("Media failures", std::to_string(status.media_failures));
  out.add("Clips ready ahead", std::to_string(status.clips_ready_ahead));
  out.add("Clips opened when due", std::to_string(status.clips_opened_when_due));
}

}  // namespace zel
