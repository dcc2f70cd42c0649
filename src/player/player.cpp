#include "zel_video_player/player.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <stdexcept>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include "zel_video_player/frame_pacer.h"
#include "zel_video_player/media_folder.h"
#include "zel_video_player/retry_delay.h"
#include "zel_video_player/world.h"

namespace zel {
namespace {

constexpr double MIN_VIDEO_RATE = 30.0;
// Media that showed nothing is tried again after one frame period, then after ever longer waits
// up to a second: a broken file stays cheap and quiet, a repaired one plays again promptly.
constexpr auto FIRST_RETRY_DELAY = std::chrono::microseconds(1'000'000 / 30);
constexpr auto LONGEST_RETRY_DELAY = std::chrono::seconds(1);
// Waits without a pose to end them still look at the shutdown this often.
constexpr auto SHUTDOWN_CHECK_PERIOD = std::chrono::milliseconds(100);
constexpr auto MASTER_CHECK_PERIOD = std::chrono::milliseconds(1000);
constexpr std::size_t LISTING_LINES_PER_WRITE = 4096;
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

void quiet_media_libraries() {
  constexpr const char* FFMPEG_QUIET = "-8";
  ::setenv("OPENCV_FFMPEG_LOGLEVEL", FFMPEG_QUIET, 0);
}

ZELVideoPlayer::ZELVideoPlayer(const std::string& video_folder, std::int64_t n_locations,
                               double radius, bool test, RandomEngine& engine, std::ostream& out,
                               const std::optional<ros::NodeHandle>& hosted_node)
    : node(hosted_node ? *hosted_node : ros::NodeHandle()),
      video_folder_path(video_folder),
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
    points = gen_locations(n_locations, radius, engine, shutting_down);
    out << "ZEL video player: Generated locations:" << std::endl;
  }
  print_listing(points);
  tracker.emplace(std::move(points), radius, n_sample, shared, engine, out);
  outputs.show_points(tracker->locations(), radius);

  // Subscribing last means no pose is handled before every field holds its first value.
  pose_sub = node.subscribe("/amcl_pose", POSE_QUEUE_SIZE, &ZELVideoPlayer::pose_callback, this,
                            ros::TransportHints().tcpNoDelay());
  if (hosted_node) return;
  pose_spinner.emplace(1);
  pose_spinner->start();
  master_watch.emplace(MASTER_CHECK_PERIOD);
}

ZELVideoPlayer::~ZELVideoPlayer() {
  master_watch.reset();
  if (pose_spinner) pose_spinner->stop();
  pose_sub.shutdown();
}

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

void ZELVideoPlayer::main_loop() {
  RetryDelay retry_delay(FIRST_RETRY_DELAY, LONGEST_RETRY_DELAY);
  while (!stopping()) {
    const int loc = location();
    const PlaylistPtr playlist = to_play();
    const std::uint64_t published_before = published_count;
    for (std::size_t i = 0; i < playlist->size(); ++i) {
      // A stopped player starts no further clip: the process, and its log, may run on for long.
      if (location() != loc || shared.stop_requested()) break;
      play_item((*playlist)[i], loc, (*playlist)[(i + 1) % playlist->size()]);
    }
    if (published_count != published_before || location() != loc) {
      retry_delay.reset();
      continue;
    }
    // A pass that showed nothing (broken media) must neither spin nor flood the log.
    wait_unless_point_changes(loc, retry_delay.next());
  }
}

void ZELVideoPlayer::wait_unless_point_changes(int loc, std::chrono::steady_clock::duration timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (auto now = std::chrono::steady_clock::now(); now < deadline && !stopping();
       now = std::chrono::steady_clock::now()) {
    if (shared.wait_for_location_change(loc, std::min<std::chrono::steady_clock::duration>(
                                                 deadline - now, SHUTDOWN_CHECK_PERIOD))) {
      return;
    }
  }
}

// The pass's own point, not the one read anew: a robot arriving just before this call must not see
// the playlist of where it was play out at its new point.
void ZELVideoPlayer::play_item(const std::string& name, int loc, const std::string& next) {
  if (is_still(name)) {
    open_ahead(next);
    play_still_at(name, DEFAULT_STILL_SECONDS, DEFAULT_STILL_RATE, loc);
  } else if (is_regular_file(video_path(video_folder_path, name))) {
    play_video_at(name, loc, &next);
  } else {
    report_media_failure(video_folder_path + name + "{.mp4/.jpg}", "is missing");
  }
}

// The item that follows is opened while this one plays, so the next clip starts with no pause for
// its opening. Only one clip is held ahead: asking for another lets the earlier one go.
void ZELVideoPlayer::open_ahead(const std::string& name) {
  if (!is_still(name)) clip_opener.open_ahead(video_path(video_folder_path, name));
}

bool ZELVideoPlayer::is_still(const std::string& fname) const { return zel::is_still(video_folder_path, fname); }

bool ZELVideoPlayer::play_video(const std::string& video_name) {
  return play_video_at(video_name, location(), nullptr);
}

bool ZELVideoPlayer::play_video_at(const std::string& video_name, int video_location, const std::string* next) {
  std::optional<bool> ret;
  ROS_INFO_STREAM("ZEL video player: Playing video " << video_name << ".mp4");
  const std::string path = video_path(video_folder_path, video_name);
  std::optional<OpenedClip> ahead = clip_opener.take(path);
  outputs.clip_started(ahead && ahead->was_ready);
  std::unique_ptr<cv::VideoCapture> cap =
      ahead ? std::move(ahead->capture) : std::make_unique<cv::VideoCapture>(path, cv::CAP_FFMPEG);
  std::optional<cv::Mat> first_frame = ahead ? std::move(ahead->first_frame) : std::nullopt;
  const bool opened = cap->isOpened();
  FramePacer r(pacing_rate(cap->get(cv::CAP_PROP_FPS)));
  const int width = static_cast<int>(cap->get(cv::CAP_PROP_FRAME_WIDTH));
  const int height = static_cast<int>(cap->get(cv::CAP_PROP_FRAME_HEIGHT));
  std::int64_t frames = 0;
  // Handed back to frame_slot, which reuses it once no one holds it; kept from one clip to the
  // next, since a fresh 6 MB buffer costs more to first touch than to fill.
  sensor_msgs::ImagePtr last_sent = std::move(recycled_frame);
  while (cap->isOpened() && video_location == location() && !stopping()) {
    ImageConverter::FrameSlot slot = bridge.frame_slot(width, height, std::move(last_sent));
    if (first_frame) {
      ret = !first_frame->empty();
      if (*ret) first_frame->copyTo(slot.pixels);
      first_frame.reset();
    } else {
      ret = cap->read(slot.pixels);
    }
    if (!*ret) break;
    last_sent = slot.holds_frame() ? slot.message : bridge.to_message(slot.pixels);
    if (frames == 0) outputs.playback_began(video_name, MediaKind::video);
    publish(last_sent);
    ++frames;
    // Asked for once this clip is taken, as it may be the very file (a playlist of one), and once
    // its first frame is out: the opening would otherwise take the CPU from that frame.
    if (frames == 1 && next) open_ahead(*next);
    wait_out_frame(r, video_location);
  }
  clip_opener.release_later(std::move(cap));
  recycled_frame = std::move(last_sent);
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
  return play_still_at(still_name, duration, fps, location());
}

bool ZELVideoPlayer::play_still_at(const std::string& still_name, double duration, double fps, int video_location) {
  if (!(fps > 0) || !std::isfinite(fps)) throw std::invalid_argument("a still needs a positive rate");
  ROS_INFO_STREAM("ZEL video player: Playing " << still_name << ".jpg");
  FramePacer r(fps);
  const std::string path = still_path(video_folder_path, still_name);
  const cv::Mat frame = cv::imread(path, cv::IMREAD_COLOR);
  if (frame.empty()) {
    report_media_failure(path, "cannot be read as a picture");
    return false;
  }
  media_worked(path);
  OutgoingImage image_msg(bridge.to_message(frame));
  const std::int64_t n = publication_count(duration, fps);
  if (n > 0) outputs.playback_began(still_name, MediaKind::still);
  for (std::int64_t i = 0; i < n; ++i) {
    publish(image_msg);
    wait_out_frame(r, video_location);
    if (location() != video_location) return false;
    // A still lasts seconds; without this a Ctrl-C would wait for it to run out.
    if (stopping()) return false;
  }
  return true;
}

// The robot's arrival somewhere else ends the wait at once: the switch is what a user watches.
void ZELVideoPlayer::wait_out_frame(FramePacer& pacer, int loc) const {
  shared.wait_for_location_change(loc, pacer.next_deadline() - FramePacer::Clock::now());
}

bool ZELVideoPlayer::stopping() const { return shutting_down() || shared.stop_requested(); }

void ZELVideoPlayer::publish(const sensor_msgs::ImageConstPtr& image_msg) {
  OutgoingImage outgoing(image_msg);
  publish(outgoing);
}

void ZELVideoPlayer::publish(OutgoingImage& image_msg) {
  last_published_.store(image_msg.message().get());
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
