#include "zel_video_player/world/world.h"

#include <cmath>

#include <gtest/gtest.h>

namespace zel {
namespace {

struct Position3 {
  double x;
  double y;
  double z;
};

TEST(WorldTables, CornersAreExactSinglePrecisionValues) {
  for (const std::string room : {"A", "B", "C", "D", "F"}) {
    for (const Corner& corner : room_corners(room)) {
      EXPECT_EQ(static_cast<double>(static_cast<float>(corner.x)), corner.x) << room;
      EXPECT_EQ(static_cast<double>(static_cast<float>(corner.y)), corner.y) << room;
    }
  }
  EXPECT_NE(ROOM_D_CORNERS[0].x, ROOM_D_CORNERS[2].x);
  EXPECT_EQ(ROOM_C_CORNERS[0].y, ROOM_C_CORNERS[1].y);
}

TEST(InRoom, SampleRoomsAndTheSpaceBetween) {
  EXPECT_TRUE(in_room(2.0, 8.0, "A"));
  for (const char* other : {"B", "C", "D", "F"}) EXPECT_FALSE(in_room(2.0, 8.0, other)) << other;
  EXPECT_TRUE(in_room(10.0, 2.0, "F"));
  for (const char* other : {"A", "B", "C", "D"}) EXPECT_FALSE(in_room(10.0, 2.0, other)) << other;
  for (const char* room : {"A", "B", "C", "D", "F"}) EXPECT_FALSE(in_room(6.0, 3.0, room)) << room;
}

TEST(InRoom, BoundsAreExclusiveAndTheBoxIsNotTheQuadrilateral) {
  EXPECT_FALSE(in_room(0.1178496852517128, 8.0, "A"));
  EXPECT_FALSE(in_room(3.76343035697937, 8.0, "A"));
  EXPECT_FALSE(in_room(2.0, 6.036409378051758, "A"));
  EXPECT_FALSE(in_room(2.0, 10.650749206542969, "A"));
  EXPECT_TRUE(in_room(3.76, 6.04, "A"));
  EXPECT_FALSE(in_room(0.10946185, 3.0, "D"));
  EXPECT_TRUE(in_room(0.10946186, 3.0, "D"));
  EXPECT_FALSE(in_room(std::nan(""), 3.0, "D"));
}

TEST(InRoom, UnknownRoomNamesTheTableItLookedFor) {
  for (const char* bad : {"E", "", "a", "AB"}) {
    try {
      in_room(1.0, 1.0, bad);
      ADD_FAILURE() << "no error for room " << bad;
    } catch (const UnknownRoom& error) {
      EXPECT_NE(std::string(error.what()).find(std::string("ROOM_") + bad + "_CORNERS"),
                std::string::npos);
    }
  }
}

TEST(Distance, PlanarAndSymmetric) {
  EXPECT_EQ(distance(Position3{1.5, -2.0, 9.0}, Position3{1.5, -2.0, -4.0}), 0.0);
  EXPECT_EQ(distance(Position3{0, 0, 0}, Position3{3, 4, 100}), 5.0);
  EXPECT_EQ(distance(Position3{3, 4, 0}, Position3{0, 0, 0}), 5.0);
  EXPECT_EQ(distance(-1.0, -1.0, 2.0, 3.0), 5.0);
}

}  // namespace
}  // namespace zel
