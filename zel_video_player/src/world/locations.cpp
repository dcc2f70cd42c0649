#include "zel_video_player/world/locations.h"

#include <cmath>

#include "zel_video_player/text/formatting.h"
#include "zel_video_player/world/world.h"

namespace zel {
namespace {

constexpr std::int64_t POINTS_BETWEEN_STOP_CHECKS = 1 << 16;

double draw_coordinate(RandomEngine& engine, double limit, double radius) {
  const double drawn = uniform_between(engine, 0.0, limit - radius);
  return drawn > radius ? drawn : radius;
}

std::string format_rounded(const Coordinate& coordinate) {
  if (coordinate.whole) return std::to_string(static_cast<long long>(coordinate.value));
  return format_real(round_to_hundredths(coordinate.value));
}

}  // namespace

std::vector<Location> gen_locations(std::int64_t n_locations, double radius, RandomEngine& engine,
                                    const StopRequested& stop_requested) {
  std::vector<Location> locations;
  if (n_locations > 0) locations.reserve(static_cast<std::size_t>(n_locations));
  for (std::int64_t i = 0; i < n_locations; ++i) {
    if (i % POINTS_BETWEEN_STOP_CHECKS == 0 && stop_requested && stop_requested()) throw Interrupted();
    const double x = draw_coordinate(engine, MAP_LIMITS.x, radius);
    const double y = draw_coordinate(engine, MAP_LIMITS.y, radius);
    locations.push_back({{x}, {y}});
  }
  return locations;
}

std::vector<Location> test_locations() {
  return {{{3.75}, {3.5}}, {{10.7}, {6.0, true}}, {{3.78}, {7.78}}, {{10.6}, {2.35}}};
}

DiceRoll roll_dice(double probability, RandomEngine& engine) {
  const double drawn = uniform01(engine);
  return {drawn <= probability, std::string(LOG_PREFIX) + "Random number is " +
                                    format_real(round_to_hundredths(drawn)) +
                                    " and probability is " + format_real(probability) + "."};
}

std::string format_listing_line(std::size_t number, const Location& location) {
  return "    " + std::to_string(number) + ". (" + format_rounded(location.x) + ", " +
         format_rounded(location.y) + ")";
}

}  // namespace zel
