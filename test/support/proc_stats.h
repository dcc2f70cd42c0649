#pragma once

#include <sys/types.h>

#include <cstddef>

namespace zel::testing {

// What /proc tells about a running process, for tests that check it neither spins nor leaks.
double cpu_seconds(pid_t pid);             // user plus system time so far
std::size_t open_descriptor_count(pid_t pid);
std::size_t resident_kib(pid_t pid);

}  // namespace zel::testing
