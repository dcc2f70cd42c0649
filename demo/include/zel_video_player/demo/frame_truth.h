#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zel::demo {

// What each of the camera's frames showed, told by the player's label of it on frame_label, and a
// detector's results scored against it. A detector copies the frame's header into its results, so
// message_filters pairs each result with the label of its frame (CameraPairing); this only counts.

struct MediaScore {
  std::string media;             // "person.mp4"
  std::size_t frames = 0;        // frames labelled with it
  std::size_t results = 0;       // results counted for it
  std::size_t with_people = 0;   // of those, the ones with at least one box
};

struct ScoreTable {
  std::vector<MediaScore> media;  // in the order first shown
  std::size_t left_out = 0;       // results paired with no label
};

// Labels waiting for a detector's results: a minute of frames at 30 a second, far beyond a
// detector's delay, and still 7.5 s of it with the simulated clock at 8 times real speed.
inline constexpr std::size_t KEPT_LABELS = 1800;

class FrameTruth {
 public:
  // Each label the player sent.
  void frame_shown(const std::string& media);
  // Each result the detector sent, and those of them paired with their frame's label.
  void result_received() { ++received_; }
  void result_paired(const std::string& media, std::size_t boxes);

  ScoreTable table() const;

 private:
  MediaScore& score_of(const std::string& media);

  std::vector<MediaScore> media_;
  std::size_t received_ = 0;
  std::size_t paired_ = 0;
};

// The table as the tour prints and writes it, one line per media and one for what was left out.
std::string score_table_text(const ScoreTable& table, const std::string& detector);

}  // namespace zel::demo
