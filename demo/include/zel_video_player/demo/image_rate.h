#pragma once

#include <cstddef>

namespace zel::demo {

// The example consumer nodelet's reports, on its private topic, each a std_msgs/Float64MultiArray
// whose data holds the images it counted and the wall seconds it counted them over, since the
// report before; at these positions, so a reader divides them for the rate and adds them up over
// many reports.
inline constexpr const char* IMAGE_RATE_TOPIC = "rate";
inline constexpr std::size_t IMAGE_RATE_IMAGES = 0;
inline constexpr std::size_t IMAGE_RATE_SECONDS = 1;

}  // namespace zel::demo
