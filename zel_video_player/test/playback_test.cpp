// Playback on a clock the test moves and into an output that records, without a master: the pace,
// the early stops, stills, broken media and the clock's pauses and jumps, exactly.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <random>
#include <thread>

#include "support/media.h"
#include "support/playback_recorder.h"
#include "support/process.h"
#include "support/timing.h"
#include "zel_video_player/player/playback.h"

namespace zel::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Time = Clock::Time;

constexpr Time PERIOD_30 = std::chrono::duration_cast<Time>(std::chrono::duration<double>(1.0 / 30));

// Each frame stamped with the time it was due, the first when playback began: all exactly a period
// apart, never closer than 1/fps as a recorder rounds it to whole nanoseconds, or it drops frames.
void expect_stamps_a_period_apart(const std::vector<Sent>& sent, Time began, double fps) {
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.front().stamp, began);
  const Time recorders_period(std::llround(1e9 / fps));
  for (std::size_t i = 1; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].stamp - sent[i - 1].stamp, sent[1].stamp - sent[0].stamp) << i;
    EXPECT_GE(sent[i].stamp - sent[i - 1].stamp, recorders_period) << i;
    EXPECT_LT(sent[i].stamp - sent[i - 1].stamp, recorders_period + Time(2)) << i;
  }
}

class PlaybackTest : public PlaybackFixture<::testing::Test> {
 protected:
  // Gaps between consecutive frames, in periods of 1/30 s.
  std::vector<double> gaps() const {
    const auto sent = output_.sent();
    std::vector<double> result;
    for (std::size_t i = 1; i < sent.size(); ++i) {
      result.push_back(std::chrono::duration<double>(sent[i].at - sent[i - 1].at) / PERIOD_30);
    }
    return result;
  }

  std::size_t lines_containing(const std::string& text) const {
    const auto events = output_.events();
    return std::count_if(events.begin(), events.end(),
                         [&](const std::string& line) { return line.find(text) != std::string::npos; });
  }

};

TEST_F(PlaybackTest, VideoFramesGoOutOnceInOrderAtTheClipsRateButNeverBelowThirty) {
  struct Case {
    int clip_code;
    int frames;
    double fps;
    double period_in_thirtieths;
  };
  for (const Case& c : {Case{1, 12, 30, 1.0}, Case{2, 6, 10, 1.0}, Case{3, 6, 25, 1.0}, Case{4, 8, 60, 0.5}}) {
    SCOPED_TRACE(c.fps);
    output_.clear();
    write_clip(folder_ + "cat.mp4", c.clip_code, c.frames, c.fps);
    const Time began = clock_.now();
    EXPECT_TRUE(playback_.play_video("cat"));
    const auto sent = output_.sent();
    ASSERT_EQ(sent.size(), static_cast<std::size_t>(c.frames));
    for (std::size_t i = 0; i < sent.size(); ++i) {
      EXPECT_EQ(sent[i].frame.clip_code, c.clip_code);
      EXPECT_EQ(sent[i].frame.frame_index, static_cast<int>(i));
      EXPECT_EQ(sent[i].frame_number, static_cast<std::int64_t>(i) + 1);
      EXPECT_NEAR(std::chrono::duration<double>(sent[i].at - began) / PERIOD_30, i * c.period_in_thirtieths, 1e-6);
    }
    expect_stamps_a_period_apart(sent, began, std::max(c.fps, 30.0));
    // The last frame's period is waited out too, so the next clip keeps the pace.
    EXPECT_NEAR(std::chrono::duration<double>(clock_.now() - began) / PERIOD_30, c.frames * c.period_in_thirtieths,
                1e-6);
    EXPECT_EQ(output_.events(), (std::vector<std::string>{"ZEL video player: Playing video cat.mp4", "began cat.mp4"}));
  }
}

TEST_F(PlaybackTest, AChangeOfPointEndsPlaybackAfterTheCurrentFrameButOneBeforeTheCallIsNotSeen) {
  write_clip(folder_ + "cat.mp4", 1, 30, 30);
  write_still(folder_ + "dog.jpg", 2);
  output_.on_send = [&](std::size_t n) {
    if (n == 5) state_.move_to(state_.location() + 1, state_.to_play());
  };
  EXPECT_FALSE(playback_.play_video("cat"));
  EXPECT_EQ(output_.count(), 5u);
  output_.clear();
  output_.on_send = [&](std::size_t n) {
    if (n == 3) state_.move_to(state_.location() + 1, state_.to_play());
  };
  EXPECT_FALSE(playback_.play_still("dog"));
  EXPECT_EQ(output_.count(), 3u);
  output_.clear();
  EXPECT_TRUE(playback_.play_video("cat"));
  EXPECT_EQ(output_.count(), 30u);
}

TEST_F(PlaybackTest, AStillIsOneMessageSentDurationTimesRateAtItsRate) {
  write_still(folder_ + "dog.jpg", 2);
  const Time began = clock_.now();
  EXPECT_TRUE(playback_.play_still("dog"));
  const auto sent = output_.sent();
  ASSERT_EQ(sent.size(), 240u);
  EXPECT_TRUE(std::all_of(sent.begin(), sent.end(), [](const Sent& s) { return s.still && s.frame.clip_code == 2; }));
  EXPECT_NEAR(std::chrono::duration<double>(clock_.now() - began).count(), 8.0, 1e-6);
  EXPECT_EQ(output_.events(), (std::vector<std::string>{"ZEL video player: Playing dog.jpg", "began dog.jpg"}));

  output_.clear();
  EXPECT_TRUE(playback_.play_still("dog", 2.5, 3));
  EXPECT_EQ(output_.count(), 7u);
  EXPECT_TRUE(playback_.play_still("dog", 0.0));
  EXPECT_TRUE(playback_.play_still("dog", -1.0, 30));
  EXPECT_EQ(output_.count(), 7u);
  EXPECT_THROW(playback_.play_still("dog", 1.0, 0), std::invalid_argument);
  EXPECT_THROW(playback_.play_still("dog", 1.0, std::nan("")), std::invalid_argument);
}

TEST_F(PlaybackTest, BrokenOrMissingMediaShowsNothingAndIsReportedOnce) {
  std::ofstream(folder_ + "dog.mp4") << "not a video";
  fs::create_directory(folder_ + "cat.mp4");
  std::ofstream(folder_ + "person.jpg") << "not a picture";
  EXPECT_TRUE(playback_.play_video("dog"));
  EXPECT_TRUE(playback_.play_video("dog"));
  EXPECT_TRUE(playback_.play_video("cat"));
  EXPECT_TRUE(playback_.play_video("dog1"));
  EXPECT_FALSE(playback_.play_still("person"));
  EXPECT_FALSE(playback_.play_still("empty"));
  EXPECT_EQ(output_.count(), 0u);
  EXPECT_EQ(status_.snapshot(NO_LOCATION, empty_playlist()).media_failures, 6u);
  // The repeat of dog.mp4 is held back; each file's first failure is told.
  EXPECT_EQ(lines_containing("error: "), 5u);
  EXPECT_EQ(lines_containing("dog.mp4 cannot be opened; showing nothing for it"), 1u);
  EXPECT_EQ(lines_containing("person.jpg cannot be read as a picture"), 1u);
  EXPECT_EQ(lines_containing("began"), 0u);
}

TEST_F(PlaybackTest, TheMainLoopPlaysTheStillWhereANameHasBothAndSwitchesOnAChange) {
  write_clip(folder_ + "dog.mp4", 2, 3, 30);
  write_still(folder_ + "dog.jpg", 4);
  write_clip(folder_ + "empty.mp4", 6, 3, 30);
  EXPECT_TRUE(playback_.is_still("dog"));
  EXPECT_FALSE(playback_.is_still("empty"));
  state_.move_to(1, std::make_shared<const Playlist>(Playlist{"dog"}));
  output_.on_send = [&](std::size_t n) {
    if (n == 2) state_.move_to(NO_LOCATION, empty_playlist());
    if (n == 6) state_.request_stop();
  };
  playback_.main_loop();
  std::vector<int> codes;
  for (const Sent& s : output_.sent()) codes.push_back(s.frame.clip_code);
  EXPECT_EQ(codes, (std::vector<int>{4, 4, 6, 6, 6, 6}));
}

TEST_F(PlaybackTest, EveryPassShowsEveryFrameOnceFromTheFirst) {
  // Passes after the first play a clip opened ahead of time, whose first frame was read then.
  write_clip(folder_ + "cat.mp4", 1, 10, 30);
  state_.move_to(NO_LOCATION, std::make_shared<const Playlist>(Playlist{"cat"}));
  output_.on_send = [&](std::size_t n) {
    if (n == 30) state_.request_stop();
  };
  playback_.main_loop();
  const auto sent = output_.sent();
  ASSERT_EQ(sent.size(), 30u);
  for (std::size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].frame.frame_index, static_cast<int>(i % 10)) << i;
    EXPECT_EQ(sent[i].frame_number, sent[i].frame.frame_index + 1) << "numbered afresh each pass, " << i;
  }
}

// Passes after the first play a clip opened ahead, or the same decoder rewound; a file replaced
// meanwhile must play anew from its next pass on. Files are replaced at random frames, each pass
// checked against the contents the files had when it began.
TEST_F(PlaybackTest, EachPassPlaysWhatItsFileHoldsWhenThePassBegins) {
  for (const unsigned seed : {1u, 2u, 3u, 4u}) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    // A playlist of one rewinds its clip; of two, opens the next one ahead.
    const Playlist playlist = seed % 2 == 1 ? Playlist{"cat"} : Playlist{"cat", "dog"};
    std::map<std::string, int> codes;
    // The colour mark carries codes 1 to 6: a replaced file takes one that no file holds now.
    const auto replace = [&](const std::string& name) {
      int code = 1;
      while (std::any_of(codes.begin(), codes.end(), [&](const auto& entry) { return entry.second == code; })) ++code;
      codes[name] = code;
      write_clip(folder_ + name + ".mp4", code, 6, 30);
    };
    for (const std::string& name : playlist) replace(name);
    PlayState state;
    state.move_to(NO_LOCATION, std::make_shared<const Playlist>(playlist));
    Playback playback(folder_, state, status_, clock_, output_);
    output_.clear();
    std::size_t passes = 0;
    int pass_code = 0;
    std::vector<int> expected;  // the code each frame must carry: its file's as its pass began
    output_.on_send = [&](std::size_t n) {
      if (output_.sent().back().frame_number == 1) pass_code = codes[playlist[passes++ % playlist.size()]];
      expected.push_back(pass_code);
      if (std::uniform_int_distribution<int>(0, 3)(random) == 0) {
        replace(playlist[std::uniform_int_distribution<std::size_t>(0, playlist.size() - 1)(random)]);
      }
      if (n == 60) state.request_stop();
    };
    playback.main_loop();
    const auto sent = output_.sent();
    ASSERT_EQ(sent.size(), expected.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
      EXPECT_EQ(sent[i].frame.clip_code, expected[i]) << "frame " << i;
      EXPECT_EQ(sent[i].frame.frame_index, sent[i].frame_number - 1) << "frame " << i;
    }
  }
}

// Every try of broken media lets the decoders speak, which a player beside other nodelets must not
// repeat often: unchanged, it is tried again after a second, then after longer and longer waits,
// and as soon as it changes on disk.
TEST_F(PlaybackTest, MediaThatVanishesIsRetriedRarelyReportedOnceAndPlaysAgainAsSoonAsItIsBack) {
  write_still(folder_ + "empty.jpg", 6);
  std::atomic<bool> back{false};
  output_.on_send = [&](std::size_t n) {
    if (n == 3) fs::remove(folder_ + "empty.jpg");
    if (back && n > 240) state_.request_stop();
  };
  auto loop = std::async(std::launch::async, [&] { playback_.main_loop(); });
  std::this_thread::sleep_for(1500ms);
  // Once when it is missing, once a second later; the next try would come at three seconds.
  const std::uint64_t failures = status_.snapshot(NO_LOCATION, empty_playlist()).media_failures;
  EXPECT_GE(failures, 1u);
  EXPECT_LE(failures, 2u);
  write_still(folder_ + "empty.jpg", 6);
  back = true;
  ASSERT_EQ(loop.wait_for(1s * TIMING_SLACK), std::future_status::ready);
  EXPECT_EQ(lines_containing("error: "), 1u);
  EXPECT_EQ(lines_containing("error: ZEL video player: " + folder_ + "empty{.mp4/.jpg} is missing; showing nothing"), 1u);
}

TEST_F(PlaybackTest, APausedClockHoldsTheNextFrameUntilAChangeOfPointOrAStop) {
  write_clip(folder_ + "cat.mp4", 1, 30, 30);
  write_still(folder_ + "dog.jpg", 2);
  write_clip(folder_ + "empty.mp4", 6, 30, 30);
  clock_.pause();
  auto video = std::async(std::launch::async, [&] { return playback_.play_video("cat"); });
  ASSERT_TRUE(output_.wait_for_count(1, 5s));
  EXPECT_EQ(video.wait_for(300ms), std::future_status::timeout);
  EXPECT_EQ(output_.count(), 1u);
  state_.move_to(2, empty_playlist());
  ASSERT_EQ(video.wait_for(1s * TIMING_SLACK), std::future_status::ready);
  EXPECT_FALSE(video.get());

  auto still = std::async(std::launch::async, [&] { return playback_.play_still("dog"); });
  ASSERT_TRUE(output_.wait_for_count(2, 5s));
  state_.move_to(3, empty_playlist());
  ASSERT_EQ(still.wait_for(1s * TIMING_SLACK), std::future_status::ready);
  EXPECT_FALSE(still.get());

  // The new media's first frame goes out at once, clock or not; a stop ends the wait after it.
  auto loop = std::async(std::launch::async, [&] { playback_.main_loop(); });
  ASSERT_TRUE(output_.wait_for_count(3, 5s));
  EXPECT_EQ(output_.sent().back().frame.clip_code, 6);
  state_.request_stop();
  ASSERT_EQ(loop.wait_for(1s * TIMING_SLACK), std::future_status::ready);
  EXPECT_EQ(output_.count(), 3u);
}

TEST_F(PlaybackTest, AClockThatJumpsCountsAfreshFromWhereItLandsWithoutABurst) {
  write_clip(folder_ + "cat.mp4", 1, 12, 30);
  // Back while a frame waits and while one is made, as a looping bag or a reset simulator goes;
  // then forwards by much more than a period.
  output_.on_send = [&](std::size_t n) {
    if (n == 3) clock_.jump_during_next_sleep(-600s);
    if (n == 6) clock_.set(clock_.now() - 600s);
    if (n == 9) clock_.jump_during_next_sleep(60s);
  };
  EXPECT_TRUE(playback_.play_video("cat"));
  const std::vector<double> back = {1, 1, 1 - 600 * 30, 1, 1, 1 - 600 * 30, 1, 1, 60 * 30, 1, 1};
  const std::vector<double> measured = gaps();
  ASSERT_EQ(measured.size(), back.size());
  for (std::size_t i = 0; i < back.size(); ++i) EXPECT_NEAR(measured[i], back[i], 1e-3) << "after frame " << i + 1;
  EXPECT_EQ(lines_containing("ZEL video player: The clock went back from 1000.067 s to 400.067 s; frames are "
                             "paced afresh from there"),
            1u);
  EXPECT_EQ(lines_containing("went back"), 2u);
}

TEST_F(PlaybackTest, AClockThatStepsOverSeveralPeriodsGetsEveryFrameDue) {
  // Stage moves its clock a tenth of a second at a time: three frames of a 30 fps clip per step.
  write_clip(folder_ + "cat.mp4", 1, 30, 30);
  clock_.move_in_ticks(100ms, 250ms);
  const Time began = clock_.now();
  EXPECT_TRUE(playback_.play_video("cat"));
  EXPECT_EQ(output_.count(), 30u);
  // The last period ends a hair past the tenth tick, so the clock takes one tick more.
  EXPECT_NEAR(std::chrono::duration<double>(clock_.now() - began).count(), 1.05, 0.06);
  // Stamped on the clip's own pace, not the clock's steps.
  expect_stamps_a_period_apart(output_.sent(), began, 30);
}

TEST_F(PlaybackTest, FramesSlowerToMakeThanTheirPeriodAreAllSentThenThePaceCountsAfresh) {
  write_clip(folder_ + "cat.mp4", 1, 10, 30);
  output_.on_send = [&](std::size_t n) {
    if (n <= 5) clock_.set(clock_.now() + 3 * PERIOD_30);
  };
  EXPECT_TRUE(playback_.play_video("cat"));
  EXPECT_EQ(output_.count(), 10u);
  const std::vector<double> expected = {3, 3, 3, 3, 3, 1, 1, 1, 1};
  const std::vector<double> measured = gaps();
  ASSERT_EQ(measured.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(measured[i], expected[i], 1e-6) << i;
}

}  // namespace
}  // namespace zel::testing
