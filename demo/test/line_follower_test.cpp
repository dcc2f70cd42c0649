#include "zel_video_player/demo/line_follower.h"

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "support/process.h"

namespace zel::demo {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

// Everything the follower hands over within the time, or until it has `count` lines.
Lines collect(LineFollower& follower, std::size_t count, std::chrono::milliseconds timeout = 3s) {
  Lines all;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (all.size() < count && std::chrono::steady_clock::now() < deadline) {
    for (auto& line : follower.take_lines()) all.push_back(std::move(line));
    std::this_thread::sleep_for(10ms);
  }
  return all;
}

TEST(LineFollower, FollowsAFileAsItGrowsAndWaitsForWholeLines) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/player.out";
  std::ofstream writer(path);
  writer << "first\nsec" << std::flush;
  LineFollower follower(path);
  EXPECT_EQ(collect(follower, 1), Lines{"first"});
  EXPECT_EQ(collect(follower, 1, 300ms), Lines{}) << "half a line is held back";
  writer << "ond\nthird\n" << std::flush;
  EXPECT_EQ(collect(follower, 2), (Lines{"second", "third"}));
  EXPECT_FALSE(follower.ended());
}

TEST(LineFollower, PipeEndsWhenItsWriterCloses) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const int saved_stdin = ::dup(STDIN_FILENO);
  ::dup2(ends[0], STDIN_FILENO);
  ::close(ends[0]);
  {
    LineFollower follower("-");
    const std::string text = "one\nlast without end";
    ASSERT_EQ(::write(ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(ends[1]);
    EXPECT_EQ(collect(follower, 2), (Lines{"one", "last without end"}));
    EXPECT_TRUE(follower.ended());
  }
  ::dup2(saved_stdin, STDIN_FILENO);
  ::close(saved_stdin);
}

TEST(LineFollower, MissingFileIsAnError) {
  testing::TempDir dir;
  EXPECT_THROW(LineFollower(dir.path() + "/none"), std::runtime_error);
}

}  // namespace
}  // namespace zel::demo
