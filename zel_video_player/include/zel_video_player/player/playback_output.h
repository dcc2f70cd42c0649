#pragma once

#include <cstdint>
#include <string>

#include <opencv2/core.hpp>

#include "zel_video_player/player/clock.h"

namespace zel {

// Where playback sends everything it shows and says: the frames, the media now showing and its log
// lines. The node's ROS outputs are one; a test's recorder is another. Playback calls it from its
// one thread.
class PlaybackOutput {
 public:
  virtual ~PlaybackOutput() = default;

  // 8-bit BGR pixels to decode the next video frame into, `width` by `height`: the memory the
  // output sends from, the last frame's written over where nothing else holds it any more, since a
  // fresh 6 MB buffer costs more to first touch than to fill.
  virtual cv::Mat frame_pixels(int width, int height) = 0;
  // Sends the frame decoded into `pixels`: those frame_pixels gave, unless the decoder had to put
  // it elsewhere. `stamp` is when it was due, and its own. `frame_number` is its place among the
  // frames decoded from the clip since this showing of it began, counted from 1.
  virtual void send_frame(const cv::Mat& pixels, Clock::Time stamp, std::int64_t frame_number) = 0;

  // A still goes out many times over the same pixels: it is made ready once here, ...
  virtual void hold_still(const cv::Mat& picture) = 0;
  // ...sent at each call, each time with a stamp of its own, ...
  virtual void send_still(Clock::Time stamp) = 0;
  // ...and let go of when it has played: a phone photo may weigh tens of megabytes.
  virtual void release_still() = 0;

  // The media file whose frames go out from now on, just before the first; empty when none do.
  virtual void now_showing(const std::string& media_file) = 0;

  virtual void log_info(const std::string& line) = 0;
  virtual void log_error(const std::string& line) = 0;
};

}  // namespace zel
