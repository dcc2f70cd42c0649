// What RViz is shown of the points and the building.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "zel_video_player/player/ros/marker_conversion.h"
#include "zel_video_player/world/locations.h"

namespace zel {
namespace {

using visualization_msgs::Marker;

std::vector<Marker> in_namespace(const visualization_msgs::MarkerArray& array, const std::string& ns) {
  std::vector<Marker> found;
  for (const auto& marker : array.markers) {
    if (marker.ns == ns && marker.action == Marker::ADD) found.push_back(marker);
  }
  return found;
}

// RViz rejects a marker with a zero or non-finite size in any dimension it draws.
bool scale_is_valid(const Marker& marker) {
  const auto positive = [](double value) { return std::isfinite(value) && value > 0; };
  switch (marker.type) {
    case Marker::LINE_STRIP:
      return positive(marker.scale.x);
    case Marker::TEXT_VIEW_FACING:
      return positive(marker.scale.z);
    default:
      return positive(marker.scale.x) && positive(marker.scale.y) && positive(marker.scale.z);
  }
}

TEST(PointsOfInterestMarkers, EveryPointWithItsDiscAndNumberAndTheBuilding) {
  const auto points = test_locations();
  const auto array = points_of_interest_markers(points, 1.25);
  const auto discs = in_namespace(array, "radius");
  const auto labels = in_namespace(array, "labels");
  ASSERT_EQ(discs.size(), 4u);
  ASSERT_EQ(labels.size(), 4u);
  ASSERT_EQ(in_namespace(array, "points").size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(discs[i].type, Marker::CYLINDER);
    EXPECT_EQ(discs[i].id, static_cast<int>(i));
    EXPECT_EQ(discs[i].pose.position.x, points[i].x);
    EXPECT_EQ(discs[i].pose.position.y, points[i].y);
    EXPECT_EQ(discs[i].scale.x, 2.5);
    EXPECT_EQ(discs[i].scale.y, 2.5);
    EXPECT_LT(discs[i].color.a, 1.0f);
    EXPECT_EQ(labels[i].text, std::to_string(i + 1));
    EXPECT_LT(std::hypot(labels[i].pose.position.x - points[i].x, labels[i].pose.position.y - points[i].y), 0.6);
  }

  const auto rooms = in_namespace(array, "rooms");
  std::vector<std::string> letters;
  std::size_t closed_outlines = 0;
  for (const auto& marker : rooms) {
    if (marker.type == Marker::TEXT_VIEW_FACING) letters.push_back(marker.text);
    if (marker.type == Marker::LINE_STRIP && marker.points.size() == 5 &&
        marker.points.front().x == marker.points.back().x && marker.points.front().y == marker.points.back().y) {
      ++closed_outlines;
    }
  }
  EXPECT_EQ(closed_outlines, 6u) << "the map and five rooms";
  EXPECT_EQ(letters, (std::vector<std::string>{"A", "B", "C", "D", "F"}));
  const auto outline = std::find_if(rooms.begin(), rooms.end(), [](const Marker& m) { return m.id == 0; });
  ASSERT_NE(outline, rooms.end());
  EXPECT_EQ(outline->points[2].x, 13.0);
  EXPECT_EQ(outline->points[2].y, 10.7);

  // Without a usable radius there is no disc to draw, but every point keeps its number.
  const auto without_discs = points_of_interest_markers(points, 0.0);
  EXPECT_TRUE(in_namespace(without_discs, "radius").empty());
  EXPECT_EQ(in_namespace(without_discs, "labels").size(), 4u);
  for (const auto* shown : {&array, &without_discs}) {
    for (const auto& marker : shown->markers) {
      EXPECT_EQ(marker.header.frame_id, "map") << marker.ns << " " << marker.id;
      EXPECT_TRUE(marker.action != Marker::ADD || scale_is_valid(marker)) << marker.ns << " " << marker.id;
    }
  }
}

}  // namespace
}  // namespace zel
