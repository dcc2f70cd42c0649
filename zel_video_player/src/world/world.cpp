#include "zel_video_player/world/world.h"

namespace zel {

const CornerTable& room_corners(const std::string& room_name) {
  if (room_name == "A") return ROOM_A_CORNERS;
  if (room_name == "B") return ROOM_B_CORNERS;
  if (room_name == "C") return ROOM_C_CORNERS;
  if (room_name == "D") return ROOM_D_CORNERS;
  if (room_name == "F") return ROOM_F_CORNERS;
  throw UnknownRoom("ROOM_" + room_name + "_CORNERS");
}

bool in_room(double x, double y, const std::string& room_name) {
  const CornerTable& corners = room_corners(room_name);
  return x > corners[0].x && x < corners[1].x && y > corners[2].y && y < corners[0].y;
}

}  // namespace zel
