#pragma once

#include <cstdint>
#include <vector>

#include "clips.h"
#include "harness.h"
#include "measures.h"
#include "report.h"
#include "transport_floor.h"

namespace zel::bench {

// Node and decode-only loop on one clip at one pace, in alternating windows of the same run.
struct CostRun {
  ClipFormat format{};
  int subscribers = 1;
  std::vector<double> ratios;  // per window: node CPU per published frame / decode-only CPU per frame
  ProcessCpu node_cpu;         // over all windows
  ProcessCpu decode_cpu;
  std::uint64_t frames_published = 0;
  std::uint64_t frames_decoded = 0;
  double target_rate = 0;
  double achieved_rate = 0;
  std::vector<double> inter_arrivals;  // seconds, at the benchmark's subscriber, within passes
  std::vector<double> pass_gaps;       // seconds, from a pass's last frame to the next pass's first
  std::vector<double> decode_times;    // seconds in the read of each frame of the decode-only loop
  // Differences of consecutive decode times: a frame published right after its decode arrives
  // this much later or earlier than one period after the frame before.
  std::vector<double> decode_steps;
  MemoryUse memory;  // the most of each figure over the windows
  TransportCost transport_floor;  // per frame of this size, to one subscriber, without ROS

  double node_cpu_per_frame() const { return node_cpu.seconds() / static_cast<double>(frames_published); }
  double decode_cpu_per_frame() const { return decode_cpu.seconds() / static_cast<double>(frames_decoded); }
};

// One format with `subscribers` subscribers: the benchmark's own and the rest in processes of their own.
CostRun measure_cost(Harness& harness, const ClipFormat& format, int subscribers);

// Every format from 640x480@30 to 1080p60, and 4K30, with one subscriber.
std::vector<CostRun> measure_costs(Harness& harness);
// 1080p30 with 1, 2 and 4 subscribers.
std::vector<CostRun> measure_subscriber_counts(Harness& harness);

// Cost per frame and pacing come from the same runs.
void report_costs(Report& report, const std::vector<CostRun>& runs);
void report_pacing(Report& report, const std::vector<CostRun>& runs);
void report_subscribers(Report& report, const std::vector<CostRun>& runs);

}  // namespace zel::bench
