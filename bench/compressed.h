#pragma once

#include <string>
#include <vector>

#include "clips.h"
#include "harness.h"
#include "measures.h"
#include "report.h"

namespace zel::bench {

// What the player's own process spends, and what a subscriber receives, in windows of one run:
// raw frames alone, then also a compressed subscriber at JPEG and at PNG.
struct CompressedWindow {
  double seconds = 0;
  ProcessCpu player_cpu;
  std::uint64_t raw_frames = 0;         // published, told by the frames' indices at the raw probe
  std::vector<double> compressed_bytes;  // of each frame received on the compressed topic
};

struct CompressedMode {
  std::string name;    // "raw alone", "jpeg 80", "png 9"
  std::string format;  // the `format` parameter, empty for raw alone
  std::vector<CompressedWindow> windows;
  // The same frames encoded in this process on one thread, without ROS: CPU per frame.
  double encode_alone_seconds = 0;
  double encode_alone_bytes = 0;
};

struct CompressedRun {
  ClipFormat format{};
  std::vector<CompressedMode> modes;
};

// 640x480@30 and 1080p30.
std::vector<CompressedRun> measure_compressed(Harness& harness);
void report_compressed(Report& report, const std::vector<CompressedRun>& runs);

}  // namespace zel::bench
