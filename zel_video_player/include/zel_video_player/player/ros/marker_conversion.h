#pragma once

#include <cstddef>
#include <vector>

#include <visualization_msgs/MarkerArray.h>

#include "zel_video_player/world/locations.h"
#include "zel_video_player/player/ros/names.h"

namespace zel {

// The points of interest and the building as RViz markers in the frame "map". One namespace per
// kind, so each can be switched off on its own; ids are stable from run to run:
//   points  id k    a small dot on point k (counted from 0)
//   radius  id k    a flat translucent disc around point k, as wide as the circle it reaches
//   labels  id k    the point's number as the listing prints it (from 1), beside the dot
//   rooms   id 0    the map's outline; ids 1 to 5 the rooms' outlines, 6 to 10 their letters
// The array opens with a DELETEALL, so a restarted node with fewer points leaves no stale ones.

// Beyond this many points the array would run to megabytes for RViz to draw; the rest are left out.
inline constexpr std::size_t MAX_MARKED_POINTS = 10000;

// A radius that gives no usable disc (zero, negative, not finite) leaves the discs out; a point
// whose coordinates are not finite gets no marker at all.
visualization_msgs::MarkerArray points_of_interest_markers(const std::vector<Location>& points, double radius);

}  // namespace zel
