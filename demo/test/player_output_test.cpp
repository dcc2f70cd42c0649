#include "player_output.h"

#include <gtest/gtest.h>

#include "zel_video_player/random.h"
#include "zel_video_player/text_form.h"

namespace zel::demo {
namespace {

using Names = std::vector<std::string>;

TEST(ListingLine, ReadsBackWhatThePlayerPrints) {
  RandomEngine engine(7);
  std::vector<Location> locations = test_locations();
  for (const auto& generated : gen_locations(50, 1.5, engine)) locations.push_back(generated);
  for (std::size_t i = 0; i < locations.size(); ++i) {
    const std::string line = format_listing_line(i + 1, locations[i]);
    const auto parsed = parse_listing_line(line);
    ASSERT_TRUE(parsed) << line;
    EXPECT_EQ(parsed->number, i + 1);
    EXPECT_EQ(parsed->location.x.value, round_to_hundredths(locations[i].x)) << line;
    EXPECT_EQ(parsed->location.y.value, round_to_hundredths(locations[i].y)) << line;
    EXPECT_EQ(format_listing_line(i + 1, parsed->location), line);
  }
  EXPECT_TRUE(parse_listing_line("    2. (10.7, 6)")->location.y.whole);
}

TEST(ListingLine, OtherLinesAreNotPoints) {
  for (const char* line : {"   1. (3.75, 3.5)", "     1. (3.75, 3.5)", "    1. (3.75, 3.5) ", "    1. (3.75 3.5)",
                           "    1 (3.75, 3.5)", "    x. (3.75, 3.5)", "    1. (nan, 3.5)", "    1. (3.75, inf)",
                           "    1. (3.75, )", "    1. (1e+999, 2.0)", "         radius: 1.5", ""}) {
    EXPECT_FALSE(parse_listing_line(line)) << '"' << line << '"';
  }
  EXPECT_EQ(parse_listing_line("    3. (-0.0, 1e+16)")->location.y.value, 1e16);
}

TEST(NameList, ReadsThePrintedPlaylist) {
  EXPECT_EQ(parse_name_list("['dog1', 'cat']"), (Names{"dog1", "cat"}));
  EXPECT_EQ(parse_name_list("['person']"), (Names{"person"}));
  EXPECT_EQ(parse_name_list("[]"), Names{});
  for (const char* text : {"['dog1', cat]", "['dog1'", "'dog1'", "['dog1','cat']", "['a'] x"}) {
    EXPECT_FALSE(parse_name_list(text)) << text;
  }
}

// A run of the player as it appears on its standard output, log lines included.
const Names TRANSCRIPT{
    "[ INFO] [1700000000.1]: ZEL Video Player Node started",
    "         test: True",
    "         num_locations: 5",
    "         radius: 2.0",
    "         video_folder: /media",
    "ZEL video player: Test locations:",
    "    1. (3.75, 3.5)",
    "    2. (10.7, 6)",
    "[ INFO] [1700000000.2]: ZEL video player: Playing video empty.mp4",
    "    3. (1.0, 1.0)",
    "Inside radius of point of interest of location 1",
    "Playlist is now: ['dog1', 'cat']",
    "Inside radius of point of interest of location 2",
    "Playlist is now: ['person']",
};

TEST(PlayerOutput, FollowsSettingsListingAndArrivals) {
  PlayerOutput output;
  for (std::size_t i = 0; i < 8; ++i) output.add_line(TRANSCRIPT[i]);
  EXPECT_EQ(output.radius(), 2.0);
  EXPECT_TRUE(output.listing_started());
  EXPECT_FALSE(output.listing_closed());
  for (std::size_t i = 8; i < TRANSCRIPT.size(); ++i) output.add_line(TRANSCRIPT[i]);
  EXPECT_TRUE(output.listing_closed());
  ASSERT_EQ(output.points().size(), 2u) << "a listing ends at the first other line";
  EXPECT_EQ(output.points()[1].x.value, 10.7);
  EXPECT_FALSE(output.listing_error());
  ASSERT_EQ(output.arrivals().size(), 2u);
  EXPECT_EQ(output.current()->number, 2u);
  EXPECT_EQ(output.current()->playlist, Names{"person"});

  output.add_line("Out of point of interest, playing empty video.");
  EXPECT_FALSE(output.current());
  output.add_line("Playlist is now: ['cat']");
  EXPECT_FALSE(output.current()) << "a playlist without its arrival line is no arrival";
  EXPECT_EQ(output.arrivals().size(), 2u);
}

TEST(PlayerOutput, NewHeadingStartsAfreshAndBrokenListingsAreReported) {
  PlayerOutput output;
  for (const char* line : {"ZEL video player: Generated locations:", "    1. (1.0, 2.0)",
                           "ZEL video player: Generated locations:", "    1. (5.0, 6.0)"}) {
    output.add_line(line);
  }
  ASSERT_EQ(output.points().size(), 1u);
  EXPECT_EQ(output.points()[0].x.value, 5.0);

  PlayerOutput skipped;
  for (const char* line : {"ZEL video player: Test locations:", "    1. (1.0, 2.0)", "    3. (5.0, 6.0)"}) {
    skipped.add_line(line);
  }
  EXPECT_TRUE(skipped.listing_error());

  PlayerOutput unreadable;
  for (const char* line : {"ZEL video player: Test locations:", "    1. (nan, 2.0)"}) unreadable.add_line(line);
  EXPECT_TRUE(unreadable.listing_error());
  EXPECT_TRUE(unreadable.points().empty());
}

}  // namespace
}  // namespace zel::demo
