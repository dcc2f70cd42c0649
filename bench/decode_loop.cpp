#include "decode_loop.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

#include <opencv2/videoio.hpp>

#include "measures.h"
#include "zel_video_player/player/clock.h"
#include "zel_video_player/player/frame_pacer.h"
#include "zel_video_player/player/play_state.h"
#include "zel_video_player/player/playback.h"

namespace zel::bench {
SharedDecodeRecord::SharedDecodeRecord(const std::string& path, bool create) {
  const int fd = ::open(path.c_str(), create ? O_RDWR | O_CREAT | O_TRUNC : O_RDWR, 0600);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  if (create && ::ftruncate(fd, sizeof(DecodeRecord)) != 0) {
    ::close(fd);
    throw std::runtime_error("cannot size " + path);
  }
  void* mapped = ::mmap(nullptr, sizeof(DecodeRecord), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  ::close(fd);
  if (mapped == MAP_FAILED) throw std::runtime_error("cannot map " + path);
  record_ = static_cast<DecodeRecord*>(mapped);
}

SharedDecodeRecord::~SharedDecodeRecord() { ::munmap(record_, sizeof(DecodeRecord)); }

std::vector<double> SharedDecodeRecord::decode_seconds(std::uint64_t from, std::uint64_t to) const {
  std::vector<double> seconds;
  if (to - from > DecodeRecord::CAPACITY) from = to - DecodeRecord::CAPACITY;
  for (std::uint64_t i = from; i < to; ++i) {
    seconds.push_back(record_->decode_microseconds[i % DecodeRecord::CAPACITY] * 1e-6);
  }
  return seconds;
}

void run_decode_loop(const std::string& clip, DecodeRecord& record, std::uint64_t max_frames) {
  // Paced by the player's own rule on the steady clock, at no point, never asked to stop: only the
  // decoding differs from the player's loop.
  const SteadyClock clock;
  const PlayState state;
  const StopRequested never = [] { return false; };
  cv::Mat frame;
  std::uint64_t frames = 0;
  while (max_frames == 0 || frames < max_frames) {
    cv::VideoCapture capture(clip, cv::CAP_FFMPEG);
    if (!capture.isOpened()) throw std::runtime_error("cannot open " + clip);
    FramePacer pacer(Playback::video_rate(capture.get(cv::CAP_PROP_FPS)), clock, [](auto, auto) {});
    while (max_frames == 0 || frames < max_frames) {
      const double start = now_seconds();
      if (!capture.read(frame)) break;
      const double decode = now_seconds() - start;
      record.decode_microseconds[frames % DecodeRecord::CAPACITY] = static_cast<std::uint32_t>(decode * 1e6);
      record.frames.store(++frames, std::memory_order_release);
      pacer.wait_out_frame(state, NO_LOCATION, never);
    }
  }
}

int run_decode_loop_role(int argc, char** argv) {
  std::string clip, record_path;
  std::uint64_t frames = 0;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&] {
      if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
      return std::string(argv[++i]);
    };
    if (arg == "--clip") clip = value();
    else if (arg == "--record") record_path = value();
    else if (arg == "--frames") frames = std::stoull(value());
    else throw std::invalid_argument("unknown option " + arg);
  }
  SharedDecodeRecord record(record_path, false);
  run_decode_loop(clip, record.record(), frames);
  return 0;
}

ClipStartTimes time_clip_start(const std::string& clip) {
  const double start = now_seconds();
  cv::VideoCapture capture(clip, cv::CAP_FFMPEG);
  cv::Mat frame;
  if (!capture.read(frame)) throw std::runtime_error("no first frame in " + clip);
  const double first_frame = now_seconds();
  capture.read(frame);
  const double release_start = now_seconds();
  capture.release();
  return {first_frame - start, now_seconds() - release_start};
}

}  // namespace zel::bench
