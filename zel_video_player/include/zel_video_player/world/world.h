#pragma once

#include <array>
#include <cmath>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zel {

// The fixed layout of the building: coordinates are metres in the map frame of /amcl_pose.

inline constexpr std::array<std::string_view, 5> OBJECT_LIST{"cat", "dog", "dog1", "person", "person1"};
inline constexpr std::string_view EMPTY_CLIP = "empty";
inline constexpr int N_SAMPLE = 2;

struct MapLimits {
  int x;  // kept whole as the map is specified; it always meets a real radius, so acts as 13.0
  double y;
};
inline constexpr MapLimits MAP_LIMITS{13, 10.7};

struct Corner {
  double x;
  double y;
};

// Corners in the order: smaller x larger y, larger x larger y, smaller x smaller y, larger x
// smaller y. The rooms are not exact rectangles; only the box tested by in_room matters.
using CornerTable = std::array<Corner, 4>;

inline constexpr CornerTable ROOM_A_CORNERS{{{0.1178496852517128, 10.650749206542969},
                                             {3.76343035697937, 10.621451377868652},
                                             {0.1178496852517128, 6.036409378051758},
                                             {3.7487902641296387, 6.051058292388916}}};
inline constexpr CornerTable ROOM_B_CORNERS{{{3.805814266204834, 10.671765327453613},
                                             {8.269617080688477, 10.644081115722656},
                                             {3.805814266204834, 6.04871129989624},
                                             {8.278841018676758, 6.021029472351074}}};
inline constexpr CornerTable ROOM_C_CORNERS{{{8.324222564697266, 10.683409690856934},
                                             {12.969343185424805, 10.683409690856934},
                                             {8.324222564697266, 6.061703205108643},
                                             {12.969343185424805, 6.022866249084473}}};
inline constexpr CornerTable ROOM_D_CORNERS{{{0.10946185886859894, 5.901395320892334},
                                             {3.712092161178589, 5.8719706535339355},
                                             {0.10946184396743774, 0.0973321795463562},
                                             {3.667977809906006, 0.0973321795463562}}};
inline constexpr CornerTable ROOM_F_CORNERS{{{8.324222564697266, 4.689431190490723},
                                             {12.969343185424805, 4.676486015319824},
                                             {8.311283111572266, 0.11950825154781342},
                                             {12.956404685974121, 0.08067001402378082}}};

struct Room {
  std::string_view name;
  const CornerTable* corners;
};

// The rooms with a corner table; there is no room E.
inline constexpr std::array<Room, 5> ROOMS{{{"A", &ROOM_A_CORNERS},
                                            {"B", &ROOM_B_CORNERS},
                                            {"C", &ROOM_C_CORNERS},
                                            {"D", &ROOM_D_CORNERS},
                                            {"F", &ROOM_F_CORNERS}}};

// A table lists the top corners, then the bottom ones: this order walks round the room's outline.
inline constexpr std::array<std::size_t, 4> OUTLINE_ORDER{0, 1, 3, 2};

class UnknownRoom : public std::out_of_range {
 public:
  explicit UnknownRoom(const std::string& table_name)
      : std::out_of_range("no corner table named " + table_name) {}
};

// Looks the table up by the name "ROOM_" + room_name + "_CORNERS"; throws UnknownRoom otherwise.
const CornerTable& room_corners(const std::string& room_name);

// The open box x0 < x < x1, y2 < y < y0 of the room's corners, not the quadrilateral they outline.
bool in_room(double x, double y, const std::string& room_name);

inline double distance(double ax, double ay, double bx, double by) {
  const double dx = ax - bx;
  const double dy = ay - by;
  return std::sqrt(dx * dx + dy * dy);
}

// Any two positions with x and y fields; further fields (z) play no part.
template <class A, class B>
double distance(const A& a, const B& b) {
  return distance(static_cast<double>(a.x), static_cast<double>(a.y), static_cast<double>(b.x),
                  static_cast<double>(b.y));
}

}  // namespace zel
