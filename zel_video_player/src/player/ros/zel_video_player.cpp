#include "zel_video_player/player/ros/zel_video_player.h"

#include <visualization_msgs/MarkerArray.h>

#include "zel_video_player/player/ros/names.h"
#include "zel_video_player/player/ros/marker_conversion.h"
#include "zel_video_player/player/ros/ros_clock.h"
#include "zel_video_player/text/formatting.h"
#include "zel_video_player/world/world.h"

namespace zel {
namespace {

// Pose messages are small and handled quickly; the bound only guards memory against a flood.
constexpr uint32_t POSE_QUEUE_SIZE = 10000;

bool shutting_down() { return !ros::ok() || ros::isShuttingDown(); }

}  // namespace

ZELVideoPlayer::ZELVideoPlayer(const std::string& video_folder, std::int64_t n_locations,
                               double radius, bool test, RandomEngine& engine, std::ostream& out,
                               const ros::NodeHandle& node, const ros::NodeHandle& private_node,
                               const std::string& line_tag)
    : node_(node),
      private_node_(private_node),
      line_tag_(line_tag),
      clock_(make_ros_clock()),
      player_(Settings{test, n_locations, radius, video_folder}, engine, out, *clock_, outputs_, shutting_down) {
  show_points();
  diagnostics_.start(player_);
  // Subscribing last means no pose is handled before every field holds its first value.
  pose_sub_ = node_.subscribe(POSE_TOPIC, POSE_QUEUE_SIZE, &ZELVideoPlayer::pose_callback, this,
                                  ros::TransportHints().tcpNoDelay());
}

// Waits for a pose message or a report being handled, so none reaches a player half torn down.
ZELVideoPlayer::~ZELVideoPlayer() {
  pose_sub_.shutdown();
  diagnostics_.stop();
}

void ZELVideoPlayer::pose_callback(const geometry_msgs::PoseWithCovarianceStamped::ConstPtr& msg) {
  player_.on_position(msg->pose.pose.position.x, msg->pose.pose.position.y);
}

// Once, latched, for RViz.
void ZELVideoPlayer::show_points() {
  const std::vector<Location>& points = player_.locations();
  if (points.size() > MAX_MARKED_POINTS) {
    ROS_WARN_STREAM(line_tag_ << LOG_PREFIX << "RViz is shown the first " << MAX_MARKED_POINTS << " of " << points.size()
                               << " points of interest");
  }
  markers_pub_ = private_node_.advertise<visualization_msgs::MarkerArray>(POINTS_OF_INTEREST_TOPIC, 1, true);
  markers_pub_.publish(points_of_interest_markers(points, player_.radius()));
}

bool ZELVideoPlayer::in_room(const geometry_msgs::Point& pose, const std::string& room_name) const {
  return zel::in_room(pose.x, pose.y, room_name);
}

bool ZELVideoPlayer::roll_dice(double probability) {
  const DiceRoll roll = player_.roll_dice(probability);
  ROS_INFO_STREAM(line_tag_ << roll.log_line);
  return roll.hit;
}

double ZELVideoPlayer::distance(const geometry_msgs::Point& a, const geometry_msgs::Point& b) {
  return zel::distance(a, b);
}

}  // namespace zel
