#include "zel_video_player/demo/frame_truth.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include <ros/time.h>

#include "zel_video_player/player/ros/now_showing_conversion.h"

namespace zel::demo {
namespace {

constexpr FrameStamp NANOSECONDS_PER_SECOND = 1'000'000'000;

// The whole of the text, or nothing: from_chars alone would stop short of the end.
std::optional<std::uint32_t> whole_number(std::string_view text) {
  std::uint32_t value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

// The form of a key is the player's alone: a key is a label's only when the player would have written
// it for the stamp read from it, so no second definition of the form can drift from the player's.
std::optional<FrameStamp> frame_label_stamp(std::string_view key) {
  const auto point = key.find('.');
  if (point == std::string_view::npos) return std::nullopt;
  const auto seconds = whole_number(key.substr(0, point));
  const auto nanoseconds = whole_number(key.substr(point + 1));
  // ros::Time would carry surplus nanoseconds into the seconds, or throw past their range.
  if (!seconds || !nanoseconds || *nanoseconds >= NANOSECONDS_PER_SECOND) return std::nullopt;
  const ros::Time stamp(*seconds, *nanoseconds);
  if (frame_label_key(stamp) != key) return std::nullopt;
  return stamp.toNSec();
}

FrameTruth::FrameTruth(std::size_t kept) : kept_(kept) {}

void FrameTruth::frame_shown(FrameStamp stamp, const std::string& media) {
  if (labels_.count(stamp)) return;
  const auto known = std::find_if(media_.begin(), media_.end(), [&](const MediaScore& score) { return score.media == media; });
  const auto index = static_cast<std::size_t>(known - media_.begin());
  if (known == media_.end()) media_.push_back({media});
  ++media_[index].frames;
  labels_.emplace(stamp, index);
  if (labels_.size() > kept_) labels_.erase(labels_.begin());
  const auto [first, last] = results_.equal_range(stamp);
  for (auto waiting = first; waiting != last; ++waiting) count(waiting->second, index);
}

void FrameTruth::result(FrameStamp stamp, std::size_t boxes) {
  Result& added = results_.emplace(stamp, Result{boxes, false})->second;
  const auto label = labels_.find(stamp);
  if (label != labels_.end()) count(added, label->second);
  if (results_.size() > kept_) {
    forgotten_ += !results_.begin()->second.counted;
    results_.erase(results_.begin());
  }
}

void FrameTruth::count(Result& result, std::size_t media) {
  result.counted = true;
  ++media_[media].results;
  media_[media].with_people += result.boxes > 0;
}

std::optional<std::string> FrameTruth::media_of(FrameStamp stamp) const {
  const auto label = labels_.find(stamp);
  if (label == labels_.end()) return std::nullopt;
  return media_[label->second].media;
}

std::optional<std::size_t> FrameTruth::boxes_of(FrameStamp stamp) const {
  const auto result = results_.find(stamp);
  if (result == results_.end()) return std::nullopt;
  return result->second.boxes;
}

ScoreTable FrameTruth::table() const {
  ScoreTable table{media_, forgotten_};
  for (const auto& result : results_) table.left_out += !result.second.counted;
  return table;
}

std::string score_table_text(const ScoreTable& table, const std::string& detector) {
  std::size_t width = std::string("media").size();
  for (const auto& score : table.media) width = std::max(width, score.media.size());
  const int name_width = static_cast<int>(width);
  std::string text = "Results on " + detector + ", each counted for the media of the frame its stamp names:\n";
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
  text += "left out: " + std::to_string(table.left_out) + " results, whose stamp names no frame the player labelled\n";
  return text;
}

}  // namespace zel::demo
