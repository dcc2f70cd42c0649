#pragma once

#include <string>
#include <vector>

#include "frame_probe.h"

namespace zel::bench {

// The extra subscribers of the subscriber-count runs: take every image, do nothing with it. With
// --arrivals FILE it notes when each frame came, and which, and writes that to FILE when stopped.
// --topic TOPIC listens elsewhere than the player's image topic.
int run_subscriber(int argc, char** argv);

// The frames a subscriber wrote with --arrivals, in the order they came.
std::vector<ArrivedFrame> read_arrivals(const std::string& path);

}  // namespace zel::bench
