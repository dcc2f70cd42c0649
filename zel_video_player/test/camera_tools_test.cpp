// The camera as Debian's own tools, which nobody here wrote, take it: image_view's video_recorder
// keeps a frame only when its stamp is a period after the last one kept, image_transport's camera
// subscriber (image_proc's rectification) pairs each image with the camera_info of its stamp, and a
// detector's results find their frame by the stamp they copy. Each trusts the stamps alone.
#include <cv_bridge/cv_bridge.h>
#include <geometry_msgs/PoseWithCovarianceStamped.h>
#include <gtest/gtest.h>
#include <image_transport/image_transport.h>
#include <nodelet/loader.h>
#include <sensor_msgs/CameraInfo.h>
#include <signal.h>
#include <visualization_msgs/Marker.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>

#include <opencv2/videoio.hpp>

#include "support/build_plugins.h"
#include "support/media.h"
#include "support/ros_session.h"
#include "support/timing.h"
#include "support/topic_recorder.h"
#include "zel_video_player/sim/sim_clock.h"
#include "zel_video_player/world/locations.h"

namespace zel::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr double PERIOD = 1.0 / 30;

int clip_code_of_image(const sensor_msgs::Image& image) {
  return identify(cv_bridge::toCvCopy(image, "bgr8")->image).clip_code;
}

// What a look at the video's frames finds in them, one identity each.
std::vector<FrameIdentity> frames_of_video(const std::string& path) {
  std::vector<FrameIdentity> frames;
  cv::VideoCapture video(path);
  for (cv::Mat frame; video.read(frame);) frames.push_back(identify(frame));
  return frames;
}

// Seconds from each image's stamp to the next one's.
std::vector<double> stamp_gaps(const std::vector<sensor_msgs::ImageConstPtr>& images) {
  std::vector<double> gaps;
  for (std::size_t i = 1; i < images.size(); ++i) {
    gaps.push_back((images[i]->header.stamp - images[i - 1]->header.stamp).toSec());
  }
  return gaps;
}

// Whether `count` frames in `seconds` is the camera's rate, within bounds a busy machine keeps to.
void expect_camera_rate(std::size_t count, double seconds) {
  EXPECT_GE(count, 0.6 * seconds / PERIOD / TIMING_SLACK);
  EXPECT_LE(count, 1.5 * seconds / PERIOD);
}

double median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

class CameraToolsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    start_ros_session("camera_tools_test");
    find_plugins_in_this_build();
  }

  void SetUp() override {
    media_ = scratch_.path() + "/media";
    fs::create_directory(media_);
    write_media_folder(media_, 10, 30);
    poses_ = ros::NodeHandle().advertise<geometry_msgs::PoseWithCovarianceStamped>("/amcl_pose", 10);
  }

  // Ended as Ctrl-C ends them, the tools before the player: killed, a program would stay registered
  // with the master the later cases share.
  void TearDown() override {
    for (auto process = processes_.rbegin(); process != processes_.rend(); ++process) stop(**process);
  }

  Process& run(const std::vector<std::string>& argv, std::map<std::string, std::string> env = {}) {
    env.emplace("ROS_HOSTNAME", "127.0.0.1");
    env.emplace("ROS_HOME", scratch_.path());
    processes_.push_back(std::make_unique<Process>(argv, env, scratch_.path()));
    return *processes_.back();
  }

  Process& start_player(const std::vector<std::string>& extra_args = {}) {
    std::vector<std::string> args{ZEL_PROGRAM, "--test", "--radius", "1.0", "--video_folder", media_};
    args.insert(args.end(), extra_args.begin(), extra_args.end());
    Process& player = run(args);
    EXPECT_TRUE(player.wait_for_output(" locations:\n", 20s * TIMING_SLACK)) << player.err();
    return player;
  }

  static std::optional<int> stop(Process& process) {
    process.signal(SIGINT);
    return process.wait_for(5s * TIMING_SLACK);
  }

  void go_to_first_point() {
    const Location point = test_locations().front();
    send_pose(poses_, point.x, point.y);
  }

  TempDir scratch_;
  std::string media_;
  ros::Publisher poses_;
  std::vector<std::unique_ptr<Process>> processes_;
};

// With stamps all alike the recorder kept no frame at all: none came a period after the last kept.
TEST_F(CameraToolsTest, VideoRecorderWritesWhatTheCameraShowedAtItsRate) {
  if (!fs::exists(ZEL_VIDEO_RECORDER)) GTEST_SKIP() << "no video_recorder: install ros-image-view";
  ImageRecorder shown("/camera/image");
  start_player();
  // Lossless, so that each frame reads back with the mark the camera sent; its log line by line,
  // which tells when the first frame came.
  const std::string video = scratch_.path() + "/camera.avi";
  Process& recorder = run(
      {"stdbuf", "-oL", ZEL_VIDEO_RECORDER, "image:=/camera/image", "_filename:=" + video, "_fps:=30", "_codec:=FFV1"});
  ASSERT_TRUE(recorder.wait_for_output("Starting to record", 10s * TIMING_SLACK)) << recorder.err();
  shown.clear();
  ros::WallDuration(1.5).sleep();
  go_to_first_point();
  ros::WallDuration(1.5).sleep();
  ASSERT_EQ(stop(recorder), 0) << recorder.err();
  // Counted as the recorder stops: frames keep coming while its video is read back.
  const std::size_t published = shown.count();
  const auto frames = frames_of_video(video);
  // The recorder drops a frame whose stamp comes a hair under a period after the last it kept,
  // which stamps taken as frames go out, jittering, did about every other time.
  EXPECT_GE(frames.size(), published * 9 / 10 / TIMING_SLACK) << "of " << published;
  EXPECT_LE(frames.size(), published + 3);
  std::set<std::pair<int, int>> published_identities;
  for (const auto& image : shown.images()) {
    const FrameIdentity identity = identify(cv_bridge::toCvShare(image, "bgr8")->image);
    published_identities.emplace(identity.clip_code, identity.frame_index);
  }
  std::set<int> clips;
  for (const FrameIdentity& frame : frames) {
    EXPECT_EQ(published_identities.count({frame.clip_code, frame.frame_index}), 1u)
        << "clip " << frame.clip_code << " frame " << frame.frame_index << " was never on the camera";
    clips.insert(frame.clip_code);
  }
  EXPECT_GE(clips.size(), 2u) << "the point's clips after empty";
}

// The camera remapped as a driver's image_raw, with image_proc in its namespace as a launch file
// puts it. image_proc's image_mono needs the image alone; what needs the camera_info beside it
// (rectification, which an uncalibrated camera cannot have) pairs the two through image_transport's
// camera subscriber, which takes only an image and a camera_info of the very same stamp.
TEST_F(CameraToolsTest, ImageProcAndACameraSubscriberTakeTheRemappedCamera) {
  if (!fs::exists(ZEL_IMAGE_PROC)) GTEST_SKIP() << "no image_proc: install ros-image-proc";
  ImageRecorder mono("/front/image_mono");
  std::mutex mutex;
  std::vector<std::pair<sensor_msgs::ImageConstPtr, sensor_msgs::CameraInfoConstPtr>> pairs;
  ros::NodeHandle node;
  image_transport::ImageTransport transport(node);
  const image_transport::CameraSubscriber camera = transport.subscribeCamera(
      "/front/image_raw", 100, [&](const sensor_msgs::ImageConstPtr& image, const sensor_msgs::CameraInfoConstPtr& info) {
        const std::lock_guard<std::mutex> lock(mutex);
        pairs.emplace_back(image, info);
      });
  start_player({"/camera/image:=/front/image_raw"});
  // Debian's image_proc, built without a sanitizer, aborts when its publisher loads this build's
  // sanitized compressed transport.
  Process* image_proc = ZEL_SANITIZED ? nullptr : &run({ZEL_IMAGE_PROC}, {{"ROS_NAMESPACE", "front"}});
  const auto paired = [&] {
    const std::lock_guard<std::mutex> lock(mutex);
    return pairs;
  };
  ASSERT_TRUE(wait_until(10.0 * TIMING_SLACK, [&] { return !paired().empty(); })) << "no image paired with a camera_info";
  const bool image_proc_works = image_proc != nullptr && mono.wait_for_count(1, 10.0 * TIMING_SLACK);
  mono.clear();
  const std::size_t paired_before = paired().size();
  ros::WallDuration(2.0).sleep();
  const auto got = paired();
  expect_camera_rate(got.size() - paired_before, 2.0);
  std::set<ros::Time> stamps;
  for (const auto& [image, info] : got) {
    stamps.insert(image->header.stamp);
    EXPECT_EQ(info->header.frame_id, image->header.frame_id);
    EXPECT_EQ(std::make_pair(info->width, info->height), std::make_pair(image->width, image->height));
    EXPECT_TRUE(std::all_of(info->K.begin(), info->K.end(), [](double k) { return k == 0.0; }));
  }

  if (image_proc == nullptr) GTEST_SKIP() << "image_proc cannot load a sanitized plugin";
  // Debian bullseye's image_proc looks for its own nodelets' library where its package does not
  // put it, and makes nothing from any camera.
  if (!image_proc_works && image_proc->err().find("Could not find library corresponding to plugin image_proc") !=
                               std::string::npos) {
    GTEST_SKIP() << "this Debian's image_proc cannot load its own nodelets";
  }
  ASSERT_TRUE(image_proc_works) << image_proc->err();
  expect_camera_rate(mono.count(), 2.0);
  for (const auto& image : mono.images()) EXPECT_EQ(stamps.count(image->header.stamp), 1u) << image->header.stamp;
}

// A still and the clips after it, under a simulator's clock that began at 1000 s: every stamp is
// the simulation's time and comes a period after the one before, the still's as a clip's.
TEST_F(CameraToolsTest, StampsRiseByAPeriodInTheSimulatedTime) {
  write_still(media_ + "/empty.jpg", clip_code_of("empty"));
  const SimTimeParameter simulated_time;
  ros::NodeHandle node;
  constexpr double SIM_START = 1000.0;
  const ros::WallTime clock_started = ros::WallTime::now();
  const SimClock simulator(node, SimClockOptions{1.0, 500.0, SIM_START});
  ImageRecorder shown("/camera/image");
  start_player();
  ASSERT_TRUE(shown.wait_for_count(30, 10.0 * TIMING_SLACK));
  go_to_first_point();
  ASSERT_TRUE(wait_until(5.0 * TIMING_SLACK, [&] {
    const auto images = shown.images();
    return std::count_if(images.begin(), images.end(),
                         [](const auto& image) { return clip_code_of_image(*image) != clip_code_of("empty"); }) >= 30;
  }));
  const double sim_now = SIM_START + (ros::WallTime::now() - clock_started).toSec();

  auto images = shown.images();
  // ROS time is zero until the player hears its first /clock: a first frame sent before that, as
  // a ROS rate sends it, carries that zero.
  if (images.front()->header.stamp.isZero()) images.erase(images.begin());
  std::vector<sensor_msgs::ImageConstPtr> still;
  std::vector<sensor_msgs::ImageConstPtr> clips;
  for (const auto& image : images) {
    EXPECT_GE(image->header.stamp.toSec(), SIM_START);
    EXPECT_LE(image->header.stamp.toSec(), sim_now + 0.1);
    (clip_code_of_image(*image) == clip_code_of("empty") ? still : clips).push_back(image);
  }
  const auto gaps = stamp_gaps(images);
  EXPECT_EQ(std::count_if(gaps.begin(), gaps.end(), [](double gap) { return gap <= 0.0; }), 0)
      << "stamps not after the one before, of " << images.size();
  EXPECT_NEAR(median(stamp_gaps(still)), PERIOD, 0.2 * PERIOD);
  EXPECT_NEAR(median(stamp_gaps(clips)), PERIOD, 0.2 * PERIOD);
}

// A detector in the player's own nodelet manager is handed each frame itself, with no sequence
// number: the stamp it copies into its result is all that ties the result to the frame's label.
TEST_F(CameraToolsTest, ADetectorsResultsFindTheirFramesLabelByStamp) {
  ros::NodeHandle node;
  const ros::Publisher results = node.advertise<visualization_msgs::Marker>("/detections", 1000);
  const ros::Subscriber detector = node.subscribe<sensor_msgs::Image>("/camera/image", 1000, [&](const sensor_msgs::ImageConstPtr& image) {
    visualization_msgs::Marker result;
    result.header = image->header;
    result.id = clip_code_of_image(*image);
    results.publish(result);
  });
  const Recorder<visualization_msgs::Marker> detections("/detections");
  const FrameLabels labels;
  {
    nodelet::Loader manager(false);
    ASSERT_TRUE(manager.load("/zel_tq_video", "zel_video_player/ZELVideoPlayerNodelet", {},
                             {"--test", "--radius", "1.0", "--video_folder", media_}));
    ASSERT_TRUE(detections.wait_until([](const auto& got) { return got.size() >= 15; }, 10.0 * TIMING_SLACK));
    go_to_first_point();
    ros::WallDuration(1.5).sleep();
  }
  ros::WallDuration(0.3).sleep();  // results still under way

  std::set<std::string> shown;
  const auto results_got = detections.messages();
  for (const auto& result : results_got) {
    const std::optional<FrameLabels::Label> label = labels.of(result.header.stamp);
    ASSERT_TRUE(label) << "no label for the frame stamped " << result.header.stamp;
    EXPECT_EQ(result.id, label->clip_code) << result.header.stamp;
    shown.insert(label->media);
  }
  EXPECT_GE(results_got.size(), 45u / TIMING_SLACK);
  EXPECT_GE(shown.size(), 2u) << "empty and the point's clips";
}

}  // namespace
}  // namespace zel::testing
