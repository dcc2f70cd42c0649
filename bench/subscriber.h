#pragma once

namespace zel::bench {

// The extra subscribers of the subscriber-count runs: take every image, do nothing with it.
int run_subscriber(int argc, char** argv);

}  // namespace zel::bench
