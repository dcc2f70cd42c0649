#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zel::bench {

// Seconds on a steady clock, the one time base of every timing in the benchmark.
double now_seconds();
void sleep_until_seconds(double deadline);

// CPU time of every thread of the process, including threads that have ended, and its page faults
// served without I/O (each a page first touched after a fresh allocation).
struct ProcessCpu {
  double user_seconds = 0;
  double system_seconds = 0;
  std::uint64_t minor_faults = 0;

  double seconds() const { return user_seconds + system_seconds; }
  ProcessCpu operator-(const ProcessCpu& earlier) const;
  ProcessCpu& operator+=(const ProcessCpu& more);
};
ProcessCpu process_cpu(pid_t pid);
// From /proc/PID/smaps_rollup. Private pages are mapped by no other process: the heap, stacks and
// other anonymous memory, and the pages of libraries that no other process has in memory, which
// come and go with the other programs on the machine. Anonymous memory leaves those out.
struct MemoryUse {
  std::int64_t resident_bytes = 0;   // Rss
  std::int64_t private_bytes = 0;    // Private_Clean + Private_Dirty
  std::int64_t anonymous_bytes = 0;  // Anonymous

  MemoryUse most(const MemoryUse& other) const;  // the larger of each
};
MemoryUse memory_use(pid_t pid);
int open_descriptors(pid_t pid);
// CPU seconds the whole machine has spent busy (all cores, every process, the kernel).
double machine_busy_seconds();

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
