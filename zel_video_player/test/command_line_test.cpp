#include "zel_video_player/app/command_line.h"
#include "zel_video_player/app/number_text.h"

#include <cmath>

#include <gtest/gtest.h>

namespace zel {
namespace {

using Kind = ParseOutcome::Kind;

ParseOutcome parse(std::vector<std::string> args) { return parse_args(args, "/opt/ros/bin/" ZEL_PROGRAM_NAME); }

Settings parsed_settings(std::vector<std::string> args) {
  const ParseOutcome outcome = parse(std::move(args));
  EXPECT_EQ(outcome.kind, Kind::run) << outcome.text;
  return outcome.options;
}

void expect_usage_error(std::vector<std::string> args, const std::string& message) {
  const ParseOutcome outcome = parse(args);
  ASSERT_EQ(outcome.kind, Kind::usage_error);
  EXPECT_EQ(outcome.exit_status(), 2);
  EXPECT_EQ(outcome.text.rfind("usage: " ZEL_PROGRAM_NAME " [-h]", 0), 0u) << outcome.text;
  EXPECT_NE(outcome.text.find(ZEL_PROGRAM_NAME ": error: " + message + "\n"), std::string::npos)
      << outcome.text;
}

TEST(ParseArgs, DefaultsWithOnlyTheFolder) {
  const Settings settings = parsed_settings({"--video_folder", "media"});
  EXPECT_FALSE(settings.test);
  EXPECT_EQ(settings.num_locations, 5);
  EXPECT_EQ(settings.radius, 1.5);
  EXPECT_EQ(settings.video_folder, "media");
}

TEST(ParseArgs, ValuesJoinedOrSeparatePrefixesAndLastWins) {
  const Settings settings = parsed_settings(
      {"--n=3", "--t", "--rad", "2", "--video_folder=a", "--test", "--v", "b", "--num", "-4"});
  EXPECT_TRUE(settings.test);
  EXPECT_EQ(settings.num_locations, -4);
  EXPECT_EQ(settings.radius, 2.0);
  EXPECT_EQ(settings.video_folder, "b");

  EXPECT_EQ(parsed_settings({"--video_folder="}).video_folder, "");
  EXPECT_EQ(parsed_settings({"--video_folder", "x=y:z"}).video_folder, "x=y:z");
  EXPECT_EQ(parsed_settings({"--video_folder", "-"}).video_folder, "-");
  EXPECT_EQ(parsed_settings({"--radius", "-.5", "--video_folder", "a"}).radius, -0.5);
  EXPECT_EQ(parsed_settings({"--radius", "-2.25", "--video_folder", "a"}).radius, -2.25);
  EXPECT_EQ(parsed_settings({"--radius=-1e3", "--video_folder", "a"}).radius, -1000.0);
  EXPECT_EQ(parsed_settings({"--num_locations", "0", "--radius", "0", "--video_folder", "a"}).radius, 0.0);
}

TEST(ParseArgs, HelpPrintsUsageDescriptionAndOptionsFirstComeFirstServed) {
  for (const std::string flag : {"-h", "--help", "--he"}) {
    const ParseOutcome outcome = parse({flag});
    ASSERT_EQ(outcome.kind, Kind::help) << flag;
    EXPECT_EQ(outcome.exit_status(), 0);
    EXPECT_EQ(outcome.text,
              "usage: " ZEL_PROGRAM_NAME " [-h] [--test] [--num_locations NUM_LOCATIONS]\n"
              "                    [--radius RADIUS] --video_folder VIDEO_FOLDER\n"
              "\n"
              "Generate locations\n"
              "\n"
              "options:\n"
              "  -h, --help            show this help message and exit\n"
              "  --test                Run in test mode\n"
              "  --num_locations NUM_LOCATIONS\n"
              "                        Number of locations to generate\n"
              "  --radius RADIUS       Radius of the are around the location for which a\n"
              "                        video will be played\n"
              "  --video_folder VIDEO_FOLDER\n"
              "                        Path to the video folder\n");
  }
  EXPECT_EQ(parse({"stray", "--help"}).kind, Kind::help);
  EXPECT_EQ(parse({"--help", "--radius", "x"}).kind, Kind::help);
  EXPECT_EQ(parse({"--radius", "x", "--help"}).kind, Kind::usage_error);
}

TEST(ParseArgs, EveryClassOfUsageError) {
  expect_usage_error({}, "the following arguments are required: --video_folder");
  expect_usage_error({"--test"}, "the following arguments are required: --video_folder");
  expect_usage_error({"--video_folder", "a", "extra"}, "unrecognized arguments: extra");
  expect_usage_error({"--video_folder", "a", "--bogus", "-x"}, "unrecognized arguments: --bogus -x");
  expect_usage_error({"--video_folder", "a", "--", "--test"}, "unrecognized arguments: --test");
  expect_usage_error({"--video_folder"}, "argument --video_folder: expected one argument");
  expect_usage_error({"--radius", "--test", "--video_folder", "a"},
                     "argument --radius: expected one argument");
  expect_usage_error({"--radius", "-1e3", "--video_folder", "a"},
                     "argument --radius: expected one argument");
  expect_usage_error({"--test=yes", "--video_folder", "a"},
                     "argument --test: ignored explicit argument 'yes'");
  expect_usage_error({"-hx"}, "argument -h/--help: ignored explicit argument 'x'");
  expect_usage_error({"--num_locations", "2.5", "--video_folder", "a"},
                     "argument --num_locations: invalid int value: '2.5'");
  expect_usage_error({"--num_locations", "99999999999999999999", "--video_folder", "a"},
                     "argument --num_locations: invalid int value: '99999999999999999999'");
  expect_usage_error({"--radius", "abc", "--video_folder", "a"},
                     "argument --radius: invalid float value: 'abc'");
}

TEST(ParseArgs, EdgesReadAndQuotedAsTheCustomaryParserDoes) {
  // Escaped values keep the message on one line; double quotes where the value holds only single ones.
  expect_usage_error({"--num_locations", "1\t2", "--video_folder", "a"},
                     R"(argument --num_locations: invalid int value: '1\t2')");
  expect_usage_error({"--radius", "it's\\\x01\x7f\xc2\x85\xc2\xa0é\n", "--video_folder", "a"},
                     R"(argument --radius: invalid float value: "it's\\\x01\x7f\x85\xa0é\n")");
  expect_usage_error({"--radius", "say \"it's\"\r", "--video_folder", "a"},
                     R"(argument --radius: invalid float value: 'say "it\'s"\r')");
  expect_usage_error({"--test=\x1b[2J", "--video_folder", "a"},
                     R"(argument --test: ignored explicit argument '\x1b[2J')");

  // Short flags join: -hh is -h -h, while any other joined text is refused before help is given.
  EXPECT_EQ(parse({"-hh"}).kind, Kind::help);
  expect_usage_error({"-hhx"}, "argument -h/--help: ignored explicit argument 'x'");
  expect_usage_error({"-h="}, "argument -h/--help: ignored explicit argument ''");

  expect_usage_error({"--=x", "--video_folder", "a"},
                     "ambiguous option: --=x could match --help, --test, --num_locations, --radius, --video_folder");
}

TEST(ParseArgs, UsageLineNamesTheProgramByItsLastPathComponent) {
  const ParseOutcome outcome = parse_args({}, "./build/devel/lib/zel_video_player/" ZEL_PROGRAM_NAME);
  EXPECT_EQ(outcome.text.rfind("usage: " ZEL_PROGRAM_NAME " ", 0), 0u);
  const ParseOutcome long_name = parse_args({}, std::string(70, 'p'));
  EXPECT_EQ(long_name.text.rfind("usage: " + std::string(70, 'p') + "\n       [-h] [--test]", 0), 0u)
      << long_name.text;
}

TEST(NumberValues, IntegersTakeSignAndBlanksOnly) {
  EXPECT_EQ(parse_integer(" +7 "), 7);
  EXPECT_EQ(parse_integer("-12"), -12);
  EXPECT_EQ(parse_integer("\t0\n"), 0);
  for (const char* bad : {"", "1e3", "0x10", "1 2", "--1"}) EXPECT_FALSE(parse_integer(bad)) << bad;
}

TEST(NumberValues, RealsTakeDecimalExponentAndTheUsualWords) {
  EXPECT_EQ(parse_real("2"), 2.0);
  EXPECT_EQ(parse_real(" 1.5 "), 1.5);
  EXPECT_EQ(parse_real("1."), 1.0);
  EXPECT_EQ(parse_real(".25"), 0.25);
  EXPECT_EQ(parse_real("-1E-5"), -1e-5);
  EXPECT_EQ(parse_real("+3e2"), 300.0);
  EXPECT_EQ(parse_real("Infinity"), HUGE_VAL);
  EXPECT_EQ(parse_real("-inf"), -HUGE_VAL);
  EXPECT_EQ(parse_real("1e999"), HUGE_VAL);
  EXPECT_TRUE(std::isnan(*parse_real("NaN")));
  for (const char* bad : {"", ".", "e5", "1e", "0x1p3", "nan(1)", "1,5", "infinite", "- 1"}) {
    EXPECT_FALSE(parse_real(bad)) << bad;
  }
}

TEST(SettingsEcho, NineSpacesLabelAndTextForm) {
  Settings settings;
  settings.video_folder = "media";
  EXPECT_EQ(settings_echo_lines(settings),
            (std::vector<std::string>{"         test: False", "         num_locations: 5",
                                      "         radius: 1.5", "         video_folder: media"}));
  settings.test = true;
  settings.num_locations = -3;
  settings.radius = 2.0;
  const auto lines = settings_echo_lines(settings);
  EXPECT_EQ(lines[0], "         test: True");
  EXPECT_EQ(lines[1], "         num_locations: -3");
  EXPECT_EQ(lines[2], "         radius: 2.0");
  // The radius in the shortest form that reads back, not rounded as the listing rounds.
  settings.radius = 1e-5;
  EXPECT_EQ(settings_echo_lines(settings)[2], "         radius: 1e-05");
}

TEST(VideoFolder, GainsAtMostOneSlashAndRejectsEmpty) {
  EXPECT_EQ(with_trailing_slash("media"), "media/");
  EXPECT_EQ(with_trailing_slash("media/"), "media/");
  EXPECT_EQ(with_trailing_slash("/"), "/");
  EXPECT_EQ(with_trailing_slash("a//"), "a//");
  EXPECT_THROW(with_trailing_slash(""), EmptyVideoFolder);
}

}  // namespace
}  // namespace zel
