#include "zel_video_player/demo/frame_truth.h"

#include <algorithm>
#include <cstdio>

namespace zel::demo {

MediaScore& FrameTruth::score_of(const std::string& media) {
  const auto known = std::find_if(media_.begin(), media_.end(), [&](const MediaScore& score) { return score.media == media; });
  if (known != media_.end()) return *known;
  return media_.emplace_back(MediaScore{media});
}

void FrameTruth::frame_shown(const std::string& media) { ++score_of(media).frames; }

void FrameTruth::result_paired(const std::string& media, std::size_t boxes) {
  MediaScore& score = score_of(media);
  ++score.results;
  score.with_people += boxes > 0;
  ++paired_;
}

// A result still waiting for its label counts as left out, as does a second answer to one frame:
// each label pairs once.
ScoreTable FrameTruth::table() const { return {media_, received_ - paired_}; }

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
