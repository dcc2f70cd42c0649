#include "proc_stats.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

namespace zel::testing {

namespace {
std::string proc_path(pid_t pid, const std::string& entry) {
  return "/proc/" + std::to_string(pid) + "/" + entry;
}
}  // namespace

double cpu_seconds(pid_t pid) {
  std::ifstream stat(proc_path(pid, "stat"));
  const std::string content((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // The command name may hold spaces; the fields after it are counted from its closing bracket.
  std::istringstream fields(content.substr(content.rfind(')') + 2));
  std::string field;
  long ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14 || i == 15) ticks += std::stol(field);
  }
  return ticks / double(::sysconf(_SC_CLK_TCK));
}

std::size_t open_descriptor_count(pid_t pid) {
  std::error_code error;
  std::size_t count = 0;
  for (std::filesystem::directory_iterator entry(proc_path(pid, "fd"), error), end; !error && entry != end;
       entry.increment(error)) {
    ++count;
  }
  return count;
}

double cpu_over(const Process& process, std::chrono::milliseconds window) {
  const double before = cpu_seconds(process.pid());
  std::this_thread::sleep_for(window);
  return cpu_seconds(process.pid()) - before;
}

std::size_t resident_kib(pid_t pid) {
  std::ifstream status(proc_path(pid, "status"));
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stoul(line.substr(6));
  }
  return 0;
}

}  // namespace zel::testing
