#pragma once

#include <cstdint>
#include <random>

namespace zel {

// The one generator of the process. The program seeds it from the system's entropy; tests seed it
// themselves so their draws repeat.
using RandomEngine = std::mt19937_64;

RandomEngine make_system_seeded_engine();

// A real drawn uniformly from [0, 1) on a grid of 2^-53, never 1.0.
inline double uniform01(RandomEngine& engine) {
  return static_cast<double>(engine() >> 11) * 0x1.0p-53;
}

// a + (b - a) * r: for b below a the value lies between b and a.
inline double uniform_between(RandomEngine& engine, double a, double b) {
  return a + (b - a) * uniform01(engine);
}

}  // namespace zel
