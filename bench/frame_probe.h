#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <ros/ros.h>
#include <sensor_msgs/Image.h>

namespace zel::bench {

struct ArrivedFrame {
  double seconds;  // on the benchmark's steady clock
  int clip_code;   // -1 when the frame carries no readable mark
  int frame_index;
};

// A subscriber that notes when each image arrives and which clip frame it shows. It keeps no
// pixels, so it can listen to 1080p for as long as a soak lasts.
class FrameProbe {
 public:
  FrameProbe(ros::NodeHandle& node, const std::string& topic);

  std::size_t count() const;
  std::vector<ArrivedFrame> frames(std::size_t from, std::size_t to) const;
  bool wait_for_count(std::size_t count, double timeout_seconds) const;
  // The first frame from position `from` on that matches, waiting up to the timeout for it.
  std::optional<ArrivedFrame> wait_for_frame(std::size_t from,
                                             const std::function<bool(const ArrivedFrame&)>& matches,
                                             double timeout_seconds) const;

 private:
  void on_image(const sensor_msgs::ImageConstPtr& image);

  mutable std::mutex mutex_;
  mutable std::condition_variable arrived_;
  std::vector<ArrivedFrame> frames_;
  ros::Subscriber subscriber_;
};

// Frames the publisher sent from the first to the last of `frames`, told by their indices: a
// subscriber may miss a frame, the indices do not. `clip_frames` is the length of a looping clip.
std::uint64_t frames_published(const std::vector<ArrivedFrame>& frames, int clip_frames);

// Intervals in seconds between the arrivals of consecutive frames: within a pass over the clip,
// and from a pass's last frame to the next pass's first, which also spans reopening the clip.
struct InterArrivals {
  std::vector<double> within_pass;
  std::vector<double> between_passes;
};
InterArrivals inter_arrivals(const std::vector<ArrivedFrame>& frames, int clip_frames);

}  // namespace zel::bench
