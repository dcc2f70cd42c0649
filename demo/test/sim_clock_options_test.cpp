#include "zel_video_player/demo/sim_clock_options.h"

#include <gtest/gtest.h>

#include "zel_video_player/demo/tour_options.h"

namespace zel::demo {
namespace {

using Kind = SimClockCommandLine::Kind;

TEST(SimClockOptions, SpeedAndRateWithinTheirBounds) {
  const auto defaults = parse_sim_clock_args({});
  ASSERT_EQ(defaults.kind, Kind::run) << defaults.text;
  EXPECT_EQ(defaults.options.speed, 1.0);
  EXPECT_EQ(defaults.options.hz, 100.0);
  EXPECT_EQ(defaults.options.start_seconds, 1.0);

  const auto given = parse_sim_clock_args({"--speed=0.25", "--hz", "10000"});
  ASSERT_EQ(given.kind, Kind::run) << given.text;
  EXPECT_EQ(given.options.speed, 0.25);
  EXPECT_EQ(given.options.hz, 10000.0);

  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--speed", "0"}, {"--speed=inf"}, {"--speed=-2"}, {"--hz", "10001"}, {"--hz=nan"}, {"--hz"}, {"4"}}) {
    const auto command = parse_sim_clock_args(args);
    EXPECT_EQ(command.kind, Kind::usage_error) << args.front();
    EXPECT_EQ(command.text.rfind("usage: zel_sim_clock [-h] [--speed N] [--hz H]\nzel_sim_clock: error: ", 0), 0u)
        << command.text;
  }
  const auto error_line = [](const std::vector<std::string>& args) {
    const std::string text = parse_sim_clock_args(args).text;
    return text.substr(text.find('\n') + 1);
  };
  EXPECT_EQ(error_line({"--hz", "0"}),
            "zel_sim_clock: error: --hz needs a positive number of at most 10000, not '0'\n");
  // A value that would start a new line, or drive the terminal, is shown escaped.
  EXPECT_EQ(error_line({"--speed", "2\n\x1b[2J"}),
            "zel_sim_clock: error: --speed needs a positive number, not '2\\n\\x1b[2J'\n");
}

// The help of a few short options keeps them close to their text; the tour's, in groups of its
// own, lines them up in one column throughout.
TEST(DemoHelp, LaidOutAsTheCustomaryParserLaysItOut) {
  const auto clock_help = parse_sim_clock_args({"--hz", "5", "-h"});
  ASSERT_EQ(clock_help.kind, Kind::help);
  EXPECT_EQ(clock_help.exit_status(), 0);
  EXPECT_EQ(clock_help.text,
            "usage: zel_sim_clock [-h] [--speed N] [--hz H]\n"
            "\n"
            "Publishes rosgraph_msgs/Clock on /clock, as a simulator would, for nodes started with the\n"
            "parameter /use_sim_time true. The simulated time begins at 1 s and runs at N times real speed,\n"
            "counted from a steady clock, so it never drifts from that pace.\n"
            "\n"
            "options:\n"
            "  -h, --help  show this help message and exit\n"
            "  --speed N   how many simulated seconds pass in a real one (default 1)\n"
            "  --hz H      messages a second of real time, at most 10000 (default 100)\n");

  const std::string tour = tour_help();
  EXPECT_EQ(tour.rfind("usage: zel_tour [-h] [--radius R] [--speed M_PER_S] [--dwell SECONDS] [--wait SECONDS]\n"
                       "                [--output_dir DIR] [--sample_media] [--detector_results TOPIC]\n",
                       0),
            0u)
      << tour;
  const auto options = tour.find("\n\noptions:\n  -h, --help            show this help message and exit\n"
                                 "  --radius R            the player's radius in metres (default: as its markers");
  const auto group = tour.find("\n  --sample_media        the player shows the project's sample media: name the clip in "
                               "each frame\n"
                               "\n"
                               "Scoring a detector that watches the camera (such as opencv_apps' people_detect):\n"
                               "  --detector_results TOPIC\n"
                               "                        its results");
  EXPECT_NE(options, std::string::npos) << tour;
  EXPECT_NE(group, std::string::npos) << tour;
  EXPECT_LT(options, group);
  std::size_t line_start = 0;
  for (std::size_t end = tour.find('\n'); end != std::string::npos; end = tour.find('\n', line_start = end + 1)) {
    EXPECT_LE(end - line_start, 100u) << tour.substr(line_start, end - line_start);
  }
}

}  // namespace
}  // namespace zel::demo
