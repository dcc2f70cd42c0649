#pragma once

#include <cstdint>
#include <string>

#include <opencv2/core.hpp>

#include "zel_video_player/player/clip_orientation.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace zel {

// The first video stream of a clip, decoded with FFmpeg straight into the caller's BGR pixels: no
// BGR frame of its own and no copy between the conversion and the pixels that go out. One pass
// after another rewinds it instead of opening the file again, so a clip that loops keeps its one
// decoder, whose frames are warm by the second pass.
class ClipDecoder {
 public:
  // A decoder that cannot open the file, its video stream or its codec is not open().
  explicit ClipDecoder(const std::string& path);
  ~ClipDecoder();
  ClipDecoder(const ClipDecoder&) = delete;
  ClipDecoder& operator=(const ClipDecoder&) = delete;

  bool open() const { return decoder_ != nullptr; }
  // Frames a second as the container tells it; 0 when it does not.
  double reported_fps() const { return reported_fps_; }
  // The frames the container says the stream holds; 0 when it does not tell.
  std::int64_t frame_count() const { return frame_count_; }
  UprightTurn turn() const { return turn_; }

  // Decodes the next frame and holds it for convert(). False at the end of the clip, or where the
  // decoder refused too many packets in a row to be worth reading on. A packet the decoder refuses
  // is skipped, as ffmpeg's own player does, and counted.
  bool decode_next();
  // The size of the frame decode_next() holds, as stored, before the turn that shows it upright.
  cv::Size frame_size() const;
  // The frame decode_next() holds, as 8-bit BGR in `bgr` (reused when it has the stored size).
  void convert(cv::Mat& bgr);
  std::int64_t packets_skipped() const { return packets_skipped_; }

  // Back to the first frame; false when the file cannot seek there, and then it is best opened anew.
  bool rewind();

 private:
  // Reads the next packet of the stream; false at the end of the file.
  bool read_packet();

  AVFormatContext* format_ = nullptr;
  AVCodecContext* decoder_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  SwsContext* converter_ = nullptr;
  int stream_ = -1;
  double reported_fps_ = 0;
  std::int64_t frame_count_ = 0;
  UprightTurn turn_ = UprightTurn::none;
  bool packet_waiting_ = false;  // read, not yet taken by the decoder
  bool draining_ = false;        // the file has ended: the decoder gives what it still holds
  std::int64_t packets_skipped_ = 0;
  std::int64_t refused_in_a_row_ = 0;
};

}  // namespace zel
