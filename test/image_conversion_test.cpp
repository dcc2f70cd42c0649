// The frame slots that video playback decodes into: a message is reused only when no one else
// can see it change.
#include <gtest/gtest.h>

#include "zel_video_player/player/ros/image_conversion.h"

namespace zel {
namespace {

constexpr int WIDTH = 64;
constexpr int HEIGHT = 48;

sensor_msgs::ImagePtr sent_frame(const ImageConverter& converter, std::uint8_t value) {
  ImageConverter::FrameSlot slot = converter.frame_slot(WIDTH, HEIGHT);
  slot.pixels.setTo(cv::Scalar::all(value));
  EXPECT_TRUE(slot.holds_frame());
  return slot.message;
}

TEST(FrameSlot, ReusesThePreviousMessageOnlyWhenNothingElseHoldsItAndItFits) {
  const ImageConverter converter;

  sensor_msgs::ImagePtr alone = sent_frame(converter, 7);
  const sensor_msgs::Image* alone_address = alone.get();
  ImageConverter::FrameSlot reused = converter.frame_slot(WIDTH, HEIGHT, std::move(alone));
  EXPECT_EQ(reused.message.get(), alone_address);
  EXPECT_TRUE(reused.holds_frame());

  // An in-process subscriber still holding the last frame must see it unchanged.
  sensor_msgs::ImagePtr shared = sent_frame(converter, 7);
  const sensor_msgs::ImageConstPtr subscriber_copy = shared;
  ImageConverter::FrameSlot fresh = converter.frame_slot(WIDTH, HEIGHT, std::move(shared));
  EXPECT_NE(fresh.message.get(), subscriber_copy.get());
  fresh.pixels.setTo(cv::Scalar::all(200));
  EXPECT_EQ(subscriber_copy->data.front(), 7);
  EXPECT_EQ(subscriber_copy->data.back(), 7);

  // A clip of another size needs a message of its own size.
  ImageConverter::FrameSlot resized = converter.frame_slot(WIDTH * 2, HEIGHT, sent_frame(converter, 7));
  EXPECT_TRUE(resized.holds_frame());
  EXPECT_EQ(resized.message->width, static_cast<uint32_t>(WIDTH * 2));
  EXPECT_EQ(resized.message->data.size(), static_cast<std::size_t>(WIDTH * 2 * HEIGHT * 3));
}

}  // namespace
}  // namespace zel
