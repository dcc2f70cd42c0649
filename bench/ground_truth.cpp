#include "ground_truth.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <mutex>
#include <random>
#include <utility>
#include <vector>

#include <diagnostic_msgs/KeyValue.h>
#include <std_msgs/String.h>

#include "frame_probe.h"
#include "measures.h"
#include "zel_video_player/world/locations.h"
#include "zel_video_player/player/names.h"
#include "zel_video_player/player/ros/now_showing_conversion.h"

namespace zel::bench {
namespace {

constexpr double SETTLE_SECONDS = 1.0;

int clip_code_of(const std::string& media_file) {
  return media_file.rfind("empty.", 0) == 0 ? EMPTY_CLIP_CODE : OBJECT_CLIP_CODE;
}

// What the consumer heard besides the frames: the labels by the key that names a frame's stamp, and
// ~now_showing with the time each change arrived, on the same thread and clock as the frames.
class Labels {
 public:
  explicit Labels(ros::NodeHandle& node)
      : by_frame_(node.subscribe(private_topic_of_default_node(FRAME_MEDIA_TOPIC), 1000, &Labels::on_label, this)),
        now_showing_(node.subscribe(private_topic_of_default_node(NOW_SHOWING_TOPIC), 1000, &Labels::on_now_showing, this)) {}

  std::map<std::string, std::string> by_stamp() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return by_stamp_;
  }
  std::vector<std::pair<double, std::string>> changes() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return changes_;
  }
  bool connected() const { return by_frame_.getNumPublishers() > 0 && now_showing_.getNumPublishers() > 0; }

 private:
  void on_label(const diagnostic_msgs::KeyValue::ConstPtr& label) {
    const std::lock_guard<std::mutex> lock(mutex_);
    by_stamp_[label->key] = label->value;
  }
  void on_now_showing(const std_msgs::String::ConstPtr& showing) {
    const double arrival = now_seconds();
    const std::lock_guard<std::mutex> lock(mutex_);
    changes_.emplace_back(arrival, showing->data);
  }

  mutable std::mutex mutex_;
  std::map<std::string, std::string> by_stamp_;
  std::vector<std::pair<double, std::string>> changes_;
  ros::Subscriber by_frame_;
  ros::Subscriber now_showing_;
};

}  // namespace

GroundTruthRun measure_ground_truth(Harness& harness) {
  std::cout << "labelling frames over " << harness.options().truth_switches << " changes of point..." << std::endl;
  GroundTruthRun run;
  run.format = FORMAT_480_30;
  const std::string media = ensure_media_folder(harness.options().clips_root, run.format);
  Labels labels(harness.node());
  auto player = harness.start_player(media);
  harness.wait_for_frames(harness.probe().count() + 10, 60.0, *player);
  harness.wait_for_pose_subscriber(*player);
  while (!labels.connected()) pause_for(0.05);
  pause_for(SETTLE_SECONDS);

  const std::size_t first = harness.probe().count();
  std::mt19937 random(15);
  std::uniform_real_distribution<double> gap(TRUTH_SHORTEST_GAP, TRUTH_LONGEST_GAP);
  const Location point = test_locations().front();
  for (; run.switches < harness.options().truth_switches; ++run.switches) {
    const Location& to = run.switches % 2 == 0 ? point : OUTSIDE;
    harness.publish_pose(to);
    pause_for(gap(random));
  }
  pause_for(SETTLE_SECONDS);
  stop(player);

  const auto frames = harness.probe().frames(first, harness.probe().count());
  const auto by_stamp = labels.by_stamp();
  const auto changes = labels.changes();
  auto change = changes.begin();
  std::string showing_at_arrival;
  for (const ArrivedFrame& frame : frames) {
    ++run.frames;
    for (; change != changes.end() && change->first <= frame.seconds; ++change) showing_at_arrival = change->second;
    if (clip_code_of(showing_at_arrival) != frame.clip_code) ++run.mislabelled_by_now_showing;
    const auto label = by_stamp.find(frame_label_key(frame.stamp));
    if (label == by_stamp.end()) continue;
    ++run.labelled;
    if (clip_code_of(label->second) != frame.clip_code) ++run.mislabelled;
  }
  return run;
}

void report_ground_truth(Report& report, const GroundTruthRun& run) {
  report.heading("10. Ground truth: which media each frame shows, told to a consumer in another process");
  report.line(format("   (%d changes of point %.0f to %.0f ms apart; frames matched to their ~frame_media label by header stamp,",
                     run.switches, TRUTH_SHORTEST_GAP * 1000, TRUTH_LONGEST_GAP * 1000));
  report.line("    and for comparison labelled with ~now_showing as it stood when each frame arrived)");
  report.line(format("   %-13s %llu frames, %llu labelled (%.2f %%): %llu mislabelled by their labels, %llu by ~now_showing;"
                     "  none mislabelled: %s",
                     run.format.label().c_str(), static_cast<unsigned long long>(run.frames),
                     static_cast<unsigned long long>(run.labelled),
                     run.frames ? 100.0 * static_cast<double>(run.labelled) / static_cast<double>(run.frames) : 0.0,
                     static_cast<unsigned long long>(run.mislabelled),
                     static_cast<unsigned long long>(run.mislabelled_by_now_showing),
                     verdict(run.mislabelled == 0 && run.labelled > 0).c_str()));
}

}  // namespace zel::bench
