#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "zel_video_player/locations.h"

namespace zel::demo {

// The route of the simulated robot: from a start outside every point of interest, along straight
// lines to each point in turn, a pause at each, and back to the start.

struct Position {
  double x;
  double y;
};

struct TourPace {
  double speed = 1.4;  // metres per second, walking pace
  double dwell = 4.0;  // seconds spent at each point
};

enum class LegKind { to_point, dwell, to_start };

struct Leg {
  LegKind kind;
  std::size_t point;  // index of the point the leg leads to or stays at; unused for to_start
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

// The spot on the map nearest the first point that keeps a clear margin from every circle; when
// circles cover the whole map, the spot farthest outside them all.
Position choose_start(const std::vector<Location>& points, double radius);

class TourPlan {
 public:
  // Throws std::invalid_argument for a point that is not finite, or a pace that is not a positive
  // speed and a dwell of zero or more.
  TourPlan(const std::vector<Location>& points, double radius, TourPace pace);

  Position start() const { return start_; }
  // Whether the start lies outside every point's circle, so the player begins and ends at none.
  bool start_is_clear() const { return start_is_clear_; }
  const std::vector<Leg>& legs() const { return legs_; }
  double duration() const { return duration_; }
  double length() const { return length_; }

  TourPose pose_at(double seconds) const;
  // The middle of the pause at the point with this index.
  double dwell_middle(std::size_t point) const;
  // Every corner of the route in order, from the start back to the start.
  std::vector<Position> route() const;

 private:
  Position start_{};
  bool start_is_clear_ = true;
  std::vector<Leg> legs_;
  double duration_ = 0.0;
  double length_ = 0.0;
};

}  // namespace zel::demo
