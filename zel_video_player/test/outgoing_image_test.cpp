// The buffers that video playback decodes into: a message is written over only when no one else
// can see it change.
#include <gtest/gtest.h>

#include <ros/serialization.h>
#include <sensor_msgs/image_encodings.h>

#include "zel_video_player/player/ros/image_conversion.h"
#include "zel_video_player/player/ros/outgoing_image.h"

namespace zel {
namespace {

constexpr int WIDTH = 64;
constexpr int HEIGHT = 48;

// Decodes a frame of `value` into `image`, as playback does, and tells its message.
sensor_msgs::ImageConstPtr send_frame(OutgoingImage& image, std::uint8_t value, int width = WIDTH) {
  cv::Mat pixels = image.prepare_frame(width, HEIGHT, false);
  pixels.setTo(cv::Scalar::all(value));
  image.frame_decoded(pixels);
  EXPECT_EQ(pixels.data, image.message()->data.data());
  return image.message();
}

sensor_msgs::Image read_back(const ros::SerializedMessage& bytes) {
  sensor_msgs::Image image;
  ros::serialization::IStream stream(bytes.message_start, static_cast<std::uint32_t>(bytes.num_bytes - 4));
  ros::serialization::deserialize(stream, image);
  return image;
}

TEST(OutgoingImage, WritesOverTheMessageSentBeforeOnlyWhenNothingElseHoldsItAndItFits) {
  OutgoingImage image;
  const sensor_msgs::Image* alone_address = send_frame(image, 7).get();
  EXPECT_EQ(send_frame(image, 9).get(), alone_address);

  // An in-process subscriber still holding the last frame must see it unchanged.
  const sensor_msgs::ImageConstPtr subscriber_copy = send_frame(image, 7);
  EXPECT_NE(send_frame(image, 200).get(), subscriber_copy.get());
  EXPECT_EQ(subscriber_copy->data.front(), 7);
  EXPECT_EQ(subscriber_copy->data.back(), 7);

  // A clip of another size needs a message of its own size.
  const sensor_msgs::ImageConstPtr resized = send_frame(image, 7, WIDTH * 2);
  EXPECT_EQ(resized->width, static_cast<uint32_t>(WIDTH * 2));
  EXPECT_EQ(resized->data.size(), static_cast<std::size_t>(WIDTH * 2 * HEIGHT * 3));

  // A frame the decoder had to put elsewhere goes out as it was decoded.
  image.prepare_frame(WIDTH, HEIGHT, false);
  image.frame_decoded(cv::Mat(HEIGHT / 2, WIDTH / 2, CV_8UC3, cv::Scalar::all(5)));
  EXPECT_EQ(image.message()->width, static_cast<uint32_t>(WIDTH / 2));
  EXPECT_EQ(image.message()->data.front(), 5);
  EXPECT_EQ(image.width(), WIDTH / 2);

  // Decoded straight into its bytes, a frame reads back as the very image its message would be.
  cv::Mat on_wire = image.prepare_frame(WIDTH, HEIGHT, true);
  EXPECT_FALSE(image.message());
  on_wire.setTo(cv::Scalar(1, 2, 3));
  image.frame_decoded(on_wire);
  ASSERT_FALSE(image.message());
  EXPECT_EQ(read_back(image.bytes()), *image_message(cv::Mat(HEIGHT, WIDTH, CV_8UC3, cv::Scalar(1, 2, 3))));

  // One that had to go elsewhere leaves its bytes and goes out as a message.
  image.prepare_frame(WIDTH, HEIGHT, true);
  image.frame_decoded(cv::Mat(HEIGHT, WIDTH, CV_8UC3, cv::Scalar::all(4)));
  ASSERT_TRUE(image.message());
  EXPECT_EQ(image.message()->data.back(), 4);
  EXPECT_FALSE(image.bytes().buf);
  image.make_bytes();
  EXPECT_EQ(read_back(image.bytes()), *image.message());
}

TEST(OutgoingImage, StampsEachPublicationWithoutChangingWhatOthersHold) {
  const ros::Time first(100, 1), second(100, 33'333'334);

  OutgoingImage frame;
  cv::Mat on_wire = frame.prepare_frame(WIDTH, HEIGHT, true);
  on_wire.setTo(cv::Scalar(1, 2, 3));
  frame.frame_decoded(on_wire);
  frame.stamp(first);
  EXPECT_EQ(read_back(frame.bytes()).header.stamp, first);

  // A still sent again: its last message is held in this process, its last bytes by a connection.
  OutgoingImage still(cv::Mat(HEIGHT, WIDTH, CV_8UC3, cv::Scalar(9, 8, 7)));
  still.stamp(first);
  const sensor_msgs::ImageConstPtr held_message = still.message();
  still.make_bytes();
  const ros::SerializedMessage held_bytes = still.bytes();
  still.stamp(second);
  EXPECT_EQ(held_message->header.stamp, first);
  EXPECT_EQ(read_back(held_bytes).header.stamp, first);
  EXPECT_EQ(still.message()->header.stamp, second);
  const sensor_msgs::Image sent_again = read_back(still.bytes());
  EXPECT_EQ(sent_again.header.stamp, second);
  EXPECT_EQ(sent_again.data, held_message->data);
}

}  // namespace
}  // namespace zel
