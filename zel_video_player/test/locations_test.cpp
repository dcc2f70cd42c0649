#include "zel_video_player/world/locations.h"

#include <algorithm>
#include <cstdio>

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(GenLocations, CountAndEmptyList) {
  RandomEngine engine(1);
  EXPECT_TRUE(gen_locations(0, 1.5, engine).empty());
  EXPECT_TRUE(gen_locations(-3, 1.5, engine).empty());
  EXPECT_EQ(gen_locations(7, 1.5, engine).size(), 7u);
}

TEST(GenLocations, BoundsAndTheShareRaisedToTheRadius) {
  RandomEngine engine(2);
  const int n = 40000;
  const auto points = gen_locations(n, 1.5, engine);
  int x_at_radius = 0;
  int y_at_radius = 0;
  for (const Location& point : points) {
    ASSERT_GE(point.x, 1.5);
    ASSERT_LE(point.x, 11.5);
    ASSERT_GE(point.y, 1.5);
    ASSERT_LE(point.y, 9.2);
    EXPECT_FALSE(point.x.whole || point.y.whole);
    x_at_radius += point.x == 1.5;
    y_at_radius += point.y == 1.5;
  }
  // Expected shares 1.5 / 11.5 and 1.5 / 9.2; the bounds are many standard deviations wide.
  EXPECT_NEAR(x_at_radius / double(n), 1.5 / 11.5, 0.01);
  EXPECT_NEAR(y_at_radius / double(n), 1.5 / 9.2, 0.01);
}

TEST(GenLocations, RadiusZeroSpansTheMapAndLargeRadiusPinsEveryPoint) {
  RandomEngine engine(3);
  const auto spread = gen_locations(20000, 0.0, engine);
  double max_x = 0, max_y = 0;
  for (const Location& point : spread) {
    ASSERT_GE(point.x, 0.0);
    ASSERT_LT(point.x, 13.0);
    ASSERT_LT(point.y, 10.7);
    max_x = std::max(max_x, double(point.x));
    max_y = std::max(max_y, double(point.y));
  }
  EXPECT_GT(max_x, 12.9);
  EXPECT_GT(max_y, 10.6);
  for (const Location& point : gen_locations(100, 7.0, engine)) {
    EXPECT_EQ(point.x, 7.0);
    EXPECT_EQ(point.y, 7.0);
  }
  for (const Location& point : gen_locations(100, 6.0, engine)) EXPECT_EQ(point.y, 6.0);
  // Without a radius the points keep 5 m from the map's edges.
  for (const Location& point : gen_locations(100, engine)) {
    EXPECT_GE(point.x, 5.0);
    EXPECT_LE(point.x, 8.0);
    EXPECT_GE(point.y, 5.0);
    EXPECT_LE(point.y, 5.7);
  }
}

TEST(GenLocations, SameSeedSameDrawsDifferentSeedDifferentDraws) {
  RandomEngine a(11), b(11), c(12);
  const auto first = gen_locations(5, 1.5, a);
  const auto again = gen_locations(5, 1.5, b);
  const auto other = gen_locations(5, 1.5, c);
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].x, again[i].x);
    EXPECT_EQ(first[i].y, again[i].y);
  }
  EXPECT_NE(first[0].x, other[0].x);
}

TEST(RollDice, LogLineAndOutcome) {
  RandomEngine engine(5);
  for (int i = 0; i < 200; ++i) EXPECT_TRUE(roll_dice(1.0, engine).hit);
  for (int i = 0; i < 200; ++i) EXPECT_FALSE(roll_dice(-0.1, engine).hit);
  int hits = 0;
  for (int i = 0; i < 20000; ++i) hits += roll_dice(0.3, engine).hit;
  EXPECT_NEAR(hits / 20000.0, 0.3, 0.02);

  RandomEngine replay(9);
  const double drawn = uniform01(replay);
  RandomEngine engine9(9);
  const DiceRoll roll = roll_dice(0.7, engine9);
  EXPECT_EQ(roll.hit, drawn <= 0.7);
  char expected[64];
  std::snprintf(expected, sizeof expected, "%.2f", drawn);
  std::string number = expected;
  while (number.back() == '0' && number[number.size() - 2] != '.') number.pop_back();
  EXPECT_EQ(roll.log_line,
            "ZEL video player: Random number is " + number + " and probability is 0.7.");
}

TEST(ListingLine, RoundsToHundredthsAndKeepsWholeNumbersWhole) {
  const auto points = test_locations();
  ASSERT_EQ(points.size(), 4u);
  EXPECT_EQ(format_listing_line(1, points[0]), "    1. (3.75, 3.5)");
  EXPECT_EQ(format_listing_line(2, points[1]), "    2. (10.7, 6)");
  EXPECT_EQ(format_listing_line(3, points[2]), "    3. (3.78, 7.78)");
  EXPECT_EQ(format_listing_line(4, points[3]), "    4. (10.6, 2.35)");
  EXPECT_EQ(points[1].y, 6.0);
  EXPECT_EQ(format_listing_line(12, Location{{4.0}, {0.125}}), "    12. (4.0, 0.12)");
  EXPECT_EQ(format_listing_line(1, Location{{2.675}, {9.999}}), "    1. (2.67, 10.0)");
}

}  // namespace
}  // namespace zel
