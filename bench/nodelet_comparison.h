#pragma once

#include <cstdint>

#include "clips.h"
#include "harness.h"
#include "measures.h"
#include "report.h"

namespace zel::bench {

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

// At 1080p30, each arrangement alone in turn while the others are stopped.
NodeletRun compare_nodelet(Harness& harness);

void report_nodelet(Report& report, const NodeletRun& run);

}  // namespace zel::bench
