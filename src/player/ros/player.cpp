#include "zel_video_player/player/ros/player.h"

#include "zel_video_player/player/names.h"
#include "zel_video_player/player/ros/ros_clock.h"
#include "zel_video_player/world/world.h"
#include "zel_video_player/world/formatting.h"

namespace zel {
namespace {

constexpr std::size_t LISTING_LINES_PER_WRITE = 4096;
// Pose messages are small and handled quickly; the bound only guards memory against a flood.
constexpr uint32_t POSE_QUEUE_SIZE = 10000;

bool shutting_down() { return !ros::ok() || ros::isShuttingDown(); }

}  // namespace

ZELVideoPlayer::ZELVideoPlayer(const std::string& video_folder, std::int64_t n_locations,
                               double radius, bool test, RandomEngine& engine, std::ostream& out,
                               const ros::NodeHandle& node, const ros::NodeHandle& private_node)
    : node(node),
      private_node(private_node),
      video_folder_path(video_folder),
      test(test),
      clock(make_ros_clock()),
      playback(video_folder, play_state, *clock, outputs, shutting_down),
      out(out),
      engine(engine) {
  std::vector<Location> points;
  if (test) {
    points = test_locations();
    out << LOG_PREFIX << "Test locations:" << std::endl;
  } else {
    points = gen_locations(n_locations, radius, engine, shutting_down);
    out << LOG_PREFIX << "Generated locations:" << std::endl;
  }
  print_listing(points);
  tracker.emplace(std::move(points), radius, N_SAMPLE, play_state, engine, out);
  outputs.show_points(tracker->locations(), radius);

  // Subscribing last means no pose is handled before every field holds its first value.
  pose_sub = this->node.subscribe(POSE_TOPIC, POSE_QUEUE_SIZE, &ZELVideoPlayer::pose_callback, this,
                                  ros::TransportHints().tcpNoDelay());
}

// Waits for a pose message being handled, so none reaches a player half torn down.
ZELVideoPlayer::~ZELVideoPlayer() { pose_sub.shutdown(); }

void ZELVideoPlayer::pose_callback(const geometry_msgs::PoseWithCovarianceStamped::ConstPtr& msg) {
  const geometry_msgs::Point& position = msg->pose.pose.position;
  const std::lock_guard<std::mutex> lock(random_mutex);
  tracker->on_position(position.x, position.y);
}

// Millions of points take minutes to list: the lines go out in large writes, and a stop request is
// honoured between them.
void ZELVideoPlayer::print_listing(const std::vector<Location>& points) {
  std::string block;
  for (std::size_t i = 0; i < points.size(); ++i) {
    block += format_listing_line(i + 1, points[i]);
    block += '\n';
    if ((i + 1) % LISTING_LINES_PER_WRITE == 0 || i + 1 == points.size()) {
      if (shutting_down()) throw Interrupted();
      out << block << std::flush;
      block.clear();
    }
  }
}

bool ZELVideoPlayer::in_room(const geometry_msgs::Point& pose, const std::string& room_name) const {
  return zel::in_room(pose.x, pose.y, room_name);
}

bool ZELVideoPlayer::roll_dice(double probability) {
  const std::lock_guard<std::mutex> lock(random_mutex);
  const DiceRoll roll = zel::roll_dice(probability, engine);
  ROS_INFO_STREAM(roll.log_line);
  return roll.hit;
}

double ZELVideoPlayer::distance(const geometry_msgs::Point& a, const geometry_msgs::Point& b) {
  return zel::distance(a, b);
}

}  // namespace zel
