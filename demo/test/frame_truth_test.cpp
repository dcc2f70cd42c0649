#include "zel_video_player/demo/frame_truth.h"

#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include "zel_video_player/demo/camera_pairing.h"

namespace zel::demo {
namespace {

TEST(FrameTruth, CountsEachPairedResultForItsLabelsMediaAndTheRestAsLeftOut) {
  FrameTruth truth;
  for (int i = 0; i < 4; ++i) truth.frame_shown("empty.mp4");
  for (int i = 0; i < 4; ++i) truth.frame_shown("person.mp4");
  for (int i = 0; i < 5; ++i) truth.result_received();
  truth.result_paired("person.mp4", 2);
  truth.result_paired("person.mp4", 0);
  truth.result_paired("empty.mp4", 0);
  truth.result_paired("person.mp4", 1);

  const ScoreTable table = truth.table();
  ASSERT_EQ(table.media.size(), 2u);
  EXPECT_EQ(table.media[0].media, "empty.mp4") << "in the order first shown";
  EXPECT_EQ(table.media[1].frames, 4u);
  EXPECT_EQ(table.media[1].results, 3u);
  EXPECT_EQ(table.media[1].with_people, 2u);
  EXPECT_EQ(table.left_out, 1u);
  const std::string text = score_table_text(table, "/people_detect/found");
  EXPECT_NE(text.find("person.mp4         4         3            2          67 %"), std::string::npos) << text;
  EXPECT_NE(text.find("left out: 1 "), std::string::npos) << text;
  EXPECT_NE(score_table_text({{{"cat.jpg", 240, 0, 0}}, 0}, "found").find(" -\n"), std::string::npos)
      << "no share of no results";
}

// One frame of a made-up tour, and what of it reaches the tour.
struct Shown {
  std::string media;
  bool labelled;   // its label came (some are lost on the way)
  bool seen;       // the tour's subscriber took the image (others it dropped)
  std::optional<std::size_t> boxes;  // the detector's result, when it answered this frame
  bool viewed;     // and its picture
};

// Random tours, each stream in order but the four interleaved at random, as the tour's threads hear
// them, against what they should come to: every message paired with the label of its stamp.
TEST(CameraPairing, PairsFramesResultsAndPicturesWithTheirLabelsInAnyOrder) {
  const std::vector<std::string> media = {"empty.mp4", "person.mp4", "cat.jpg"};
  for (unsigned seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    const auto chance = [&](double p) { return std::bernoulli_distribution(p)(random); };
    const bool views = chance(0.5);
    std::vector<Shown> tour;
    for (std::size_t i = 0, run = 0; i < 200; ++i) {
      if (run-- == 0) run = std::uniform_int_distribution<std::size_t>(1, 40)(random);
      const std::string& showing = i == 0 || run == 0 ? media[random() % media.size()] : tour.back().media;
      std::optional<std::size_t> boxes;
      if (chance(0.4)) boxes = random() % 3;
      tour.push_back({showing, chance(0.95), chance(0.7), boxes, views && boxes && chance(0.6)});
    }
    const auto header = [](std::size_t i) {
      std_msgs::Header header;
      header.stamp = ros::Time(100 + i / 30, static_cast<std::uint32_t>(i % 30) * 33333333u);
      return header;
    };
    // The four streams, each in the player's order.
    std::vector<std::vector<std::size_t>> streams(4);
    for (std::size_t i = 0; i < tour.size(); ++i) {
      if (tour[i].labelled) streams[0].push_back(i);
      if (tour[i].seen) streams[1].push_back(i);
      if (tour[i].boxes) streams[2].push_back(i);
      if (tour[i].viewed) streams[3].push_back(i);
    }
    CameraPairing record;
    EXPECT_FALSE(record.has_labelled_frame());
    EXPECT_EQ(record.keep(views).caption, views ? "the player named no media; no detector picture counted"
                                                : "the player named no media");
    std::vector<std::size_t> next(4, 0);
    std::map<const sensor_msgs::Image*, std::size_t> frame_of;
    for (;;) {
      std::vector<std::size_t> open;
      for (std::size_t s = 0; s < 4; ++s) {
        if (next[s] < streams[s].size()) open.push_back(s);
      }
      if (open.empty()) break;
      const std::size_t s = open[random() % open.size()];
      const std::size_t i = streams[s][next[s]++];
      if (s == 0) {
        auto label = boost::make_shared<zel_video_player::FrameLabel>();
        label->header = header(i);
        label->media = tour[i].media;
        record.label(label);
      } else if (s == 2) {
        auto result = boost::make_shared<opencv_apps::RectArrayStamped>();
        result->header = header(i);
        result->rects.resize(*tour[i].boxes);
        record.detector_result(result);
      } else {
        auto image = boost::make_shared<sensor_msgs::Image>();
        image->header = header(i);
        frame_of[image.get()] = i;
        s == 1 ? record.frame(image) : record.detector_view(image);
      }
    }

    std::map<std::string, MediaScore> expected;
    std::size_t left_out = 0;
    std::optional<std::size_t> latest_frame;
    std::optional<std::size_t> latest_view;
    for (std::size_t i = 0; i < tour.size(); ++i) {
      const Shown& shown = tour[i];
      MediaScore& score = expected[shown.media];
      if (shown.labelled) ++score.frames;
      if (shown.boxes && !shown.labelled) ++left_out;
      if (shown.boxes && shown.labelled) ++score.results, score.with_people += *shown.boxes > 0;
      if (shown.seen && shown.labelled) latest_frame = i;
      if (shown.viewed && shown.labelled) latest_view = i;
    }
    const ScoreTable table = record.scores();
    EXPECT_EQ(table.left_out, left_out);
    for (const MediaScore& score : table.media) {
      EXPECT_EQ(score.frames, expected[score.media].frames) << score.media;
      EXPECT_EQ(score.results, expected[score.media].results) << score.media;
      EXPECT_EQ(score.with_people, expected[score.media].with_people) << score.media;
    }
    const CameraPairing::Kept kept = record.keep(views);
    ASSERT_EQ(record.has_labelled_frame(), latest_frame.has_value());
    if (latest_view) {
      EXPECT_EQ(frame_of.at(kept.frame.get()), *latest_view);
      EXPECT_EQ(kept.caption, detector_view_caption(tour[*latest_view].media, *tour[*latest_view].boxes));
    } else if (latest_frame) {
      EXPECT_EQ(frame_of.at(kept.frame.get()), *latest_frame);
      EXPECT_EQ(kept.caption, camera_frame_caption(tour[*latest_frame].media, views));
    }
  }
  EXPECT_EQ(detector_view_caption("cat.jpg", 1), "cat.jpg: 1 person found");
  EXPECT_EQ(detector_view_caption("cat.jpg", 0), "cat.jpg: no people found");
  EXPECT_EQ(camera_frame_caption("dog.mp4", true), "showing dog.mp4; no detector picture counted");
}

}  // namespace
}  // namespace zel::demo
