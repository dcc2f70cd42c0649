#pragma once

#include <vector>

#include "cost.h"
#include "harness.h"
#include "report.h"

namespace zel::bench {

// The cost runs' method on 1-s clips, so a pass ends and the next begins every thirty frames.
std::vector<CostRun> measure_seams(Harness& harness);

void report_seams(Report& report, const std::vector<CostRun>& runs);

}  // namespace zel::bench
