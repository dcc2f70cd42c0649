#include "zel_video_player/player.h"

#include <cmath>
#include <limits>
#include <stdexcept>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include "zel_video_player/media.h"
#include "zel_video_player/world.h"

namespace zel {
namespace {

constexpr double MIN_VIDEO_RATE = 30.0;
constexpr double IDLE_PASS_RATE = 30.0;
// Pose messages are small and handled quickly; the bound only guards memory against a flood.
constexpr uint32_t POSE_QUEUE_SIZE = 10000;
constexpr auto FAILURE_QUIET_PERIOD = std::chrono::seconds(10);

bool shutting_down() { return !ros::ok() || ros::isShuttingDown(); }

// A rate that is not a finite number is as good as none reported.
double pacing_rate(double reported_fps) {
  if (!std::isfinite(reported_fps)) return MIN_VIDEO_RATE;
  return std::max(reported_fps, MIN_VIDEO_RATE);
}

std::int64_t publication_count(double duration, double fps) {
  const double product = std::trunc(duration * fps);
  if (!(product > 0)) return 0;
  if (product >= static_cast<double>(std::numeric_limits<std::int64_t>::max())) {
    return std::numeric_limits<std::int64_t>::max();
  }
  return static_cast<std::int64_t>(product);
}

}  // namespace

ZELVideoPlayer::ZELVideoPlayer(const std::string& video_folder, std::int64_t n_locations,
                               double radius, bool test, RandomEngine& engine, std::ostream& out)
    : video_folder_path(video_folder),
      test(test),
      radius(radius),
      n_sample(N_SAMPLE),
      out(out),
      engine(engine),
      failure_reports(FAILURE_QUIET_PERIOD) {
  std::vector<Location> points;
  if (test) {
    points = test_locations();
    out << "ZEL video player: Test locations:" << std::endl;
  } else {
    points = gen_locations(n_locations, radius, engine);
    out << "ZEL video player: Generated locations:" << std::endl;
  }
  for (std::size_t i = 0; i < points.size(); ++i) out << format_listing_line(i + 1, points[i]) << std::endl;
  tracker.emplace(std::move(points), radius, n_sample, shared, engine, out);
  outputs.show_points(tracker->locations(), radius);

  // Subscribing last means no pose is handled before every field holds its first value.
  pose_sub = node.subscribe("/amcl_pose", POSE_QUEUE_SIZE, &ZELVideoPlayer::pose_callback, this,
                            ros::TransportHints().tcpNoDelay());
  pose_spinner.emplace(1);
  pose_spinner->start();
}

ZELVideoPlayer::~ZELVideoPlayer() {
  pose_spinner->stop();
  pose_sub.shutdown();
}

void ZELVideoPlayer::pose_callback(const geometry_msgs::PoseWithCovarianceStamped::ConstPtr& msg) {
  const geometry_msgs::Point& position = msg->pose.pose.position;
  const std::lock_guard<std::mutex> lock(random_mutex);
  tracker->on_position(position.x, position.y);
}

void ZELVideoPlayer::main_loop() {
  while (!shutting_down()) {
    const int loc = location();
    const PlaylistPtr playlist = to_play();
    const std::uint64_t published_before = published_count;
    for (const std::string& tp : *playlist) {
      if (location() != loc) break;
      play_item(tp);
    }
    // A pass that showed nothing (broken media) must not spin: wait one frame period before trying
    // again, unless the robot has already moved on.
    if (published_count == published_before && location() == loc && !shutting_down()) {
      ros::WallDuration(1.0 / IDLE_PASS_RATE).sleep();
    }
  }
}

void ZELVideoPlayer::play_item(const std::string& name) {
  if (is_still(name)) {
    play_still(name);
  } else if (is_regular_file(video_path(video_folder_path, name))) {
    play_video(name);
  } else {
    report_media_failure(video_folder_path + name + "{.mp4/.jpg}", "is missing");
  }
}

bool ZELVideoPlayer::is_still(const std::string& fname) const { return zel::is_still(video_folder_path, fname); }

bool ZELVideoPlayer::play_video(const std::string& video_name) {
  std::optional<bool> ret;
  const int video_location = location();
  ROS_INFO_STREAM("ZEL video player: Playing video " << video_name << ".mp4");
  const std::string path = video_path(video_folder_path, video_name);
  cv::VideoCapture cap(path, cv::CAP_FFMPEG);
  const bool opened = cap.isOpened();
  ros::Rate r(pacing_rate(cap.get(cv::CAP_PROP_FPS)));
  const int width = static_cast<int>(cap.get(cv::CAP_PROP_FRAME_WIDTH));
  const int height = static_cast<int>(cap.get(cv::CAP_PROP_FRAME_HEIGHT));
  std::int64_t frames = 0;
  sensor_msgs::ImagePtr last_sent;  // handed back to frame_slot, which reuses it once no one holds it
  while (cap.isOpened() && video_location == location() && !shutting_down()) {
    ImageConverter::FrameSlot slot = bridge.frame_slot(width, height, std::move(last_sent));
    ret = cap.read(slot.pixels);
    if (!*ret) break;
    last_sent = slot.holds_frame() ? slot.message : bridge.to_message(slot.pixels);
    if (frames == 0) outputs.playback_began(video_name, MediaKind::video);
    publish(last_sent);
    ++frames;
    r.sleep();
  }
  cap.release();
  if (!opened) {
    report_media_failure(path, "cannot be opened");
  } else if (frames > 0) {
    media_worked(path);
  } else if (ret == false) {
    report_media_failure(path, "gives no frame");
  }
  return !ret.value_or(false);
}

bool ZELVideoPlayer::play_still(const std::string& still_name, double duration, double fps) {
  if (!(fps > 0) || !std::isfinite(fps)) throw std::invalid_argument("a still needs a positive rate");
  const int video_location = location();
  ROS_INFO_STREAM("ZEL video player: Playing " << still_name << ".jpg");
  ros::Rate r(fps);
  const std::string path = still_path(video_folder_path, still_name);
  const cv::Mat frame = cv::imread(path, cv::IMREAD_COLOR);
  if (frame.empty()) {
    report_media_failure(path, "cannot be read as a picture");
    return false;
  }
  media_worked(path);
  const sensor_msgs::ImageConstPtr image_msg = bridge.to_message(frame);
  const std::int64_t n = publication_count(duration, fps);
  if (n > 0) outputs.playback_began(still_name, MediaKind::still);
  for (std::int64_t i = 0; i < n; ++i) {
    publish(image_msg);
    r.sleep();
    if (location() != video_location) return false;
    // A still lasts seconds; without this a Ctrl-C would wait for it to run out.
    if (shutting_down()) return false;
  }
  return true;
}

void ZELVideoPlayer::publish(const sensor_msgs::ImageConstPtr& image_msg) {
  outputs.publish_frame(image_msg);
  ++published_count;
}

void ZELVideoPlayer::report_media_failure(const std::string& path, const std::string& problem) {
  outputs.media_failed();
  const auto held_back = failure_reports.admit(path, RepeatFilter::Clock::now());
  if (!held_back) return;
  if (*held_back > 0) {
    ROS_ERROR_STREAM("ZEL video player: " << path << " " << problem << " (" << *held_back
                                          << " more times since the last report); showing nothing for it");
  } else {
    ROS_ERROR_STREAM("ZEL video player: " << path << " " << problem << "; showing nothing for it");
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
