#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "clips.h"
#include "cost.h"
#include "harness.h"
#include "measures.h"
#include "report.h"

namespace zel::bench {

struct SoakSample {
  double seconds;
  MemoryUse memory;
  std::size_t descriptors;
};

struct SoakRun {
  ClipFormat format{};
  double seconds = 0;
  double warm_up_seconds = 0;
  int switches = 0;
  std::uint64_t frames_received = 0;
  std::vector<SoakSample> samples;
};

// The player's memory and open files, sampled once a second while the point keeps changing, at
// 640x480@30, 1080p30 and 4K30.
std::vector<SoakRun> measure_soaks(Harness& harness);

// The soaks, beside the memory the cost runs saw while playing 1080p.
void report_memory(Report& report, const std::vector<CostRun>& cost_runs, const std::vector<SoakRun>& soaks);

}  // namespace zel::bench
