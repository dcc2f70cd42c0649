#include "zel_video_player/player/ros/marker_conversion.h"

#include <cmath>
#include <string>

#include <geometry_msgs/Point.h>

#include "zel_video_player/world/world.h"

namespace zel {
namespace {

constexpr double DOT_DIAMETER = 0.2;
constexpr double DISC_THICKNESS = 0.02;
constexpr double POINT_LABEL_HEIGHT = 0.5;
// Up and to the right of the dot, so the number neither hides it nor sits on the robot passing
// through; seen from above, lifting it alone would not move it.
constexpr double POINT_LABEL_SHIFT = 0.35;
constexpr double ROOM_LABEL_HEIGHT = 0.8;
// In the room's upper left corner: points tend to lie near the middle.
constexpr double ROOM_LABEL_INSET_X = 0.5;
constexpr double ROOM_LABEL_INSET_Y = 0.6;
constexpr double OUTLINE_WIDTH = 0.06;

std_msgs::ColorRGBA colour(float red, float green, float blue, float alpha) {
  std_msgs::ColorRGBA result;
  result.r = red;
  result.g = green;
  result.b = blue;
  result.a = alpha;
  return result;
}

geometry_msgs::Point point(double x, double y, double z = 0.0) {
  geometry_msgs::Point result;
  result.x = x;
  result.y = y;
  result.z = z;
  return result;
}

visualization_msgs::Marker marker(const std::string& ns, int id, int type) {
  visualization_msgs::Marker result;
  result.header.frame_id = MAP_FRAME;  // a zero stamp: RViz draws it with the latest transform
  result.ns = ns;
  result.id = id;
  result.type = type;
  result.action = visualization_msgs::Marker::ADD;
  result.pose.orientation.w = 1.0;
  return result;
}

visualization_msgs::Marker text(const std::string& ns, int id, const std::string& words,
                                const geometry_msgs::Point& at, double height) {
  visualization_msgs::Marker result = marker(ns, id, visualization_msgs::Marker::TEXT_VIEW_FACING);
  result.pose.position = at;
  result.scale.x = result.scale.y = result.scale.z = height;
  result.color = colour(1.0f, 1.0f, 1.0f, 1.0f);
  result.text = words;
  return result;
}

visualization_msgs::Marker closed_line(int id, const std::vector<geometry_msgs::Point>& corners, double width) {
  visualization_msgs::Marker result = marker(ROOMS_NAMESPACE, id, visualization_msgs::Marker::LINE_STRIP);
  result.scale.x = width;
  result.color = colour(0.8f, 0.8f, 0.8f, 1.0f);
  result.points = corners;
  result.points.push_back(corners.front());
  return result;
}

void add_building(visualization_msgs::MarkerArray& array) {
  const double x_limit = MAP_LIMITS.x;
  array.markers.push_back(closed_line(
      0, {point(0.0, 0.0), point(x_limit, 0.0), point(x_limit, MAP_LIMITS.y), point(0.0, MAP_LIMITS.y)},
      2 * OUTLINE_WIDTH));
  const int room_count = static_cast<int>(ROOMS.size());
  for (int i = 0; i < room_count; ++i) {
    const Room& room = ROOMS[static_cast<std::size_t>(i)];
    const CornerTable& c = *room.corners;
    std::vector<geometry_msgs::Point> outline;
    for (const std::size_t corner : OUTLINE_ORDER) outline.push_back(point(c[corner].x, c[corner].y));
    array.markers.push_back(closed_line(1 + i, outline, OUTLINE_WIDTH));
    array.markers.push_back(text(ROOMS_NAMESPACE, 1 + room_count + i, std::string(room.name),
                                 point(c[0].x + ROOM_LABEL_INSET_X, c[0].y - ROOM_LABEL_INSET_Y), ROOM_LABEL_HEIGHT));
  }
}

}  // namespace

visualization_msgs::MarkerArray points_of_interest_markers(const std::vector<Location>& points, double radius) {
  visualization_msgs::MarkerArray array;
  visualization_msgs::Marker clear_all;
  clear_all.header.frame_id = MAP_FRAME;
  clear_all.action = visualization_msgs::Marker::DELETEALL;
  array.markers.push_back(clear_all);

  const double diameter = 2 * radius;
  const bool discs = radius > 0 && std::isfinite(diameter);
  const std::size_t count = std::min(points.size(), MAX_MARKED_POINTS);
  for (std::size_t i = 0; i < count; ++i) {
    const double x = points[i].x;
    const double y = points[i].y;
    if (!std::isfinite(x) || !std::isfinite(y)) continue;
    const int id = static_cast<int>(i);

    visualization_msgs::Marker dot = marker(POINTS_NAMESPACE, id, visualization_msgs::Marker::SPHERE);
    dot.pose.position = point(x, y);
    dot.scale.x = dot.scale.y = dot.scale.z = DOT_DIAMETER;
    dot.color = colour(1.0f, 0.55f, 0.0f, 1.0f);
    array.markers.push_back(dot);

    if (discs) {
      visualization_msgs::Marker disc = marker(RADIUS_NAMESPACE, id, visualization_msgs::Marker::CYLINDER);
      disc.pose.position = point(x, y);
      disc.scale.x = disc.scale.y = diameter;
      disc.scale.z = DISC_THICKNESS;
      disc.color = colour(1.0f, 0.55f, 0.0f, 0.25f);
      array.markers.push_back(disc);
    }

    array.markers.push_back(text(LABELS_NAMESPACE, id, std::to_string(i + 1),
                                 point(x + POINT_LABEL_SHIFT, y + POINT_LABEL_SHIFT), POINT_LABEL_HEIGHT));
  }
  add_building(array);
  return array;
}

}  // namespace zel
