#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "zel_video_player/player/play_state.h"
#include "zel_video_player/world/locations.h"
#include "zel_video_player/world/random.h"

namespace zel {

// The index of the first point, in list order, whose circle holds (x, y), edge included.
std::optional<int> find_location(const std::vector<Location>& locations, double radius, double x,
                                 double y);

// Between 1 and n_sample distinct object names, in the order drawn.
Playlist draw_playlist(int n_sample, RandomEngine& engine);

// Turns each position into the player's decisions: at which point the robot is, and what to show.
class PoseTracker {
 public:
  PoseTracker(std::vector<Location> locations, double radius, int n_sample, PlayState& state,
              RandomEngine& engine, std::ostream& out);

  void on_position(double x, double y);

  const std::vector<Location>& locations() const { return locations_; }
  double radius() const { return radius_; }
  int n_sample() const { return n_sample_; }

 private:
  void print_line(const std::string& line);

  const std::vector<Location> locations_;
  const double radius_;
  const int n_sample_;
  PlayState& state_;
  RandomEngine& engine_;
  std::ostream& out_;
};

}  // namespace zel
