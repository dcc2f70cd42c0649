#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <ros/ros.h>

#include "frame_probe.h"
#include "support/process.h"
#include "zel_video_player/world/locations.h"

namespace zel::bench {

// A pace is kept when the rate is within this of its target and the p99 of the intervals between
// frames at a subscriber stays under this many periods.
inline constexpr double RATE_TOLERANCE = 0.01;
inline constexpr double ARRIVAL_P99_LIMIT_IN_PERIODS = 1.5;

// Frames go out for this long before any window opens.
inline constexpr double WARM_UP_SECONDS = 2.0;
// After a stop, a paced loop starts its rate afresh; a few frames let it settle.
inline constexpr double RESUME_SETTLE_SECONDS = 0.3;
// Frames of the transport floor, measured once per run of the cost and switch parts.
inline constexpr int TRANSPORT_FLOOR_FRAMES = 60;

// The player runs in test mode, at the world's test points; this one is more than the default
// radius from every one of them.
inline constexpr Location OUTSIDE{{0.5}, {0.5}};

struct BenchOptions {
  std::string player_program;
  std::string bench_program;  // this program, for its decode-only and subscriber roles
  std::string clips_root;
  int windows = 3;
  double window_seconds = 3.0;
  int switches = 40;
  double soak_seconds = 60.0;
};

// Throws Interrupted once the user has asked the benchmark to stop.
void check_interrupt();
void pause_for(double seconds);
void install_interrupt_handler();

// Asks the process to end, and kills it when it has not within the timeout.
void stop(std::unique_ptr<zel::testing::Process>& process, double timeout_seconds = 15.0);

// The benchmark's own ROS node beside a private master, and what every measurement does with the
// player: start it, wait for its frames, move its robot, stop it.
class Harness {
 public:
  explicit Harness(BenchOptions options);
  ~Harness();
  Harness(const Harness&) = delete;
  Harness& operator=(const Harness&) = delete;

  const BenchOptions& options() const { return options_; }
  ros::NodeHandle& node() { return *node_; }
  // Every frame on the player's image topic since the benchmark began.
  const FrameProbe& probe() const { return *probe_; }
  const std::map<std::string, std::string>& master_env() const { return master_.env(); }
  // The master's, and the build's own workspace, in which pluginlib finds the package's plugins
  // (its nodelet, its compressed transport) as after sourcing its setup.bash.
  std::map<std::string, std::string> workspace_env() const;
  std::string work_path(const std::string& name) const;

  // Started in the benchmark's work folder, where its output goes.
  std::unique_ptr<zel::testing::Process> start(const std::vector<std::string>& argv,
                                               const std::map<std::string, std::string>& env);
  std::unique_ptr<zel::testing::Process> start_player(const std::string& media_folder,
                                                      const std::vector<std::string>& wrapper = {},
                                                      const std::vector<std::string>& ros_args = {});
  // Fails at once when the player ends before the probe has seen `count` frames.
  void wait_for_frames(std::size_t count, double timeout_seconds, zel::testing::Process& player);
  void wait_for_pose_subscriber(const zel::testing::Process& player);
  void publish_pose(const Location& where);

 private:
  BenchOptions options_;
  zel::testing::RosMaster master_;
  zel::testing::TempDir work_;
  std::optional<ros::NodeHandle> node_;
  std::optional<FrameProbe> probe_;
  ros::Publisher pose_publisher_;
  std::optional<ros::AsyncSpinner> spinner_;
};

}  // namespace zel::bench
