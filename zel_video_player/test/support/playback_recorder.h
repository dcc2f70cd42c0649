#pragma once

// A clock the test moves and an output that records, to run the playback engine without a master.

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include "support/media.h"
#include "support/process.h"
#include "support/timing.h"
#include "zel_video_player/player/clock.h"
#include "zel_video_player/player/playback.h"
#include "zel_video_player/player/playback_output.h"

namespace zel::testing {

// Running, each wait moves the time on to the deadline at once, or by `tick` when one is set, as a
// simulator's coarse /clock does, or by a jump the test set for it. Paused, it does not move, and
// asks for waits of a millisecond.
class FakeClock : public Clock {
 public:
  Time now() const override {
    const std::lock_guard<std::mutex> lock(mutex_);
    return now_;
  }
  Time step() const override { return step_; }
  std::chrono::nanoseconds wait_toward(Time deadline) const override {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!running_) return std::chrono::milliseconds(1);
    now_ = jump_ ? now_ + *jump_ : tick_ > Time::zero() ? now_ + tick_ : deadline;
    jump_.reset();
    return Time::zero();
  }

  void set(Time time) {
    const std::lock_guard<std::mutex> lock(mutex_);
    now_ = time;
  }
  void jump_during_next_sleep(Time by) {
    const std::lock_guard<std::mutex> lock(mutex_);
    jump_ = by;
  }
  void pause() {
    const std::lock_guard<std::mutex> lock(mutex_);
    running_ = false;
  }
  void move_in_ticks(Time tick, Time step) {
    const std::lock_guard<std::mutex> lock(mutex_);
    tick_ = tick;
    step_ = step;
  }

 private:
  mutable std::mutex mutex_;
  mutable Time now_ = std::chrono::seconds(1000);
  mutable std::optional<Time> jump_;
  bool running_ = true;
  Time tick_ = Time::zero();
  Time step_ = Time::zero();
};

struct Sent {
  Clock::Time at;
  Clock::Time stamp;
  FrameIdentity frame;
  bool still;
  std::int64_t frame_number;  // a video frame's, as playback numbered it; 0 for a still
  cv::Mat pixels;  // a copy: the output's memory is written over by the next frame
};

// Records what playback sends, with the clock's time, and reuses each frame's memory as the node's
// output does; `on_send` lets a test act at the n-th frame (counted from 1), as the robot or the
// clock would between two frames.
class RecordingOutput : public PlaybackOutput {
 public:
  explicit RecordingOutput(const Clock& clock) : clock_(clock) {}

  cv::Mat frame_pixels(int width, int height) override {
    frame_.create(height, width, CV_8UC3);
    return frame_;
  }
  void send_frame(const cv::Mat& pixels, Clock::Time stamp, std::int64_t frame_number) override {
    record(pixels.clone(), stamp, false, frame_number, pixels.data != frame_.data);
  }
  void hold_still(const cv::Mat& picture) override { still_ = picture.clone(); }
  void send_still(Clock::Time stamp) override { record(still_, stamp, true, 0); }
  void release_still() override { still_.release(); }
  void now_showing(const std::string& media_file) override {
    note(media_file.empty() ? "shows nothing" : "began " + media_file);
  }
  void log_info(const std::string& line) override { note(line); }
  void log_error(const std::string& line) override { note("error: " + line); }

  // Everything but the frames, in order: log lines, announcements, failures.
  std::vector<std::string> events() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }

  std::vector<Sent> sent() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return sent_;
  }
  std::size_t count() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return sent_.size();
  }
  bool wait_for_count(std::size_t count, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout * TIMING_SLACK;
    while (this->count() < count && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return this->count() >= count;
  }
  // Video frames the decoder did not write into the buffer it was given, since the output was made.
  std::size_t frames_written_elsewhere() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return frames_written_elsewhere_;
  }

  void clear() {
    const std::lock_guard<std::mutex> lock(mutex_);
    sent_.clear();
    events_.clear();
    on_send = [](std::size_t) {};
  }

  std::function<void(std::size_t)> on_send = [](std::size_t) {};

 private:
  void note(std::string event) {
    const std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(event));
  }
  void record(cv::Mat pixels, Clock::Time stamp, bool still, std::int64_t frame_number,
              bool written_elsewhere = false) {
    std::size_t n = 0;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (written_elsewhere) ++frames_written_elsewhere_;
      sent_.push_back({clock_.now(), stamp, identify(pixels), still, frame_number, std::move(pixels)});
      n = sent_.size();
    }
    on_send(n);
  }

  const Clock& clock_;
  cv::Mat frame_;  // where each frame is to be decoded
  cv::Mat still_;
  mutable std::mutex mutex_;
  std::vector<Sent> sent_;
  std::size_t frames_written_elsewhere_ = 0;
  std::vector<std::string> events_;
};

// A playback over a media folder of its own, on the fake clock, into the recording output; every
// frame must have been decoded into the memory the output gave, the outgoing message's own.
template <class TestBase>
class PlaybackFixture : public TestBase {
 protected:
  void TearDown() override {
    EXPECT_EQ(output_.frames_written_elsewhere(), 0u) << "the decoder wrote elsewhere than the buffer it was given";
  }

  TempDir dir_;
  const std::string folder_ = dir_.path() + "/";
  PlayState state_;
  ShowingBook status_;
  FakeClock clock_;
  RecordingOutput output_{clock_};
  Playback playback_{folder_, state_, status_, clock_, output_};
};

}  // namespace zel::testing
