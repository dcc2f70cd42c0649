#include "proc_stats.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace zel::testing {

namespace {
std::string proc_path(pid_t pid, const std::string& entry) {
  return "/proc/" + std::to_string(pid) + "/" + entry;
}
}  // namespace

ProcessCpu ProcessCpu::operator-(const ProcessCpu& earlier) const {
  return {user_seconds - earlier.user_seconds, system_seconds - earlier.system_seconds,
          minor_faults - earlier.minor_faults};
}

ProcessCpu& ProcessCpu::operator+=(const ProcessCpu& more) {
  user_seconds += more.user_seconds;
  system_seconds += more.system_seconds;
  minor_faults += more.minor_faults;
  return *this;
}

ProcessCpu process_cpu(pid_t pid) {
  std::ifstream file(proc_path(pid, "stat"));
  std::string text;
  std::getline(file, text);
  // The command name may hold spaces and parentheses; the fields after it are counted from its
  // closing bracket.
  const auto name_end = text.rfind(')');
  if (name_end == std::string::npos) throw std::runtime_error("no /proc stat for " + std::to_string(pid));
  std::istringstream fields(text.substr(name_end + 1));
  std::vector<std::string> values;
  for (std::string field; values.size() < 13 && fields >> field;) values.push_back(field);
  if (values.size() < 13) throw std::runtime_error("short /proc stat for " + std::to_string(pid));
  // values[0] is field 3 of the file (the state): minflt is field 10, utime 14, stime 15.
  const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
  return {std::stod(values[11]) / tick, std::stod(values[12]) / tick, std::stoull(values[7])};
}

double cpu_seconds(pid_t pid) { return process_cpu(pid).seconds(); }

double cpu_over(const Process& process, std::chrono::milliseconds window) {
  const double before = cpu_seconds(process.pid());
  std::this_thread::sleep_for(window);
  return cpu_seconds(process.pid()) - before;
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

std::size_t resident_kib(pid_t pid) {
  std::ifstream status(proc_path(pid, "status"));
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stoul(line.substr(6));
  }
  return 0;
}

MemoryUse MemoryUse::most(const MemoryUse& other) const {
  return {std::max(resident_bytes, other.resident_bytes), std::max(private_bytes, other.private_bytes),
          std::max(anonymous_bytes, other.anonymous_bytes)};
}

MemoryUse memory_use(pid_t pid) {
  std::ifstream file(proc_path(pid, "smaps_rollup"));
  MemoryUse use;
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream fields(line);
    std::string key;
    std::int64_t kib = 0;
    if (!(fields >> key >> kib)) continue;
    if (key == "Rss:") use.resident_bytes += kib * 1024;
    if (key == "Private_Clean:" || key == "Private_Dirty:") use.private_bytes += kib * 1024;
    if (key == "Anonymous:") use.anonymous_bytes += kib * 1024;
  }
  return use;
}

std::string cpu_model() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line)) {
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  }
  return "unknown";
}

std::string load_average() {
  std::ifstream file("/proc/loadavg");
  std::string one, five, fifteen;
  file >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

}  // namespace zel::testing
