// The compressed transport as ROS programs use it: loaded by pluginlib under the names
// image_transport looks up, pictures out through image_transport's Publisher and back through its
// republish tool.
#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <chrono>
#include <mutex>
#include <thread>

#include <image_transport/image_transport.h>
#include <image_transport/publisher_plugin.h>
#include <image_transport/subscriber_plugin.h>
#include <ros/master.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <pluginlib/class_loader.hpp>
#include <sensor_msgs/CompressedImage.h>

#include "support/build_plugins.h"
#include "support/ros_session.h"
#include "support/timing.h"
#include "zel_video_player/player/ros/names.h"
#include "zel_video_player/player/ros/image_conversion.h"
#include "zel_video_player/player/ros/other_transports.h"

namespace zel::testing {
namespace {

// Every message that arrives, as the pointer it came in.
template <class Message>
class PointerRecorder {
 public:
  explicit PointerRecorder(const std::string& topic)
      : subscriber_(ros::NodeHandle().subscribe<Message>(topic, 100, [this](const typename Message::ConstPtr& got) {
          const std::lock_guard<std::mutex> lock(mutex_);
          messages_.push_back(got);
        })) {}
  bool wait_for_count(std::size_t count) const {
    return wait_until(5.0 * TIMING_SLACK, [&] { return messages().size() >= count; });
  }
  std::vector<typename Message::ConstPtr> messages() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<typename Message::ConstPtr> messages_;
  ros::Subscriber subscriber_;
};

cv::Mat gradient(std::uint8_t blue) {
  cv::Mat picture(48, 64, CV_8UC3);
  // Row by row: forEach's worker threads would hide their handover from the thread sanitizer.
  for (int row = 0; row < picture.rows; ++row) {
    for (int col = 0; col < picture.cols; ++col) picture.at<cv::Vec3b>(row, col) = cv::Vec3b(blue, col * 3, 250 - row);
  }
  return picture;
}

sensor_msgs::ImagePtr message_of(const cv::Mat& bgr) {
  const sensor_msgs::ImagePtr image = image_message(bgr);
  image->header.stamp = ros::Time(1234, 5678);
  image->header.frame_id = "camera";
  return image;
}

// How far a picture is from `expected`: its largest difference, or with `mean` its mean one.
double difference(const cv::Mat& got, const cv::Mat& expected, bool mean = false) {
  if (got.size() != expected.size()) return 255;
  cv::Mat difference;
  cv::absdiff(got, expected, difference);
  const cv::Scalar means = cv::mean(difference);
  return mean ? (means[0] + means[1] + means[2]) / 3.0 : cv::norm(difference, cv::NORM_INF);
}

cv::Mat decoded(const sensor_msgs::CompressedImage& message) { return cv::imdecode(message.data, cv::IMREAD_COLOR); }

class CompressedTransportTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    start_ros_session("compressed_transport_test");
    find_plugins_in_this_build();
  }

  // A Publisher of image_transport on `topic`, once its compressed topic has a subscriber.
  image_transport::Publisher advertise(const std::string& topic, const std::string& format = "") {
    if (!format.empty()) ros::param::set(topic + "/compressed/format", format);
    image_transport::Publisher publisher = transports_.advertise(topic, 10);
    EXPECT_TRUE(wait_until(5.0 * TIMING_SLACK, [&] { return publisher.getNumSubscribers() > 0; }));
    return publisher;
  }

  ros::NodeHandle node_;
  image_transport::ImageTransport transports_{node_};
};

TEST_F(CompressedTransportTest, PluginsLoadUnderTheNamesImageTransportLooksUp) {
  pluginlib::ClassLoader<image_transport::PublisherPlugin> publishers("image_transport",
                                                                      "image_transport::PublisherPlugin");
  pluginlib::ClassLoader<image_transport::SubscriberPlugin> subscribers("image_transport",
                                                                        "image_transport::SubscriberPlugin");
  EXPECT_EQ(publishers.createInstance("image_transport/compressed_pub")->getTransportName(), "compressed");
  EXPECT_EQ(subscribers.createInstance("image_transport/compressed_sub")->getTransportName(), "compressed");
}

// Published by pointer and, as image_transport does for one new subscriber, by reference; a picture
// that cannot be encoded is skipped.
TEST_F(CompressedTransportTest, PicturesArriveOnTheCompressedTopicAndDecodeBack) {
  for (const std::string format : {"jpeg", "png"}) {
    SCOPED_TRACE(format);
    const std::string topic = "/" + format + "/image";
    PointerRecorder<sensor_msgs::CompressedImage> received(topic + "/compressed");
    const image_transport::Publisher publisher = advertise(topic, format);
    const auto floats = message_of(gradient(2));
    floats->encoding = "32FC1";
    publisher.publish(floats);
    publisher.publish(message_of(gradient(40)));
    publisher.publish(*message_of(gradient(40)));
    ASSERT_TRUE(received.wait_for_count(2));
    for (const auto& message : received.messages()) {
      EXPECT_EQ(message->format, "bgr8; " + format + " compressed bgr8");
      EXPECT_EQ(message->header.stamp, ros::Time(1234, 5678));
      EXPECT_EQ(message->header.frame_id, "camera");
      EXPECT_LE(difference(decoded(*message), gradient(40), format == "jpeg"), format == "jpeg" ? 3.0 : 0.0);
    }
  }
}

// A still is one picture sent for seconds: it is encoded once, and the compressed data sent again
// is the same, until another picture or other settings come.
TEST_F(CompressedTransportTest, AStillIsEncodedOnceUntilTheImageOrTheSettingsChange) {
  PointerRecorder<sensor_msgs::CompressedImage> received("/still/image/compressed");
  const image_transport::Publisher publisher = advertise("/still/image", "png");
  sensor_msgs::ImageConstPtr still = message_of(gradient(10));
  for (int i = 0; i < 3; ++i) publisher.publish(still);
  ASSERT_TRUE(received.wait_for_count(3));
  auto messages = received.messages();
  EXPECT_EQ(messages[1], messages[0]);
  EXPECT_EQ(messages[2], messages[0]);
  // The same picture published again as a frame of its own carries its own stamp.
  const auto restamped = boost::make_shared<sensor_msgs::Image>(*still);
  restamped->header.stamp += ros::Duration(1.0 / 30);
  publisher.publish(restamped);
  ASSERT_TRUE(received.wait_for_count(4));
  EXPECT_EQ(received.messages()[3]->header, restamped->header);
  EXPECT_EQ(received.messages()[3]->data, messages[0]->data);

  // The plugin holds the still, so the next message cannot take its address and be mistaken for it.
  still.reset();
  publisher.publish(message_of(gradient(250)));
  ASSERT_TRUE(received.wait_for_count(5));
  EXPECT_EQ(difference(decoded(*received.messages()[4]), gradient(250)), 0.0);

  const sensor_msgs::ImageConstPtr next = message_of(gradient(90));
  publisher.publish(next);
  ros::param::set("/still/image/compressed/format", "jpeg");
  ros::WallDuration(1.2).sleep();
  publisher.publish(next);
  ASSERT_TRUE(received.wait_for_count(7));
  messages = received.messages();
  EXPECT_EQ(messages[5]->format, "bgr8; png compressed bgr8");
  EXPECT_EQ(messages[6]->format, "bgr8; jpeg compressed bgr8");
}

// republish decodes with the subscriber plugin in a process of its own, across the wire.
TEST_F(CompressedTransportTest, RepublishTurnsTheCompressedTopicBackIntoImages) {
  if (!std::filesystem::exists(ZEL_REPUBLISH)) GTEST_SKIP() << "no republish: install image-transport-tools";
  // Debian's republish, built without a sanitizer, cannot load a sanitizer's build of the plugin.
  if (ZEL_SANITIZED) GTEST_SKIP() << "republish cannot load a sanitized plugin";
  const TempDir scratch;
  Process republish({ZEL_REPUBLISH, "compressed", "in:=/wire/image", "raw", "out:=/wire/raw"}, {}, scratch.path());
  ImageRecorder raw("/wire/raw");
  const image_transport::Publisher publisher = advertise("/wire/image", "png");
  // The republished topic's own subscription may connect after the first picture has gone.
  ASSERT_TRUE(wait_until(10.0 * TIMING_SLACK, [&] {
    publisher.publish(message_of(gradient(120)));
    return raw.wait_for_count(1, 0.2);
  })) << republish.err();
  const sensor_msgs::Image& back = *raw.images().front();
  EXPECT_EQ(back.encoding, "bgr8");
  EXPECT_EQ(back.header.stamp, ros::Time(1234, 5678));
  EXPECT_EQ(difference(cv::Mat(48, 64, CV_8UC3, const_cast<std::uint8_t*>(back.data.data()), back.step), gradient(120)), 0.0);
  republish.signal(SIGINT);
  EXPECT_TRUE(republish.wait_for(std::chrono::seconds(10)).has_value());
}

// The player keeps image_transport from publishing its raw frames only while it advertises: a
// publisher that comes later on the topic publishes raw, and a value the user set is as it was.
TEST_F(CompressedTransportTest, TheNodeLeavesRawOutOnlyWhileItAdvertises) {
  const std::string topic = "/left_out/image";
  const std::string parameter = topic + "/disable_pub_plugins";
  const auto advertised = [](const std::string& name) {
    ros::master::V_TopicInfo topics;
    ros::master::getTopics(topics);
    return std::any_of(topics.begin(), topics.end(), [&](const auto& info) { return info.name == name; });
  };
  for (const std::vector<std::string>& users_value : {std::vector<std::string>{}, {"image_transport/theora"}}) {
    if (!users_value.empty()) ros::param::set(parameter, users_value);
    {
      const OtherTransports transports(ros::NodeHandle("", {{IMAGE_TOPIC, topic}}), "");
      EXPECT_TRUE(advertised(topic + "/compressed"));
      EXPECT_FALSE(advertised(topic)) << "raw frames go out through the player's own publication only";
    }
    const image_transport::Publisher later = transports_.advertise(topic, 1);
    EXPECT_TRUE(advertised(topic));
    std::vector<std::string> value;
    EXPECT_EQ(ros::param::get(parameter, value), !users_value.empty());
    EXPECT_EQ(value, users_value);
  }
}

// The node's other transports encode on a thread of their own: a slow encoding (PNG at 1080p takes
// over a second here) costs the compressed topic frames, never the thread that plays, and the
// subscriber gets the latest frame.
TEST_F(CompressedTransportTest, TheNodesEncoderThreadNeverHoldsThePlayerBack) {
  ros::param::set("/camera/image/compressed/format", "png");
  PointerRecorder<sensor_msgs::CompressedImage> received("/camera/image/compressed");
  OtherTransports transports{ros::NodeHandle(), ""};
  ASSERT_TRUE(wait_until(5.0 * TIMING_SLACK, [&] { return transports.wanted(); }));
  cv::Mat large;
  cv::resize(gradient(0), large, cv::Size(1920, 1080));
  cv::randu(large, cv::Scalar::all(0), cv::Scalar::all(255));
  std::vector<sensor_msgs::ImagePtr> frames;
  for (int i = 0; i < 30; ++i) {
    frames.push_back(message_of(large));
    frames.back()->header.seq = static_cast<std::uint32_t>(i);
  }
  const auto began = std::chrono::steady_clock::now();
  for (const auto& frame : frames) {
    transports.offer(frame);
    std::this_thread::sleep_for(std::chrono::milliseconds(33));
  }
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count(), 3.0 * TIMING_SLACK);
  ASSERT_TRUE(wait_until(20.0 * TIMING_SLACK, [&] {
    const auto got = received.messages();
    return !got.empty() && got.back()->header.seq == 29;
  }));
  EXPECT_LT(received.messages().size(), frames.size()) << "a slow encoder only misses frames";
}

}  // namespace
}  // namespace zel::testing
