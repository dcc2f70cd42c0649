#include "seams.h"

#include <cmath>
#include <iostream>

#include "measures.h"

namespace zel::bench {
namespace {

// Clips this short put a seam between passes every thirty frames.
constexpr ClipFormat FORMAT_480_30_SHORT{640, 480, 30, 1};
constexpr ClipFormat FORMAT_1080_30_SHORT{1920, 1080, 30, 1};

}  // namespace

std::vector<CostRun> measure_seams(Harness& harness) {
  std::cout << "measuring seams with 1-s clips..." << std::endl;
  std::vector<CostRun> runs;
  for (const auto& format : {FORMAT_480_30_SHORT, FORMAT_1080_30_SHORT}) runs.push_back(measure_cost(harness, format, 1));
  return runs;
}

void report_seams(Report& report, const std::vector<CostRun>& runs) {
  report.heading("6. Seams: 1-s clips, so a pass ends and the next begins every thirty frames");
  report.line("   (rate over the windows; gap: a pass's last frame to the next pass's first at the subscriber;");
  report.line("    arrival: every interval, seams included. Targets: rate within 1 %, arrival p99 under 1.5 periods)");
  for (const auto& run : runs) {
    std::vector<double> every_interval = run.inter_arrivals;
    every_interval.insert(every_interval.end(), run.pass_gaps.begin(), run.pass_gaps.end());
    const Distribution arrivals = distribution_of(every_interval);
    const Distribution gaps = distribution_of(run.pass_gaps);
    const double period = 1.0 / run.target_rate;
    const double deviation = run.achieved_rate / run.target_rate - 1.0;
    report.line(format("   %-13s 1 s clip: rate %6.2f Hz (%+5.2f %%), %zu seams with gap p50 %5.1f max %5.1f ms;  arrival p50 "
                       "%5.1f p99 %5.1f ms against %5.1f;  rate %s, p99 %s",
                       run.format.label().c_str(), run.achieved_rate, deviation * 100, gaps.count, gaps.p50 * 1000,
                       gaps.max * 1000, arrivals.p50 * 1000, arrivals.p99 * 1000,
                       ARRIVAL_P99_LIMIT_IN_PERIODS * period * 1000, verdict(std::abs(deviation) <= RATE_TOLERANCE).c_str(),
                       verdict(arrivals.p99 < ARRIVAL_P99_LIMIT_IN_PERIODS * period).c_str()));
  }
}

}  // namespace zel::bench
