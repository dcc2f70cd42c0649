#include "zel_video_player/app/ros/player_nodelet.h"

#include <exception>
#include <iostream>
#include <sstream>
#include <string>

#include <ros/console.h>

#include "zel_video_player/app/ros/start_up.h"
#include "zel_video_player/cancellation.h"

namespace zel {
namespace {

// One log message, each of its lines tagged as the player's printed lines are.
std::string tagged_message(const std::string& line_tag, std::string text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  std::ostringstream message;
  {
    TaggedLines lines(message, line_tag);
    lines << text;
  }
  return message.str();
}

}  // namespace

ZELVideoPlayerNodelet::~ZELVideoPlayerNodelet() {
  if (player_) player_->request_stop();
  if (playback_.joinable()) playback_.join();
}

// Runs on the manager's thread, which loads and unloads every nodelet: only the start-up happens
// here, the playback gets a thread of its own.
void ZELVideoPlayerNodelet::onInit() {
  line_tag_ = nodelet_line_tag(getName());
  out_.emplace(std::cout, line_tag_);
  try {
    const ParseOutcome start = start_up(parse_args(getMyArgv(), ZEL_PROGRAM_NAME), *out_, line_tag_);
    if (start.kind == ParseOutcome::Kind::help) *out_ << start.text << std::flush;
    if (start.kind == ParseOutcome::Kind::usage_error) ROS_ERROR_STREAM(tagged_message(line_tag_, start.text));
    if (start.kind != ParseOutcome::Kind::run) return;
    const Settings& settings = start.options;
    player_.emplace(settings.video_folder, settings.num_locations, settings.radius, settings.test,
                    engine_, *out_, getNodeHandle(), getPrivateNodeHandle(), line_tag_);
  } catch (const Interrupted&) {
    return;
  } catch (const std::exception& error) {
    ROS_ERROR_STREAM(line_tag_ << "Error: " << error.what());
    return;
  }
  playback_ = std::thread(&ZELVideoPlayerNodelet::play, this);
}

// An error that would end the program ends only this player: the manager and its other nodelets
// run on.
void ZELVideoPlayerNodelet::play() {
  try {
    player_->main_loop();
  } catch (const std::exception& error) {
    ROS_ERROR_STREAM(line_tag_ << "Error: " << error.what() << "; the player stops");
  } catch (...) {
    ROS_ERROR_STREAM(line_tag_ << "Error: an exception of unknown type; the player stops");
  }
}

}  // namespace zel
