#pragma once

#include <cstdint>

#include "clips.h"
#include "harness.h"
#include "report.h"

namespace zel::bench {

// Frames a consumer in another process labelled with the media they show, over changes of point
// at random intervals, two ways: by each frame's own label on ~frame_media, matched by its header
// stamp, and by ~now_showing as it stood when the frame arrived.
struct GroundTruthRun {
  ClipFormat format{};
  int switches = 0;
  std::uint64_t frames = 0;
  std::uint64_t labelled = 0;     // frames whose label came
  std::uint64_t mislabelled = 0;  // of those, labelled with other media than they show
  std::uint64_t mislabelled_by_now_showing = 0;
};

// Seconds between two changes of point, drawn evenly.
inline constexpr double TRUTH_SHORTEST_GAP = 0.01;
inline constexpr double TRUTH_LONGEST_GAP = 0.4;

// At 640x480@30, over --truth-switches changes of point.
GroundTruthRun measure_ground_truth(Harness& harness);

void report_ground_truth(Report& report, const GroundTruthRun& run);

}  // namespace zel::bench
