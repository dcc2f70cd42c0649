#pragma once

#include <mutex>
#include <string>

#include <opencv_apps/RectArrayStamped.h>
#include <ros/callback_queue.h>
#include <ros/ros.h>
#include <sensor_msgs/Image.h>
#include <zel_video_player/FrameLabel.h>

#include "zel_video_player/demo/camera_pairing.h"
#include "zel_video_player/demo/frame_truth.h"
#include "zel_video_player/demo/pictures.h"

namespace zel::demo {

// The tour's ears on the camera: the player's frames and its label of each, and a detector's
// results and pictures when there is one, all paired in a CameraPairing. Each stream is heard on a
// thread of its own, so none is held up behind another.
class CameraListener {
 public:
  // `detector_results` empty: no detector; `detector_view` empty: none of its pictures.
  CameraListener(const std::string& detector_results, const std::string& detector_view);
  // The callbacks run on the spinners' threads: stopped before the fields they write go.
  ~CameraListener();

  std::string image_topic() const { return image_subscriber_.getTopic(); }
  std::string detector_topic() const { return detector_results_subscriber_.getTopic(); }
  bool detecting() const { return detecting_; }

  bool has_labelled_frame();
  bool has_detector_result();
  // What the camera shows now, titled for the contact sheet.
  SheetEntry keep(const std::string& title);
  // The latest frame, labelled or not.
  cv::Mat latest_frame();
  ScoreTable scores();

 private:
  void on_image(const sensor_msgs::ImageConstPtr& image);
  void on_frame_label(const zel_video_player::FrameLabelConstPtr& label);
  void on_detector_result(const opencv_apps::RectArrayStampedConstPtr& result);
  void on_detector_view(const sensor_msgs::ImageConstPtr& view);

  const bool detecting_;
  const bool expect_views_;
  ros::CallbackQueue image_queue_;
  ros::CallbackQueue label_queue_;
  ros::CallbackQueue detector_queue_;
  ros::Subscriber image_subscriber_;
  ros::Subscriber frame_label_subscriber_;
  ros::Subscriber detector_results_subscriber_;
  ros::Subscriber detector_view_subscriber_;
  ros::AsyncSpinner image_spinner_{1, &image_queue_};
  ros::AsyncSpinner label_spinner_{1, &label_queue_};
  ros::AsyncSpinner detector_spinner_{1, &detector_queue_};
  std::mutex mutex_;  // the values below, written by the spinners' threads
  sensor_msgs::ImageConstPtr latest_image_;
  CameraPairing record_;
  bool have_detector_result_ = false;
};

}  // namespace zel::demo
