#pragma once

#include <optional>
#include <string>
#include <vector>

#include "zel_video_player/locations.h"

namespace zel::demo {

// For the demo's tests: the player's standard output read back, an account of what it chose that
// does not depend on the topics the tour reads. Its settings echo, the start-up listing of the
// points of interest, and the lines it prints as the robot arrives at and leaves points.

// "    k. (x, y)" as the player lists a point; nothing for any other line, including one whose
// coordinates are not finite numbers. A whole coordinate ("6") comes back marked whole.
struct ListingLine {
  std::size_t number;
  Location location;
};
std::optional<ListingLine> parse_listing_line(const std::string& line);

// ['dog1', 'cat'] back into its names; nothing when the text is not such a list.
std::optional<std::vector<std::string>> parse_name_list(const std::string& text);

struct Arrival {
  std::size_t number;  // counted from 1, as printed
  std::vector<std::string> playlist;
};

class PlayerOutput {
 public:
  void add_line(const std::string& line);

  // The radius the player echoed at start-up, when it was a number.
  std::optional<double> radius() const { return radius_; }

  bool listing_started() const { return listing_started_; }
  // A line that is not part of the listing has followed its heading.
  bool listing_closed() const { return listing_closed_; }
  const std::vector<Location>& points() const { return points_; }
  // Set when a line looked like a listing line but could not be used.
  const std::optional<std::string>& listing_error() const { return listing_error_; }

  const std::vector<Arrival>& arrivals() const { return arrivals_; }
  // Where the player last said the robot is: its latest arrival, or nothing after it left.
  std::optional<Arrival> current() const;

 private:
  void add_listing_line(const std::string& line);

  std::optional<double> radius_;
  bool listing_started_ = false;
  bool listing_closed_ = false;
  std::vector<Location> points_;
  std::optional<std::string> listing_error_;
  std::optional<std::size_t> pending_arrival_;
  std::vector<Arrival> arrivals_;
  bool inside_ = false;
};

}  // namespace zel::demo
