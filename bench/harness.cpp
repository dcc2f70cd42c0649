#include "harness.h"

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include <geometry_msgs/PoseWithCovarianceStamped.h>

#include "measures.h"
#include "zel_video_player/player/ros/names.h"
#include "zel_video_player/localiser_pose.h"
#include "zel_video_player/cancellation.h"

namespace zel::bench {
namespace {

using zel::testing::Process;

std::atomic<bool> interrupt_requested{false};

void on_interrupt(int) { interrupt_requested = true; }

}  // namespace

void check_interrupt() {
  if (interrupt_requested) throw Interrupted();
}

void install_interrupt_handler() {
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

void pause_for(double seconds) {
  const double end = now_seconds() + seconds;
  while (now_seconds() < end) {
    check_interrupt();
    sleep_until_seconds(std::min(end, now_seconds() + 0.05));
  }
  check_interrupt();
}

void stop(std::unique_ptr<Process>& process, double timeout_seconds) {
  if (!process) return;
  process->signal(SIGINT);
  process->wait_for(std::chrono::milliseconds(static_cast<int>(timeout_seconds * 1000)));
  process.reset();  // kills it if SIGINT was not enough
}

Harness::Harness(BenchOptions options) : options_(std::move(options)) {
  for (const auto& [key, value] : master_.env()) ::setenv(key.c_str(), value.c_str(), 1);
  int argc = 1;
  char name[] = "zel_bench";
  char* argv[] = {name, nullptr};
  ros::init(argc, argv, "zel_bench", ros::init_options::NoSigintHandler);
  node_.emplace();
  probe_.emplace(*node_, IMAGE_TOPIC);
  pose_publisher_ = node_->advertise<geometry_msgs::PoseWithCovarianceStamped>(POSE_TOPIC, 100);
  spinner_.emplace(1);
  spinner_->start();
}

Harness::~Harness() {
  spinner_->stop();
  pose_publisher_.shutdown();
  probe_.reset();
  node_.reset();
  ros::shutdown();
}

std::map<std::string, std::string> Harness::workspace_env() const {
  auto env = master_.env();
  env["ROS_PACKAGE_PATH"] = ZEL_PACKAGE_PATH;
  env["CMAKE_PREFIX_PATH"] = ZEL_DEVEL_PREFIX;
  return env;
}

std::string Harness::work_path(const std::string& name) const { return work_.path() + "/" + name; }

std::unique_ptr<Process> Harness::start(const std::vector<std::string>& argv,
                                         const std::map<std::string, std::string>& env) {
  return std::make_unique<Process>(argv, env, work_.path());
}

std::unique_ptr<Process> Harness::start_player(const std::string& media_folder, const std::vector<std::string>& wrapper,
                                               const std::vector<std::string>& ros_args) {
  std::vector<std::string> argv = wrapper;
  for (const std::string& arg : {options_.player_program, std::string("--test"), std::string("--video_folder"),
                                 media_folder}) {
    argv.push_back(arg);
  }
  argv.insert(argv.end(), ros_args.begin(), ros_args.end());
  return start(argv, workspace_env());
}

void Harness::wait_for_frames(std::size_t count, double timeout_seconds, Process& player) {
  const double end = now_seconds() + timeout_seconds;
  while (!probe_->wait_for_count(count, 0.1)) {
    check_interrupt();
    // A player that crashed says so at once, rather than as too few frames a minute later.
    if (const std::optional<int> status = player.wait_for(std::chrono::milliseconds(0))) {
      const std::string how = *status < 0 ? "signal " + std::to_string(-*status) : "status " + std::to_string(*status);
      throw std::runtime_error("the player ended (" + how + ") before its frames came; its output:\n" + player.out() +
                               player.err());
    }
    if (now_seconds() > end) {
      throw std::runtime_error("the player published too few frames; its output:\n" + player.out() + player.err());
    }
  }
}

void Harness::wait_for_pose_subscriber(const Process& player) {
  const double end = now_seconds() + 30.0;
  while (pose_publisher_.getNumSubscribers() == 0) {
    if (now_seconds() > end) throw std::runtime_error("the player never subscribed to poses:\n" + player.err());
    pause_for(0.05);
  }
}

void Harness::publish_pose(const Location& where) {
  pose_publisher_.publish(zel::localiser_pose(where.x, where.y, 0.0, ros::Time::now()));
}

}  // namespace zel::bench
