// The book of what shows and what fails, as the diagnostics and ~now_showing tell it.
#include <gtest/gtest.h>

#include "zel_video_player/player/showing_book.h"

namespace zel {
namespace {

PlaylistPtr playlist_of(std::vector<std::string> names) {
  return std::make_shared<const std::vector<std::string>>(std::move(names));
}

TEST(ShowingBookTest, MediaFailsOnlyWhereItFailedWhileInThePlaylistAndUntilItPlays) {
  ShowingBook status;
  status.media_failed("cat", 0, "/m/cat.mp4 cannot be opened");
  status.media_failed("dog", 1, "/m/dog.jpg cannot be read as a picture");
  const PlaylistPtr at_first = playlist_of({"cat", "dog"});

  EXPECT_EQ(status.snapshot(0, at_first).failing, std::vector<std::string>{"/m/cat.mp4 cannot be opened"});
  EXPECT_EQ(status.snapshot(1, at_first).failing, std::vector<std::string>{"/m/dog.jpg cannot be read as a picture"});
  EXPECT_TRUE(status.snapshot(0, playlist_of({"dog1"})).failing.empty()) << "cat is not this playlist's";
  EXPECT_TRUE(status.snapshot(NO_LOCATION, playlist_of({"cat"})).failing.empty()) << "cat failed elsewhere";
  EXPECT_TRUE(status.snapshot(0, nullptr).failing.empty());

  EXPECT_EQ(status.playback_began("cat", MediaKind::video), "cat.mp4");
  EXPECT_TRUE(status.snapshot(0, at_first).failing.empty()) << "cat plays again";
  EXPECT_EQ(status.snapshot(1, at_first).failing.size(), 1u);
  status.media_failed("cat", 0, "/m/cat.mp4 gives no frame");
  EXPECT_EQ(status.snapshot(0, at_first).failing, std::vector<std::string>{"/m/cat.mp4 gives no frame"});
  EXPECT_EQ(status.snapshot(0, at_first).media_failures, 3u);
}

TEST(ShowingBookTest, WhatShowsIsTheMediaThatBeganUntilAPassShowsNothingWhichIsToldOnce) {
  ShowingBook status;
  EXPECT_EQ(*status.showing(), "");
  EXPECT_FALSE(status.end_showing()) << "nothing showed yet";
  status.playback_began("dog", MediaKind::still);
  EXPECT_EQ(*status.showing(), "dog.jpg");
  EXPECT_EQ(status.snapshot(0, playlist_of({"dog"})).showing, "dog.jpg");
  EXPECT_TRUE(status.end_showing());
  EXPECT_FALSE(status.end_showing());
  EXPECT_EQ(*status.showing(), "");

  status.clip_started(true);
  status.clip_started(false);
  status.clip_started(true);
  const PlaybackStatus counted = status.snapshot(0, nullptr);
  EXPECT_EQ(counted.clips_ready_ahead, 2u);
  EXPECT_EQ(counted.clips_opened_when_due, 1u);
}

}  // namespace
}  // namespace zel
