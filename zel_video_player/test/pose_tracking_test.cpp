#include "zel_video_player/player/pose_tracking.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "zel_video_player/text/formatting.h"
#include "zel_video_player/world/world.h"

namespace zel {
namespace {

class PoseTrackerTest : public ::testing::Test {
 protected:
  void make(std::vector<Location> locations, double radius) {
    tracker_.emplace(std::move(locations), radius, N_SAMPLE, state_, engine_, out_);
  }

  // The lines printed since the last call.
  std::vector<std::string> printed() {
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(out_, line)) lines.push_back(line);
    out_.clear();
    return lines;
  }

  PlayState state_;
  RandomEngine engine_{42};
  std::stringstream out_;
  std::optional<PoseTracker> tracker_;
};

TEST_F(PoseTrackerTest, WholeTransitionTable) {
  make({{{2.0}, {2.0}}, {{8.0}, {8.0}}}, 1.0);
  const PlaylistPtr initial = state_.to_play();
  EXPECT_EQ(*initial, Playlist{"empty"});

  // Outside, staying outside: nothing printed, still "empty".
  tracker_->on_position(5.0, 5.0);
  EXPECT_TRUE(printed().empty());
  EXPECT_EQ(state_.location(), NO_LOCATION);
  EXPECT_EQ(*state_.to_play(), Playlist{"empty"});

  // Arrival at point 1.
  tracker_->on_position(2.5, 2.0);
  auto lines = printed();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Inside radius of point of interest of location 1");
  EXPECT_EQ(state_.location(), 0);
  const PlaylistPtr first_playlist = state_.to_play();
  EXPECT_EQ(lines[1], "Playlist is now: " + format_name_list(*first_playlist));

  // Staying: nothing printed, the same list object kept.
  for (int i = 0; i < 5; ++i) tracker_->on_position(2.0, 2.5);
  EXPECT_TRUE(printed().empty());
  EXPECT_EQ(state_.to_play(), first_playlist);

  // Straight to point 2: an arrival, no leaving line.
  tracker_->on_position(8.0, 8.0);
  lines = printed();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Inside radius of point of interest of location 2");
  EXPECT_EQ(state_.location(), 1);

  // Leaving prints once.
  tracker_->on_position(5.0, 5.0);
  tracker_->on_position(5.0, 6.0);
  lines = printed();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "Out of point of interest, playing empty video.");
  EXPECT_EQ(state_.location(), NO_LOCATION);
  EXPECT_EQ(*state_.to_play(), Playlist{"empty"});

  // The old list a reader holds is untouched by the changes.
  EXPECT_EQ(lines.size(), 1u);
  EXPECT_EQ(*initial, Playlist{"empty"});
}

TEST_F(PoseTrackerTest, FirstPointInListOrderWinsAndTheEdgeIsInside) {
  make({{{0.0}, {0.0}}, {{1.0}, {0.0}}}, 1.0);
  tracker_->on_position(0.9, 0.0);  // nearer point 2, but point 1 comes first
  EXPECT_EQ(state_.location(), 0);
  tracker_->on_position(2.0, 0.0);  // exactly on point 2's circle
  EXPECT_EQ(state_.location(), 1);
  EXPECT_EQ(printed()[2], "Inside radius of point of interest of location 2");
}

TEST_F(PoseTrackerTest, DegenerateRadiiAndPositions) {
  make({{{3.0}, {4.0}}}, 0.0);
  tracker_->on_position(3.0, 4.000001);
  EXPECT_EQ(state_.location(), NO_LOCATION);
  tracker_->on_position(3.0, 4.0);
  EXPECT_EQ(state_.location(), 0);

  make({{{3.0}, {4.0}}}, -1.0);
  tracker_->on_position(3.0, 4.0);
  EXPECT_EQ(state_.location(), NO_LOCATION);

  // A position that is not a number, or is infinite, is at no point, so it also leaves one.
  make({{{3.0}, {4.0}}}, 1e300);
  for (const auto& [x, y] : {std::pair{std::nan(""), 4.0}, {INFINITY, 4.0}, {3.0, -INFINITY}}) {
    tracker_->on_position(-1e100, 1e100);
    EXPECT_EQ(state_.location(), 0);
    tracker_->on_position(x, y);
    EXPECT_EQ(state_.location(), NO_LOCATION) << x << ", " << y;
  }
}

TEST_F(PoseTrackerTest, NoPointsMeansNeverArriving) {
  make({}, 100.0);
  for (int i = 0; i < 3; ++i) tracker_->on_position(i, i);
  EXPECT_TRUE(printed().empty());
  EXPECT_EQ(state_.location(), NO_LOCATION);
  EXPECT_EQ(*state_.to_play(), Playlist{"empty"});
}

TEST_F(PoseTrackerTest, EveryArrivalDrawsAnew) {
  make({{{0.0}, {0.0}}}, 1.0);
  std::set<Playlist> seen;
  for (int i = 0; i < 200; ++i) {
    tracker_->on_position(0.0, 0.0);
    seen.insert(*state_.to_play());
    tracker_->on_position(5.0, 5.0);
  }
  EXPECT_GT(seen.size(), 10u);
}

TEST(DrawPlaylist, OneOrTwoDistinctNamesUniformlyDrawn) {
  RandomEngine engine(3);
  const int draws = 50000;
  std::map<std::size_t, int> by_length;
  std::map<std::string, int> first_names;
  std::map<Playlist, int> pairs;
  for (int i = 0; i < draws; ++i) {
    const Playlist playlist = draw_playlist(N_SAMPLE, engine);
    ASSERT_GE(playlist.size(), 1u);
    ASSERT_LE(playlist.size(), 2u);
    if (playlist.size() == 2) {
      ASSERT_NE(playlist[0], playlist[1]);
      ++pairs[playlist];
    }
    for (const auto& name : playlist) {
      ASSERT_NE(std::find(OBJECT_LIST.begin(), OBJECT_LIST.end(), name), OBJECT_LIST.end());
    }
    ++by_length[playlist.size()];
    ++first_names[playlist[0]];
  }
  EXPECT_NEAR(by_length[1] / double(draws), 0.5, 0.02);
  EXPECT_EQ(first_names.size(), 5u);
  for (const auto& entry : first_names) EXPECT_NEAR(entry.second / double(draws), 0.2, 0.02);
  // All 20 ordered pairs occur, each about 1/20 of the two-name draws.
  EXPECT_EQ(pairs.size(), 20u);
  for (const auto& entry : pairs) EXPECT_NEAR(entry.second / double(by_length[2]), 0.05, 0.01);
}

}  // namespace
}  // namespace zel
