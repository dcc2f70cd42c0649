#include "zel_video_player/demo/pictures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "zel_video_player/text/formatting.h"
#include "zel_video_player/world/world.h"

namespace zel::demo {
namespace {

constexpr int PIXELS_PER_METRE = 60;
constexpr int MAP_LEFT = 60;
constexpr int MAP_RIGHT = 30;
constexpr int MAP_TOP = 50;
constexpr int MAP_BOTTOM = 50;
// OpenCV draws circles by integer radius; beyond this a circle covers the whole picture anyway.
constexpr double LARGEST_CIRCLE = 4000.0;

constexpr int TILE_WIDTH = 320;
constexpr int TILE_HEIGHT = 240;
constexpr int LABEL_HEIGHT = 56;
constexpr int GAP = 12;
constexpr std::size_t SHEET_COLUMNS = 3;

const cv::Scalar WHITE(255, 255, 255);
const cv::Scalar INK(40, 40, 40);
const cv::Scalar WALL(60, 60, 60);
const cv::Scalar FLOOR(242, 242, 242);
const cv::Scalar ROOM_EDGE(130, 130, 130);
const cv::Scalar ROOM_LETTER(150, 150, 150);
const cv::Scalar ROUTE(200, 90, 0);
const cv::Scalar START(60, 160, 0);
const cv::Scalar END(90, 90, 90);
const cv::Scalar POINT(30, 30, 210);
const int FONT = cv::FONT_HERSHEY_SIMPLEX;
const int BOLD_FONT = cv::FONT_HERSHEY_DUPLEX;

// One for each room, in the order of the building's table.
const std::array<cv::Scalar, ROOMS.size()> ROOM_TINTS{
    {{235, 225, 250}, {220, 245, 245}, {225, 245, 225}, {250, 235, 220}, {245, 225, 240}}};

cv::Point pixel_of(const Position& position) { return map_pixel(position.x, position.y); }

void put_text(cv::Mat& image, const std::string& text, cv::Point origin, double scale, const cv::Scalar& colour,
              int thickness = 1, int font = FONT) {
  cv::putText(image, text, origin, font, scale, colour, thickness, cv::LINE_AA);
}

std::string one_decimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

void draw_axes(cv::Mat& map) {
  for (int metre = 0; metre <= MAP_LIMITS.x; ++metre) {
    const cv::Point foot = map_pixel(metre, 0.0);
    cv::line(map, foot, foot + cv::Point(0, 6), INK, 1);
    put_text(map, std::to_string(metre), foot + cv::Point(metre < 10 ? -4 : -8, 22), 0.45, INK);
  }
  for (int metre = 0; metre <= static_cast<int>(MAP_LIMITS.y); ++metre) {
    const cv::Point foot = map_pixel(0.0, metre);
    cv::line(map, foot, foot - cv::Point(6, 0), INK, 1);
    put_text(map, std::to_string(metre), foot + cv::Point(metre < 10 ? -22 : -30, 5), 0.45, INK);
  }
  put_text(map, "x (m)", map_pixel(MAP_LIMITS.x, 0.0) + cv::Point(-40, 42), 0.45, INK);
  put_text(map, "y (m)", map_pixel(0.0, MAP_LIMITS.y) + cv::Point(-52, -10), 0.45, INK);
}

void draw_rooms(cv::Mat& map) {
  for (std::size_t i = 0; i < ROOMS.size(); ++i) {
    const CornerTable& corners = *ROOMS[i].corners;
    std::vector<cv::Point> outline;
    for (const std::size_t corner : OUTLINE_ORDER) outline.push_back(map_pixel(corners[corner].x, corners[corner].y));
    cv::fillConvexPoly(map, outline, ROOM_TINTS[i], cv::LINE_AA);
    cv::polylines(map, outline, true, ROOM_EDGE, 2, cv::LINE_AA);
    // In the top left corner, where it is least in the way of points and the route.
    const std::string letter(ROOMS[i].name);
    int baseline = 0;
    const cv::Size size = cv::getTextSize(letter, BOLD_FONT, 1.6, 3, &baseline);
    put_text(map, letter, outline[0] + cv::Point(12, 12 + size.height), 1.6, ROOM_LETTER, 3, BOLD_FONT);
  }
}

void draw_circles(cv::Mat& map, const std::vector<Location>& points, double radius) {
  if (!(radius > 0.0)) return;
  const int pixels = static_cast<int>(std::min(radius * PIXELS_PER_METRE, LARGEST_CIRCLE));
  cv::Mat shade = map.clone();
  for (const auto& point : points) cv::circle(shade, map_pixel(point.x, point.y), pixels, POINT, cv::FILLED, cv::LINE_AA);
  cv::addWeighted(shade, 0.18, map, 0.82, 0.0, map);
  for (const auto& point : points) cv::circle(map, map_pixel(point.x, point.y), pixels, POINT, 2, cv::LINE_AA);
}

void draw_marker(cv::Mat& map, const Position& where, const std::string& name, const cv::Scalar& colour) {
  const cv::Point centre = pixel_of(where);
  cv::rectangle(map, centre - cv::Point(7, 7), centre + cv::Point(7, 7), colour, cv::FILLED);
  put_text(map, name, centre + cv::Point(10, 22), 0.6, WHITE, 5);
  put_text(map, name, centre + cv::Point(10, 22), 0.6, colour, 2);
}

void draw_route(cv::Mat& map, const TourPlan& plan) {
  const auto corners = plan.route();
  for (std::size_t i = 1; i < corners.size(); ++i) {
    const cv::Point from = pixel_of(corners[i - 1]);
    const cv::Point to = pixel_of(corners[i]);
    const double length = cv::norm(to - from);
    if (length < 1.0) continue;
    cv::arrowedLine(map, from, to, ROUTE, 3, cv::LINE_AA, 0, std::min(0.5, 16.0 / length));
  }
  draw_marker(map, plan.end(), "end", END);
  draw_marker(map, plan.start(), "start", START);
}

void draw_points(cv::Mat& map, const std::vector<Location>& points) {
  for (std::size_t i = 0; i < points.size(); ++i) {
    const cv::Point centre = map_pixel(points[i].x, points[i].y);
    cv::circle(map, centre, 7, POINT, cv::FILLED, cv::LINE_AA);
    cv::circle(map, centre, 7, WHITE, 2, cv::LINE_AA);
    const std::string number = std::to_string(i + 1);
    put_text(map, number, centre + cv::Point(10, -10), 0.9, WHITE, 5, BOLD_FONT);
    put_text(map, number, centre + cv::Point(10, -10), 0.9, POINT, 2, BOLD_FONT);
  }
}

// Shortens text with an ellipsis until it fits the width.
std::string fitted(const std::string& text, double scale, int thickness, int font, int width) {
  const auto fits = [&](const std::string& candidate) {
    int baseline = 0;
    return cv::getTextSize(candidate, font, scale, thickness, &baseline).width <= width;
  };
  if (fits(text)) return text;
  std::string kept = text;
  while (!kept.empty() && !fits(kept + "...")) kept.pop_back();
  return kept + "...";
}

void draw_tile(cv::Mat& sheet, const SheetEntry& entry, const cv::Rect& tile, const cv::Rect& label) {
  cv::Mat area = sheet(tile);
  area.setTo(cv::Scalar(0, 0, 0));
  if (entry.frame.empty() || entry.frame.type() != CV_8UC3) {
    put_text(sheet, "no frame received", tile.tl() + cv::Point(70, tile.height / 2), 0.6, WHITE);
  } else {
    const double scale = std::min(static_cast<double>(tile.width) / entry.frame.cols,
                                  static_cast<double>(tile.height) / entry.frame.rows);
    const cv::Size fitted_size(std::max(1, static_cast<int>(entry.frame.cols * scale)),
                               std::max(1, static_cast<int>(entry.frame.rows * scale)));
    cv::Mat resized;
    cv::resize(entry.frame, resized, fitted_size, 0, 0, cv::INTER_AREA);
    const cv::Point offset((tile.width - fitted_size.width) / 2, (tile.height - fitted_size.height) / 2);
    resized.copyTo(area(cv::Rect(offset, fitted_size)));
  }
  const int inner = label.width - 12;
  put_text(sheet, fitted(entry.title, 0.65, 2, BOLD_FONT, inner), label.tl() + cv::Point(6, 22), 0.65, INK, 2,
           BOLD_FONT);
  put_text(sheet, fitted(entry.caption, 0.55, 1, FONT, inner), label.tl() + cv::Point(6, 46), 0.55, INK, 1);
}

}  // namespace

cv::Size map_size() {
  return {MAP_LEFT + MAP_LIMITS.x * PIXELS_PER_METRE + MAP_RIGHT,
          MAP_TOP + static_cast<int>(std::lround(MAP_LIMITS.y * PIXELS_PER_METRE)) + MAP_BOTTOM};
}

cv::Point map_pixel(double x, double y) {
  return {static_cast<int>(std::lround(MAP_LEFT + x * PIXELS_PER_METRE)),
          static_cast<int>(std::lround(MAP_TOP + (MAP_LIMITS.y - y) * PIXELS_PER_METRE))};
}

cv::Mat draw_map(const std::vector<Location>& points, double radius, const TourPlan& plan) {
  cv::Mat map(map_size(), CV_8UC3, WHITE);
  cv::rectangle(map, map_pixel(0.0, MAP_LIMITS.y), map_pixel(MAP_LIMITS.x, 0.0), FLOOR, cv::FILLED);
  draw_rooms(map);
  draw_circles(map, points, radius);
  cv::rectangle(map, map_pixel(0.0, MAP_LIMITS.y), map_pixel(MAP_LIMITS.x, 0.0), WALL, 3);
  draw_axes(map);
  draw_route(map, plan);
  draw_points(map, points);
  const std::string title = std::to_string(points.size()) + (points.size() == 1 ? " point" : " points") +
                            " of interest, radius " + format_real(radius) + " m, route " +
                            one_decimal(plan.length()) + " m";
  put_text(map, title, {MAP_LEFT, 32}, 0.7, INK, 2, BOLD_FONT);
  return map;
}

SheetLayout contact_sheet_layout(std::size_t entries) {
  const std::size_t columns = std::max<std::size_t>(1, std::min(entries, SHEET_COLUMNS));
  const std::size_t rows = std::max<std::size_t>(1, (entries + columns - 1) / columns);
  SheetLayout layout;
  layout.size = {static_cast<int>(columns) * (TILE_WIDTH + GAP) + GAP,
                 static_cast<int>(rows) * (TILE_HEIGHT + LABEL_HEIGHT + GAP) + GAP};
  for (std::size_t i = 0; i < entries; ++i) {
    const int x = GAP + static_cast<int>(i % columns) * (TILE_WIDTH + GAP);
    const int y = GAP + static_cast<int>(i / columns) * (TILE_HEIGHT + LABEL_HEIGHT + GAP);
    layout.tiles.emplace_back(x, y, TILE_WIDTH, TILE_HEIGHT);
    layout.labels.emplace_back(x, y + TILE_HEIGHT, TILE_WIDTH, LABEL_HEIGHT);
  }
  return layout;
}

cv::Mat draw_contact_sheet(const std::vector<SheetEntry>& entries) {
  const SheetLayout layout = contact_sheet_layout(entries.size());
  cv::Mat sheet(layout.size, CV_8UC3, cv::Scalar(225, 225, 225));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    sheet(layout.labels[i]).setTo(WHITE);
    draw_tile(sheet, entries[i], layout.tiles[i], layout.labels[i]);
  }
  return sheet;
}

void write_png(const std::string& path, const cv::Mat& picture) {
  if (!cv::imwrite(path, picture, {cv::IMWRITE_PNG_COMPRESSION, 9})) {
    throw std::runtime_error("cannot write the picture " + path);
  }
}

}  // namespace zel::demo
