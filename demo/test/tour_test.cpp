#include "zel_video_player/demo/tour.h"

#include <cmath>

#include <gtest/gtest.h>

#include "zel_video_player/world/random.h"
#include "zel_video_player/world/world.h"

namespace zel::demo {
namespace {

constexpr double PUBLISH_PERIOD = 0.1;

double distance_to(const Position& position, const Location& point) {
  return distance(position.x, position.y, point.x, point.y);
}

bool inside(const Position& position, const Location& point, double radius) {
  return distance_to(position, point) <= radius;
}

// The point the player reports, counted from 1: the first in list order whose circle holds the robot.
std::size_t reported_point(const Position& position, const std::vector<Location>& points, double radius) {
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (inside(position, points[i], radius)) return i + 1;
  }
  return 0;
}

// Checks a tour the way the player sees it, one published pose every tenth of a second.
void expect_sound_tour(const std::vector<Location>& points, double radius, TourPace pace) {
  const TourPlan plan(points, radius, pace);
  const std::string where = std::to_string(points.size()) + " points, radius " + std::to_string(radius);
  for (const auto& point : points) EXPECT_GT(distance_to(plan.start(), point), radius) << where;

  std::vector<double> time_inside(points.size(), 0.0);
  std::vector<double> first_inside(points.size(), -1.0);
  Position previous = plan.pose_at(0.0).position;
  for (double t = 0.0; t <= plan.duration() + PUBLISH_PERIOD; t += PUBLISH_PERIOD) {
    const Position here = plan.pose_at(t).position;
    EXPECT_LE(std::hypot(here.x - previous.x, here.y - previous.y), pace.speed * PUBLISH_PERIOD + 1e-9)
        << where << " at " << t;
    previous = here;
    for (std::size_t i = 0; i < points.size(); ++i) {
      if (!inside(here, points[i], radius)) continue;
      time_inside[i] += PUBLISH_PERIOD;
      if (first_inside[i] < 0.0) first_inside[i] = t;
    }
  }
  for (std::size_t i = 0; i < points.size(); ++i) {
    EXPECT_GE(time_inside[i], pace.dwell) << where << ", point " << i + 1;
    const Position middle = plan.pose_at(plan.dwell_middle(i)).position;
    EXPECT_EQ(distance_to(middle, points[i]), 0.0) << where << ", point " << i + 1;
    if (i > 0) {
      EXPECT_GT(plan.dwell_middle(i), plan.dwell_middle(i - 1));
    }
  }
  const TourPose after = plan.pose_at(plan.duration() + 1.0);
  EXPECT_FALSE(after.leg);
  for (const auto& point : points) EXPECT_FALSE(inside(after.position, point, radius)) << where;
}

TEST(Tour, VisitsTheTestPointsInOrderAndComesBackOut) {
  const TourPace pace;
  expect_sound_tour(test_locations(), 1.5, pace);
  const TourPlan plan(test_locations(), 1.5, pace);
  ASSERT_EQ(plan.legs().size(), 2 * test_locations().size() + 1);
  EXPECT_NEAR(plan.duration(), plan.length() / pace.speed + 4 * pace.dwell, 1e-9);
  const auto route = plan.route();
  ASSERT_EQ(route.size(), 6u);
  EXPECT_EQ(route[2].x, 10.7);
  EXPECT_EQ(route[2].y, 6.0);
  EXPECT_LT(plan.duration(), 50.0) << "the demo is meant to take about a minute";

  // The player sees one arrival per point, in the order of the listing, and nothing else.
  std::vector<std::size_t> arrivals;
  std::size_t previous = 0;
  for (double t = 0.0; t <= plan.duration() + PUBLISH_PERIOD; t += PUBLISH_PERIOD) {
    const std::size_t now = reported_point(plan.pose_at(t).position, test_locations(), 1.5);
    if (now != 0 && now != previous) arrivals.push_back(now);
    previous = now;
  }
  EXPECT_EQ(arrivals, (std::vector<std::size_t>{1, 2, 3, 4}));
}

TEST(Tour, GeneratedPointsOfAnyRadiusAreToured) {
  RandomEngine engine(11);
  for (double radius : {0.3, 1.5, 2.5}) {
    for (int round = 0; round < 5; ++round) {
      expect_sound_tour(gen_locations(2 + round, radius, engine), radius, {2.0, 1.0});
    }
  }
}

TEST(Tour, StartAndEndLieOnTheMapBesideTheFirstAndLastPoints) {
  const TourPlan plan(test_locations(), 1.5, {});
  EXPECT_LT(distance_to(plan.start(), test_locations().front()), 2.5);
  EXPECT_LT(distance_to(plan.end(), test_locations().back()), 2.5);
  for (const Position& spot : {plan.start(), plan.end()}) {
    EXPECT_GT(spot.x, 0.0);
    EXPECT_LT(spot.x, MAP_LIMITS.x);
    EXPECT_GT(spot.y, 0.0);
    EXPECT_LT(spot.y, MAP_LIMITS.y);
  }
  EXPECT_EQ(plan.pose_at(plan.duration()).position.x, plan.end().x);
}

TEST(Tour, CirclesOverTheWholeMapLeaveNoClearStart) {
  const TourPlan covered(test_locations(), 20.0, {});
  EXPECT_FALSE(covered.ends_are_clear());
  EXPECT_EQ(covered.route().size(), 6u);
  // A radius that holds nothing keeps every spot clear, as it does for the player.
  for (double radius : {-1.0, std::nan("")}) EXPECT_TRUE(TourPlan(test_locations(), radius, {}).ends_are_clear());
}

TEST(Tour, NoPointsIsAStandStill) {
  const TourPlan plan({}, 1.5, {});
  EXPECT_EQ(plan.duration(), 0.0);
  EXPECT_EQ(plan.route().size(), 2u);
  EXPECT_FALSE(plan.pose_at(0.0).leg);
  EXPECT_THROW(plan.dwell_middle(0), std::out_of_range);
}

TEST(Tour, RejectsWhatItCannotWalk) {
  for (TourPace pace : {TourPace{0.0, 1.0}, TourPace{-1.0, 1.0}, TourPace{std::nan(""), 1.0},
                        TourPace{1.0, -0.5}, TourPace{1.0, HUGE_VAL}}) {
    EXPECT_THROW(TourPlan(test_locations(), 1.5, pace), std::invalid_argument);
  }
  EXPECT_THROW(TourPlan({Location{{1.0}, {HUGE_VAL}}}, 1.5, {}), std::invalid_argument);
  EXPECT_NO_THROW(TourPlan(test_locations(), 1.5, {1.0, 0.0}));
}

}  // namespace
}  // namespace zel::demo
