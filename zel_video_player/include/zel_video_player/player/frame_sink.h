#pragma once

#include <memory>
#include <string>

#include <opencv2/core.hpp>

#include "zel_video_player/player/clock.h"

namespace zel {

// The memory a frame is decoded into and sent from: pixels over whatever the sink sends, which the
// sink made and alone knows. Playback holds it from one frame to the next and hands it back for the
// next frame, so that memory is written over: a fresh 6 MB buffer costs more to first touch than to
// fill.
class FrameBuffer {
 public:
  virtual ~FrameBuffer() = default;

  cv::Mat pixels;  // 8-bit BGR; a decoder that had to put the frame elsewhere leaves it here
};
using FrameBufferPtr = std::unique_ptr<FrameBuffer>;

// Where playback sends everything it shows and says: the frames, the media now showing and log
// lines. The node's ROS outputs are one; a test's recorder is another. Playback calls it from its
// one thread.
class FrameSink {
 public:
  virtual ~FrameSink() = default;

  // A buffer for the next frame, `width` by `height`: `spent`, the one sent last (or none), written
  // over where nothing else holds what it sent any more.
  virtual FrameBufferPtr frame_buffer(int width, int height, FrameBufferPtr spent) = 0;
  // Sends the frame decoded into `frame`, stamped `stamp`: when it was due, and its own.
  virtual void send_frame(FrameBuffer& frame, Clock::Time stamp) = 0;

  // A still goes out many times over the same pixels: it is made once here...
  virtual FrameBufferPtr still_buffer(const cv::Mat& picture) = 0;
  // ...and sent again at each call, each time with a stamp of its own.
  virtual void send_still(FrameBuffer& still, Clock::Time stamp) = 0;

  // The media file whose frames go out from now on, just before the first; empty when none do.
  virtual void now_showing(const std::string& media_file) = 0;

  virtual void log_info(const std::string& line) = 0;
  virtual void log_error(const std::string& line) = 0;
};

}  // namespace zel
