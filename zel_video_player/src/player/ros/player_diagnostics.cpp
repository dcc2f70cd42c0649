#include "zel_video_player/player/ros/player_diagnostics.h"

#include <limits>

#include <diagnostic_updater/update_functions.h>

#include "zel_video_player/player/ros/names.h"
#include "zel_video_player/player/playback.h"
#include "zel_video_player/player/ros/diagnostics_conversion.h"

namespace zel {
namespace {

constexpr double RATE_TOLERANCE = 0.1;  // warns below 27 a second, as a camera driver would
constexpr double DIAGNOSTICS_PERIOD = 1.0;
constexpr int FREQUENCY_WINDOW = 2;  // periods: no frame for 2 s is an error

}  // namespace

// The image topic's rate in ROS time, as a camera's would be measured in simulation too: a clock
// that stands still (paused, or before its first /clock) is told as such, not as frames missing,
// and one that goes back starts the count afresh.
class FrameRateStatus : public diagnostic_updater::FrequencyStatus {
 public:
  using FrequencyStatus::FrequencyStatus;
  void run(diagnostic_updater::DiagnosticStatusWrapper& out) override;

 private:
  ros::Time last_run_;
};

void FrameRateStatus::run(diagnostic_updater::DiagnosticStatusWrapper& out) {
  const ros::Time now = ros::Time::now();
  const bool standing_still = ros::Time::isSimTime() && now == last_run_;
  if (now < last_run_) clear();
  last_run_ = now;
  if (standing_still) {
    fill_clock_standing_still(now.isZero(), out);
  } else {
    FrequencyStatus::run(out);
  }
}

PlayerDiagnostics::PlayerDiagnostics(const ros::NodeHandle& node, const ros::NodeHandle& private_node)
    : image_rate_floor_(Playback::IMAGE_RATE_FLOOR),
      image_rate_ceiling_(std::numeric_limits<double>::infinity()),
      updater_(node, private_node, private_node.getNamespace()),
      image_frequency_(std::make_unique<FrameRateStatus>(
          diagnostic_updater::FrequencyStatusParam(&image_rate_floor_, &image_rate_ceiling_, RATE_TOLERANCE,
                                                   FREQUENCY_WINDOW),
          node.resolveName(IMAGE_TOPIC) + " frequency")) {
  updater_.setHardwareID("none");
  updater_.add(*image_frequency_);
  updater_.add("playback", this, &PlayerDiagnostics::report_playback);
}

PlayerDiagnostics::~PlayerDiagnostics() { stop(); }

void PlayerDiagnostics::frame_sent() { image_frequency_->tick(); }

void PlayerDiagnostics::stop() {
  if (spinner_) spinner_->stop();
  timer_.stop();
}

void PlayerDiagnostics::start(const Player& player) {
  player_ = &player;
  ros::NodeHandle diagnostics_node;
  diagnostics_node.setCallbackQueue(&queue_);
  timer_ = diagnostics_node.createWallTimer(ros::WallDuration(DIAGNOSTICS_PERIOD),
                                            [this](const ros::WallTimerEvent&) { updater_.force_update(); });
  spinner_.emplace(1, &queue_);
  spinner_->start();
}

void PlayerDiagnostics::report_playback(diagnostic_updater::DiagnosticStatusWrapper& out) {
  if (player_) fill_playback_status(player_->status(), player_->locations(), out);
}

}  // namespace zel
