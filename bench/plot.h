#pragma once

#include <string>
#include <vector>

#include "callgrind.h"
#include "cost.h"

namespace zel::bench {

// One PNG: the pacing distributions beside the decode-time ones, and the cost per frame by
// resolution. `pacing_runs` are drawn one above the other; `cost_runs` as grouped bars.
void draw_plot(const std::string& path, const std::vector<CostRun>& pacing_runs, const std::vector<CostRun>& cost_runs,
               const std::vector<CallgrindRun>& instruction_runs);

}  // namespace zel::bench
