#include "zel_video_player/player/player.h"

#include <utility>

#include "zel_video_player/text/formatting.h"
#include "zel_video_player/world/world.h"

namespace zel {
namespace {

constexpr std::size_t LISTING_LINES_PER_WRITE = 4096;

// Millions of points take minutes to list: the lines go out in large writes, and a stop request is
// honoured between them.
void print_listing(const std::vector<Location>& points, std::ostream& out, const StopRequested& stop) {
  std::string block;
  for (std::size_t i = 0; i < points.size(); ++i) {
    block += format_listing_line(i + 1, points[i]);
    block += '\n';
    if ((i + 1) % LISTING_LINES_PER_WRITE == 0 || i + 1 == points.size()) {
      if (stop()) throw Interrupted();
      out << block << std::flush;
      block.clear();
    }
  }
}

std::vector<Location> listed_points(const Settings& settings, RandomEngine& engine, std::ostream& out,
                                    const StopRequested& stop) {
  std::vector<Location> points;
  if (settings.test) {
    points = test_locations();
    out << LOG_PREFIX << "Test locations:" << std::endl;
  } else {
    points = gen_locations(settings.num_locations, settings.radius, engine, stop);
    out << LOG_PREFIX << "Generated locations:" << std::endl;
  }
  print_listing(points, out, stop);
  return points;
}

}  // namespace

Player::Player(const Settings& settings, RandomEngine& engine, std::ostream& out, const Clock& clock,
               PlaybackOutput& output, StopRequested outside_stop)
    : engine_(engine),
      tracker_(listed_points(settings, engine, out, outside_stop), settings.radius, N_SAMPLE, state_, engine, out),
      playback_(settings.video_folder, state_, status_, clock, output, std::move(outside_stop)) {}

void Player::on_position(double x, double y) {
  const std::lock_guard<std::mutex> lock(engine_mutex_);
  tracker_.on_position(x, y);
}

DiceRoll Player::roll_dice(double probability) {
  const std::lock_guard<std::mutex> lock(engine_mutex_);
  return zel::roll_dice(probability, engine_);
}

}  // namespace zel
