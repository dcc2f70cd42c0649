#pragma once

#include <cstdint>
#include <string>

namespace zel {

// The four settings of a run, each named after its command-line option, with the option's default.
struct Settings {
  bool test = false;  // the four fixed test points instead of random ones
  std::int64_t num_locations = 5;
  double radius = 1.5;
  std::string video_folder;  // the player's ends in "/"
};

}  // namespace zel
