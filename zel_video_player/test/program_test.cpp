// The whole node as users run it: a real master, the program, a pose publisher and an image
// subscriber in this process talking to it over TCP.
#include <cv_bridge/cv_bridge.h>
#include <geometry_msgs/PoseWithCovarianceStamped.h>
#include <gtest/gtest.h>
#include <ros/master.h>
#include <signal.h>

#include <diagnostic_msgs/DiagnosticArray.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <regex>
#include <thread>

#include "support/media.h"
#include "support/ros_session.h"
#include "support/timing.h"
#include "support/topic_recorder.h"
#include "zel_video_player/sim/sim_clock.h"

namespace zel::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ProgramTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { start_ros_session("program_test"); }

  void SetUp() override {
    media_ = scratch_.path() + "/media";
    fs::create_directory(media_);
    write_media_folder(media_, 10, 30);
    ros::NodeHandle node;
    poses_ = node.advertise<geometry_msgs::PoseWithCovarianceStamped>("/amcl_pose", 10);
  }

  // Ended as Ctrl-C ends it: killed, it would stay registered with the master, which the suite's
  // later cases share when the suite runs in one process (catkin's run_tests).
  void TearDown() override {
    if (!program_) return;
    program_->signal(SIGINT);
    program_->wait_for(5s * TIMING_SLACK);
  }

  void start() {
    const std::vector<std::string> args{ZEL_PROGRAM, "--test", "--radius", "1.0", "--video_folder", media_};
    std::map<std::string, std::string> env{{"ROS_MASTER_URI", ::getenv("ROS_MASTER_URI")},
                                           {"ROS_HOSTNAME", "127.0.0.1"},
                                           {"ROS_HOME", scratch_.path()}};
    program_.emplace(args, env, scratch_.path());
    ASSERT_TRUE(program_->wait_for_output("    4. (10.6, 2.35)", 20s * TIMING_SLACK))
        << program_->out() << program_->err();
  }

  void send_pose(double x, double y) { testing::send_pose(poses_, x, y); }

  TempDir scratch_;
  std::string media_;
  ros::Publisher poses_;
  std::optional<Process> program_;
};

TEST_F(ProgramTest, InSimulatedTimeFramesFollowTheClock) {
  // For this test's program only: the tests after it in this process start theirs on wall time.
  const SimTimeParameter simulated_time;
  ImageRecorder recorder("/camera/image");
  const Recorder<diagnostic_msgs::DiagnosticArray> diagnostics("/diagnostics");
  const auto frequency_says = [&](const std::string& text) {
    return diagnostics.wait_until([&](const auto& got) {
      return last_status_is(got, "zel_tq_video: /camera/image frequency",
                            [&](const auto& status) { return status.message == text; });
    }, 5.0 * TIMING_SLACK);
  };
  start();
  // No clock yet: at most the first frame, which may go out before this subscriber is connected.
  EXPECT_TRUE(frequency_says("Waiting for the simulated clock (/clock)"));
  EXPECT_LE(recorder.count(), 1u);

  // A simulator at twice real speed: twice the frames a wall second.
  ros::NodeHandle node;
  std::optional<SimClock> simulator;
  simulator.emplace(node, SimClockOptions{2.0, 500.0, 10.0});
  ASSERT_TRUE(recorder.wait_for_count(30, 10.0 * TIMING_SLACK));
  recorder.clear();
  ros::WallDuration(2.0).sleep();
  EXPECT_GT(recorder.count(), 100u / TIMING_SLACK);
  EXPECT_LT(recorder.count(), 140u);

  // Paused: nothing is due, and the diagnostics say why; a pose is still tracked at once.
  simulator.reset();
  EXPECT_TRUE(frequency_says("Simulated clock paused"));
  recorder.clear();
  ros::WallDuration(0.5).sleep();
  EXPECT_EQ(recorder.count(), 0u);
  send_pose(3.75, 3.5);
  EXPECT_TRUE(program_->wait_for_output("Playlist is now: ", 5s * TIMING_SLACK)) << program_->out();
  program_->signal(SIGINT);
  EXPECT_EQ(program_->wait_for(2s * TIMING_SLACK), 0) << program_->err();
}

TEST_F(ProgramTest, LogAndPrintedLinesReachAPipeAsTheyHappenInOrder) {
  // Clips of two seconds make a log line only now and then, which a block buffer would hold back
  // for minutes.
  write_media_folder(media_, 60, 30);
  const auto started = std::chrono::steady_clock::now();
  program_.emplace(std::vector<std::string>{ZEL_PROGRAM, "--test", "--radius", "1.0", "--video_folder", media_},
                   std::map<std::string, std::string>{{"ROS_HOSTNAME", "127.0.0.1"}, {"ROS_HOME", scratch_.path()}},
                   scratch_.path(), true);
  ASSERT_TRUE(program_->wait_for_output("ZEL video player: Playing video empty.mp4", 10s * TIMING_SLACK))
      << program_->out();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s * TIMING_SLACK);

  send_pose(3.75, 3.5);
  ASSERT_TRUE(program_->wait_for_output("Playlist is now: ", 5s * TIMING_SLACK)) << program_->out();
  // The first name's "Playing" line follows the printed playlist within a clip's time.
  const auto first_name_playing = [&] {
    const std::string out = program_->out();
    return std::regex_search(out, std::regex(R"(Playlist is now: \['(\w+)'[\s\S]*Playing (video )?\1\.)"));
  };
  for (int i = 0; i < 250 * TIMING_SLACK && !first_name_playing(); ++i) std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(first_name_playing()) << program_->out();
  const std::string out = program_->out();
  EXPECT_LT(out.find("Using arguments:"), out.find("         test: True"));
  EXPECT_LT(out.find("    4. (10.6, 2.35)"), out.find("Playing video empty.mp4"));
}

// A robot on a circle's edge, or poses in a burst after a stall: out and back in between two frames
// is a new arrival, whose playlist starts from its first frame at once.
TEST_F(ProgramTest, OutAndBackInBetweenTwoFramesStartsTheNewPlaylistAtOnce) {
  ImageRecorder recorder("/camera/image");
  start();
  send_pose(3.75, 3.5);
  ASSERT_TRUE(program_->wait_for_output("Playlist is now: ", 5s * TIMING_SLACK)) << program_->out();
  const auto identity_at = [&](std::size_t i) { return identify(cv_bridge::toCvShare(recorder.images()[i], "bgr8")->image); };
  for (int round = 1; round <= 5; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // Mid-clip, so that the old pass going on cannot be mistaken for the new one beginning.
    ASSERT_TRUE(wait_until(5.0 * TIMING_SLACK, [&] {
      const std::size_t n = recorder.count();
      const int frame = n ? identity_at(n - 1).frame_index : -1;
      return frame >= 2 && frame <= 4;
    }));
    const std::size_t before = recorder.count();
    const FrameIdentity last_old = identity_at(before - 1);
    const ros::Time sent = ros::Time::now();
    send_pose(7.2, 9.8);
    send_pose(3.75, 3.5);
    std::string last_playlist;
    ASSERT_TRUE(wait_until(5.0 * TIMING_SLACK, [&] {
      const auto playlists = lines_containing(program_->out(), "Playlist is now: ['");
      if (static_cast<int>(playlists.size()) != round + 1) return false;
      last_playlist = playlists.back();
      return true;
    })) << program_->out();
    const std::size_t name_at = last_playlist.find("['") + 2;
    const int first_code = clip_code_of(last_playlist.substr(name_at, last_playlist.find('\'', name_at) - name_at));
    std::size_t first_new = before;
    ASSERT_TRUE(wait_until(5.0 * TIMING_SLACK, [&] {
      for (; first_new < recorder.count(); ++first_new) {
        const FrameIdentity frame = identity_at(first_new);
        if (frame.clip_code == first_code && frame.frame_index == 0) return recorder.count() >= first_new + 3;
      }
      return false;
    })) << "the new playlist never began";
    // Between them only the frame that was going out when the poses came, and, where the leaving
    // was seen before the arrival came in, "empty" from its start: the old pass never goes on.
    EXPECT_LE(first_new - before, 2u);
    std::size_t i = before;
    for (; i < first_new && identity_at(i).clip_code == last_old.clip_code; ++i) {
      EXPECT_EQ(identity_at(i).frame_index, last_old.frame_index + 1 + static_cast<int>(i - before));
    }
    for (int empty_frame = 0; i < first_new; ++i, ++empty_frame) {
      EXPECT_EQ(identity_at(i).clip_code, clip_code_of("empty"));
      EXPECT_EQ(identity_at(i).frame_index, empty_frame);
    }
    for (int k = 1; k <= 2; ++k) EXPECT_EQ(identity_at(first_new + k).frame_index, k);
    const double latency = (recorder.images()[first_new]->header.stamp - sent).toSec();
    EXPECT_LT(latency, 0.1 * TIMING_SLACK) << "the new playlist began " << latency << " s after the poses";
  }
}

TEST_F(ProgramTest, ServesCompressedFramesInItsWorkspaceAndWarnsWhereTheyCannotBeFound) {
  // A topic of this case's own: where a runner keeps one master for the whole suite, a player that
  // an earlier case killed may still stand registered on /camera/image/compressed.
  const std::string image_topic = "/compressed_check/image";
  const auto publishes_compressed = [&] {
    ros::master::V_TopicInfo topics;
    ros::master::getTopics(topics);
    return std::any_of(topics.begin(), topics.end(),
                       [&](const ros::master::TopicInfo& topic) { return topic.name == image_topic + "/compressed"; });
  };
  const std::string warning = "image_transport finds no compressed transport";
  // What sourcing the build's setup.bash gives.
  std::map<std::string, std::string> env{{"ROS_HOSTNAME", "127.0.0.1"}, {"ROS_HOME", scratch_.path()},
                                         {"ROS_PACKAGE_PATH", ZEL_PACKAGE_PATH}, {"CMAKE_PREFIX_PATH", ZEL_DEVEL_PREFIX}};
  const std::vector<std::string> args{ZEL_PROGRAM, "--test", "--video_folder", media_, "/camera/image:=" + image_topic};
  {
    Process player(args, env, scratch_.path());
    // Its points are listed once its stop handlers are in place.
    ASSERT_TRUE(player.wait_for_output("    4. (10.6, 2.35)", 20s * TIMING_SLACK)) << player.err();
    EXPECT_TRUE(wait_until(10.0 * TIMING_SLACK, publishes_compressed)) << player.err();
    EXPECT_EQ(player.err().find(warning), std::string::npos) << player.err();
    // Ended as Ctrl-C ends it, so that it unregisters its topics.
    player.signal(SIGINT);
    ASSERT_EQ(player.wait_for(5s * TIMING_SLACK), 0) << player.err();
  }
  ASSERT_FALSE(publishes_compressed());
  // Started by its path from elsewhere: pluginlib finds no package that declares it.
  env["ROS_PACKAGE_PATH"] = scratch_.path();
  Process player(args, env, scratch_.path());
  EXPECT_TRUE(wait_until(10.0 * TIMING_SLACK, [&] { return player.err().find(warning) != std::string::npos; }))
      << player.err();
  EXPECT_FALSE(publishes_compressed());
}

TEST_F(ProgramTest, InterruptOrTerminationEndsCleanlyInEveryState) {
  const auto ends_promptly_with_status_zero = [](Process& program, int signal_number) {
    SCOPED_TRACE(program.out().substr(0, 400));
    const auto sent = std::chrono::steady_clock::now();
    program.signal(signal_number);
    EXPECT_EQ(program.wait_for(5s * TIMING_SLACK), 0) << program.err();
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 2s * TIMING_SLACK);
  };
  const auto node_is_registered = [] {
    std::vector<std::string> nodes;
    ros::master::getNodes(nodes);
    return std::count(nodes.begin(), nodes.end(), "/zel_tq_video") > 0;
  };
  const std::map<std::string, std::string> env{{"ROS_HOSTNAME", "127.0.0.1"}, {"ROS_HOME", scratch_.path()}};

  // Showing a still: a closed terminal ends it as Ctrl-C does, unregistered.
  write_still(media_ + "/empty.jpg", clip_code_of("empty"));
  ImageRecorder recorder("/camera/image");
  start();
  ASSERT_TRUE(recorder.wait_for_count(10, 10.0 * TIMING_SLACK));
  EXPECT_TRUE(node_is_registered());
  ends_promptly_with_status_zero(*program_, SIGHUP);
  EXPECT_FALSE(node_is_registered());

  // Waiting for a master that does not answer.
  for (const int signal_number : {SIGINT, SIGTERM}) {
    auto no_master = env;
    no_master["ROS_MASTER_URI"] = "http://127.0.0.1:" + std::to_string(free_tcp_port());
    Process waiting({ZEL_PROGRAM, "--test", "--video_folder", media_}, no_master, scratch_.path());
    ASSERT_TRUE(wait_until(10.0 * TIMING_SLACK,
                           [&] { return waiting.err().find("Failed to contact master") != std::string::npos; }))
        << waiting.err();
    ends_promptly_with_status_zero(waiting, signal_number);
  }

  // Placing a hundred million points (ten million under the sanitizers, which slow every point
  // down), then listing millions of them. ThreadSanitizer runs a signal handler
  // only when the thread next calls into the C library, which the placing loop never does.
#ifndef __SANITIZE_THREAD__
  const std::string many = TIMING_SLACK > 1 ? "10000000" : "100000000";
  Process placing({ZEL_PROGRAM, "--num_locations", many, "--video_folder", media_}, env, scratch_.path());
  ASSERT_TRUE(placing.wait_for_output("         video_folder: ", 20s)) << placing.err();
  std::this_thread::sleep_for(1s);
  ends_promptly_with_status_zero(placing, SIGINT);
#endif
  Process listing({ZEL_PROGRAM, "--num_locations", "5000000", "--video_folder", media_}, env, scratch_.path());
  ASSERT_TRUE(listing.wait_for_output("    100000. (", 60s * TIMING_SLACK)) << listing.err();
  ends_promptly_with_status_zero(listing, SIGINT);
  const std::string listed = listing.out();
  EXPECT_EQ(listed.substr(listed.size() - 2), ")\n");
}

}  // namespace
}  // namespace zel::testing
