#pragma once

#include <diagnostic_msgs/DiagnosticArray.h>
#include <diagnostic_msgs/KeyValue.h>
#include <gtest/gtest.h>
#include <ros/ros.h>

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "media.h"
#include "zel_video_player/player/ros/names.h"
#include "zel_video_player/player/ros/now_showing_conversion.h"

namespace zel::testing {

// Every message that arrives on a topic, kept in order of arrival.
template <class Message>
class Recorder {
 public:
  explicit Recorder(const std::string& topic) {
    subscriber_ = ros::NodeHandle().subscribe<Message>(topic, 1000, &Recorder::on_message, this);
  }

  std::vector<Message> messages() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }

  // Waits until the messages so far satisfy `condition`; false on timeout.
  bool wait_until(const std::function<bool(const std::vector<Message>&)>& condition, double seconds) const {
    const ros::WallTime deadline = ros::WallTime::now() + ros::WallDuration(seconds);
    while (ros::WallTime::now() < deadline) {
      if (condition(messages())) return true;
      ros::WallDuration(0.01).sleep();
    }
    return condition(messages());
  }

 private:
  void on_message(const typename Message::ConstPtr& message) {
    const std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(*message);
  }

  mutable std::mutex mutex_;
  std::vector<Message> messages_;
  ros::Subscriber subscriber_;
};

inline const diagnostic_msgs::DiagnosticStatus* find_status(const diagnostic_msgs::DiagnosticArray& array,
                                                            const std::string& name) {
  for (const auto& status : array.status) {
    if (status.name == name) return &status;
  }
  return nullptr;
}

inline std::map<std::string, std::string> values_of(const diagnostic_msgs::DiagnosticStatus& status) {
  std::map<std::string, std::string> values;
  for (const auto& pair : status.values) values[pair.key] = pair.value;
  return values;
}

// Whether the last diagnostics of `got` hold an entry `name` that passes `check`.
inline bool last_status_is(const std::vector<diagnostic_msgs::DiagnosticArray>& got, const std::string& name,
                           const std::function<bool(const diagnostic_msgs::DiagnosticStatus&)>& check) {
  if (got.empty()) return false;
  const auto* status = find_status(got.back(), name);
  return status && check(*status);
}

// What the player's labels on ~frame_media say of each frame, found by the stamp the frame carries
// and a detector copies into its results.
class FrameLabels {
 public:
  struct Label {
    std::string media;  // the file, as "cat.mp4"
    int clip_code;      // the test media's code for it
  };

  explicit FrameLabels(const std::string& node_name = NODE_NAME)
      : labels_("/" + node_name + "/" + FRAME_MEDIA_TOPIC) {}

  bool wait_for_any(double seconds) const {
    return labels_.wait_until([](const auto& got) { return !got.empty(); }, seconds);
  }

  // The label of the frame stamped `stamp`, among those received so far; none when none names it.
  // A stamp labelled twice fails the test.
  std::optional<Label> of(const ros::Time& stamp) const {
    std::map<std::string, std::string> media_of;
    for (const auto& label : labels_.messages()) {
      EXPECT_TRUE(media_of.emplace(label.key, label.value).second) << "two frames stamped " << label.key;
    }
    const auto label = media_of.find(frame_label_key(stamp));
    if (label == media_of.end()) return std::nullopt;
    return Label{label->second, clip_code_of(label->second.substr(0, label->second.find('.')))};
  }

 private:
  Recorder<diagnostic_msgs::KeyValue> labels_;
};

}  // namespace zel::testing
