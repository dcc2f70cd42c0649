#pragma once

#include <cstddef>
#include <vector>

#include "support/proc_stats.h"

namespace zel::bench {

// Seconds on a steady clock, the one time base of every timing in the benchmark.
double now_seconds();
void sleep_until_seconds(double deadline);

// The player's readings from /proc are the tests' own.
using zel::testing::memory_use;
using zel::testing::MemoryUse;
using zel::testing::process_cpu;
using zel::testing::ProcessCpu;

struct Distribution {
  std::size_t count = 0;
  double p1 = 0;
  double p50 = 0;
  double p95 = 0;
  double p99 = 0;
  double max = 0;

  // The width that holds all but the rarest 2 %: steadier than max - min on a shared machine.
  double spread() const { return p99 - p1; }
};

Distribution distribution_of(std::vector<double> values);
double median(std::vector<double> values);

}  // namespace zel::bench
