#include "zel_video_player/demo/pictures.h"

#include <cmath>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include "support/process.h"
#include "zel_video_player/world/world.h"

namespace zel::demo {
namespace {

// Reddish for points, bluish for the route, as drawn.
bool is_point_colour(const cv::Vec3b& pixel) { return pixel[2] > 150 && pixel[0] < 100 && pixel[1] < 100; }
bool is_route_colour(const cv::Vec3b& pixel) { return pixel[0] > 150 && pixel[2] < 80; }

TEST(Map, BuildingFillsThePictureWithYUpwards) {
  const cv::Size size = map_size();
  const cv::Point origin = map_pixel(0.0, 0.0);
  const cv::Point far_corner = map_pixel(MAP_LIMITS.x, MAP_LIMITS.y);
  EXPECT_GT(origin.y, far_corner.y);
  EXPECT_LT(origin.x, far_corner.x);
  for (const cv::Point& corner : {origin, far_corner}) {
    EXPECT_TRUE(cv::Rect(0, 0, size.width, size.height).contains(corner));
  }
  EXPECT_GT(far_corner.x - origin.x, size.width * 3 / 4);
}

TEST(Map, ShowsPointsWhereTheyAreAndTheRouteBetweenThem) {
  const auto points = test_locations();
  const TourPlan plan(points, 1.5, {});
  const cv::Mat map = draw_map(points, 1.5, plan);
  ASSERT_EQ(map.size(), map_size());
  for (const auto& point : points) {
    EXPECT_TRUE(is_point_colour(map.at<cv::Vec3b>(map_pixel(point.x, point.y)))) << point.x << ", " << point.y;
  }
  const auto route = plan.route();
  for (std::size_t i = 1; i < route.size(); ++i) {
    // A third of the way along, clear of the arrow heads and the point labels.
    const double x = route[i - 1].x + (route[i].x - route[i - 1].x) / 3.0;
    const double y = route[i - 1].y + (route[i].y - route[i - 1].y) / 3.0;
    EXPECT_TRUE(is_route_colour(map.at<cv::Vec3b>(map_pixel(x, y)))) << "leg " << i;
  }
}

TEST(Map, AnyRadiusTheListingMayCarryIsDrawn) {
  for (double radius : {0.0, -2.0, HUGE_VAL, std::nan("")}) {
    const TourPlan plan(test_locations(), radius, {});
    EXPECT_EQ(draw_map(test_locations(), radius, plan).size(), map_size()) << radius;
  }
  const TourPlan nothing({}, 1.5, {});
  EXPECT_EQ(draw_map({}, 1.5, nothing).size(), map_size());
}

TEST(ContactSheet, TilesSitSideBySideWithoutOverlapping) {
  for (std::size_t count : {1u, 3u, 5u, 7u}) {
    const SheetLayout layout = contact_sheet_layout(count);
    const cv::Rect picture(0, 0, layout.size.width, layout.size.height);
    ASSERT_EQ(layout.tiles.size(), count);
    for (std::size_t i = 0; i < count; ++i) {
      EXPECT_EQ((picture & layout.tiles[i]), layout.tiles[i]);
      EXPECT_EQ(layout.labels[i].y, layout.tiles[i].br().y) << "the label sits under its frame";
      EXPECT_EQ((picture & layout.labels[i]), layout.labels[i]);
      for (std::size_t j = 0; j < i; ++j) {
        EXPECT_TRUE((layout.tiles[i] & layout.tiles[j]).empty());
        EXPECT_TRUE((layout.tiles[i] & layout.labels[j]).empty());
      }
    }
  }
  EXPECT_EQ(contact_sheet_layout(2).size.height, contact_sheet_layout(3).size.height);
  EXPECT_GT(contact_sheet_layout(4).size.height, contact_sheet_layout(3).size.height);
}

TEST(ContactSheet, FramesKeepTheirColourAndShape) {
  const cv::Scalar orange(0, 140, 255);
  const cv::Scalar green(50, 170, 40);
  const std::vector<SheetEntry> entries{{cv::Mat(480, 640, CV_8UC3, orange), "away from every point", "empty"},
                                        {cv::Mat(240, 960, CV_8UC3, green), "point 1", std::string(200, 'x')},
                                        {cv::Mat(), "point 2", "no frame"}};
  const cv::Mat sheet = draw_contact_sheet(entries);
  const SheetLayout layout = contact_sheet_layout(entries.size());
  ASSERT_EQ(sheet.size(), layout.size);
  const auto centre = [](const cv::Rect& tile) { return (tile.tl() + tile.br()) / 2; };
  EXPECT_EQ(sheet.at<cv::Vec3b>(centre(layout.tiles[0])), cv::Vec3b(0, 140, 255));
  EXPECT_EQ(sheet.at<cv::Vec3b>(layout.tiles[0].tl() + cv::Point(2, 2)), cv::Vec3b(0, 140, 255));
  // A wide frame is letterboxed, not stretched.
  EXPECT_EQ(sheet.at<cv::Vec3b>(centre(layout.tiles[1])), cv::Vec3b(50, 170, 40));
  EXPECT_EQ(sheet.at<cv::Vec3b>(layout.tiles[1].tl() + cv::Point(layout.tiles[1].width / 2, 2)), cv::Vec3b(0, 0, 0));
}

TEST(Png, WrittenPicturesReadBackAndFailuresAreReported) {
  testing::TempDir dir;
  const cv::Mat picture(30, 40, CV_8UC3, cv::Scalar(1, 2, 3));
  write_png(dir.path() + "/p.png", picture);
  const cv::Mat read = cv::imread(dir.path() + "/p.png");
  ASSERT_EQ(read.size(), picture.size());
  EXPECT_EQ(cv::norm(read, picture), 0.0);
  EXPECT_THROW(write_png(dir.path() + "/missing/p.png", picture), std::runtime_error);
}

}  // namespace
}  // namespace zel::demo
