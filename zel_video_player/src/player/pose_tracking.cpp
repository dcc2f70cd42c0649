#include "zel_video_player/player/pose_tracking.h"

#include <numeric>

#include "zel_video_player/text/formatting.h"
#include "zel_video_player/world/world.h"

namespace zel {

std::optional<int> find_location(const std::vector<Location>& locations, double radius, double x,
                                 double y) {
  for (std::size_t i = 0; i < locations.size(); ++i) {
    // NaN distances compare false, so a position that is not a number is at no point.
    if (distance(x, y, locations[i].x, locations[i].y) <= radius) return static_cast<int>(i);
  }
  return std::nullopt;
}

Playlist draw_playlist(int n_sample, RandomEngine& engine) {
  const int count = std::uniform_int_distribution<int>(1, n_sample)(engine);
  std::vector<std::size_t> order(OBJECT_LIST.size());
  std::iota(order.begin(), order.end(), 0);
  Playlist names;
  // A partial Fisher-Yates shuffle: each prefix is a uniform draw without replacement.
  for (int i = 0; i < count; ++i) {
    const std::size_t pick =
        std::uniform_int_distribution<std::size_t>(static_cast<std::size_t>(i), order.size() - 1)(engine);
    std::swap(order[static_cast<std::size_t>(i)], order[pick]);
    names.emplace_back(OBJECT_LIST[order[static_cast<std::size_t>(i)]]);
  }
  return names;
}

PoseTracker::PoseTracker(std::vector<Location> locations, double radius, int n_sample,
                         PlayState& state, RandomEngine& engine, std::ostream& out)
    : locations_(std::move(locations)),
      radius_(radius),
      n_sample_(n_sample),
      state_(state),
      engine_(engine),
      out_(out) {}

void PoseTracker::on_position(double x, double y) {
  const auto found = find_location(locations_, radius_, x, y);
  const int was_at = state_.location();
  if (found) {
    if (was_at == *found) return;
    print_line("Inside radius of point of interest of location " + std::to_string(*found + 1));
    auto playlist = std::make_shared<const Playlist>(draw_playlist(n_sample_, engine_));
    print_line("Playlist is now: " + format_name_list(*playlist));
    // The lines before the change: the log tells of the arrival before the first clip it starts.
    state_.move_to(*found, std::move(playlist));
    return;
  }
  // Outside already, the scene holds "empty" and no point: there is nothing to replace.
  if (was_at == NO_LOCATION) return;
  print_line("Out of point of interest, playing empty video.");
  state_.move_to(NO_LOCATION, empty_playlist());
}

void PoseTracker::print_line(const std::string& line) {
  // One write per line, so the playback thread's log lines never land in the middle of it.
  out_ << line + "\n" << std::flush;
}

}  // namespace zel
