#include "zel_video_player/demo/detector_score.h"

#include <cmath>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace zel::demo {
namespace {

constexpr double DELAY = 0.5;

// Labels every quarter second (exact in binary, so the edges of each window are met exactly).
void show(DetectorScore& score, const std::string& media, double from, double to) {
  for (double time = from; time <= to; time += 0.25) score.frame_shown(time, media);
}

const MediaScore& row(const ScoreTable& table, const std::string& media) {
  for (const auto& score : table.media) {
    if (score.media == media) return score;
  }
  throw std::out_of_range(media + " is not in the table");
}

// empty until 2, person from 2.25, cat from 5.25, person again from 7.25 to the last label at 8.5.
// The results all come before the labels that cover them, as they may from another thread.
TEST(DetectorScore, CountsAResultOnlyForTheMediaShownThroughoutTheDelayBeforeIt) {
  DetectorScore score(DELAY);
  const std::vector<std::pair<double, std::size_t>> results{
      {0.25, 0},  // left out: the labels begin at 0
      {0.5, 0},   // empty, shown from exactly the delay before
      {2.25, 3},  // left out: person began at this very arrival
      {2.5, 2},   // left out: person began within the delay
      {2.75, 2},  // person, shown from exactly the delay before
      {4.0, 1},   // person
      {4.5, 0},   // person
      {5.5, 4},   // left out, though person was shown at the window's start
      {5.6875, 0},  // left out: cat began only just within the delay
      {6.0, 0},   // cat
      {7.5, 1},   // left out: person again, but only since 7.25
      {8.25, 1},  // person
      {8.75, 0},  // left out: after the last label a change may still be on its way
  };
  for (const auto& [arrival, boxes] : results) score.result(arrival, boxes);
  show(score, "empty.mp4", 0.0, 2.0);
  show(score, "person.mp4", 2.25, 5.0);
  show(score, "cat.jpg", 5.25, 7.0);
  show(score, "person.mp4", 7.25, 8.5);

  const ScoreTable table = score.table();
  ASSERT_EQ(table.media.size(), 3u);
  EXPECT_EQ(table.media[0].media, "empty.mp4") << "in the order first shown";
  const std::vector<std::tuple<std::string, std::size_t, std::size_t, std::size_t>> expected{
      {"empty.mp4", 9, 1, 0}, {"person.mp4", 18, 4, 3}, {"cat.jpg", 8, 1, 0}};
  for (const auto& [media, frames, counted, with_people] : expected) {
    EXPECT_EQ(row(table, media).frames, frames) << media;
    EXPECT_EQ(row(table, media).results, counted) << media;
    EXPECT_EQ(row(table, media).with_people, with_people) << media;
  }
  EXPECT_EQ(table.left_out, 7u);
  EXPECT_EQ(score.media_throughout(4.0), "person.mp4");
  EXPECT_FALSE(score.media_throughout(5.5));

  const std::string text = score_table_text(table, "/people_detect/found");
  EXPECT_NE(text.find("75 %"), std::string::npos) << text;
  EXPECT_NE(text.find("left out: 7 "), std::string::npos) << text;
}

TEST(DetectorScore, MediaWithoutResultsAndTheBoxesOfOneResult) {
  DetectorScore score(DELAY);
  show(score, "dog1.jpg", 0.0, 2.0);
  score.result(1.0, 2);
  score.result(1.3, 5);
  const ScoreTable table = score.table();
  EXPECT_EQ(table.media[0].results, 2u);
  EXPECT_NE(score_table_text({{{"cat.jpg", 240, 0, 0}}, 0, DELAY}, "found").find(" -\n"), std::string::npos)
      << "no share of no results";
  EXPECT_EQ(score.boxes_near(1.28, 0.3), 5u) << "the nearest result, not the first within reach";
  EXPECT_FALSE(score.boxes_near(1.15, 0.1));
}

TEST(DetectorScore, RefusesWhatWouldMakeTheAttributionMeaningless) {
  EXPECT_THROW(DetectorScore(0.0), std::invalid_argument);
  EXPECT_THROW(DetectorScore(std::nan("")), std::invalid_argument);
  DetectorScore score(DELAY);
  score.frame_shown(2.0, "cat.jpg");
  EXPECT_THROW(score.frame_shown(1.0, "dog.mp4"), std::invalid_argument);
}

}  // namespace
}  // namespace zel::demo
