#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <geometry_msgs/PoseWithCovarianceStamped.h>
#include <ros/ros.h>

#include "clips.h"
#include "frame_probe.h"
#include "ground_truth.h"
#include "measures.h"
#include "support/process.h"
#include "transport_floor.h"
#include "zel_video_player/world/stop.h"

namespace zel::bench {

// A pace is kept when the rate is within this of its target and the p99 of the intervals between
// frames at a subscriber stays under this many periods.
inline constexpr double RATE_TOLERANCE = 0.01;
inline constexpr double ARRIVAL_P99_LIMIT_IN_PERIODS = 1.5;

struct BenchOptions {
  std::string player_program;
  std::string bench_program;  // this program, for its decode-only and subscriber roles
  std::string clips_root;
  int windows = 3;
  double window_seconds = 3.0;
  int switches = 40;
  int truth_switches = 2000;
  double soak_seconds = 60.0;
  int callgrind_frames = 60;  // 0 skips the callgrind runs
  int most_players = 24;      // the fleet runs stop here even when every player keeps its rate
};

// Node and decode-only loop on one clip at one pace, in alternating windows of the same run.
struct CostRun {
  ClipFormat format{};
  int subscribers = 1;
  std::vector<double> ratios;  // per window: node CPU per published frame / decode-only CPU per frame
  ProcessCpu node_cpu;         // over all windows
  ProcessCpu decode_cpu;
  std::uint64_t frames_published = 0;
  std::uint64_t frames_decoded = 0;
  double target_rate = 0;
  double achieved_rate = 0;
  std::vector<double> inter_arrivals;  // seconds, at the benchmark's subscriber, within passes
  std::vector<double> pass_gaps;       // seconds, from a pass's last frame to the next pass's first
  std::vector<double> decode_times;    // seconds in the read of each frame of the decode-only loop
  // Differences of consecutive decode times: a frame published right after its decode arrives
  // this much later or earlier than one period after the frame before.
  std::vector<double> decode_steps;
  MemoryUse memory;  // the most of each figure over the windows
  TransportCost transport_floor;  // per frame of this size, to one subscriber, without ROS

  double node_cpu_per_frame() const { return node_cpu.seconds() / static_cast<double>(frames_published); }
  double decode_cpu_per_frame() const { return decode_cpu.seconds() / static_cast<double>(frames_decoded); }
};

struct SwitchRun {
  ClipFormat format{};
  std::vector<double> latencies;  // seconds from the pose to the new clip's first frame
  int missed = 0;
  std::vector<double> open_to_first_frame;  // seconds, the clip opened alone
  std::vector<double> release;              // seconds, the clip released alone
  TransportCost transport_floor;            // per frame of this size, to one subscriber, without ROS
};

struct SoakSample {
  double seconds;
  MemoryUse memory;
  int descriptors;
};

struct SoakRun {
  ClipFormat format{};
  double seconds = 0;
  double warm_up_seconds = 0;
  int switches = 0;
  std::uint64_t frames_received = 0;
  std::vector<SoakSample> samples;
};

// The player and one consumer of its frames at one pace, arranged two ways, beside decoding alone:
// in one nodelet manager (frames handed over by pointer) and as two processes (frames over TCP).
struct Arrangement {
  ProcessCpu cpu;           // of the processes that hold the player and the consumer, over its windows
  ProcessCpu loaders_cpu;   // of the idle `nodelet load` processes a launch leaves beside a manager
  double running_seconds = 0;
  double consumer_rate = 0;  // frames a second the consumer counted while running
  double frames() const { return running_seconds * consumer_rate; }
  double cpu_per_frame() const { return cpu.seconds() / frames(); }
};

struct NodeletRun {
  ClipFormat format{};
  Arrangement one_manager;
  Arrangement two_processes;
  ProcessCpu decode_cpu;
  std::uint64_t frames_decoded = 0;
  double decode_cpu_per_frame() const { return decode_cpu.seconds() / static_cast<double>(frames_decoded); }
};

// Players of one format, each with its own topics and one subscriber process, run side by side.
struct FleetStep {
  int players = 0;
  double worst_rate_deviation = 0;  // the player furthest from its target rate, signed
  double worst_p99 = 0;             // seconds, the largest p99 inter-arrival of any player
  double load_cpu = 0;              // cores busy on the whole machine during the window
  bool at_full_rate = false;
};

struct FleetRun {
  ClipFormat format{};
  std::vector<FleetStep> steps;  // one more player each, until a step misses
  int most_at_full_rate() const;
};

// The player in simulated time, its frames paced by a /clock running `factor` times real speed.
struct SimStep {
  double factor = 0;
  double demand = 0;           // frames a wall second the clock asks for: the clip's rate times the factor
  double achieved_rate = 0;    // frames the player published a wall second, from their identity
  double ros_rate = 0;         // the same frames per second of the clock's time
  std::uint64_t published = 0;  // over the window
  std::uint64_t lost = 0;       // published but never received
  double longest_gap = 0;       // seconds, the longest wait for a frame at the subscriber
  double clock_rate = 0;        // /clock messages sent a wall second
  double load_cpu = 0;          // cores busy on the whole machine during the window
  bool on_time = false;
  int tries = 1;  // a late step is measured twice, and the better try kept
};

struct SimRun {
  ClipFormat format{};
  std::vector<SimStep> steps;  // in the order measured
  // The highest factor on time below the lowest that missed; 0 when none was.
  double fastest_on_time() const;
  // The lowest factor that missed; 0 when every one kept up.
  double slowest_missed() const;
};

struct CallgrindRun {
  ClipFormat format{};
  int first_frame = 0;
  int frames = 0;
  std::uint64_t node_instructions = 0;    // over the window's frames
  std::uint64_t decode_instructions = 0;  // over the same frames of the clip
  std::map<std::string, std::int64_t> extra_by_function;  // node minus decode-only, per function
  std::uint64_t frames_received_in_window = 0;
};

// Throws Interrupted once the user has asked the benchmark to stop.
void pause_for(double seconds);
void install_interrupt_handler();

// The benchmark's own ROS node beside a private master, and the runs it makes of the player.
class PlaybackBench {
 public:
  explicit PlaybackBench(BenchOptions options);
  ~PlaybackBench();

  CostRun measure_cost(const ClipFormat& format, int subscribers);
  SwitchRun measure_switches(const ClipFormat& format);
  SoakRun soak(const ClipFormat& format);
  CallgrindRun measure_instructions(const ClipFormat& format);
  NodeletRun compare_nodelet(const ClipFormat& format);
  FleetRun measure_fleet(const ClipFormat& format, int most_players);
  SimRun measure_sim_time(const ClipFormat& format);
  GroundTruthRun measure_ground_truth(const ClipFormat& format);

 private:
  std::unique_ptr<zel::testing::Process> start_player(const std::string& media_folder,
                                                      const std::vector<std::string>& wrapper = {},
                                                      const std::vector<std::string>& ros_args = {});
  FleetStep run_fleet(const ClipFormat& format, const std::string& media, int players);
  SimStep run_sim_step(const ClipFormat& format, const std::string& media, double factor);
  void stop(std::unique_ptr<zel::testing::Process>& process, double timeout_seconds = 15.0);
  void wait_for_frames(std::size_t count, double timeout_seconds, zel::testing::Process& player);
  void wait_for_pose_subscriber(const zel::testing::Process& player);
  void publish_pose(double x, double y);
  std::string work_path(const std::string& name) const;

  BenchOptions options_;
  zel::testing::RosMaster master_;
  zel::testing::TempDir work_;
  std::optional<ros::NodeHandle> node_;
  std::optional<FrameProbe> probe_;
  ros::Publisher pose_publisher_;
  std::optional<ros::AsyncSpinner> spinner_;
};

// The extra subscribers of the subscriber-count runs: take every image, do nothing with it. With
// --arrivals FILE it notes when each frame came, and which, and writes that to FILE when stopped.
int run_subscriber(int argc, char** argv);

}  // namespace zel::bench
