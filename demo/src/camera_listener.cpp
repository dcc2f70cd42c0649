#include "camera_listener.h"

#include <cstdint>

#include <cv_bridge/cv_bridge.h>

#include "tour_say.h"
#include "zel_video_player/player/ros/names.h"

namespace zel::demo {
namespace {

// Labels are small, and the tour must hear each: a few seconds of them wait behind a busy thread.
constexpr std::uint32_t LABEL_QUEUE = 300;

// Converted only when kept: the player sends thirty frames a second.
cv::Mat frame_of(const sensor_msgs::ImageConstPtr& image) {
  if (!image) return {};
  try {
    return cv_bridge::toCvCopy(image, "bgr8")->image;
  } catch (const cv_bridge::Exception& error) {
    say(std::string("cannot read the camera's frame: ") + error.what());
    return {};
  }
}

}  // namespace

CameraListener::CameraListener(const std::string& detector_results, const std::string& detector_view)
    : detecting_(!detector_results.empty()), expect_views_(!detector_view.empty()) {
  ros::NodeHandle image_node;
  image_node.setCallbackQueue(&image_queue_);
  image_subscriber_ = image_node.subscribe(IMAGE_TOPIC, 1, &CameraListener::on_image, this);
  // Labels come on a thread of their own: behind the frames' callbacks, which take long on a loaded
  // machine, they would fall further behind than the frames kept waiting for them.
  ros::NodeHandle label_node;
  label_node.setCallbackQueue(&label_queue_);
  frame_label_subscriber_ = label_node.subscribe(private_topic_of_default_node(FRAME_LABEL_TOPIC), LABEL_QUEUE,
                                                 &CameraListener::on_frame_label, this);
  // The detector's too, never held up behind the camera's frames.
  if (detecting_) {
    ros::NodeHandle detector_node;
    detector_node.setCallbackQueue(&detector_queue_);
    detector_results_subscriber_ =
        detector_node.subscribe(detector_results, 10, &CameraListener::on_detector_result, this);
    if (expect_views_) {
      detector_view_subscriber_ = detector_node.subscribe(detector_view, 10, &CameraListener::on_detector_view, this);
    }
    detector_spinner_.start();
  }
  image_spinner_.start();
  label_spinner_.start();
}

CameraListener::~CameraListener() {
  image_spinner_.stop();
  label_spinner_.stop();
  detector_spinner_.stop();
  image_subscriber_.shutdown();
  frame_label_subscriber_.shutdown();
  detector_results_subscriber_.shutdown();
  detector_view_subscriber_.shutdown();
}

void CameraListener::on_image(const sensor_msgs::ImageConstPtr& image) {
  std::lock_guard<std::mutex> lock(mutex_);
  latest_image_ = image;
  record_.frame(image);
}

void CameraListener::on_frame_label(const zel_video_player::FrameLabelConstPtr& label) {
  std::lock_guard<std::mutex> lock(mutex_);
  record_.label(label);
}

// The detector copies each frame's header, stamp and all, into its result and its picture.
void CameraListener::on_detector_result(const opencv_apps::RectArrayStampedConstPtr& result) {
  std::lock_guard<std::mutex> lock(mutex_);
  record_.detector_result(result);
  have_detector_result_ = true;
}

void CameraListener::on_detector_view(const sensor_msgs::ImageConstPtr& view) {
  std::lock_guard<std::mutex> lock(mutex_);
  record_.detector_view(view);
}

bool CameraListener::has_labelled_frame() {
  std::lock_guard<std::mutex> lock(mutex_);
  return record_.has_labelled_frame();
}

bool CameraListener::has_detector_result() {
  std::lock_guard<std::mutex> lock(mutex_);
  return have_detector_result_;
}

SheetEntry CameraListener::keep(const std::string& title) {
  CameraPairing::Kept kept;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    kept = record_.keep(expect_views_);
  }
  return {frame_of(kept.frame), title, kept.caption};
}

cv::Mat CameraListener::latest_frame() {
  sensor_msgs::ImageConstPtr image;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    image = latest_image_;
  }
  return frame_of(image);
}

ScoreTable CameraListener::scores() {
  std::lock_guard<std::mutex> lock(mutex_);
  return record_.scores();
}

}  // namespace zel::demo
