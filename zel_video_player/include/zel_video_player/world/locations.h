#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zel_video_player/world/random.h"
#include "zel_video_player/cancellation.h"

namespace zel {

// A map coordinate in metres. `whole` marks a value given as a whole number, which listings write
// without a decimal point; in every computation it is the same double.
struct Coordinate {
  double value;
  bool whole = false;

  constexpr operator double() const { return value; }
};

// One point of interest, known by its index in the player's list and numbered from 1 in output.
struct Location {
  Coordinate x;
  Coordinate y;
};

inline constexpr double DEFAULT_GENERATION_RADIUS = 5.0;

// Each coordinate is drawn from 0 to the map limit minus radius and raised to radius when at or
// below it. The circle around a point stays on the map only while the radius is at most half the
// map's smaller side (5.35 m): a larger one puts every point at (radius, radius). Throws
// Interrupted once `stop_requested` says so; it is asked before every 65,536th point.
std::vector<Location> gen_locations(std::int64_t n_locations, double radius, RandomEngine& engine,
                                    const StopRequested& stop_requested = {});

inline std::vector<Location> gen_locations(std::int64_t n_locations, RandomEngine& engine) {
  return gen_locations(n_locations, DEFAULT_GENERATION_RADIUS, engine);
}

std::vector<Location> test_locations();

struct DiceRoll {
  bool hit;
  std::string log_line;
};

// A weighted coin: true with the given probability. The log line tells the draw and the odds.
DiceRoll roll_dice(double probability, RandomEngine& engine);

// "    k. (x, y)" with both coordinates rounded to hundredths; k counts from 1.
std::string format_listing_line(std::size_t number, const Location& location);

}  // namespace zel
