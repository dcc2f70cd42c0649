// The whole player without ROS, on a clock the test moves and into an output that records: positions
// in, and what shows, what fails and what the camera is told, as the diagnostics and ~now_showing
// report them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "support/media.h"
#include "support/playback_recorder.h"
#include "support/process.h"
#include "support/timing.h"
#include "zel_video_player/player/player.h"
#include "zel_video_player/world/world.h"

namespace zel::testing {
namespace {

using namespace std::chrono_literals;

class PlayerTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (running_.valid()) {
      player_->request_stop();
      EXPECT_EQ(running_.wait_for(5s * TIMING_SLACK), std::future_status::ready);
    }
  }

  void start(const std::string& folder, bool test_points = true) {
    player_.emplace(Settings{test_points, 3, 1.0, folder}, engine_, listing_, clock_, output_);
    running_ = std::async(std::launch::async, [this] { player_->run(); });
  }

  // Waits, on the wall clock, until `done` holds of the player.
  bool eventually(const std::function<bool()>& done) const {
    const auto deadline = std::chrono::steady_clock::now() + 5s * TIMING_SLACK;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(1ms);
    }
    return true;
  }

  std::size_t events_equal_to(const std::string& event) const {
    const auto events = output_.events();
    return std::count(events.begin(), events.end(), event);
  }

  TempDir dir_;
  const std::string folder_ = dir_.path() + "/";
  RandomEngine engine_{99};
  std::stringstream listing_;
  FakeClock clock_;
  RecordingOutput output_{clock_};
  std::optional<Player> player_;
  std::future<void> running_;
};

TEST_F(PlayerTest, APositionAtAPointPlaysItsPlaylistAndTheStatusTellsWhatShowsThere) {
  write_media_folder(folder_, 3, 30);
  start(folder_);
  ASSERT_TRUE(eventually([&] { return player_->status().showing == "empty.mp4"; }));
  EXPECT_EQ(player_->status().location, NO_LOCATION);

  const Location& second = player_->locations()[1];
  player_->on_position(second.x, second.y);
  const PlaylistPtr playlist = player_->to_play();
  const std::string first_media = playlist->front() + ".mp4";
  ASSERT_TRUE(eventually([&] { return player_->status().showing == first_media; }));
  const PlaybackStatus status = player_->status();
  EXPECT_EQ(status.location, 1);
  EXPECT_EQ(status.playlist, playlist);
  EXPECT_TRUE(status.failing.empty());
  EXPECT_GE(events_equal_to("began " + first_media), 1u);
  EXPECT_GE(status.clips_ready_ahead + status.clips_opened_when_due, 2u);
}

TEST_F(PlayerTest, MediaFailsWhereTheRobotIsUntilItLeavesAndNothingShowingIsToldOnce) {
  for (std::string_view name : OBJECT_LIST) std::ofstream(folder_ + std::string(name) + ".mp4") << "not a video";
  write_clip(folder_ + "empty.mp4", clip_code_of("empty"), 3, 30);
  start(folder_);
  ASSERT_TRUE(eventually([&] { return player_->status().showing == "empty.mp4"; }));

  const Location& first = player_->locations()[0];
  player_->on_position(first.x, first.y);
  const std::size_t names = player_->to_play()->size();
  // Passes are tried again; the camera's change to nothing is told once.
  ASSERT_TRUE(eventually([&] { return player_->status().media_failures >= 2 * names; }));
  PlaybackStatus status = player_->status();
  EXPECT_EQ(status.showing, "");
  ASSERT_EQ(status.failing.size(), names);
  for (std::size_t i = 0; i < names; ++i) {
    EXPECT_NE(std::find(status.failing.begin(), status.failing.end(),
                        folder_ + (*status.playlist)[i] + ".mp4 cannot be opened"),
              status.failing.end());
  }
  EXPECT_EQ(events_equal_to("shows nothing"), 1u);

  player_->on_position(-100, -100);
  ASSERT_TRUE(eventually([&] { return player_->status().showing == "empty.mp4"; }));
  status = player_->status();
  EXPECT_EQ(status.location, NO_LOCATION);
  EXPECT_TRUE(status.failing.empty()) << "the point's media does not fail away from it";
}

TEST_F(PlayerTest, PointsAreListedAsPlacedAndAStopWhileListingEndsTheStart) {
  player_.emplace(Settings{false, 2, 7.0, folder_}, engine_, listing_, clock_, output_);
  EXPECT_EQ(listing_.str(), "ZEL video player: Generated locations:\n    1. (7.0, 7.0)\n    2. (7.0, 7.0)\n");
  EXPECT_EQ(player_->radius(), 7.0);
  EXPECT_THROW(Player(Settings{true, 0, 1.0, folder_}, engine_, listing_, clock_, output_, [] { return true; }),
               Interrupted);
}

}  // namespace
}  // namespace zel::testing
