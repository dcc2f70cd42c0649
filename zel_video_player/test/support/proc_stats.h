#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "process.h"

namespace zel::testing {

// What /proc tells about a running process: for tests that check it neither spins nor leaks, and
// for the benchmarks, which weigh the same figures.

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
// Throws when the process is gone: a figure of zero would pass for an idle process.
ProcessCpu process_cpu(pid_t pid);
double cpu_seconds(pid_t pid);  // user plus system time so far
// The CPU time the process uses over a window of wall time that starts now.
double cpu_over(const Process& process, std::chrono::milliseconds window);

std::size_t open_descriptor_count(pid_t pid);
std::size_t resident_kib(pid_t pid);

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

// The machine, for a report of where figures were measured.
std::string cpu_model();     // the first "model name" of /proc/cpuinfo
std::string load_average();  // "1 5 15" minutes, from /proc/loadavg

}  // namespace zel::testing
