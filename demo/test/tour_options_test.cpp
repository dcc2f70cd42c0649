#include "zel_video_player/demo/tour_options.h"

#include <gtest/gtest.h>

namespace zel::demo {
namespace {

using Kind = TourCommandLine::Kind;

TEST(TourOptions, DefaultsWalkAtWalkingPace) {
  const auto command = parse_tour_args({});
  ASSERT_EQ(command.kind, Kind::run);
  EXPECT_FALSE(command.options.radius);
  EXPECT_EQ(command.options.pace.speed, 1.4);
  EXPECT_EQ(command.options.output_dir, ".");
}

TEST(TourOptions, ValuesJoinedOrSeparate) {
  const auto command = parse_tour_args({"--radius=2", "--speed", "3.5", "--dwell=0", "--wait", "5",
                                        "--output_dir=out", "--sample_media", "--detector_results", "/found",
                                        "--detector_view=/view"});
  ASSERT_EQ(command.kind, Kind::run) << command.text;
  EXPECT_EQ(command.options.radius, 2.0);
  EXPECT_EQ(command.options.pace.speed, 3.5);
  EXPECT_EQ(command.options.pace.dwell, 0.0);
  EXPECT_EQ(command.options.wait, 5.0);
  EXPECT_EQ(command.options.output_dir, "out");
  EXPECT_TRUE(command.options.sample_media);
  EXPECT_EQ(command.options.detector_results, "/found");
  EXPECT_EQ(command.options.detector_view, "/view");
}

TEST(TourOptions, MistakesAreUsageErrors) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--speed", "0"}, {"--speed=nan"}, {"--dwell", "-1"}, {"--wait=0"},
                                             {"--radius", "wide"}, {"--output_dir="}, {"--dwell"}, {"stray"},
                                             {"--tes"}, {"--detector_results="},
                                             {"--detector_view", "/view"}}) {
    const auto command = parse_tour_args(args);
    EXPECT_EQ(command.kind, Kind::usage_error) << args.front();
    EXPECT_EQ(command.exit_status(), 2);
    EXPECT_NE(command.text.find("zel_tour: error: "), std::string::npos) << command.text;
  }
  EXPECT_EQ(parse_tour_args({"--radius", "-1"}).kind, Kind::run) << "any radius the player takes";
  EXPECT_EQ(parse_tour_args({"--wait", "1", "-h"}).kind, Kind::help);
}

}  // namespace
}  // namespace zel::demo
