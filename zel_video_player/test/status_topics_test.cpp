// What the node shows the ROS tools besides the frames, seen from a subscriber beside the running
// program: the media on the camera now, each frame's label, and the diagnostics.
#include <cv_bridge/cv_bridge.h>
#include <diagnostic_msgs/DiagnosticArray.h>
#include <geometry_msgs/PoseWithCovarianceStamped.h>
#include <gtest/gtest.h>
#include <image_transport/camera_common.h>
#include <message_filters/subscriber.h>
#include <message_filters/sync_policies/exact_time.h>
#include <message_filters/synchronizer.h>
#include <sensor_msgs/CameraInfo.h>
#include <signal.h>
#include <std_msgs/String.h>
#include <zel_video_player/FrameLabel.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <regex>
#include <set>

#include "support/media.h"
#include "support/ros_session.h"
#include "support/timing.h"
#include "support/topic_recorder.h"
#include "zel_video_player/world/locations.h"

namespace zel::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Each frame with its camera_info and its label on ~frame_label, as message_filters' ExactTime policy
// pairs them by their headers' stamps, with no help from the test.
class PairedFrames {
 public:
  struct Paired {
    sensor_msgs::CameraInfoConstPtr info;
    zel_video_player::FrameLabelConstPtr label;
  };

  PairedFrames()
      : images_(node_, IMAGE_TOPIC, QUEUE),
        infos_(node_, image_transport::getCameraInfoTopic(IMAGE_TOPIC), QUEUE),
        labels_(node_, private_topic_of_default_node(FRAME_LABEL_TOPIC), QUEUE),
        synchronizer_(Policy(QUEUE), images_, infos_, labels_) {
    synchronizer_.registerCallback(&PairedFrames::on_paired, this);
  }

  std::optional<Paired> of(const ros::Time& stamp) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = paired_.find(stamp);
    if (found == paired_.end()) return std::nullopt;
    return found->second;
  }

 private:
  using Policy = message_filters::sync_policies::ExactTime<sensor_msgs::Image, sensor_msgs::CameraInfo,
                                                           zel_video_player::FrameLabel>;
  static constexpr std::uint32_t QUEUE = 1000;

  void on_paired(const sensor_msgs::ImageConstPtr& image, const sensor_msgs::CameraInfoConstPtr& info,
                 const zel_video_player::FrameLabelConstPtr& label) {
    const std::lock_guard<std::mutex> lock(mutex_);
    EXPECT_TRUE(paired_.emplace(image->header.stamp, Paired{info, label}).second) << "paired twice: " << image->header.stamp;
  }

  ros::NodeHandle node_;
  message_filters::Subscriber<sensor_msgs::Image> images_;
  message_filters::Subscriber<sensor_msgs::CameraInfo> infos_;
  message_filters::Subscriber<zel_video_player::FrameLabel> labels_;
  message_filters::Synchronizer<Policy> synchronizer_;
  mutable std::mutex mutex_;
  std::map<ros::Time, Paired> paired_;
};

class StatusTopicsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { start_ros_session("ros_outputs_test"); }

  void SetUp() override {
    media_ = scratch_.path() + "/media";
    fs::create_directory(media_);
    write_media_folder(media_, 10, 30);
    poses_ = ros::NodeHandle().advertise<geometry_msgs::PoseWithCovarianceStamped>("/amcl_pose", 10);
  }

  Process& start(const std::vector<std::string>& extra_args) {
    std::vector<std::string> args{ZEL_PROGRAM, "--video_folder", media_};
    args.insert(args.end(), extra_args.begin(), extra_args.end());
    programs_.push_back(std::make_unique<Process>(
        args, std::map<std::string, std::string>{{"ROS_HOSTNAME", "127.0.0.1"}, {"ROS_HOME", scratch_.path()}},
        scratch_.path()));
    Process& program = *programs_.back();
    EXPECT_TRUE(program.wait_for_output(" locations:\n", 20s)) << program.err();
    return program;
  }

  void stop(Process& program) {
    program.signal(SIGINT);
    EXPECT_EQ(program.wait_for(5s), 0) << program.err();
  }

  void send_pose(double x, double y) { testing::send_pose(poses_, x, y); }

  TempDir scratch_;
  std::string media_;
  ros::Publisher poses_;
  std::vector<std::unique_ptr<Process>> programs_;
};

TEST_F(StatusTopicsTest, NowShowingFollowsThePlaylistAndNamesEmptyAwayFromEveryPoint) {
  Recorder<std_msgs::String> showing("/zel_tq_video/now_showing");
  Process& program = start({"--test", "--radius", "1.0"});
  const auto names = [&] {
    std::vector<std::string> result;
    for (const auto& message : showing.messages()) result.push_back(message.data);
    return result;
  };
  ASSERT_TRUE(showing.wait_until([](const auto& got) { return got.size() >= 2; }, 10.0));
  for (const auto& name : names()) EXPECT_EQ(name, "empty.mp4");

  send_pose(3.75, 3.5);
  ASSERT_TRUE(program.wait_for_output("Playlist is now: ", 5s)) << program.out();
  std::smatch drawn;
  const std::string out = program.out();
  ASSERT_TRUE(std::regex_search(out, drawn, std::regex(R"(Playlist is now: \['(\w+)'(, '(\w+)')?\]\n)"))) << out;
  std::set<std::string> expected{drawn[1].str() + ".mp4"};
  if (drawn[3].matched) expected.insert(drawn[3].str() + ".mp4");

  // Ten-frame clips: within a second and a half every clip of the playlist has begun at least once.
  const std::size_t before_arrival = names().size();
  ros::WallDuration(1.5).sleep();
  const auto during_stay = names();
  // The clip playing at the arrival may still begin once more before the player sees the move.
  std::size_t first = before_arrival;
  while (first < during_stay.size() && during_stay[first] == "empty.mp4") ++first;
  const std::set<std::string> seen(during_stay.begin() + static_cast<long>(first), during_stay.end());
  EXPECT_EQ(seen, expected);

  send_pose(6.0, 5.0);
  ASSERT_TRUE(program.wait_for_output("Out of point of interest", 5s));
  ASSERT_TRUE(showing.wait_until([](const auto& got) { return got.back().data == "empty.mp4"; }, 5.0));
  const std::size_t after_leaving = names().size();
  ros::WallDuration(0.5).sleep();
  const auto later = names();
  for (std::size_t i = after_leaving; i < later.size(); ++i) EXPECT_EQ(later[i], "empty.mp4");
  EXPECT_GT(later.size(), after_leaving) << "each playback of empty announces itself";
  stop(program);
}

// On both label topics: ~frame_media keyed by the stamp's text, ~frame_label under the frame's own
// header, which also numbers the frames of each clip.
TEST_F(StatusTopicsTest, EveryFrameIsLabelledWithTheMediaItShowsHoweverFastThePointChanges) {
  write_still(media_ + "/dog.jpg", clip_code_of("dog"));
  ImageRecorder images("/camera/image");
  const FrameLabels labels;
  const PairedFrames paired;
  Process& program = start({"--test", "--radius", "1.0"});
  ASSERT_TRUE(labels.wait_for_any(10.0)) << program.err();
  images.clear();

  // In and out of the first point, 10 to 200 ms apart: many a playback ends before its first frame
  // or right after it, where a label taken from ~now_showing would be the one before.
  const Location point = test_locations().front();
  std::mt19937 random(15);
  std::uniform_int_distribution<int> pause_ms(10, 200);
  for (int change = 0; change < 50; ++change) {
    send_pose(point.x + (change % 2 == 0 ? 0.0 : 1.5), point.y);
    ros::WallDuration(pause_ms(random) / 1000.0).sleep();
  }
  ros::WallDuration(0.3).sleep();
  stop(program);

  std::size_t labelled = 0;
  std::size_t synchronized = 0;
  std::set<std::string> shown;
  for (const auto& image : images.images()) {
    const FrameIdentity identity = identify(cv_bridge::toCvShare(image, "bgr8")->image);
    if (const std::optional<PairedFrames::Paired> pair = paired.of(image->header.stamp)) {
      ++synchronized;
      const zel_video_player::FrameLabel& label = *pair->label;
      EXPECT_EQ(label.header.frame_id, image->header.frame_id);
      EXPECT_EQ(pair->info->header.frame_id, image->header.frame_id);
      EXPECT_EQ(clip_code_of(label.media.substr(0, label.media.find('.'))), identity.clip_code)
          << "frame " << image->header.stamp << " labelled " << label.media;
      // The test clips' frames carry their index, from 0; a still's label names no frame.
      EXPECT_EQ(label.frame, label.media == "dog.jpg" ? 0 : identity.frame_index + 1)
          << "frame " << image->header.stamp << " of " << label.media;
    }
    const std::optional<FrameLabels::Label> label = labels.of(image->header.stamp);
    if (!label) continue;
    ++labelled;
    shown.insert(label->media);
    EXPECT_EQ(identity.clip_code, label->clip_code) << "frame " << image->header.stamp << " labelled " << label->media;
  }
  // The last labels may still be on their way when the player stops.
  EXPECT_GE(labelled, images.count() * 99 / 100) << "of " << images.count();
  EXPECT_GE(synchronized, images.count() * 99 / 100) << "of " << images.count();
  EXPECT_GE(shown.size(), 3u);
}

TEST_F(StatusTopicsTest, DiagnosticsCarryTheFrameRateAndThePlayersState) {
  Recorder<diagnostic_msgs::DiagnosticArray> diagnostics("/diagnostics");
  Process& program = start({"--test", "--radius", "1.0"});
  const auto has = [](const std::string& name, const std::function<bool(const diagnostic_msgs::DiagnosticStatus&)>& check) {
    return [name, check](const std::vector<diagnostic_msgs::DiagnosticArray>& got) { return last_status_is(got, name, check); };
  };
  const std::string frequency = "zel_tq_video: /camera/image frequency";
  const std::string playback = "zel_tq_video: playback";
  ASSERT_TRUE(diagnostics.wait_until(
      has(frequency, [](const auto& status) { return status.level == diagnostic_msgs::DiagnosticStatus::OK; }), 10.0))
      << program.err();
  const auto rate = values_of(*find_status(diagnostics.messages().back(), frequency));
  EXPECT_NEAR(std::stod(rate.at("Actual frequency (Hz)")), 30.0, 3.0);
  EXPECT_EQ(rate.at("Minimum acceptable frequency (Hz)"), "27.000000");

  // Passes after the first play a clip opened ahead. A playlist of one clip asks ahead for the very
  // file it plays: asked for before this pass took its clip, it would be the one taken, and every
  // pass would wait for its own opening.
  ASSERT_TRUE(diagnostics.wait_until(has(playback, [](const auto& status) {
    return std::stoull(values_of(status)["Clips ready ahead"]) >= 3;
  }), 10.0 * TIMING_SLACK));
  EXPECT_EQ(values_of(*find_status(diagnostics.messages().back(), playback)).at("Clips opened when due"), "1");

  send_pose(10.7, 6.0);
  ASSERT_TRUE(program.wait_for_output("Playlist is now: ", 5s));
  ASSERT_TRUE(diagnostics.wait_until(
      has(playback, [](const auto& status) { return values_of(status)["Point"] == "2. (10.7, 6)"; }), 5.0));
  const auto state = values_of(*find_status(diagnostics.messages().back(), playback));
  EXPECT_NE(program.out().find("Playlist is now: " + state.at("Playlist")), std::string::npos) << state.at("Playlist");
  EXPECT_EQ(state.at("Media failures"), "0");
  stop(program);
}

TEST_F(StatusTopicsTest, BrokenMediaIsNamedAsFailingAndNothingAsShowingUntilItPlaysAgain) {
  const std::string clip = media_ + "/empty.mp4";
  fs::rename(clip, clip + ".good");
  std::ofstream(clip, std::ios::trunc) << "garbage";
  Recorder<diagnostic_msgs::DiagnosticArray> diagnostics("/diagnostics");
  Recorder<std_msgs::String> showing("/zel_tq_video/now_showing");
  Process& program = start({"--test"});
  const auto playback_says = [&](std::uint8_t level, const std::string& text) {
    return diagnostics.wait_until(
        [&](const auto& got) {
          return last_status_is(got, "zel_tq_video: playback", [&](const auto& status) {
            return status.level == level && status.message.find(text) != std::string::npos;
          });
        },
        5.0 * TIMING_SLACK);
  };
  const auto now_showing_is = [&](const std::string& file) {
    return showing.wait_until([&](const auto& got) { return !got.empty() && got.back().data == file; },
                              5.0 * TIMING_SLACK);
  };
  using diagnostic_msgs::DiagnosticStatus;
  ASSERT_TRUE(playback_says(DiagnosticStatus::ERROR, "showing nothing away from every point: " + clip + " cannot be opened"))
      << program.err();
  EXPECT_TRUE(showing.messages().empty()) << showing.messages().front().data;

  fs::rename(clip + ".good", clip);
  EXPECT_TRUE(playback_says(DiagnosticStatus::OK, "showing empty.mp4"));
  EXPECT_TRUE(now_showing_is("empty.mp4"));

  fs::remove(clip);
  EXPECT_TRUE(playback_says(DiagnosticStatus::ERROR, "empty{.mp4/.jpg} is missing"));
  EXPECT_TRUE(now_showing_is(""));
  stop(program);
}

}  // namespace
}  // namespace zel::testing
