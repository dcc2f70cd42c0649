// The simulated robot: plays the localiser for the player, watches its camera topic and leaves a
// map and a contact sheet of the tour behind. It learns the points of interest and what the camera
// shows from the player's topics, as any other node beside it would. The tour's logic lives in the
// ROS-free demo library; this file only connects it to ROS and to the clock.
//
// The walk and the stays run in ROS time, so under /use_sim_time the tour follows /clock: faster,
// slower or paused with the simulation. Waiting for the player is about the real world and stays on
// the wall clock.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <cv_bridge/cv_bridge.h>
#include <diagnostic_msgs/KeyValue.h>
#include <geometry_msgs/PoseWithCovarianceStamped.h>
#include <geometry_msgs/TransformStamped.h>
#include <opencv_apps/RectArrayStamped.h>
#include <ros/callback_queue.h>
#include <ros/ros.h>
#include <sensor_msgs/Image.h>
#include <std_msgs/String.h>
#include <tf2_ros/static_transform_broadcaster.h>
#include <tf2_ros/transform_broadcaster.h>
#include <visualization_msgs/Marker.h>
#include <visualization_msgs/MarkerArray.h>

#include "zel_video_player/demo/frame_truth.h"
#include "zel_video_player/demo/pictures.h"
#include "zel_video_player/demo/tour.h"
#include "zel_video_player/demo/tour_options.h"
#include "zel_video_player/demo/tour_report.h"
#include "zel_video_player/player/names.h"
#include "zel_video_player/world/stop.h"
#include "zel_video_player/world/formatting.h"

namespace {

using Clock = std::chrono::steady_clock;
using zel::demo::TourOptions;

constexpr double PUBLISH_HZ = 10.0;
// Time at the start before moving, so the player has seen the robot away from every point.
constexpr double SETTLE_SECONDS = 1.0;
// Time at the end, so the player has left the last point and shows "empty" again.
constexpr double FINISH_SECONDS = 1.5;
// Frames, the camera's or the detector's, waiting for their labels: a second's worth, so frames never
// pile up unpaired.
constexpr std::size_t MOST_UNPAIRED = 30;
constexpr double LABEL_HEIGHT = 0.35;
constexpr double LABEL_DROP = 0.8;  // metres below the robot on the map, clear of the points' numbers
constexpr const char* SCORES_FILE = "zel_detector_scores.txt";

using LabelledImages = zel::demo::LatestLabelled<sensor_msgs::ImageConstPtr>;

class TourFailed : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void say(const std::string& line) { std::cout << "tour: " << line << std::endl; }

struct MarkedPoints {
  std::vector<zel::Location> points;
  std::optional<double> radius;  // nothing when the player drew no discs
};

// The points in the order the player numbers them (its dots' ids), the radius from its discs.
MarkedPoints read_marked_points(const visualization_msgs::MarkerArray& array) {
  std::vector<std::pair<int, zel::Location>> dots;
  MarkedPoints marked;
  for (const auto& marker : array.markers) {
    if (marker.action != visualization_msgs::Marker::ADD) continue;
    if (marker.ns == zel::POINTS_NAMESPACE) dots.push_back({marker.id, {{marker.pose.position.x}, {marker.pose.position.y}}});
    if (marker.ns == zel::RADIUS_NAMESPACE) marked.radius = marker.scale.x / 2;
  }
  std::sort(dots.begin(), dots.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& dot : dots) marked.points.push_back(dot.second);
  return marked;
}

geometry_msgs::TransformStamped transform(const std::string& parent, const std::string& child,
                                          const zel::demo::Position& position, double yaw) {
  geometry_msgs::TransformStamped result;
  result.header.stamp = ros::Time::now();
  result.header.frame_id = parent;
  result.child_frame_id = child;
  result.transform.translation.x = position.x;
  result.transform.translation.y = position.y;
  result.transform.rotation.z = std::sin(yaw / 2.0);
  result.transform.rotation.w = std::cos(yaw / 2.0);
  return result;
}

class TourNode {
 public:
  explicit TourNode(TourOptions options) : options_(std::move(options)) {}
  // The callbacks run on the spinners' threads: stop them before the fields they write go.
  ~TourNode() {
    spinner_.stop();
    label_spinner_.stop();
    detector_spinner_.stop();
    image_subscriber_.shutdown();
    markers_subscriber_.shutdown();
    showing_subscriber_.shutdown();
    frame_media_subscriber_.shutdown();
    detector_results_subscriber_.shutdown();
    detector_view_subscriber_.shutdown();
  }

  int run() {
    // First, so that every stamp, the fixed transform's included, is a time of the clock's.
    wait_for_clock();
    connect();
    const MarkedPoints marked = wait_for_points();
    const double radius = options_.radius.value_or(marked.radius.value_or(0.0));
    const zel::demo::TourPlan plan(marked.points, radius, options_.pace);
    announce_plan(marked.points, radius, plan);

    wait_for_player();
    std::vector<zel::demo::SheetEntry> sheet;
    stand(plan.pose_at(0.0), SETTLE_SECONDS);
    sheet.push_back(keep(plan.ends_are_clear() ? "away from every point" : "at the start"));
    say("before the tour the camera shows " + camera(sheet.back().frame));

    walk(plan, sheet);
    stand(plan.pose_at(plan.duration()), FINISH_SECONDS);
    say("away from every point again the camera shows " + camera(latest_frame()));
    write_pictures(marked.points, radius, plan, sheet);
    if (detecting()) write_scores();
    return 0;
  }

 private:
  void check_running() const {
    if (!ros::ok()) throw zel::Interrupted();
  }

  bool detecting() const { return !options_.detector_results.empty(); }

  void connect() {
    ros::NodeHandle node;
    ros::NodeHandle private_node("~");
    pose_publisher_ = node.advertise<geometry_msgs::PoseWithCovarianceStamped>(zel::POSE_TOPIC, 10);
    label_publisher_ = private_node.advertise<visualization_msgs::Marker>("camera_label", 1, true);
    image_subscriber_ = node.subscribe(zel::IMAGE_TOPIC, 1, &TourNode::on_image, this);
    markers_subscriber_ = node.subscribe(zel::private_topic_of_default_node(zel::POINTS_OF_INTEREST_TOPIC), 1, &TourNode::on_markers, this);
    showing_subscriber_ = node.subscribe(zel::private_topic_of_default_node(zel::NOW_SHOWING_TOPIC), 10, &TourNode::on_showing, this);
    // Labels come on a thread of their own: behind the frames' callbacks, which take long on a loaded
    // machine, they would fall further behind than the frames kept waiting for them.
    ros::NodeHandle label_node;
    label_node.setCallbackQueue(&label_queue_);
    frame_media_subscriber_ = label_node.subscribe(zel::private_topic_of_default_node(zel::FRAME_MEDIA_TOPIC), 100,
                                                   &TourNode::on_frame_media, this);
    // The detector's too, never held up behind the camera's frames.
    if (detecting()) {
      ros::NodeHandle detector_node;
      detector_node.setCallbackQueue(&detector_queue_);
      detector_results_subscriber_ =
          detector_node.subscribe(options_.detector_results, 10, &TourNode::on_detector_result, this);
      if (!options_.detector_view.empty()) {
        detector_view_subscriber_ =
            detector_node.subscribe(options_.detector_view, 10, &TourNode::on_detector_view, this);
      }
      detector_spinner_.start();
    }
    // The localiser's correction is none: the simulated odometry is exact.
    static_broadcaster_.sendTransform(transform(zel::MAP_FRAME, "odom", {0.0, 0.0}, 0.0));
    spinner_.start();
    label_spinner_.start();
  }

  MarkedPoints wait_for_points() {
    say("waiting for the player's points on " + markers_subscriber_.getTopic());
    const auto start = Clock::now();
    while (true) {
      check_running();
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (markers_) return read_marked_points(*markers_);
      }
      if (seconds_since(start) > options_.wait) {
        throw TourFailed("no points of interest on " + markers_subscriber_.getTopic() + " within " +
                         std::to_string(options_.wait) + " s");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  void announce_plan(const std::vector<zel::Location>& points, double radius, const zel::demo::TourPlan& plan) {
    std::string listed;
    for (std::size_t i = 0; i < points.size(); ++i) {
      listed += (i ? ", " : "") + std::to_string(i + 1) + ". " +
                zel::demo::position_text({points[i].x.value, points[i].y.value});
    }
    say(std::to_string(points.size()) + " points of interest" + (points.empty() ? "" : ": " + listed));
    char summary[160];
    std::snprintf(summary, sizeof summary, "route of %.1f m at %.1f m/s, %.1f s at each point, about %.0f s%s",
                  plan.length(), options_.pace.speed, options_.pace.dwell, plan.duration(),
                  ros::Time::isSimTime() ? " of simulated time" : "");
    say(summary);
    if (!plan.ends_are_clear()) {
      say("every spot of the map lies within " + zel::format_real(radius) +
          " m of a point; the tour starts and ends as far out as it can");
    }
  }

  void wait_for_player() {
    say("waiting for the player on " + pose_publisher_.getTopic() + " and " + image_subscriber_.getTopic() +
        (detecting() ? ", and for the detector on " + detector_results_subscriber_.getTopic() : ""));
    const auto start = Clock::now();
    while (pose_publisher_.getNumSubscribers() == 0 || !have_image() || (detecting() && !have_detector_result())) {
      check_running();
      if (seconds_since(start) > options_.wait) {
        const std::string missing =
            pose_publisher_.getNumSubscribers() == 0 ? "the player did not subscribe to " + pose_publisher_.getTopic()
            : !have_image()                          ? "the player did not publish on " + image_subscriber_.getTopic()
                             : "the detector did not publish on " + detector_results_subscriber_.getTopic();
        throw TourFailed(missing + " within " + std::to_string(options_.wait) + " s");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

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

  void on_image(const sensor_msgs::ImageConstPtr& image) {
    std::lock_guard<std::mutex> lock(mutex_);
    latest_image_ = image;
    frames_.frame(image->header.stamp.toNSec(), image, truth_);
  }

  // A label that names no frame is not the player's: thrown out of the spinner's thread, it would
  // have ended the tour.
  void on_frame_media(const diagnostic_msgs::KeyValueConstPtr& label) {
    const auto stamp = zel::demo::frame_label_stamp(label->key);
    if (!stamp) return;
    std::lock_guard<std::mutex> lock(mutex_);
    truth_.frame_shown(*stamp, label->value);
    frames_.label(*stamp, label->value);
    views_.label(*stamp, label->value);
  }

  // The detector copies each frame's header, stamp and all, into its result and its picture.
  void on_detector_result(const opencv_apps::RectArrayStampedConstPtr& result) {
    std::lock_guard<std::mutex> lock(mutex_);
    truth_.result(result->header.stamp.toNSec(), result->rects.size());
    have_detector_result_ = true;
  }

  void on_detector_view(const sensor_msgs::ImageConstPtr& view) {
    std::lock_guard<std::mutex> lock(mutex_);
    views_.frame(view->header.stamp.toNSec(), view, truth_);
  }

  void on_markers(const visualization_msgs::MarkerArrayConstPtr& markers) {
    std::lock_guard<std::mutex> lock(mutex_);
    markers_ = markers;
  }

  void on_showing(const std_msgs::StringConstPtr& showing) {
    std::lock_guard<std::mutex> lock(mutex_);
    showing_ = showing->data;
  }

  // A frame with its label: both topics flow.
  bool have_image() {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_.latest().has_value();
  }

  bool have_detector_result() {
    std::lock_guard<std::mutex> lock(mutex_);
    return have_detector_result_;
  }

  std::string now_showing() {
    std::lock_guard<std::mutex> lock(mutex_);
    return showing_;
  }

  // The latest frame whose label has come, captioned with the media the label names. With the
  // detector's pictures, the latest of them whose label has come instead, captioned with that media
  // and the people found in it.
  zel::demo::SheetEntry keep(const std::string& title) {
    std::optional<LabelledImages::Pair> frame;
    std::optional<LabelledImages::Pair> view;
    std::optional<std::size_t> boxes;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      frame = frames_.latest();
      view = views_.latest();
      if (view) boxes = truth_.boxes_of(view->stamp);
    }
    if (view) {
      return {frame_of(view->frame), title, view->media + ": " + (boxes ? people_text(*boxes) : "its result missing")};
    }
    const cv::Mat image = frame_of(frame ? frame->frame : nullptr);
    const std::string caption = frame ? "showing " + frame->media : "the player named no media";
    if (options_.detector_view.empty()) return {image, title, caption};
    return {image, title, caption + "; no detector picture counted"};
  }

  static std::string people_text(std::size_t boxes) {
    if (boxes == 0) return "no people found";
    return std::to_string(boxes) + (boxes == 1 ? " person found" : " people found");
  }

  cv::Mat latest_frame() {
    sensor_msgs::ImageConstPtr image;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      image = latest_image_;
    }
    return frame_of(image);
  }

  // Converted only when kept: the player sends thirty frames a second.
  cv::Mat frame_of(const sensor_msgs::ImageConstPtr& image) {
    if (!image) return {};
    try {
      return cv_bridge::toCvCopy(image, "bgr8")->image;
    } catch (const cv_bridge::Exception& error) {
      say(std::string("cannot read the camera's frame: ") + error.what());
      return {};
    }
  }

  std::string camera(const cv::Mat& frame) const { return zel::demo::camera_text(frame, options_.sample_media); }

  // Says what the player has begun to show, once per change.
  void report_showing() {
    const std::string showing = now_showing();
    if (showing.empty() || showing == reported_showing_) return;
    reported_showing_ = showing;
    std::cout << "  player | now showing " << showing << std::endl;
  }

  // What the camera shows, written under the robot in RViz. In the map frame rather than the
  // robot's, so it stays below the robot however the robot turns.
  void publish_label(const zel::demo::Position& position) {
    if (reported_showing_.empty()) return;
    visualization_msgs::Marker label;
    label.header.frame_id = zel::MAP_FRAME;
    label.header.stamp = ros::Time::now();
    label.ns = "camera";
    label.type = visualization_msgs::Marker::TEXT_VIEW_FACING;
    label.action = visualization_msgs::Marker::ADD;
    label.pose.position.x = position.x;
    label.pose.position.y = position.y - LABEL_DROP;
    label.pose.orientation.w = 1.0;
    label.scale.x = label.scale.y = label.scale.z = LABEL_HEIGHT;
    label.color.r = label.color.g = 1.0f;
    label.color.a = 1.0f;
    label.text = "camera: " + reported_showing_;
    label_publisher_.publish(label);
  }

  void publish_pose(const zel::demo::Position& position, double yaw) {
    geometry_msgs::PoseWithCovarianceStamped message;
    message.header.stamp = ros::Time::now();
    message.header.frame_id = zel::MAP_FRAME;
    message.pose.pose.position.x = position.x;
    message.pose.pose.position.y = position.y;
    message.pose.pose.orientation.z = std::sin(yaw / 2.0);
    message.pose.pose.orientation.w = std::cos(yaw / 2.0);
    // A confident localiser: a few centimetres in x and y, a few degrees in heading.
    message.pose.covariance[0] = 0.0025;
    message.pose.covariance[7] = 0.0025;
    message.pose.covariance[35] = 0.003;
    pose_publisher_.publish(message);
    broadcaster_.sendTransform(transform("odom", "base_link", position, yaw));
    publish_label(position);
  }

  void stand(const zel::demo::TourPose& pose, double seconds) {
    ros::Rate rate(PUBLISH_HZ);
    const ros::Time start = ros::Time::now();
    while ((ros::Time::now() - start).toSec() < seconds) {
      check_running();
      report_showing();
      publish_pose(pose.position, pose.yaw);
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
      report_showing();
      publish_pose(pose.position, pose.yaw);
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

  void write_scores() {
    zel::demo::ScoreTable scores;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      scores = truth_.table();
    }
    const std::string table = zel::demo::score_table_text(scores, detector_results_subscriber_.getTopic());
    namespace fs = std::filesystem;
    const std::string path =
        (fs::absolute(options_.output_dir).lexically_normal() / SCORES_FILE).string();
    std::ofstream file(path);
    file << table;
    file.close();
    if (!file) throw TourFailed("cannot write the detector's scores to " + path);
    std::cout << table << "Detector scores: " << path << std::endl;
  }

  void keep_frame(std::size_t point, std::vector<zel::demo::SheetEntry>& sheet) {
    sheet.push_back(keep("point " + std::to_string(point + 1)));
    say("at point " + std::to_string(point + 1) + " the camera shows " + camera(sheet.back().frame) + "; " +
        sheet.back().caption);
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
  std::string reported_showing_;
  ros::Publisher pose_publisher_;
  ros::Publisher label_publisher_;
  tf2_ros::TransformBroadcaster broadcaster_;
  tf2_ros::StaticTransformBroadcaster static_broadcaster_;
  ros::Subscriber image_subscriber_;
  ros::Subscriber markers_subscriber_;
  ros::Subscriber showing_subscriber_;
  ros::Subscriber frame_media_subscriber_;
  ros::Subscriber detector_results_subscriber_;
  ros::Subscriber detector_view_subscriber_;
  ros::AsyncSpinner spinner_{1};
  ros::CallbackQueue label_queue_;
  ros::AsyncSpinner label_spinner_{1, &label_queue_};
  ros::CallbackQueue detector_queue_;
  ros::AsyncSpinner detector_spinner_{1, &detector_queue_};
  std::mutex mutex_;  // the values below, written by the spinners' threads
  sensor_msgs::ImageConstPtr latest_image_;
  zel::demo::FrameTruth truth_;
  LabelledImages frames_{MOST_UNPAIRED};
  LabelledImages views_{MOST_UNPAIRED};  // the detector's pictures
  visualization_msgs::MarkerArrayConstPtr markers_;
  std::string showing_;
  bool have_detector_result_ = false;
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
