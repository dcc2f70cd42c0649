#pragma once

#include <cstdint>
#include <vector>

#include "clips.h"
#include "harness.h"
#include "report.h"

namespace zel::bench {

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

// How much faster than real time the player keeps up with a simulated clock, at 640x480@30 and at
// 1080p30.
std::vector<SimRun> measure_sim_times(Harness& harness);

void report_sim_time(Report& report, const std::vector<SimRun>& runs);

}  // namespace zel::bench
