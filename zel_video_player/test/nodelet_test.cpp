// The player as a nodelet, loaded by its exported name into this process, which plays the manager:
// frames handed over by pointer, a prompt unload, start-ups that fail without ending the manager,
// and players for several robots side by side.
#include <diagnostic_msgs/DiagnosticArray.h>
#include <geometry_msgs/PoseWithCovarianceStamped.h>
#include <gtest/gtest.h>
#include <std_msgs/String.h>
#include <visualization_msgs/MarkerArray.h>

#include <boost/make_shared.hpp>
#include <boost/weak_ptr.hpp>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <nodelet/loader.h>
#include <opencv2/core/utils/logger.hpp>
#include <pluginlib/class_loader.hpp>

extern "C" {
#include <libavutil/log.h>
}

#include "support/build_plugins.h"
#include "support/media.h"
#include "support/ros_session.h"
#include "support/timing.h"
#include "support/topic_recorder.h"
#include "zel_video_player/world/locations.h"
#include "zel_video_player/app/ros/player_nodelet.h"
#include "zel_video_player/world/world.h"

namespace zel::testing {
namespace {

constexpr const char* PLAYER_TYPE = "zel_video_player/ZELVideoPlayerNodelet";
constexpr const char* NEIGHBOUR_TYPE = "zel_test/MediaNeighbour";
constexpr const char* NEIGHBOURS_FFMPEG_LINE = "the neighbour's own FFmpeg error";
constexpr const char* NEIGHBOURS_OPENCV_LINE = "the neighbour's own OpenCV warning";

// Another package's nodelet in the player's manager, whose media libraries speak as it starts.
class MediaNeighbour : public nodelet::Nodelet {
  void onInit() override {
    av_log(nullptr, AV_LOG_ERROR, "%s\n", NEIGHBOURS_FFMPEG_LINE);
    CV_LOG_WARNING(nullptr, NEIGHBOURS_OPENCV_LINE);
  }
};

std::size_t count_of(const std::string& text, const std::string& needle) {
  return lines_containing(text, needle).size();
}

class NodeletTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    start_ros_session("nodelet_test");
    find_plugins_in_this_build();
  }

  // Stills only: "empty" then shows one picture for eight seconds, one message object throughout.
  void SetUp() override {
    folder_ = dir_.path() + "/";
    std::vector<std::string> names(OBJECT_LIST.begin(), OBJECT_LIST.end());
    names.emplace_back(EMPTY_CLIP);
    for (const auto& name : names) write_still(folder_ + name + ".jpg", clip_code_of(name));
  }

  bool load(const std::vector<std::string>& args, const nodelet::M_string& remappings = {},
            const std::string& name = "/zel_tq_video") {
    return manager_.load(name, PLAYER_TYPE, remappings, args);
  }

  const ZELVideoPlayer* player() const {
    const auto loaded = boost::dynamic_pointer_cast<ZELVideoPlayerNodelet>(loaded_.lock());
    return loaded ? loaded->player() : nullptr;
  }

  TempDir dir_;
  std::string folder_;
  pluginlib::ClassLoader<nodelet::Nodelet> plugins_{"nodelet", "nodelet::Nodelet"};
  // Held weakly, so that an unload destroys the nodelet as it does in a manager.
  boost::weak_ptr<nodelet::Nodelet> loaded_;
  nodelet::Loader manager_{[this](const std::string& type) -> boost::shared_ptr<nodelet::Nodelet> {
    if (type == NEIGHBOUR_TYPE) return boost::make_shared<MediaNeighbour>();
    const boost::shared_ptr<nodelet::Nodelet> created = plugins_.createInstance(type);
    loaded_ = created;
    return created;
  }};
};

TEST_F(NodeletTest, UnloadDuringAStillEndsPlaybackAtOnce) {
  ImageRecorder recorder("/camera/image");
  ASSERT_TRUE(load({"--video_folder", dir_.path()}));
  ASSERT_TRUE(recorder.wait_for_count(3, 10.0 * TIMING_SLACK));
  const ros::WallTime start = ros::WallTime::now();
  ASSERT_TRUE(manager_.unload("/zel_tq_video"));
  EXPECT_LT((ros::WallTime::now() - start).toSec(), 2.0 * TIMING_SLACK);
  EXPECT_TRUE(loaded_.expired());
  ros::WallDuration(0.3).sleep();  // deliveries already under way
  const std::size_t count = recorder.count();
  ros::WallDuration(1.0).sleep();
  EXPECT_EQ(recorder.count(), count);
}

TEST_F(NodeletTest, FailedStartUpsLeaveTheManagerRunningAndPlayNothing) {
  ImageRecorder recorder("/camera/image");
  const TempDir incomplete;
  const std::vector<std::vector<std::string>> failing = {
      {"--video_folder", incomplete.path()}, {"--radius", "wide", "--video_folder", dir_.path()},
      {"--video_folder", ""}, {"--help"}};
  std::string said;
  {
    const CapturedOutput errors(STDERR_FILENO);
    for (const auto& args : failing) {
      load(args);
      EXPECT_EQ(player(), nullptr) << args.front() << " " << args.back();
      manager_.unload("/zel_tq_video");
    }
    said = errors.text();
  }
  // The usage error's last line, the one that says what is wrong, says whose it is too.
  EXPECT_EQ(count_of(said, "[/zel_tq_video] " ZEL_PROGRAM_NAME ": error: argument --radius: invalid float value"), 1u) << said;
  ros::WallDuration(0.5).sleep();
  EXPECT_EQ(recorder.count(), 0u);
  // Still a working manager: the next good load plays.
  ASSERT_TRUE(load({"--video_folder", dir_.path()}));
  EXPECT_TRUE(recorder.wait_for_count(1, 10.0 * TIMING_SLACK));
}

// A player leaves the process as the manager's other nodelets rely on it: their own FFmpeg and
// OpenCV messages show beside it, and its broken clip lets FFmpeg speak only rarely.
TEST_F(NodeletTest, ANeighbourStillHearsItsMediaLibrariesBesideAPlayerWithBrokenMedia) {
  const std::string broken = folder_ + "empty.mp4";
  write_clip(broken, clip_code_of("empty"), 30, 30);
  std::filesystem::resize_file(broken, std::filesystem::file_size(broken) / 2);  // cut before its index
  std::filesystem::remove(folder_ + "empty.jpg");
  const char* const environment_before = std::getenv("OPENCV_FFMPEG_LOGLEVEL");
  std::string said;
  {
    const CapturedOutput errors(STDERR_FILENO);
    load({"--video_folder", dir_.path()});
    manager_.load("/neighbour", NEIGHBOUR_TYPE, {}, {});
    ros::WallDuration(2.0).sleep();
    said = errors.text();
  }
  EXPECT_EQ(count_of(said, NEIGHBOURS_FFMPEG_LINE), 1u) << said;
  EXPECT_EQ(count_of(said, NEIGHBOURS_OPENCV_LINE), 1u) << said;
  EXPECT_EQ(std::getenv("OPENCV_FFMPEG_LOGLEVEL"), environment_before);
  // Tried at once and a second later, FFmpeg's word each time.
  const std::size_t tries = count_of(said, "moov atom not found");
  EXPECT_GE(tries, 1u) << said;
  EXPECT_LE(tries, 2u) << said;
}

TEST_F(NodeletTest, PlayersForTwoRobotsInOneManagerKeepToTheirOwnNames) {
  struct Robot {
    std::string name;
    Recorder<std_msgs::String> showing;
    Recorder<visualization_msgs::MarkerArray> markers;
    ImageRecorder images;
    ros::Publisher poses;
  };
  const auto robot = [](const std::string& name) {
    return std::unique_ptr<Robot>(new Robot{name, Recorder<std_msgs::String>("/" + name + "/now_showing"),
                                         Recorder<visualization_msgs::MarkerArray>("/" + name + "/points_of_interest"),
                                         ImageRecorder("/" + name + "/image"),
                                         ros::NodeHandle().advertise<geometry_msgs::PoseWithCovarianceStamped>(
                                             "/" + name + "/pose", 10)});
  };
  const auto a = robot("robot_a");
  const auto b = robot("robot_b");
  Recorder<diagnostic_msgs::DiagnosticArray> diagnostics("/diagnostics");
  // What both print and log on the manager's standard output, robot_a's arrival among it.
  std::string printed;
  {
    const CapturedOutput out(STDOUT_FILENO);
    for (const Robot* r : {a.get(), b.get()}) {
      ASSERT_TRUE(load({"--test", "--video_folder", dir_.path()},
                       {{"/camera/image", "/" + r->name + "/image"}, {"/amcl_pose", "/" + r->name + "/pose"}},
                       "/" + r->name));
    }
    const Location point = test_locations().front();
    send_pose(a->poses, point.x, point.y);
    wait_until(10.0 * TIMING_SLACK, [&] { return out.text().find("[/robot_a] Playlist is now: ") != std::string::npos; });
    printed = out.text();
  }
  // Every line of theirs names its player, before the text the program prints.
  const std::vector<std::string> players_texts{"ZEL ", "Using arguments", "         ", ". (", "Inside", "Playlist"};
  for (const std::string& line : split_lines(printed)) {
    if (lines_containing(line, "[/robot_a] ").empty() && lines_containing(line, "[/robot_b] ").empty()) {
      for (const auto& text : players_texts) EXPECT_EQ(line.find(text), std::string::npos) << line;
    }
  }
  EXPECT_EQ(count_of(printed, "[/robot_a] Inside radius of point of interest of location 1"), 1u) << printed;
  for (const Robot* r : {a.get(), b.get()}) EXPECT_EQ(count_of(printed, "[/" + r->name + "]     1. (3.75, 3.5)"), 1u);

  ASSERT_TRUE(a->showing.wait_until([](const auto& got) { return !got.empty() && got.back().data != "empty.jpg"; },
                                    10.0 * TIMING_SLACK));
  for (const Robot* r : {a.get(), b.get()}) {
    SCOPED_TRACE(r->name);
    EXPECT_TRUE(r->markers.wait_until([](const auto& got) { return !got.empty(); }, 10.0 * TIMING_SLACK));
    EXPECT_TRUE(r->images.wait_for_count(1, 10.0 * TIMING_SLACK));
    EXPECT_TRUE(diagnostics.wait_until(
        [&](const auto& got) {
          return last_status_is(got, r->name + ": playback", [](const auto&) { return true; }) &&
                 last_status_is(got, r->name + ": /" + r->name + "/image frequency", [](const auto&) { return true; });
        },
        10.0 * TIMING_SLACK));
  }
  const auto b_showing = b->showing.messages();
  ASSERT_FALSE(b_showing.empty());
  EXPECT_EQ(b_showing.back().data, "empty.jpg") << "robot_b stands at no point";
  // A subscriber in the manager is handed the published message itself, under the remapped name:
  // sooner or later the last it got is the last the player sent, which a copy never is.
  ASSERT_NE(player(), nullptr);
  EXPECT_TRUE(wait_until(5.0 * TIMING_SLACK, [&] {
    const auto images = b->images.images();
    return !images.empty() && images.back().get() == player()->last_published();
  }));
}

}  // namespace
}  // namespace zel::testing
