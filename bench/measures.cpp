#include "measures.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

namespace zel::bench {

double now_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void sleep_until_seconds(double deadline) {
  const double wait = deadline - now_seconds();
  if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
}

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
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  std::getline(file, text);
  // The command name may hold spaces and parentheses; the fields after it do not.
  const auto name_end = text.rfind(')');
  if (name_end == std::string::npos) throw std::runtime_error("no /proc stat for " + std::to_string(pid));
  std::istringstream fields(text.substr(name_end + 2));
  std::vector<std::string> values;
  for (std::string field; values.size() < 13 && fields >> field;) values.push_back(field);
  if (values.size() < 13) throw std::runtime_error("short /proc stat for " + std::to_string(pid));
  // values[0] is field 3 of the file (the state): minflt is field 10, utime 14, stime 15.
  const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
  return {std::stod(values[11]) / tick, std::stod(values[12]) / tick, std::stoull(values[7])};
}

MemoryUse memory_use(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/smaps_rollup");
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

MemoryUse MemoryUse::most(const MemoryUse& other) const {
  return {std::max(resident_bytes, other.resident_bytes), std::max(private_bytes, other.private_bytes),
          std::max(anonymous_bytes, other.anonymous_bytes)};
}

double machine_busy_seconds() {
  std::ifstream stat("/proc/stat");
  std::string label;
  stat >> label;
  // user nice system idle iowait irq softirq steal: all but idle and iowait is work.
  std::uint64_t busy = 0;
  for (int field = 0; field < 8; ++field) {
    std::uint64_t ticks = 0;
    stat >> ticks;
    if (field != 3 && field != 4) busy += ticks;
  }
  if (!stat) throw std::runtime_error("cannot read /proc/stat");
  return static_cast<double>(busy) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

int open_descriptors(pid_t pid) {
  DIR* dir = ::opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
  if (!dir) return -1;
  int count = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] != '.') ++count;
  }
  ::closedir(dir);
  return count;
}

namespace {

// Nearest rank on sorted values.
double percentile(const std::vector<double>& sorted, double fraction) {
  const auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(sorted.size())));
  return sorted[std::min(sorted.size() - 1, rank == 0 ? 0 : rank - 1)];
}

}  // namespace

Distribution distribution_of(std::vector<double> values) {
  Distribution result;
  result.count = values.size();
  if (values.empty()) return result;
  std::sort(values.begin(), values.end());
  result.p1 = percentile(values, 0.01);
  result.p50 = percentile(values, 0.50);
  result.p95 = percentile(values, 0.95);
  result.p99 = percentile(values, 0.99);
  result.max = values.back();
  return result;
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace zel::bench
