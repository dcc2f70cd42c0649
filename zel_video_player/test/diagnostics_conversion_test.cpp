// The playback entry's level: whether media fails, and whether anything shows meanwhile.
#include <gtest/gtest.h>

#include "zel_video_player/player/ros/diagnostics_conversion.h"
#include "zel_video_player/world/locations.h"

namespace zel::testing {
namespace {

TEST(DiagnosticsConversionTest, FailingMediaWarnsWhileOtherMediaShowsAndIsAnErrorWhenNothingDoes) {
  using diagnostic_msgs::DiagnosticStatus;
  struct Case {
    std::string showing;
    std::vector<std::string> failing;
    std::uint8_t level;
    std::string message;
  };
  const std::vector<Case> cases{
      {"dog.jpg", {}, DiagnosticStatus::OK, "showing dog.jpg at point 1"},
      {"dog.jpg", {"/m/cat.mp4 cannot be opened"}, DiagnosticStatus::WARN,
       "showing dog.jpg at point 1; /m/cat.mp4 cannot be opened"},
      {"", {"/m/cat.mp4 cannot be opened", "/m/dog.jpg cannot be read as a picture"}, DiagnosticStatus::ERROR,
       "showing nothing at point 1: /m/cat.mp4 cannot be opened; /m/dog.jpg cannot be read as a picture"},
  };
  for (const auto& c : cases) {
    PlaybackStatus status;
    status.location = 0;
    status.showing = c.showing;
    status.failing = c.failing;
    diagnostic_updater::DiagnosticStatusWrapper out;
    fill_playback_status(status, test_locations(), out);
    EXPECT_EQ(out.level, c.level) << c.message;
    EXPECT_EQ(out.message, c.message);
  }
}

}  // namespace
}  // namespace zel::testing
