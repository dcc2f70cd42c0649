#include "frame_probe.h"

#include <chrono>

#include "clips.h"
#include "measures.h"

namespace zel::bench {
namespace {

// How many frames the publisher moved on between two arrivals of the same looping clip.
int index_advance(const ArrivedFrame& earlier, const ArrivedFrame& later, int clip_frames) {
  const int advance = ((later.frame_index - earlier.frame_index) % clip_frames + clip_frames) % clip_frames;
  return advance == 0 ? clip_frames : advance;
}

}  // namespace

FrameProbe::FrameProbe(ros::NodeHandle& node, const std::string& topic)
    : subscriber_(node.subscribe(topic, 2, &FrameProbe::on_image, this, ros::TransportHints().tcpNoDelay())) {}

void FrameProbe::on_image(const sensor_msgs::ImageConstPtr& image) {
  const double arrival = now_seconds();
  const auto mark = read_mark(image->data.data(), static_cast<int>(image->width), static_cast<int>(image->height),
                              image->step);
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    frames_.push_back({arrival, mark ? mark->clip_code : -1, mark ? mark->frame_index : -1});
  }
  arrived_.notify_all();
}

std::size_t FrameProbe::count() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return frames_.size();
}

std::vector<ArrivedFrame> FrameProbe::frames(std::size_t from, std::size_t to) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  to = std::min(to, frames_.size());
  if (from >= to) return {};
  return {frames_.begin() + static_cast<std::ptrdiff_t>(from), frames_.begin() + static_cast<std::ptrdiff_t>(to)};
}

bool FrameProbe::wait_for_count(std::size_t count, double timeout_seconds) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return arrived_.wait_for(lock, std::chrono::duration<double>(timeout_seconds),
                           [&] { return frames_.size() >= count; });
}

std::optional<ArrivedFrame> FrameProbe::wait_for_frame(std::size_t from,
                                                       const std::function<bool(const ArrivedFrame&)>& matches,
                                                       double timeout_seconds) const {
  std::unique_lock<std::mutex> lock(mutex_);
  std::optional<ArrivedFrame> found;
  std::size_t next = from;
  arrived_.wait_for(lock, std::chrono::duration<double>(timeout_seconds), [&] {
    for (; next < frames_.size(); ++next) {
      if (matches(frames_[next])) {
        found = frames_[next];
        return true;
      }
    }
    return false;
  });
  return found;
}

std::uint64_t frames_published(const std::vector<ArrivedFrame>& frames, int clip_frames) {
  std::uint64_t published = 0;
  for (std::size_t i = 1; i < frames.size(); ++i) {
    published += static_cast<std::uint64_t>(index_advance(frames[i - 1], frames[i], clip_frames));
  }
  return published;
}

InterArrivals inter_arrivals(const std::vector<ArrivedFrame>& frames, int clip_frames) {
  InterArrivals intervals;
  for (std::size_t i = 1; i < frames.size(); ++i) {
    if (index_advance(frames[i - 1], frames[i], clip_frames) != 1) continue;
    const double interval = frames[i].seconds - frames[i - 1].seconds;
    if (frames[i].frame_index == 0) {
      intervals.between_passes.push_back(interval);
    } else {
      intervals.within_pass.push_back(interval);
    }
  }
  return intervals;
}

}  // namespace zel::bench
