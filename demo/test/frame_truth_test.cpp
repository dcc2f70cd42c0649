#include "zel_video_player/demo/frame_truth.h"

#include <memory>

#include <string>

#include <gtest/gtest.h>
#include <ros/time.h>

#include "zel_video_player/demo/camera_record.h"
#include "zel_video_player/player/ros/now_showing_conversion.h"

namespace zel::demo {
namespace {

TEST(FrameTruth, ReadsTheStampOfEveryKeyThePlayerWritesAndNothingElse) {
  for (const ros::Time stamp : {ros::Time(0, 0), ros::Time(12, 33333333), ros::Time(4294967295u, 999999999)}) {
    EXPECT_EQ(frame_label_stamp(frame_label_key(stamp)), stamp.toNSec()) << stamp;
  }
  for (const char* key : {"12", "1.5", "-1.000000000", "+1.000000000", "1.0000000001", "4294967296.000000000",
                          " 1.000000000", "1.00000000a", ".000000000", ""}) {
    EXPECT_FALSE(frame_label_stamp(key)) << key;
  }
}

// Stamps 1 to 4 show empty.mp4, 5 to 8 person.mp4; results come before their labels and after.
TEST(FrameTruth, CountsEachResultForTheMediaOfTheFrameItsStampNames) {
  FrameTruth truth;
  truth.result(6, 2);  // before its label
  for (FrameStamp stamp = 1; stamp <= 8; ++stamp) truth.frame_shown(stamp, stamp <= 4 ? "empty.mp4" : "person.mp4");
  truth.frame_shown(8, "person.mp4");  // a repeat is no second frame
  truth.result(2, 0);
  truth.result(7, 1);
  truth.result(7, 0);  // one frame answered twice
  truth.result(8, 0);
  truth.result(42, 3);  // no frame of the player's

  const ScoreTable table = truth.table();
  ASSERT_EQ(table.media.size(), 2u);
  EXPECT_EQ(table.media[0].media, "empty.mp4") << "in the order first shown";
  EXPECT_EQ(table.media[0].frames, 4u);
  EXPECT_EQ(table.media[0].results, 1u);
  EXPECT_EQ(table.media[0].with_people, 0u);
  EXPECT_EQ(table.media[1].frames, 4u);
  EXPECT_EQ(table.media[1].results, 4u);
  EXPECT_EQ(table.media[1].with_people, 2u);
  EXPECT_EQ(table.left_out, 1u);
  EXPECT_EQ(truth.media_of(6), "person.mp4");
  EXPECT_EQ(truth.boxes_of(6), 2u);
  EXPECT_FALSE(truth.boxes_of(5));

  const std::string text = score_table_text(table, "/people_detect/found");
  EXPECT_NE(text.find("person.mp4         4         4            2          50 %"), std::string::npos) << text;
  EXPECT_NE(text.find("left out: 1 "), std::string::npos) << text;
  EXPECT_NE(score_table_text({{{"cat.jpg", 240, 0, 0}}, 0}, "found").find(" -\n"), std::string::npos)
      << "no share of no results";
}

TEST(FrameTruth, ForgetsTheOldestLabelsAndResults) {
  FrameTruth truth(3);
  for (FrameStamp stamp = 1; stamp <= 5; ++stamp) truth.frame_shown(stamp, "dog.mp4");
  EXPECT_FALSE(truth.media_of(2));
  EXPECT_EQ(truth.media_of(3), "dog.mp4");
  truth.result(2, 1);  // its label forgotten: left out
  truth.result(5, 1);
  truth.result(20, 1);
  truth.result(21, 1);  // 2 goes, never counted
  truth.result(22, 1);  // 5 goes, counted
  truth.frame_shown(20, "dog.mp4");
  const ScoreTable table = truth.table();
  EXPECT_EQ(table.media[0].frames, 6u);
  EXPECT_EQ(table.media[0].results, 2u);
  EXPECT_EQ(table.left_out, 3u) << "2, and 21 and 22 still without a label";
  EXPECT_FALSE(truth.boxes_of(5));
}

TEST(FrameTruth, KeepsTheLatestFrameWhoseLabelCameInEitherOrder) {
  FrameTruth truth;
  LatestLabelled<int> frames(2);
  frames.frame(1, 10, truth);
  EXPECT_FALSE(frames.latest());
  truth.frame_shown(3, "cat.jpg");
  frames.frame(3, 30, truth);  // after its label
  ASSERT_TRUE(frames.latest());
  EXPECT_EQ(frames.latest()->frame, 30);
  EXPECT_EQ(frames.latest()->media, "cat.jpg");
  frames.label(1, "dog.mp4");
  truth.frame_shown(2, "dog.mp4");
  frames.frame(2, 20, truth);
  EXPECT_EQ(frames.latest()->frame, 30) << "no older frame after a newer one";

  frames.frame(4, 40, truth);
  frames.frame(5, 50, truth);
  frames.frame(6, 60, truth);  // 4 no longer waits
  frames.label(4, "dog.mp4");
  EXPECT_EQ(frames.latest()->frame, 30);
  frames.label(6, "person.mp4");  // before the label of 5, which is then too late
  frames.label(5, "person.mp4");
  EXPECT_EQ(frames.latest()->stamp, 6u);
  EXPECT_EQ(frames.latest()->media, "person.mp4");
}

// The player's labels, keyed as it keys them, pair the camera's frames, the detector's pictures and
// its results alike; a key of another form pairs nothing.
TEST(CameraRecord, PairsFramesPicturesAndResultsWithTheLabelsThePlayerWrites) {
  using Frame = std::shared_ptr<const int>;
  CameraRecord<Frame> record(2);
  const ros::Time first(12, 33333333);
  const ros::Time second(12, 66666666);
  EXPECT_EQ(record.keep(false).caption, "the player named no media");
  EXPECT_FALSE(record.keep(false).frame);

  record.frame(first.toNSec(), std::make_shared<const int>(1));
  EXPECT_FALSE(record.label("12.33333333", "dog.mp4")) << "not the player's form of that stamp";
  EXPECT_FALSE(record.has_labelled_frame());
  EXPECT_TRUE(record.label(frame_label_key(first), "dog.mp4"));
  ASSERT_TRUE(record.has_labelled_frame());
  EXPECT_EQ(*record.keep(false).frame, 1);
  EXPECT_EQ(record.keep(false).caption, "showing dog.mp4");
  EXPECT_EQ(record.keep(true).caption, "showing dog.mp4; no detector picture counted");

  record.detector_result(second.toNSec(), 2);  // before its label
  record.detector_view(second.toNSec(), std::make_shared<const int>(2));
  EXPECT_EQ(*record.keep(true).frame, 1) << "no picture before its label";
  EXPECT_TRUE(record.label(frame_label_key(second), "person.mp4"));
  EXPECT_EQ(*record.keep(true).frame, 2);
  EXPECT_EQ(record.keep(true).caption, "person.mp4: 2 people found");
  const ScoreTable scores = record.scores();
  ASSERT_EQ(scores.media.size(), 2u);
  EXPECT_EQ(scores.media[1].with_people, 1u);
  EXPECT_EQ(scores.left_out, 0u);

  EXPECT_EQ(detector_view_caption("cat.jpg", 1), "cat.jpg: 1 person found");
  EXPECT_EQ(detector_view_caption("cat.jpg", 0), "cat.jpg: no people found");
  EXPECT_EQ(detector_view_caption("cat.jpg", std::nullopt), "cat.jpg: its result missing");
}

}  // namespace
}  // namespace zel::demo
