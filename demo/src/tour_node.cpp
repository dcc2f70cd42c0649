// The simulated robot: plays the localiser for the player, watches its camera topic and leaves a
// map and a contact sheet of the tour behind. The tour's logic lives in the ROS-free demo library;
// this file only connects it to ROS and to the clock.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <cv_bridge/cv_bridge.h>
#include <geometry_msgs/PoseWithCovarianceStamped.h>
#include <ros/ros.h>
#include <sensor_msgs/Image.h>

#include "zel_video_player/demo/line_follower.h"
#include "zel_video_player/demo/pictures.h"
#include "zel_video_player/demo/player_output.h"
#include "zel_video_player/demo/tour.h"
#include "zel_video_player/demo/tour_options.h"
#include "zel_video_player/demo/tour_report.h"
#include "zel_video_player/text_form.h"

namespace {

using Clock = std::chrono::steady_clock;
using zel::demo::TourOptions;

constexpr double PUBLISH_HZ = 10.0;
// Time at the start before moving, so the player has seen the robot away from every point.
constexpr double SETTLE_SECONDS = 1.0;
// Time at the end, so the player has left the last point and shows "empty" again.
constexpr double FINISH_SECONDS = 1.5;
// How long the player's output may stay quiet before its listing counts as complete.
constexpr double LISTING_QUIET_SECONDS = 1.0;

class TourFailed : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Interrupted {};

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void say(const std::string& line) { std::cout << "tour: " << line << std::endl; }

bool is_player_event(const std::string& line) {
  return line.rfind("Inside radius", 0) == 0 || line.rfind("Playlist is now", 0) == 0 ||
         line.rfind("Out of point of interest", 0) == 0;
}

class TourNode {
 public:
  explicit TourNode(TourOptions options) : options_(std::move(options)) {}
  // The image callback runs on the spinner's thread: stop it before the fields it writes go.
  ~TourNode() {
    spinner_.stop();
    image_subscriber_.shutdown();
  }

  int run() {
    if (options_.player_output) {
      follower_ = std::make_unique<zel::demo::LineFollower>(*options_.player_output);
      read_listing();
    }
    const std::vector<zel::Location> points =
        options_.test || !options_.player_output ? zel::test_locations() : output_.points();
    const double radius = options_.radius.value_or(output_.radius().value_or(zel::demo::DEFAULT_RADIUS));
    const zel::demo::TourPlan plan(points, radius, options_.pace);
    announce_plan(points, radius, plan);

    connect();
    wait_for_player();
    std::vector<zel::demo::SheetEntry> sheet;
    stand(plan.pose_at(0.0), SETTLE_SECONDS);
    if (plan.ends_are_clear()) {
      sheet.push_back({latest_frame(), "away from every point", "empty"});
    } else {
      sheet.push_back({latest_frame(), "at the start",
                       zel::demo::playlist_caption(0, output_.current(), follower_ != nullptr)});
    }
    say("before the tour the camera shows " + camera(sheet.back().frame));

    walk(plan, sheet);
    stand(plan.pose_at(plan.duration()), FINISH_SECONDS);
    say("away from every point again the camera shows " + camera(latest_frame()));
    write_pictures(points, radius, plan, sheet);
    return 0;
  }

 private:
  void check_running() const {
    if (!ros::ok()) throw Interrupted();
  }

  void read_new_lines() {
    if (!follower_) return;
    for (const auto& line : follower_->take_lines()) {
      output_.add_line(line);
      last_line_time_ = Clock::now();
      if (is_player_event(line)) std::cout << "  player | " << line << std::endl;
    }
  }

  void read_listing() {
    say("reading the player's listing from " + *options_.player_output);
    const auto start = Clock::now();
    last_line_time_ = start;
    while (true) {
      check_running();
      read_new_lines();
      if (output_.listing_started() &&
          (output_.listing_closed() || follower_->ended() || seconds_since(last_line_time_) > LISTING_QUIET_SECONDS)) {
        break;
      }
      if (follower_->ended()) throw TourFailed("the player's output ended before it listed its points");
      if (seconds_since(start) > options_.wait) {
        throw TourFailed("no listing of points in the player's output within " + std::to_string(options_.wait) + " s");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (output_.listing_error()) throw TourFailed(*output_.listing_error());
  }

  void announce_plan(const std::vector<zel::Location>& points, double radius, const zel::demo::TourPlan& plan) {
    std::string listed;
    for (std::size_t i = 0; i < points.size(); ++i) {
      listed += (i ? ", " : "") + std::to_string(i + 1) + ". " +
                zel::demo::position_text({points[i].x.value, points[i].y.value});
    }
    say(std::to_string(points.size()) + " points of interest" + (points.empty() ? "" : ": " + listed));
    char summary[160];
    std::snprintf(summary, sizeof summary, "route of %.1f m at %.1f m/s, %.1f s at each point, about %.0f s",
                  plan.length(), options_.pace.speed, options_.pace.dwell, plan.duration());
    say(summary);
    if (!plan.ends_are_clear()) {
      say("every spot of the map lies within " + zel::format_real(radius) +
          " m of a point; the tour starts and ends as far out as it can");
    }
  }

  void connect() {
    ros::NodeHandle node;
    pose_publisher_ = node.advertise<geometry_msgs::PoseWithCovarianceStamped>("/amcl_pose", 10);
    image_subscriber_ = node.subscribe("/camera/image", 1, &TourNode::on_image, this);
    spinner_.start();
  }

  void wait_for_player() {
    say("waiting for the player on " + pose_publisher_.getTopic() + " and " + image_subscriber_.getTopic());
    const auto start = Clock::now();
    while (pose_publisher_.getNumSubscribers() == 0 || !have_image()) {
      check_running();
      if (seconds_since(start) > options_.wait) {
        throw TourFailed(std::string("the player did not ") +
                         (pose_publisher_.getNumSubscribers() == 0 ? "subscribe to " + pose_publisher_.getTopic()
                                                                    : "publish on " + image_subscriber_.getTopic()) +
                         " within " + std::to_string(options_.wait) + " s");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  void on_image(const sensor_msgs::ImageConstPtr& image) {
    std::lock_guard<std::mutex> lock(image_mutex_);
    latest_image_ = image;
  }

  bool have_image() {
    std::lock_guard<std::mutex> lock(image_mutex_);
    return latest_image_ != nullptr;
  }

  // Converted only when kept: the player sends thirty frames a second.
  cv::Mat latest_frame() {
    sensor_msgs::ImageConstPtr image;
    {
      std::lock_guard<std::mutex> lock(image_mutex_);
      image = latest_image_;
    }
    if (!image) return {};
    try {
      return cv_bridge::toCvCopy(image, "bgr8")->image;
    } catch (const cv_bridge::Exception& error) {
      say(std::string("cannot read the camera's frame: ") + error.what());
      return {};
    }
  }

  std::string camera(const cv::Mat& frame) const { return zel::demo::camera_text(frame, options_.sample_media); }

  void publish_pose(const zel::demo::Position& position, double yaw) {
    geometry_msgs::PoseWithCovarianceStamped message;
    message.header.stamp = ros::Time::now();
    message.header.frame_id = "map";
    message.pose.pose.position.x = position.x;
    message.pose.pose.position.y = position.y;
    message.pose.pose.orientation.z = std::sin(yaw / 2.0);
    message.pose.pose.orientation.w = std::cos(yaw / 2.0);
    // A confident localiser: a few centimetres in x and y, a few degrees in heading.
    message.pose.covariance[0] = 0.0025;
    message.pose.covariance[7] = 0.0025;
    message.pose.covariance[35] = 0.003;
    pose_publisher_.publish(message);
  }

  void stand(const zel::demo::TourPose& pose, double seconds) {
    ros::WallRate rate(PUBLISH_HZ);
    const auto start = Clock::now();
    while (seconds_since(start) < seconds) {
      check_running();
      publish_pose(pose.position, pose.yaw);
      read_new_lines();
      rate.sleep();
    }
  }

  void walk(const zel::demo::TourPlan& plan, std::vector<zel::demo::SheetEntry>& sheet) {
    std::optional<std::size_t> announced_leg;
    std::size_t next_keep = 0;
    std::size_t dwell_count = 0;
    for (const auto& leg : plan.legs()) dwell_count += leg.kind == zel::demo::LegKind::dwell;
    ros::WallRate rate(PUBLISH_HZ);
    const auto start = Clock::now();
    while (true) {
      check_running();
      const double elapsed = seconds_since(start);
      const zel::demo::TourPose pose = plan.pose_at(elapsed);
      publish_pose(pose.position, pose.yaw);
      read_new_lines();
      if (pose.leg && pose.leg != announced_leg) {
        announced_leg = pose.leg;
        say(zel::demo::leg_text(plan.legs()[*pose.leg]));
      }
      while (next_keep < dwell_count && elapsed >= plan.dwell_middle(next_keep)) {
        keep_frame(next_keep++, sheet);
      }
      if (elapsed >= plan.duration()) break;
      rate.sleep();
    }
  }

  void keep_frame(std::size_t point, std::vector<zel::demo::SheetEntry>& sheet) {
    const std::string caption = zel::demo::playlist_caption(point, output_.current(), follower_ != nullptr);
    sheet.push_back({latest_frame(), "point " + std::to_string(point + 1), caption});
    say("at point " + std::to_string(point + 1) + " the camera shows " + camera(sheet.back().frame) +
        (follower_ ? "; " + caption : ""));
  }

  void write_pictures(const std::vector<zel::Location>& points, double radius, const zel::demo::TourPlan& plan,
                      const std::vector<zel::demo::SheetEntry>& sheet) {
    namespace fs = std::filesystem;
    fs::create_directories(options_.output_dir);
    const std::string folder = fs::absolute(options_.output_dir).lexically_normal().string();
    const std::string map_path = (fs::path(folder) / "zel_tour_map.png").string();
    const std::string sheet_path = (fs::path(folder) / "zel_tour_contact_sheet.png").string();
    zel::demo::write_png(map_path, zel::demo::draw_map(points, radius, plan));
    zel::demo::write_png(sheet_path, zel::demo::draw_contact_sheet(sheet));
    std::cout << "Map: " << map_path << "\nContact sheet: " << sheet_path << std::endl;
  }

  const TourOptions options_;
  std::unique_ptr<zel::demo::LineFollower> follower_;
  zel::demo::PlayerOutput output_;
  Clock::time_point last_line_time_;
  ros::Publisher pose_publisher_;
  ros::Subscriber image_subscriber_;
  ros::AsyncSpinner spinner_{1};
  std::mutex image_mutex_;
  sensor_msgs::ImageConstPtr latest_image_;
};

int run(int argc, char** argv) {
  // ros::init takes the remapping arguments out of the vector it is given; removeROSArgs needs
  // them all to hand back the rest.
  std::vector<char*> init_args(argv, argv + argc);
  int init_argc = argc;
  ros::init(init_argc, init_args.data(), "zel_tour");
  std::vector<std::string> args;
  ros::removeROSArgs(argc, argv, args);
  const auto command = zel::demo::parse_tour_args(std::vector<std::string>(args.begin() + 1, args.end()));
  if (command.kind != zel::demo::TourCommandLine::Kind::run) {
    (command.kind == zel::demo::TourCommandLine::Kind::help ? std::cout : std::cerr) << command.text;
    return command.exit_status();
  }
  ros::start();
  TourNode node(command.options);
  return node.run();
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const Interrupted&) {
    std::cerr << "zel_tour: stopped before the end of the tour" << std::endl;
    return 130;
  } catch (const std::exception& error) {
    std::cerr << "zel_tour: " << error.what() << std::endl;
    return 1;
  }
}
