#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "zel_video_player/world/locations.h"

namespace zel::demo {

// The route of the simulated robot: from a start outside every point of interest, along straight
// lines to each point in turn, a pause at each, and out again to an end beside the last point.

struct Position {
  double x;
  double y;
};

struct TourPace {
  double speed = 1.4;  // metres per second, walking pace
  double dwell = 4.0;  // seconds spent at each point
};

enum class LegKind { to_point, dwell, leave };

struct Leg {
  LegKind kind;
  std::size_t point;  // index of the point the leg leads to, stays at or leaves
  Position from;
  Position to;
  double start_time;  // seconds from the start of the tour
  double duration;
  double yaw;  // radians; a pause keeps the direction of the way in
};

struct TourPose {
  Position position;
  double yaw;                       // radians, the direction of travel
  std::optional<std::size_t> leg;   // nothing before the first leg and after the last
};

// The spot on the map nearest the point with this index that keeps a clear margin from every
// circle, preferring one whose straight way to the point crosses no other circle, so the player
// sees no arrival but the one intended. When circles cover the whole map, the spot farthest outside
// them all; the middle of the map when there are no points.
Position clear_spot_near(const std::vector<Location>& points, double radius, std::size_t index);

class TourPlan {
 public:
  // Throws std::invalid_argument for a point that is not finite, or a pace that is not a positive
  // speed and a dwell of zero or more.
  TourPlan(const std::vector<Location>& points, double radius, TourPace pace);

  Position start() const { return start_; }
  Position end() const { return end_; }
  // Whether start and end lie outside every point's circle, so the player begins and ends at none.
  bool ends_are_clear() const { return ends_are_clear_; }
  const std::vector<Leg>& legs() const { return legs_; }
  double duration() const { return duration_; }
  double length() const { return length_; }

  TourPose pose_at(double seconds) const;
  // The middle of the pause at the point with this index.
  double dwell_middle(std::size_t point) const;
  // Every corner of the route in order, from the start to the end.
  std::vector<Position> route() const;

 private:
  Position start_{};
  Position end_{};
  bool ends_are_clear_ = true;
  std::vector<Leg> legs_;
  double duration_ = 0.0;
  double length_ = 0.0;
};

}  // namespace zel::demo
