#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "clips.h"
#include "harness.h"
#include "report.h"

namespace zel::bench {

struct CallgrindRun {
  ClipFormat format{};
  int first_frame = 0;
  int frames = 0;
  std::uint64_t node_instructions = 0;    // over the window's frames
  std::uint64_t decode_instructions = 0;  // over the same frames of the clip
  std::map<std::string, std::int64_t> extra_by_function;  // node minus decode-only, per function
  std::uint64_t frames_received_in_window = 0;
};

// The player and the decode-only loop under callgrind at 1080p30, over the same frames of the clip;
// none when --callgrind-frames is 0.
std::vector<CallgrindRun> measure_instruction_counts(Harness& harness);

void report_instructions(Report& report, const std::vector<CallgrindRun>& runs);

}  // namespace zel::bench
