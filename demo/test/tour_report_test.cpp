#include "zel_video_player/demo/tour_report.h"

#include <limits>

#include <gtest/gtest.h>

namespace zel::demo {
namespace {

TEST(FrameLabels, TheKeyNamesAFrameOrNothing) {
  EXPECT_EQ(frame_label_seq("0"), 0u);
  EXPECT_EQ(frame_label_seq("4294967295"), std::numeric_limits<std::uint32_t>::max());
  for (const char* key : {"4294967296", "-1", "", "seven", "12abc"}) EXPECT_FALSE(frame_label_seq(key)) << key;
}

}  // namespace
}  // namespace zel::demo
