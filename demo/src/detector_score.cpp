#include "zel_video_player/demo/detector_score.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "zel_video_player/world/formatting.h"

namespace zel::demo {

DetectorScore::DetectorScore(double delay) : delay_(delay) {
  if (!std::isfinite(delay) || delay <= 0.0) throw std::invalid_argument("a detector's delay must be positive");
}

void DetectorScore::frame_shown(double arrival, const std::string& media) {
  if (!spans_.empty() && arrival < last_label_) throw std::invalid_argument("frame labels must come in time order");
  last_label_ = arrival;
  if (!spans_.empty() && media_[spans_.back().media].media == media) {
    ++media_[spans_.back().media].frames;
    return;
  }
  const auto known = std::find_if(media_.begin(), media_.end(), [&](const MediaScore& score) { return score.media == media; });
  const auto index = static_cast<std::size_t>(known - media_.begin());
  if (known == media_.end()) media_.push_back({media});
  ++media_[index].frames;
  spans_.push_back({arrival, index});
}

void DetectorScore::result(double arrival, std::size_t boxes) { results_.push_back({arrival, boxes}); }

std::optional<std::size_t> DetectorScore::media_index_throughout(double arrival) const {
  // Beyond the last label a change may still be on its way.
  if (spans_.empty() || !(arrival <= last_label_)) return std::nullopt;
  auto span = std::upper_bound(spans_.begin(), spans_.end(), arrival,
                               [](double time, const Span& candidate) { return time < candidate.start; });
  if (span == spans_.begin()) return std::nullopt;
  --span;
  if (span->start > arrival - delay_) return std::nullopt;
  return span->media;
}

std::optional<std::string> DetectorScore::media_throughout(double arrival) const {
  const auto index = media_index_throughout(arrival);
  if (!index) return std::nullopt;
  return media_[*index].media;
}

std::optional<std::size_t> DetectorScore::boxes_near(double arrival, double tolerance) const {
  const Result* nearest = nullptr;
  for (const auto& result : results_) {
    if (!nearest || std::abs(result.arrival - arrival) < std::abs(nearest->arrival - arrival)) nearest = &result;
  }
  if (!nearest || !(std::abs(nearest->arrival - arrival) <= tolerance)) return std::nullopt;
  return nearest->boxes;
}

ScoreTable DetectorScore::table() const {
  ScoreTable table{media_, 0, delay_};
  for (const auto& result : results_) {
    const auto index = media_index_throughout(result.arrival);
    if (!index) {
      ++table.left_out;
      continue;
    }
    ++table.media[*index].results;
    table.media[*index].with_people += result.boxes > 0;
  }
  return table;
}

std::string score_table_text(const ScoreTable& table, const std::string& detector) {
  std::size_t width = std::string("media").size();
  for (const auto& score : table.media) width = std::max(width, score.media.size());
  const int name_width = static_cast<int>(width);
  std::string text = "Results on " + detector + ", each counted for the media shown throughout the " +
                     format_real(table.delay) + " s before it:\n";
  char line[256];
  std::snprintf(line, sizeof line, "%-*s  %8s  %8s  %11s  %12s\n", name_width, "media", "frames", "results",
                "with people", "found people");
  text += line;
  for (const auto& score : table.media) {
    char share[16] = "-";
    if (score.results > 0) {
      std::snprintf(share, sizeof share, "%.0f %%", 100.0 * static_cast<double>(score.with_people) /
                                                        static_cast<double>(score.results));
    }
    std::snprintf(line, sizeof line, "%-*s  %8zu  %8zu  %11zu  %12s\n", name_width, score.media.c_str(), score.frames,
                  score.results, score.with_people, share);
    text += line;
  }
  text += "left out: " + std::to_string(table.left_out) + " results, within " + format_real(table.delay) +
          " s after a change of media or beyond the frame labels\n";
  return text;
}

}  // namespace zel::demo
