#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zel::demo {

// What each of the camera's frames showed, told by the player's label of it on frame_media, and a
// detector's results scored against it. The player stamps every frame with a time of its own, unique
// and rising, and a detector copies the frame's header into its results and pictures: the stamp is
// what pairs each of them with the label, whichever comes first.

// A frame's header stamp in nanoseconds, as ros::Time::toNSec gives it.
using FrameStamp = std::uint64_t;

// The stamp a label names: its key, as the player's frame_label_key writes it ("12.033333333").
// Nothing for a key the player would not have written, as from another publisher.
std::optional<FrameStamp> frame_label_stamp(std::string_view key);

struct MediaScore {
  std::string media;             // "person.mp4"
  std::size_t frames = 0;        // frames labelled with it
  std::size_t results = 0;       // results counted for it
  std::size_t with_people = 0;   // of those, the ones with at least one box
};

struct ScoreTable {
  std::vector<MediaScore> media;  // in the order first shown
  std::size_t left_out = 0;       // results whose stamp named no labelled frame
};

// Labels, and results, kept: a minute of frames at 30 a second, far beyond a detector's delay, and
// still 7.5 s of it with the simulated clock at 8 times real speed. Older ones are forgotten.
inline constexpr std::size_t KEPT_LABELS = 1800;

class FrameTruth {
 public:
  explicit FrameTruth(std::size_t kept = KEPT_LABELS);

  // A frame's label, and a detector's result with its number of boxes, in either order.
  void frame_shown(FrameStamp stamp, const std::string& media);
  void result(FrameStamp stamp, std::size_t boxes);

  std::optional<std::string> media_of(FrameStamp stamp) const;
  // The boxes of the frame's result, while it is kept.
  std::optional<std::size_t> boxes_of(FrameStamp stamp) const;

  ScoreTable table() const;

 private:
  struct Result {
    std::size_t boxes;
    bool counted;
  };

  void count(Result& result, std::size_t media);

  std::size_t kept_;
  std::vector<MediaScore> media_;
  std::map<FrameStamp, std::size_t> labels_;  // the media's index
  // A detector answering one frame twice is answered twice.
  std::multimap<FrameStamp, Result> results_;
  std::size_t forgotten_ = 0;  // results dropped before their label came
};

// The table as the tour prints and writes it, one line per media and one for what was left out.
std::string score_table_text(const ScoreTable& table, const std::string& detector);

// The latest of a stream of frames (the camera's, or a detector's pictures) whose label has come,
// and the media it names. A frame waits for its label among the latest `waiting`; an older one's
// label is lost, or is so late that a newer frame is paired first.
template <typename Frame>
class LatestLabelled {
 public:
  struct Pair {
    FrameStamp stamp;
    Frame frame;
    std::string media;
  };

  explicit LatestLabelled(std::size_t waiting) : most_waiting_(waiting) {}

  void frame(FrameStamp stamp, Frame frame, const FrameTruth& truth) {
    if (latest_ && stamp <= latest_->stamp) return;
    if (auto media = truth.media_of(stamp)) {
      pair(stamp, std::move(frame), std::move(*media));
      return;
    }
    waiting_[stamp] = std::move(frame);
    if (waiting_.size() > most_waiting_) waiting_.erase(waiting_.begin());
  }

  void label(FrameStamp stamp, const std::string& media) {
    const auto found = waiting_.find(stamp);
    if (found != waiting_.end()) pair(stamp, std::move(found->second), media);
  }

  const std::optional<Pair>& latest() const { return latest_; }

 private:
  void pair(FrameStamp stamp, Frame frame, std::string media) {
    latest_ = Pair{stamp, std::move(frame), std::move(media)};
    waiting_.erase(waiting_.begin(), waiting_.upper_bound(stamp));
  }

  std::size_t most_waiting_;
  std::map<FrameStamp, Frame> waiting_;
  std::optional<Pair> latest_;
};

}  // namespace zel::demo
