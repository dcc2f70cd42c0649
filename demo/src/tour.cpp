#include "zel_video_player/demo/tour.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "zel_video_player/world/world.h"

namespace zel::demo {
namespace {

// Room to spare between the start and the nearest circle, so that localisation noise on a real
// robot would not put it at a point before the tour has begun.
constexpr double START_MARGIN = 0.5;
constexpr double GRID_STEP = 0.25;
constexpr double WALL_CLEARANCE = 0.5;

Position as_position(const Location& location) { return {location.x.value, location.y.value}; }

// The radius as the player applies it: a circle that holds nothing is no obstacle.
double covering_radius(double radius) {
  if (std::isnan(radius) || radius < 0.0) return -std::numeric_limits<double>::infinity();
  return radius;
}

double clearance(const Position& spot, const std::vector<Location>& points, double radius) {
  double nearest = std::numeric_limits<double>::infinity();
  for (const auto& point : points) {
    nearest = std::min(nearest, distance(spot.x, spot.y, point.x, point.y) - covering_radius(radius));
  }
  return nearest;
}

// How near the segment from a to b comes to p.
double segment_distance(const Position& a, const Position& b, const Location& p) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double squared = dx * dx + dy * dy;
  const double share = squared > 0.0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / squared, 0.0, 1.0) : 0.0;
  return distance(a.x + share * dx, a.y + share * dy, p.x, p.y);
}

bool crosses_other_circles(const Position& from, std::size_t target, const std::vector<Location>& points,
                           double radius) {
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i != target && segment_distance(from, as_position(points[target]), points[i]) <= covering_radius(radius)) {
      return true;
    }
  }
  return false;
}

}  // namespace

Position clear_spot_near(const std::vector<Location>& points, double radius, std::size_t index) {
  if (points.empty()) return {MAP_LIMITS.x / 2.0, MAP_LIMITS.y / 2.0};
  const Position target = as_position(points.at(index));
  std::optional<Position> best;
  bool best_crosses = true;
  double best_distance = std::numeric_limits<double>::infinity();
  Position most_clear{WALL_CLEARANCE, WALL_CLEARANCE};
  double best_clearance = -std::numeric_limits<double>::infinity();
  for (double x = WALL_CLEARANCE; x <= MAP_LIMITS.x - WALL_CLEARANCE; x += GRID_STEP) {
    for (double y = WALL_CLEARANCE; y <= MAP_LIMITS.y - WALL_CLEARANCE; y += GRID_STEP) {
      const Position spot{x, y};
      const double clear = clearance(spot, points, radius);
      if (clear > best_clearance) {
        best_clearance = clear;
        most_clear = spot;
      }
      if (clear <= START_MARGIN) continue;
      const bool crosses = crosses_other_circles(spot, index, points, radius);
      const double to_target = distance(x, y, target.x, target.y);
      if ((best_crosses && !crosses) || (crosses == best_crosses && to_target < best_distance)) {
        best = spot;
        best_crosses = crosses;
        best_distance = to_target;
      }
    }
  }
  return best.value_or(most_clear);
}

TourPlan::TourPlan(const std::vector<Location>& points, double radius, TourPace pace) {
  if (!std::isfinite(pace.speed) || pace.speed <= 0.0) {
    throw std::invalid_argument("the speed must be a positive number of metres per second");
  }
  if (!std::isfinite(pace.dwell) || pace.dwell < 0.0) {
    throw std::invalid_argument("the dwell must be zero or a positive number of seconds");
  }
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y)) {
      throw std::invalid_argument("point " + std::to_string(i + 1) + " is not on the map");
    }
  }
  start_ = clear_spot_near(points, radius, 0);
  end_ = points.empty() ? start_ : clear_spot_near(points, radius, points.size() - 1);
  ends_are_clear_ = clearance(start_, points, radius) > 0.0 && clearance(end_, points, radius) > 0.0;

  double time = 0.0;
  double yaw = 0.0;
  Position here = start_;
  auto walk = [&](LegKind kind, std::size_t point, Position to) {
    const double length = distance(here.x, here.y, to.x, to.y);
    if (length > 0.0) yaw = std::atan2(to.y - here.y, to.x - here.x);
    legs_.push_back({kind, point, here, to, time, length / pace.speed, yaw});
    time += length / pace.speed;
    length_ += length;
    here = to;
  };
  for (std::size_t i = 0; i < points.size(); ++i) {
    walk(LegKind::to_point, i, as_position(points[i]));
    legs_.push_back({LegKind::dwell, i, here, here, time, pace.dwell, yaw});
    time += pace.dwell;
  }
  walk(LegKind::leave, points.empty() ? 0 : points.size() - 1, end_);
  duration_ = time;
}

TourPose TourPlan::pose_at(double seconds) const {
  if (legs_.empty() || !(seconds >= 0.0)) return {start_, legs_.empty() ? 0.0 : legs_.front().yaw, std::nullopt};
  for (std::size_t i = 0; i < legs_.size(); ++i) {
    const Leg& leg = legs_[i];
    if (seconds >= leg.start_time + leg.duration) continue;
    const double share = (seconds - leg.start_time) / leg.duration;
    const Position at{leg.from.x + (leg.to.x - leg.from.x) * share, leg.from.y + (leg.to.y - leg.from.y) * share};
    return {at, leg.yaw, i};
  }
  return {end_, legs_.back().yaw, std::nullopt};
}

double TourPlan::dwell_middle(std::size_t point) const {
  for (const auto& leg : legs_) {
    if (leg.kind == LegKind::dwell && leg.point == point) return leg.start_time + leg.duration / 2.0;
  }
  throw std::out_of_range("no point " + std::to_string(point + 1) + " on the tour");
}

std::vector<Position> TourPlan::route() const {
  std::vector<Position> corners{start_};
  for (const auto& leg : legs_) {
    if (leg.kind != LegKind::dwell) corners.push_back(leg.to);
  }
  return corners;
}

}  // namespace zel::demo
