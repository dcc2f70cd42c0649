#pragma once

#include <memory>
#include <optional>

#include <diagnostic_updater/diagnostic_updater.h>
#include <ros/callback_queue.h>
#include <ros/ros.h>

#include "zel_video_player/player/player.h"

namespace zel {

// The image topic's rate; its class lives in the one file that includes diagnostic_updater's
// update_functions.h, whose bullseye release defines a function in the header without `inline`.
class FrameRateStatus;

// The node's health on /diagnostics: the image topic's rate, and what plays where and what fails.
// The reports run on a thread of their own, so they keep coming, and say so, when no frame does;
// that thread reads only the player's status, its points and the rate's own count.
class PlayerDiagnostics {
 public:
  // `node` resolves the image topic; `private_node`'s namespace names the entries.
  PlayerDiagnostics(const ros::NodeHandle& node, const ros::NodeHandle& private_node);
  ~PlayerDiagnostics();
  PlayerDiagnostics(const PlayerDiagnostics&) = delete;
  PlayerDiagnostics& operator=(const PlayerDiagnostics&) = delete;

  // From the playing thread, at each frame on the image topic.
  void frame_sent();

  // Starts the reports once the player is made; `player` must outlive them, or stop come first.
  void start(const Player& player);
  // Ends the reports, waiting for one under way.
  void stop();

 private:
  void report_playback(diagnostic_updater::DiagnosticStatusWrapper& out);

  const Player* player_ = nullptr;  // set before the reports start
  double image_rate_floor_;
  double image_rate_ceiling_;
  diagnostic_updater::Updater updater_;
  std::unique_ptr<FrameRateStatus> image_frequency_;
  ros::CallbackQueue queue_;
  ros::WallTimer timer_;
  std::optional<ros::AsyncSpinner> spinner_;
};

}  // namespace zel
