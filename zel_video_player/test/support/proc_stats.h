#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>

#include "process.h"

namespace zel::testing {

// What /proc tells about a running process, for tests that check it neither spins nor leaks.
double cpu_seconds(pid_t pid);             // user plus system time so far
std::size_t open_descriptor_count(pid_t pid);
std::size_t resident_kib(pid_t pid);
// The CPU time the process uses over a window of wall time that starts now.
double cpu_over(const Process& process, std::chrono::milliseconds window);

}  // namespace zel::testing
