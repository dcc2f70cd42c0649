// Command lines at the size the kernel allows (one argument may hold 128 KiB): values that long
// are read by the same rules as short ones, without running out of stack.
#include <gtest/gtest.h>

#include <cmath>

#include "zel_video_player/app/command_line.h"
#include "zel_video_player/app/number_text.h"

namespace zel {
namespace {

using Kind = ParseOutcome::Kind;

const std::size_t LONG = 120000;

ParseOutcome parse(const std::vector<std::string>& args) { return parse_args(args, ZEL_PROGRAM_NAME); }

TEST(LongArguments, NumbersFollowTheirGrammarAtAnyLength) {
  EXPECT_EQ(parse_integer(std::string(LONG, '0') + "7"), 7);
  EXPECT_EQ(parse_integer("-" + std::string(LONG, '0') + "7 "), -7);
  EXPECT_FALSE(parse_integer(std::string(LONG, '1')));  // beyond 64 bits
  EXPECT_FALSE(parse_integer(std::string(LONG, '1') + "x"));

  EXPECT_EQ(parse_real(std::string(LONG, '1')), HUGE_VAL);
  EXPECT_EQ(parse_real("-0." + std::string(LONG, '0') + "1"), -0.0);
  EXPECT_EQ(parse_real("1." + std::string(LONG, '0') + "e-2"), 0.01);
  EXPECT_EQ(parse_real(std::string(LONG, '0') + ".5"), 0.5);
  EXPECT_FALSE(parse_real(std::string(LONG, '1') + "e"));
  EXPECT_FALSE(parse_real(std::string(LONG, '.')));
}

TEST(LongArguments, OptionsAndStrayValuesAtAnyLength) {
  const std::string digits(LONG, '3');
  ParseOutcome outcome = parse({"--video_folder", "a", "-" + digits});
  ASSERT_EQ(outcome.kind, Kind::usage_error);
  EXPECT_NE(outcome.text.find("error: unrecognized arguments: -" + digits + "\n"), std::string::npos);

  outcome = parse({"--num_locations", "-" + std::string(LONG, '0') + "3", "--radius", "-." + digits,
                   "--video_folder", std::string(LONG, 'f')});
  ASSERT_EQ(outcome.kind, Kind::run) << outcome.text.substr(0, 300);
  EXPECT_EQ(outcome.options.num_locations, -3);
  EXPECT_NEAR(outcome.options.radius, -1.0 / 3, 1e-15);
  EXPECT_EQ(outcome.options.video_folder.size(), LONG);

  outcome = parse({"--radius", digits + "x", "--video_folder", "a"});
  ASSERT_EQ(outcome.kind, Kind::usage_error);
  EXPECT_NE(outcome.text.find("error: argument --radius: invalid float value: '" + digits + "x'"),
            std::string::npos);
  EXPECT_EQ(parse({"--" + std::string(LONG, 'v'), "a"}).kind, Kind::usage_error);
}

}  // namespace
}  // namespace zel
