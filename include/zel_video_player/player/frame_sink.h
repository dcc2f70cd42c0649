#pragma once

#include <string>

#include <opencv2/core.hpp>

#include "zel_video_player/world/media_folder.h"

namespace zel {

// Where playback sends everything it shows and says: the frames, what is on the camera, how clips
// were opened, failures and log lines. The node's ROS outputs are one; a test's recorder is another.
// Playback calls it from its one thread.
class FrameSink {
 public:
  virtual ~FrameSink() = default;

  // Pixels for the next frame of `width` by `height`, 8-bit BGR, over the outgoing message's own
  // buffer where it can be, so that a decoder writes the frame straight into the message.
  virtual cv::Mat frame_buffer(int width, int height) = 0;
  // Sends the frame in `pixels`: the frame_buffer given, or wherever the decoder had to put it.
  virtual void send_frame(const cv::Mat& pixels) = 0;

  // A still goes out many times as the very same message: it is made once here...
  virtual void prepare_still(const cv::Mat& picture) = 0;
  // ...and sent again at each call.
  virtual void send_still() = 0;

  // Just before the first frame of a playback, so the name never announces media that fails.
  virtual void playback_began(const std::string& clip_name, MediaKind kind) = 0;
  // Whether the clip had been opened ahead, or its opening made a pause.
  virtual void clip_started(bool was_ready) = 0;
  // Media of the playlist that showed nothing: `path` and its `problem`, as the error line says.
  virtual void media_failed(const std::string& clip_name, const std::string& path, const std::string& problem) = 0;
  // A whole pass over the playlist showed nothing: the camera stays dark until some media plays.
  virtual void showing_nothing() = 0;

  virtual void log_info(const std::string& line) = 0;
  virtual void log_error(const std::string& line) = 0;
};

}  // namespace zel
