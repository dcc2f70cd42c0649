#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include <message_filters/sync_policies/exact_time.h>
#include <message_filters/synchronizer.h>
#include <opencv_apps/RectArrayStamped.h>
#include <sensor_msgs/Image.h>
#include <zel_video_player/FrameLabel.h>

#include "zel_video_player/demo/frame_truth.h"

namespace zel::demo {

// "person.mp4: 2 people found".
std::string detector_view_caption(const std::string& media, std::size_t boxes);
// "showing dog1.mp4"; the media is nothing when no frame has been paired with its label.
std::string camera_frame_caption(const std::optional<std::string>& media, bool expect_views);

// What the camera showed during a tour and what a detector made of it: the camera's frames and the
// detector's pictures, each paired with the player's label of its frame, and the detector's results
// scored against the labels. Every label the tour hears comes in here, and message_filters' ExactTime
// policy pairs each message with the label of the same header stamp, in whichever order the two
// come. One thread at a time.
class CameraPairing {
 public:
  struct Kept {
    sensor_msgs::ImageConstPtr frame;  // none when nothing was paired
    std::string caption;
  };

  CameraPairing();

  void label(const zel_video_player::FrameLabelConstPtr& label);
  void frame(const sensor_msgs::ImageConstPtr& frame);
  void detector_result(const opencv_apps::RectArrayStampedConstPtr& result);
  void detector_view(const sensor_msgs::ImageConstPtr& view);

  // A frame with its label: the camera and its labels both flow.
  bool has_labelled_frame() const { return latest_frame_ != nullptr; }

  // The latest frame paired with its label, captioned with the media the label names. With the
  // detector's pictures, the latest of them paired with its result and label instead, captioned
  // with that media and the people found in it. `expect_views`: the tour asked for the pictures.
  Kept keep(bool expect_views) const;

  ScoreTable scores() const { return truth_.table(); }

 private:
  using Label = zel_video_player::FrameLabel;
  using Result = opencv_apps::RectArrayStamped;
  using Image = sensor_msgs::Image;

  void frame_paired(const sensor_msgs::ImageConstPtr& frame, const zel_video_player::FrameLabelConstPtr& label);
  void result_paired(const opencv_apps::RectArrayStampedConstPtr& result,
                     const zel_video_player::FrameLabelConstPtr& label);
  void view_paired(const sensor_msgs::ImageConstPtr& view, const opencv_apps::RectArrayStampedConstPtr& result,
                   const zel_video_player::FrameLabelConstPtr& label);

  FrameTruth truth_;
  sensor_msgs::ImageConstPtr latest_frame_;
  std::string latest_frame_media_;
  Kept latest_view_;
  message_filters::Synchronizer<message_filters::sync_policies::ExactTime<Image, Label>> frames_;
  message_filters::Synchronizer<message_filters::sync_policies::ExactTime<Result, Label>> results_;
  message_filters::Synchronizer<message_filters::sync_policies::ExactTime<Image, Result, Label>> views_;
};

}  // namespace zel::demo
