// The simulated robot: plays the localiser for the player, watches its camera topic and leaves a
// map and a contact sheet of the tour behind. It learns the points of interest and what the camera
// shows from the player's topics, as any other node beside it would. This file holds the tour's
// order of events; the route and the words are in the ROS-free demo library, and the files beside
// this one connect the robot's poses (robot_poses), the player's points (player_watch) and the camera
// (camera_listener) to ROS, and write what the tour leaves behind (tour_results).
//
// The walk and the stays run in ROS time, so under /use_sim_time the tour follows /clock: faster,
// slower or paused with the simulation. Waiting for the player is about the real world and stays on
// the wall clock.
#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <ros/ros.h>

#include "camera_listener.h"
#include "player_watch.h"
#include "robot_poses.h"
#include "tour_results.h"
#include "tour_say.h"
#include "zel_video_player/demo/pictures.h"
#include "zel_video_player/demo/tour.h"
#include "zel_video_player/demo/tour_options.h"
#include "zel_video_player/demo/tour_report.h"
#include "zel_video_player/cancellation.h"

namespace {

using Clock = std::chrono::steady_clock;
using zel::demo::say;
using zel::demo::TourOptions;

constexpr double PUBLISH_HZ = 10.0;
// Time at the start before moving, so the player has seen the robot away from every point.
constexpr double SETTLE_SECONDS = 1.0;
// Time at the end, so the player has left the last point and shows "empty" again.
constexpr double FINISH_SECONDS = 1.5;

class TourFailed : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void check_running() {
  if (!ros::ok()) throw zel::Interrupted();
}

class TourNode {
 public:
  explicit TourNode(TourOptions options) : options_(std::move(options)) {}

  int run() {
    // First, so that every stamp, the fixed transform's included, is a time of the clock's.
    wait_for_clock();
    poses_ = std::make_unique<zel::demo::RobotPoses>();
    player_ = std::make_unique<zel::demo::PlayerWatch>();
    camera_ = std::make_unique<zel::demo::CameraListener>(options_.detector_results, options_.detector_view);
    const zel::demo::MarkedPoints marked = wait_for_points();
    const double radius = options_.radius.value_or(marked.radius.value_or(0.0));
    const zel::demo::TourPlan plan(marked.points, radius, options_.pace);
    for (const auto& line : zel::demo::plan_text(marked.points, radius, plan, options_.pace, ros::Time::isSimTime())) {
      say(line);
    }

    wait_for_player();
    std::vector<zel::demo::SheetEntry> sheet;
    stand(plan.pose_at(0.0), SETTLE_SECONDS);
    sheet.push_back(camera_->keep(plan.ends_are_clear() ? "away from every point" : "at the start"));
    say("before the tour the camera shows " + camera(sheet.back().frame));

    walk(plan, sheet);
    stand(plan.pose_at(plan.duration()), FINISH_SECONDS);
    say("away from every point again the camera shows " + camera(camera_->latest_frame()));
    zel::demo::write_pictures(options_.output_dir, marked.points, radius, plan, sheet);
    if (camera_->detecting()) zel::demo::write_scores(options_.output_dir, camera_->scores(), camera_->detector_topic());
    return 0;
  }

 private:
  // Under simulated time ros::Time::now() is zero until the first message on /clock.
  void wait_for_clock() {
    if (ros::Time::isValid()) return;
    say("waiting for the simulated time on /clock");
    if (!ros::Time::waitForValid(ros::WallDuration(options_.wait))) {
      check_running();
      throw TourFailed("no time on /clock within " + std::to_string(options_.wait) +
                       " s, though the parameter /use_sim_time is true");
    }
  }

  zel::demo::MarkedPoints wait_for_points() {
    say("waiting for the player's points on " + player_->markers_topic());
    const auto start = Clock::now();
    while (true) {
      check_running();
      if (auto marked = player_->points()) return std::move(*marked);
      if (seconds_since(start) > options_.wait) {
        throw TourFailed("no points of interest on " + player_->markers_topic() + " within " +
                         std::to_string(options_.wait) + " s");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  void wait_for_player() {
    const bool detecting = camera_->detecting();
    say("waiting for the player on " + poses_->pose_topic() + " and " + camera_->image_topic() +
        (detecting ? ", and for the detector on " + camera_->detector_topic() : ""));
    const auto start = Clock::now();
    while (!poses_->player_listens() || !camera_->has_labelled_frame() || (detecting && !camera_->has_detector_result())) {
      check_running();
      if (seconds_since(start) > options_.wait) {
        const std::string missing =
            !poses_->player_listens()         ? "the player did not subscribe to " + poses_->pose_topic()
            : !camera_->has_labelled_frame() ? "the player did not publish on " + camera_->image_topic()
                                             : "the detector did not publish on " + camera_->detector_topic();
        throw TourFailed(missing + " within " + std::to_string(options_.wait) + " s");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  std::string camera(const cv::Mat& frame) const { return zel::demo::camera_text(frame, options_.sample_media); }

  // Says what the player has begun to show, once per change.
  void report_showing() {
    const std::string showing = player_->now_showing();
    if (showing.empty() || showing == reported_showing_) return;
    reported_showing_ = showing;
    std::cout << "  player | now showing " << showing << std::endl;
  }

  // The label under the robot says what the tour has reported, so the two never disagree.
  void step(const zel::demo::TourPose& pose) {
    check_running();
    report_showing();
    poses_->publish(pose.position, pose.yaw, reported_showing_);
  }

  void stand(const zel::demo::TourPose& pose, double seconds) {
    ros::Rate rate(PUBLISH_HZ);
    const ros::Time start = ros::Time::now();
    while ((ros::Time::now() - start).toSec() < seconds) {
      step(pose);
      rate.sleep();
    }
  }

  void walk(const zel::demo::TourPlan& plan, std::vector<zel::demo::SheetEntry>& sheet) {
    std::optional<std::size_t> announced_leg;
    std::size_t next_keep = 0;
    std::size_t dwell_count = 0;
    for (const auto& leg : plan.legs()) dwell_count += leg.kind == zel::demo::LegKind::dwell;
    ros::Rate rate(PUBLISH_HZ);
    const ros::Time start = ros::Time::now();
    while (true) {
      check_running();
      const double elapsed = (ros::Time::now() - start).toSec();
      const zel::demo::TourPose pose = plan.pose_at(elapsed);
      step(pose);
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
    sheet.push_back(camera_->keep("point " + std::to_string(point + 1)));
    say("at point " + std::to_string(point + 1) + " the camera shows " + camera(sheet.back().frame) + "; " +
        sheet.back().caption);
  }

  const TourOptions options_;
  std::string reported_showing_;
  std::unique_ptr<zel::demo::RobotPoses> poses_;
  std::unique_ptr<zel::demo::PlayerWatch> player_;
  std::unique_ptr<zel::demo::CameraListener> camera_;
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
  } catch (const zel::Interrupted&) {
    std::cerr << "zel_tour: stopped before the end of the tour" << std::endl;
    return 130;
  } catch (const std::exception& error) {
    std::cerr << "zel_tour: " << error.what() << std::endl;
    return 1;
  }
}
