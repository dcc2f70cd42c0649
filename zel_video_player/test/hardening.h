// What the hardening tests share: the node as users run it, beside a private master, and the
// bounds it is held to.
#pragma once

#include <geometry_msgs/PoseWithCovarianceStamped.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <cv_bridge/cv_bridge.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <set>
#include <thread>

#include "support/media.h"
#include "support/proc_stats.h"
#include "support/ros_session.h"
#include "support/timing.h"

namespace zel::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double HUGE_COORDINATE = std::numeric_limits<double>::max();

// Generous: starting a node under a sanitizer on a busy machine can take many seconds.
constexpr auto START_TIMEOUT = 60s;
constexpr double START_SECONDS = 60.0;
// What the running node does at once (a frame, a report, a printed line) comes within this.
constexpr auto PROMPT_TIMEOUT = 5s * TIMING_SLACK;
constexpr double PROMPT_SECONDS = 5.0 * TIMING_SLACK;

// ASan keeps freed memory in quarantine, and TSan keeps shadow and history for all memory once
// touched, so there resident memory grows without a leak; ASan's LeakSanitizer checks the node for
// leaks when it ends instead.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool RESIDENT_MEMORY_TELLS_LEAKS = false;
#else
constexpr bool RESIDENT_MEMORY_TELLS_LEAKS = true;
#endif

// A node that only waits for its next frame uses a few hundredths of a second per second; a
// spinning one uses the whole second.
constexpr double SPIN_CPU_SECONDS = cpu_seconds_bound(0.6, 1.0);

inline std::size_t count_of(const std::string& text, const std::string& needle) {
  std::size_t count = 0;
  for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++count;
  return count;
}

inline int clip_code(const sensor_msgs::ImageConstPtr& image) {
  return identify(cv_bridge::toCvShare(image, "bgr8")->image).clip_code;
}

inline std::set<int> codes_since(const ImageRecorder& recorder, std::size_t first) {
  const auto images = recorder.images();
  std::set<int> codes;
  for (std::size_t i = first; i < images.size(); ++i) codes.insert(clip_code(images[i]));
  return codes;
}

// Waits for a frame of the clip with `code` after the first `first` frames.
inline bool shows(const ImageRecorder& recorder, int code, std::size_t first, double timeout) {
  return wait_until(timeout, [&] { return codes_since(recorder, first).count(code) > 0; });
}

class HardeningTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { start_ros_session("hardening_test"); }

  void SetUp() override {
    ros::NodeHandle node;
    poses_ = node.advertise<geometry_msgs::PoseWithCovarianceStamped>("/amcl_pose", 20000);
  }

  std::string media_folder(const std::string& name) {
    const std::string folder = scratch_.path() + "/" + name;
    fs::create_directory(folder);
    write_media_folder(folder, 10, 30);
    return folder;
  }

  // The program with `args`, under a node name of its own so that several can share the master.
  std::unique_ptr<Process> start(std::vector<std::string> args, const std::vector<std::string>& runner = {},
                                 std::string ros_home = "") {
    static int count = 0;
    args.insert(args.begin(), ZEL_PROGRAM);
    args.insert(args.begin(), runner.begin(), runner.end());
    args.push_back("__name:=zel_hardening_" + std::to_string(++count));
    if (ros_home.empty()) ros_home = scratch_.path();
    const std::map<std::string, std::string> env{{"ROS_MASTER_URI", ::getenv("ROS_MASTER_URI")},
                                                 {"ROS_HOSTNAME", "127.0.0.1"},
                                                 {"ROS_HOME", ros_home},
                                                 {"ROS_LOG_DIR", ros_home + "/log"}};
    return std::make_unique<Process>(args, env, scratch_.path());
  }

  // The node in test mode, its four points listed.
  std::unique_ptr<Process> start_node(const std::string& media, const std::vector<std::string>& runner = {},
                                      const std::string& ros_home = "") {
    auto node = start({"--test", "--radius", "1.0", "--video_folder", media}, runner, ros_home);
    EXPECT_TRUE(node->wait_for_output("    4. (10.6, 2.35)", START_TIMEOUT)) << node->out() << node->err();
    return node;
  }

  static void interrupt(Process& node) {
    node.signal(SIGINT);
    EXPECT_EQ(node.wait_for(10s * TIMING_SLACK), 0) << node.err();
  }

  void send_pose(double x, double y) { testing::send_pose(poses_, x, y); }

  TempDir scratch_;
  ros::Publisher poses_;
};

}  // namespace zel::testing
