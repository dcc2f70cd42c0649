#include "zel_video_player/demo/camera_pairing.h"

#include <cstdint>

namespace zel::demo {
namespace {

namespace policies = message_filters::sync_policies;

// Pictures waiting for their labels, or labels for them: 8 s of frames, a second with the simulated
// clock at 8 times real speed. A label whose frame never came waits no longer, and pictures never
// pile up past it when labels stop.
constexpr std::uint32_t PICTURES_PAIRED_WITHIN = 240;

std::string people_text(std::size_t boxes) {
  if (boxes == 0) return "no people found";
  return std::to_string(boxes) + (boxes == 1 ? " person found" : " people found");
}

// Its receipt time is not what pairs it.
template <class Message>
ros::MessageEvent<const Message> event_of(const boost::shared_ptr<const Message>& message) {
  return ros::MessageEvent<const Message>(message, ros::Time());
}

}  // namespace

std::string detector_view_caption(const std::string& media, std::size_t boxes) {
  return media + ": " + people_text(boxes);
}

std::string camera_frame_caption(const std::optional<std::string>& media, bool expect_views) {
  const std::string caption = media ? "showing " + *media : "the player named no media";
  // A sheet of camera frames where the detector's pictures were asked for says why.
  return expect_views ? caption + "; no detector picture counted" : caption;
}

CameraPairing::CameraPairing()
    : frames_(policies::ExactTime<Image, Label>(PICTURES_PAIRED_WITHIN)),
      results_(policies::ExactTime<Result, Label>(KEPT_LABELS)),
      views_(policies::ExactTime<Image, Result, Label>(PICTURES_PAIRED_WITHIN)) {
  frames_.registerCallback(&CameraPairing::frame_paired, this);
  results_.registerCallback(&CameraPairing::result_paired, this);
  views_.registerCallback(&CameraPairing::view_paired, this);
}

void CameraPairing::label(const zel_video_player::FrameLabelConstPtr& label) {
  truth_.frame_shown(label->media);
  frames_.add<1>(event_of(label));
  results_.add<1>(event_of(label));
  views_.add<2>(event_of(label));
}

void CameraPairing::frame(const sensor_msgs::ImageConstPtr& frame) { frames_.add<0>(event_of(frame)); }

void CameraPairing::detector_result(const opencv_apps::RectArrayStampedConstPtr& result) {
  truth_.result_received();
  results_.add<0>(event_of(result));
  views_.add<1>(event_of(result));
}

void CameraPairing::detector_view(const sensor_msgs::ImageConstPtr& view) { views_.add<0>(event_of(view)); }

void CameraPairing::frame_paired(const sensor_msgs::ImageConstPtr& frame,
                                const zel_video_player::FrameLabelConstPtr& label) {
  latest_frame_ = frame;
  latest_frame_media_ = label->media;
}

void CameraPairing::result_paired(const opencv_apps::RectArrayStampedConstPtr& result,
                                 const zel_video_player::FrameLabelConstPtr& label) {
  truth_.result_paired(label->media, result->rects.size());
}

void CameraPairing::view_paired(const sensor_msgs::ImageConstPtr& view, const opencv_apps::RectArrayStampedConstPtr& result,
                               const zel_video_player::FrameLabelConstPtr& label) {
  latest_view_ = {view, detector_view_caption(label->media, result->rects.size())};
}

CameraPairing::Kept CameraPairing::keep(bool expect_views) const {
  if (latest_view_.frame) return latest_view_;
  if (!latest_frame_) return {nullptr, camera_frame_caption(std::nullopt, expect_views)};
  return {latest_frame_, camera_frame_caption(latest_frame_media_, expect_views)};
}

}  // namespace zel::demo
