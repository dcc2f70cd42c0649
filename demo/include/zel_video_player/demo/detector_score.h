#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace zel::demo {

// Scores a detector watching the camera against what the camera showed. Its results name no frame
// (it copies a header the player leaves unstamped, and ROS renumbers it), so each is matched by
// time: a result counts for a media only when that one media was shown through the whole window
// [arrival - delay, arrival] before it came, the delay being the most the detector takes from a
// frame to its result. A result within the delay after a change of media may be about either one
// and is left out, as is one the labels so far do not cover. Times are seconds on one clock, taken
// as the frame labels and the results arrive.

struct MediaScore {
  std::string media;             // "person.mp4"
  std::size_t frames = 0;        // frames labelled with it
  std::size_t results = 0;       // results counted for it
  std::size_t with_people = 0;   // of those, the ones with at least one box
};

struct ScoreTable {
  std::vector<MediaScore> media;  // in the order first shown
  std::size_t left_out = 0;
  double delay = 0.0;
};

class DetectorScore {
 public:
  // Throws std::invalid_argument for a delay that is not a positive number.
  explicit DetectorScore(double delay);

  // A frame's label as it arrives. Labels come in time order; throws std::invalid_argument for one
  // earlier than the one before.
  void frame_shown(double arrival, const std::string& media);
  // A result and its number of boxes, in any order against the labels: each is matched when asked.
  void result(double arrival, std::size_t boxes);

  // The one media shown throughout [arrival - delay, arrival], as far as the labels so far tell.
  std::optional<std::string> media_throughout(double arrival) const;
  // The boxes of the result that arrived nearest to this time, when one came within `tolerance`.
  std::optional<std::size_t> boxes_near(double arrival, double tolerance) const;

  ScoreTable table() const;

 private:
  struct Span {
    double start;  // arrival of its first label
    std::size_t media;
  };
  struct Result {
    double arrival;
    std::size_t boxes;
  };

  std::optional<std::size_t> media_index_throughout(double arrival) const;

  double delay_;
  std::vector<MediaScore> media_;
  std::vector<Span> spans_;  // one for each change of media
  double last_label_ = 0.0;
  std::vector<Result> results_;
};

// The table as the tour prints and writes it, one line per media and one for what was left out.
std::string score_table_text(const ScoreTable& table, const std::string& detector);

}  // namespace zel::demo
