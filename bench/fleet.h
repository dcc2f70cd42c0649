#pragma once

#include <vector>

#include "clips.h"
#include "harness.h"
#include "report.h"

namespace zel::bench {

// Players of one format, each with its own topics and one subscriber process, run side by side.
struct FleetStep {
  int players = 0;
  double worst_rate_deviation = 0;  // the player furthest from its target rate, signed
  double worst_p99 = 0;             // seconds, the largest p99 inter-arrival of any player
  double load_cpu = 0;              // cores busy on the whole machine during the window
  bool at_full_rate = false;
};

struct FleetRun {
  ClipFormat format{};
  std::vector<FleetStep> steps;  // one more player each, until a step misses
  int most_at_full_rate() const;
};

// How many players keep their rate side by side at 640x480@30 and at 1280x720@30, up to
// --most-players.
std::vector<FleetRun> measure_fleets(Harness& harness);

void report_fleet(Report& report, const std::vector<FleetRun>& runs);

}  // namespace zel::bench
