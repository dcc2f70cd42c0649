#include "zel_video_player/world/world.h"

namespace zel {

const CornerTable& room_corners(const std::string& room_name) {
  for (const Room& room : ROOMS) {
    if (room.name == room_name) return *room.corners;
  }
  throw UnknownRoom("ROOM_" + room_name + "_CORNERS");
}

bool in_room(double x, double y, const std::string& room_name) {
  const CornerTable& corners = room_corners(room_name);
  return x > corners[0].x && x < corners[1].x && y > corners[2].y && y < corners[0].y;
}

}  // namespace zel
