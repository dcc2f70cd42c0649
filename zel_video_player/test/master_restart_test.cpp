// The master stopped and started again while the node plays. ROS 1 peers keep the connections they
// already have, so frames and poses go on flowing; the node must neither end nor spin meanwhile,
// must register again so that peers starting later find it, and an interrupt must still end it
// normally, also while no master is there.
// A program of its own: this process joins a master that the test stops and starts on one port.
#include <geometry_msgs/PoseWithCovarianceStamped.h>
#include <ros/master.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include "zel_video_player/localiser_pose.h"

#include "support/media.h"
#include "support/proc_stats.h"
#include "support/process.h"
#include "support/ros_session.h"
#include "support/timing.h"

namespace zel::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A rosmaster that keeps its port across a stop and a start.
class RestartableMaster {
 public:
  explicit RestartableMaster(const std::string& dir) : port_(free_tcp_port()), dir_(dir) {
    env_ = {{"ROS_MASTER_URI", "http://127.0.0.1:" + std::to_string(port_)},
            {"ROS_HOSTNAME", "127.0.0.1"},
            {"ROS_HOME", dir},
            {"ROS_LOG_DIR", dir + "/log"}};
    start();
  }
  ~RestartableMaster() { stop(); }

  void start() {
    master_.emplace(std::vector<std::string>{"rosmaster", "--core", "-p", std::to_string(port_)}, env_, dir_);
    for (int i = 0; i < 300 && !port_accepts(port_); ++i) std::this_thread::sleep_for(50ms);
    if (!port_accepts(port_)) throw std::runtime_error("rosmaster did not start: " + master_->err());
  }

  void stop() {
    if (!master_) return;
    master_->signal(SIGINT);
    if (!master_->wait_for(10s)) master_->signal(SIGKILL);
    master_->wait_for(5s);
    master_.reset();
  }

  const std::map<std::string, std::string>& env() const { return env_; }

 private:
  int port_;
  std::string dir_;
  std::map<std::string, std::string> env_;
  std::optional<Process> master_;
};

// Of one second, which a spinning node uses whole.
constexpr double SPIN_CPU_SECONDS = cpu_seconds_bound(0.6, 1.0);
constexpr auto PROMPT_TIMEOUT = 5s * TIMING_SLACK;

TEST(MasterRestart, NodePlaysOnAndEndsNormallyWithoutAMaster) {
  TempDir scratch;
  RestartableMaster master(scratch.path());
  for (const auto& [key, value] : master.env()) ::setenv(key.c_str(), value.c_str(), 1);
  int argc = 1;
  char name[] = "master_restart_test";
  char* argv[] = {name, nullptr};
  ros::init(argc, argv, "master_restart_test", ros::init_options::NoSigintHandler);
  ros::start();
  ros::AsyncSpinner spinner(1);
  spinner.start();

  const std::string media = scratch.path() + "/media";
  fs::create_directory(media);
  write_media_folder(media, 10, 30);
  std::optional<ImageRecorder> recorder(std::in_place, "/camera/image");
  ros::NodeHandle handle;
  ros::Publisher poses = handle.advertise<geometry_msgs::PoseWithCovarianceStamped>("/amcl_pose", 100);
  Process node({ZEL_PROGRAM, "--test", "--radius", "1.0", "--video_folder", media}, master.env(), scratch.path());
  ASSERT_TRUE(recorder->wait_for_count(10, 60.0)) << node.err();
  for (int i = 0; i < 500 && poses.getNumSubscribers() == 0; ++i) std::this_thread::sleep_for(20ms);
  ASSERT_EQ(poses.getNumSubscribers(), 1u);

  const auto send_pose = [&](double x, double y) {
    poses.publish(localiser_pose(x, y));
  };
  const auto frames_keep_coming = [&] {
    const std::size_t seen = recorder->count();
    return recorder->wait_for_count(seen + 15, 5.0 * TIMING_SLACK);
  };

  master.stop();
  EXPECT_TRUE(frames_keep_coming()) << node.err();
  send_pose(3.75, 3.5);
  EXPECT_TRUE(node.wait_for_output("Inside radius of point of interest of location 1\n", PROMPT_TIMEOUT))
      << node.out();
  EXPECT_LT(cpu_over(node, 1s), SPIN_CPU_SECONDS);

  master.start();
  // The restarted master knows nothing; the node must notice and register everything again.
  const auto master_knows_node = [] {
    std::vector<std::string> nodes;
    return ros::master::getNodes(nodes) && std::count(nodes.begin(), nodes.end(), "/zel_tq_video") == 1;
  };
  bool registered = false;
  for (int i = 0; i < 100 * TIMING_SLACK && !registered; ++i) {
    std::this_thread::sleep_for(100ms);
    registered = master_knows_node();
  }
  EXPECT_TRUE(registered) << node.err() << node.out();
  EXPECT_TRUE(frames_keep_coming()) << node.err();
  send_pose(6.0, 5.0);
  EXPECT_TRUE(node.wait_for_output("Out of point of interest, playing empty video.\n", PROMPT_TIMEOUT))
      << node.out();
  EXPECT_LT(cpu_over(node, 1s), SPIN_CPU_SECONDS);
  EXPECT_FALSE(node.wait_for(0ms).has_value()) << node.err();

  // Peers that come after the restart find the node through the new master alone.
  recorder.reset();
  poses.shutdown();
  ImageRecorder late_recorder("/camera/image");
  EXPECT_TRUE(late_recorder.wait_for_count(15, 10.0 * TIMING_SLACK)) << node.err();
  ros::Publisher late_poses = handle.advertise<geometry_msgs::PoseWithCovarianceStamped>("/amcl_pose", 100);
  for (int i = 0; i < 500 && late_poses.getNumSubscribers() == 0; ++i) std::this_thread::sleep_for(20ms);
  late_poses.publish(localiser_pose(3.78, 7.78));
  EXPECT_TRUE(node.wait_for_output("Inside radius of point of interest of location 3\n", PROMPT_TIMEOUT))
      << node.out();
  EXPECT_EQ(lines_containing(node.err(), "does not answer").size(), 1u) << node.err();
  EXPECT_EQ(lines_containing(node.out(), "registered again with the ROS master").size(), 1u) << node.out();

  master.stop();
  node.signal(SIGINT);
  EXPECT_EQ(node.wait_for(10s * TIMING_SLACK), 0) << node.err();
  master.start();
  ros::shutdown();
}

}  // namespace
}  // namespace zel::testing
