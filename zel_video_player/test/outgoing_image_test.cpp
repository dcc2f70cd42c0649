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

std::unique_ptr<OutgoingImage> sent_frame(std::uint8_t value, FrameBufferPtr spent = nullptr) {
  std::unique_ptr<OutgoingImage> frame = OutgoingImage::for_frame(WIDTH, HEIGHT, std::move(spent));
  frame->pixels.setTo(cv::Scalar::all(value));
  frame->frame_decoded();
  EXPECT_EQ(frame->pixels.data, frame->message()->data.data());
  return frame;
}

TEST(OutgoingImage, WritesOverTheMessageSentBeforeOnlyWhenNothingElseHoldsItAndItFits) {
  std::unique_ptr<OutgoingImage> alone = sent_frame(7);
  const sensor_msgs::Image* alone_address = alone->message().get();
  EXPECT_EQ(sent_frame(9, std::move(alone))->message().get(), alone_address);

  // An in-process subscriber still holding the last frame must see it unchanged.
  std::unique_ptr<OutgoingImage> shared = sent_frame(7);
  const sensor_msgs::ImageConstPtr subscriber_copy = shared->message();
  std::unique_ptr<OutgoingImage> fresh = sent_frame(200, std::move(shared));
  EXPECT_NE(fresh->message().get(), subscriber_copy.get());
  EXPECT_EQ(subscriber_copy->data.front(), 7);
  EXPECT_EQ(subscriber_copy->data.back(), 7);

  // A clip of another size needs a message of its own size.
  std::unique_ptr<OutgoingImage> resized = OutgoingImage::for_frame(WIDTH * 2, HEIGHT, sent_frame(7));
  EXPECT_EQ(resized->message()->width, static_cast<uint32_t>(WIDTH * 2));
  EXPECT_EQ(resized->message()->data.size(), static_cast<std::size_t>(WIDTH * 2 * HEIGHT * 3));
  EXPECT_EQ(resized->pixels.data, resized->message()->data.data());

  // A frame the decoder had to put elsewhere goes out as it was decoded.
  std::unique_ptr<OutgoingImage> moved = OutgoingImage::for_frame(WIDTH, HEIGHT, nullptr);
  moved->pixels = cv::Mat(HEIGHT / 2, WIDTH / 2, CV_8UC3, cv::Scalar::all(5));
  moved->frame_decoded();
  EXPECT_EQ(moved->message()->width, static_cast<uint32_t>(WIDTH / 2));
  EXPECT_EQ(moved->message()->data.front(), 5);

  // Decoded straight into its bytes, a frame reads back as the very image its message would be.
  std::unique_ptr<OutgoingImage> on_wire = OutgoingImage::for_frame(WIDTH, HEIGHT, std::move(moved), true);
  EXPECT_FALSE(on_wire->message());
  on_wire->pixels.setTo(cv::Scalar(1, 2, 3));
  on_wire->frame_decoded();
  ASSERT_FALSE(on_wire->message());
  const ros::SerializedMessage& bytes = on_wire->bytes();
  sensor_msgs::Image read_back;
  ros::serialization::IStream stream(bytes.message_start, static_cast<std::uint32_t>(bytes.num_bytes - 4));
  ros::serialization::deserialize(stream, read_back);
  EXPECT_EQ(read_back, *image_message(cv::Mat(HEIGHT, WIDTH, CV_8UC3, cv::Scalar(1, 2, 3))));

  FrameBuffer foreign;
  EXPECT_THROW(OutgoingImage::of(foreign), std::logic_error);
}

sensor_msgs::Image read_back(const ros::SerializedMessage& bytes) {
  sensor_msgs::Image image;
  ros::serialization::IStream stream(bytes.message_start, static_cast<std::uint32_t>(bytes.num_bytes - 4));
  ros::serialization::deserialize(stream, image);
  return image;
}

TEST(OutgoingImage, StampsEachPublicationWithoutChangingWhatOthersHold) {
  const ros::Time first(100, 1), second(100, 33'333'334);

  std::unique_ptr<OutgoingImage> on_wire = OutgoingImage::for_frame(WIDTH, HEIGHT, nullptr, true);
  on_wire->pixels.setTo(cv::Scalar(1, 2, 3));
  on_wire->frame_decoded();
  on_wire->stamp(first);
  EXPECT_EQ(read_back(on_wire->bytes()).header.stamp, first);

  // A still sent again: its last message is held in this process, its last bytes by a connection.
  OutgoingImage still(cv::Mat(HEIGHT, WIDTH, CV_8UC3, cv::Scalar(9, 8, 7)));
  still.stamp(first);
  const sensor_msgs::ImageConstPtr held_message = still.message();
  const ros::SerializedMessage held_bytes = still.bytes();
  still.stamp(second);
  EXPECT_EQ(held_message->header.stamp, first);
  EXPECT_EQ(read_back(held_bytes).header.stamp, first);
  EXPECT_EQ(still.message()->header.stamp, second);
  const sensor_msgs::Image sent_again = read_back(still.bytes());
  EXPECT_EQ(sent_again.header.stamp, second);
  EXPECT_EQ(sent_again.data, held_message->data);
  EXPECT_EQ(still.pixels.data, still.message()->data.data());
}

}  // namespace
}  // namespace zel
