#pragma once

#include <optional>
#include <string>
#include <thread>

#include <nodelet/nodelet.h>

#include "zel_video_player/player/ros/zel_video_player.h"
#include "zel_video_player/text/tagged_lines.h"
#include "zel_video_player/world/random.h"

namespace zel {

// The player inside a nodelet manager, where subscribers in the same manager are handed each frame
// by pointer instead of a serialised copy. It takes the program's arguments (the nodelet's argument
// list) and plays on a thread of its own. A start-up that fails logs why and leaves it idle: it
// never ends the manager. Every line it prints or logs begins with its name, and it changes
// nothing of the process that the manager's other nodelets rely on: the environment, and how FFmpeg
// and OpenCV log, stay theirs.
class ZELVideoPlayerNodelet : public nodelet::Nodelet {
 public:
  ~ZELVideoPlayerNodelet() override;

  // Empty when start-up failed.
  const ZELVideoPlayer* player() const { return player_ ? &*player_ : nullptr; }

 private:
  void onInit() override;
  void play();

  RandomEngine engine_ = make_system_seeded_engine();
  std::string line_tag_;
  std::optional<TaggedLines> out_;  // the manager's standard output, this player's lines tagged
  std::optional<ZELVideoPlayer> player_;
  std::thread playback_;
};

}  // namespace zel
