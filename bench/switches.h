#pragma once

#include <vector>

#include "clips.h"
#include "harness.h"
#include "report.h"
#include "transport_floor.h"

namespace zel::bench {

struct SwitchRun {
  ClipFormat format{};
  std::vector<double> latencies;  // seconds from the pose to the new clip's first frame
  int missed = 0;
  std::vector<double> open_to_first_frame;  // seconds, the clip opened alone
  std::vector<double> release;              // seconds, the clip released alone
  TransportCost transport_floor;            // per frame of this size, to one subscriber, without ROS
};

// The robot in and out of a test point at random gaps, at 640x480@30 and at 1080p30.
std::vector<SwitchRun> measure_switch_latencies(Harness& harness);

void report_switches(Report& report, const std::vector<SwitchRun>& runs);

}  // namespace zel::bench
