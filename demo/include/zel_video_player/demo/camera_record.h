#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "zel_video_player/demo/frame_truth.h"

namespace zel::demo {

// "person.mp4: 2 people found"; the boxes are nothing while the picture's result has not come.
std::string detector_view_caption(const std::string& media, std::optional<std::size_t> boxes);
// "showing dog1.mp4"; the media is nothing when no frame's label has come.
std::string camera_frame_caption(const std::optional<std::string>& media, bool expect_views);

// What the camera showed during a tour and what a detector made of it: the camera's frames and the
// detector's pictures, each paired with the player's label of its frame, and the detector's results
// scored against the labels. Every label the tour hears comes in here, so this is the one place
// where anything is paired with the media its frame showed.
template <typename Frame>
class CameraRecord {
 public:
  struct Kept {
    Frame frame;  // the default Frame when there is none
    std::string caption;
  };

  explicit CameraRecord(std::size_t most_unpaired) : frames_(most_unpaired), views_(most_unpaired) {}

  void frame(FrameStamp stamp, Frame frame) { frames_.frame(stamp, std::move(frame), truth_); }
  void detector_view(FrameStamp stamp, Frame view) { views_.frame(stamp, std::move(view), truth_); }
  void detector_result(FrameStamp stamp, std::size_t boxes) { truth_.result(stamp, boxes); }

  // False, and nothing recorded, for a key the player would not have written.
  bool label(std::string_view key, const std::string& media) {
    const auto stamp = frame_label_stamp(key);
    if (!stamp) return false;
    truth_.frame_shown(*stamp, media);
    frames_.label(*stamp, media);
    views_.label(*stamp, media);
    return true;
  }

  // A frame with its label: the camera and its labels both flow.
  bool has_labelled_frame() const { return frames_.latest().has_value(); }

  // The latest frame whose label has come, captioned with the media the label names. With the
  // detector's pictures, the latest of them whose label has come instead, captioned with that media
  // and the people found in it. `expect_views`: the tour asked for the detector's pictures.
  Kept keep(bool expect_views) const {
    if (const auto& view = views_.latest()) {
      return {view->frame, detector_view_caption(view->media, truth_.boxes_of(view->stamp))};
    }
    const auto& frame = frames_.latest();
    if (!frame) return {Frame{}, camera_frame_caption(std::nullopt, expect_views)};
    return {frame->frame, camera_frame_caption(frame->media, expect_views)};
  }

  ScoreTable scores() const { return truth_.table(); }

 private:
  FrameTruth truth_;
  LatestLabelled<Frame> frames_;
  LatestLabelled<Frame> views_;
};

}  // namespace zel::demo
