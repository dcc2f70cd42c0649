#include "measures.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace zel::bench {

double now_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void sleep_until_seconds(double deadline) {
  const double wait = deadline - now_seconds();
  if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
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
