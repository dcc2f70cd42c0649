#include "compressed.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <utility>

#include <opencv2/videoio.hpp>
#include <sensor_msgs/CompressedImage.h>

#include "frame_probe.h"
#include "zel_video_player/player/ros/names.h"
#include "zel_video_player/player/playback.h"
#include "zel_video_player/transport/compressed_format.h"

namespace zel::bench {
namespace {

// The node reads the transport's parameters again at most once a second.
constexpr double SETTINGS_SETTLE_SECONDS = 1.5;
constexpr int ENCODE_ALONE_FRAMES = 30;

const std::string COMPRESSED_TOPIC = std::string(IMAGE_TOPIC) + "/compressed";
const std::string FORMAT_PARAMETER = COMPRESSED_TOPIC + "/format";

double thread_cpu_seconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::vector<cv::Mat> first_frames(const std::string& clip) {
  cv::VideoCapture capture(clip, cv::CAP_FFMPEG);
  std::vector<cv::Mat> frames;
  cv::Mat frame;
  while (static_cast<int>(frames.size()) < ENCODE_ALONE_FRAMES && capture.read(frame)) frames.push_back(frame.clone());
  if (frames.empty()) throw std::runtime_error("cannot read " + clip);
  return frames;
}

// The frames encoded one after another on this thread.
void measure_encode_alone(const std::vector<cv::Mat>& frames, CompressedMode& mode) {
  transport::EncodeSettings settings;
  settings.codec = mode.format == "png" ? transport::Codec::png : transport::Codec::jpeg;
  double bytes = 0;
  const double start = thread_cpu_seconds();
  for (const cv::Mat& pixels : frames) {
    const transport::RawImage image{static_cast<std::uint32_t>(pixels.cols), static_cast<std::uint32_t>(pixels.rows),
                                    static_cast<std::uint32_t>(pixels.step), "bgr8", pixels.data,
                                    pixels.total() * pixels.elemSize()};
    const transport::Encoded encoded = transport::encode(image, settings);
    if (!encoded.error.empty()) throw std::runtime_error("encoding failed: " + encoded.error);
    bytes += static_cast<double>(encoded.data.size());
  }
  mode.encode_alone_seconds = (thread_cpu_seconds() - start) / static_cast<double>(frames.size());
  mode.encode_alone_bytes = bytes / static_cast<double>(frames.size());
}

// Sizes of the compressed frames that came while it counted.
class CompressedCounter {
 public:
  void start(ros::NodeHandle& node) {
    subscriber_ = node.subscribe<sensor_msgs::CompressedImage>(
        COMPRESSED_TOPIC, 5, [this](const sensor_msgs::CompressedImageConstPtr& image) {
          const std::lock_guard<std::mutex> lock(mutex_);
          bytes_.push_back(static_cast<double>(image->data.size()));
        });
  }
  void stop() { subscriber_.shutdown(); }
  std::vector<double> take() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(bytes_, {});
  }

 private:
  ros::Subscriber subscriber_;
  std::mutex mutex_;
  std::vector<double> bytes_;
};

CompressedRun measure_format(Harness& harness, const ClipFormat& format) {
  CompressedRun run;
  run.format = format;
  run.modes = {{"raw alone", "", {}, 0, 0}, {"jpeg 80", "jpeg", {}, 0, 0}, {"png 9", "png", {}, 0, 0}};
  const std::string media = ensure_media_folder(harness.options().clips_root, format);
  const std::vector<cv::Mat> frames = first_frames(empty_clip_path(media));
  for (auto& mode : run.modes) {
    if (!mode.format.empty()) measure_encode_alone(frames, mode);
  }
  const std::size_t first = harness.probe().count();
  auto player = harness.start_player(media);
  harness.wait_for_frames(first + 10, 60.0, *player);
  pause_for(WARM_UP_SECONDS);

  CompressedCounter counter;
  double encoding_in_flight = 0;  // seconds the last mode's encoder may still spend on its frame
  for (int round = 0; round < harness.options().windows; ++round) {
    // In turns, so a drift in the machine's load touches every mode alike.
    for (auto& mode : run.modes) {
      if (mode.format.empty()) {
        counter.stop();
      } else {
        ros::param::set(FORMAT_PARAMETER, mode.format);
        counter.start(harness.node());
      }
      pause_for(SETTINGS_SETTLE_SECONDS + encoding_in_flight);
      encoding_in_flight = 1.5 * mode.encode_alone_seconds;
      counter.take();
      CompressedWindow window;
      const std::size_t cursor_before = harness.probe().count();
      const ProcessCpu cpu_before = process_cpu(player->pid());
      const double start = now_seconds();
      // A few frames of the slowest encoding, or its CPU per frame is one cut short.
      pause_for(std::max(harness.options().window_seconds, 3 * mode.encode_alone_seconds));
      window.player_cpu = process_cpu(player->pid()) - cpu_before;
      window.seconds = now_seconds() - start;
      window.compressed_bytes = counter.take();
      window.raw_frames = frames_published(harness.probe().frames(cursor_before - 1, harness.probe().count()),
                                           format.frames());
      mode.windows.push_back(std::move(window));
    }
  }
  counter.stop();
  ros::param::del(FORMAT_PARAMETER);
  stop(player);
  return run;
}

struct ModeTotals {
  double seconds = 0;
  double cpu_seconds = 0;
  double raw_frames = 0;
  std::vector<double> bytes;
};

ModeTotals totals_of(const CompressedMode& mode) {
  ModeTotals totals;
  for (const auto& window : mode.windows) {
    totals.seconds += window.seconds;
    totals.cpu_seconds += window.player_cpu.seconds();
    totals.raw_frames += static_cast<double>(window.raw_frames);
    totals.bytes.insert(totals.bytes.end(), window.compressed_bytes.begin(), window.compressed_bytes.end());
  }
  return totals;
}

}  // namespace

std::vector<CompressedRun> measure_compressed(Harness& harness) {
  std::cout << "measuring compressed frames..." << std::endl;
  std::vector<CompressedRun> runs;
  for (const auto& format : {FORMAT_480_30, FORMAT_1080_30}) {
    std::cout << "  " << format.label() << std::endl;
    runs.push_back(measure_format(harness, format));
  }
  return runs;
}

void report_compressed(Report& report, const std::vector<CompressedRun>& runs) {
  report.heading("11. Compressed frames: bytes and CPU per frame, and the raw frames beside them");
  report.line("   (one player run per format; windows take turns: raw alone, then with a subscriber in the benchmark");
  report.line("    on " + COMPRESSED_TOPIC + " at JPEG, quality 80, then at PNG, level 9; the raw subscriber stays");
  report.line("    throughout. player ms/s: its CPU per second; extra: that beyond raw alone, per compressed frame");
  report.line("    received; alone: the clip's frames encoded without ROS on one thread of the benchmark, ms and KB.");
  report.line("    The clips' blurred noise compresses worse than most footage: these bytes are a high mark)");
  report.line(format("   %-13s %-9s %7s %7s %9s %9s %7s %7s %7s  %s", "format", "mode", "raw Hz", "cmp Hz", "KB p50",
                     "ms/s", "extra", "alone", "KB", "raw rate kept"));
  for (const auto& run : runs) {
    const ModeTotals raw_alone = totals_of(run.modes.front());
    const double raw_cpu_rate = raw_alone.cpu_seconds / raw_alone.seconds;
    const double target = Playback::video_rate(run.format.fps);
    for (const auto& mode : run.modes) {
      const ModeTotals totals = totals_of(mode);
      const double raw_rate = totals.raw_frames / totals.seconds;
      const double compressed_rate = static_cast<double>(totals.bytes.size()) / totals.seconds;
      const double cpu_rate = totals.cpu_seconds / totals.seconds;
      const bool compressed = !mode.format.empty();
      const std::string extra =
          compressed && compressed_rate > 0 ? format("%7.2f", (cpu_rate - raw_cpu_rate) / compressed_rate * 1000) : "      -";
      report.line(format("   %-13s %-9s %7.2f %7s %9s %9.1f %s %7s %7s  %s", run.format.label().c_str(), mode.name.c_str(),
                         raw_rate, compressed ? format("%7.2f", compressed_rate).c_str() : "-",
                         compressed && !totals.bytes.empty() ? format("%9.1f", median(totals.bytes) / 1000).c_str() : "-",
                         cpu_rate * 1000, extra.c_str(),
                         compressed ? format("%7.2f", mode.encode_alone_seconds * 1000).c_str() : "-",
                         compressed ? format("%7.1f", mode.encode_alone_bytes / 1000).c_str() : "-",
                         verdict(std::abs(raw_rate / target - 1) <= RATE_TOLERANCE).c_str()));
    }
  }
}

}  // namespace zel::bench
