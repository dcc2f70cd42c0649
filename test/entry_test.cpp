// The program as a user runs it, beside a private master.
#include <gtest/gtest.h>

#include "support/process.h"

namespace zel::testing {
namespace {

using namespace std::chrono_literals;

class EntryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { master_ = new RosMaster(); }
  static void TearDownTestSuite() {
    delete master_;
    master_ = nullptr;
  }

  struct Run {
    int status;
    std::string out;
    std::string err;
  };

  Run run(std::vector<std::string> args) {
    args.insert(args.begin(), ZEL_PROGRAM);
    Process program(args, master_->env(), scratch_.path());
    const auto status = program.wait_for(30s);
    EXPECT_TRUE(status.has_value()) << "still running: " << program.out();
    return {status.value_or(-999), program.out(), program.err()};
  }

  static std::vector<std::string> echo(const Run& run) {
    std::vector<std::string> lines;
    for (const auto& line : split_lines(run.out)) {
      if (line.rfind("         ", 0) == 0) lines.push_back(line);
    }
    return lines;
  }

  static RosMaster* master_;
  TempDir scratch_;
};

RosMaster* EntryTest::master_ = nullptr;

TEST_F(EntryTest, HelpAfterTheNodeStarts) {
  const Run result = run({"--help"});
  EXPECT_EQ(result.status, 0);
  const auto started = result.out.find("ZEL Video Player Node started");
  const auto usage = result.out.find("usage: zel_tq0731QX [-h] [--test]");
  ASSERT_NE(started, std::string::npos) << result.out;
  ASSERT_NE(usage, std::string::npos) << result.out;
  EXPECT_LT(started, usage);
  EXPECT_NE(result.out.find("Generate locations"), std::string::npos);
  EXPECT_EQ(result.out.find("Using arguments:"), std::string::npos);
}

TEST_F(EntryTest, EchoesSettingsAsTypedAndAppendsTheSlashForTheCheck) {
  const std::string folder = scratch_.path() + "/nowhere";
  const Run result = run({"--video_folder", folder, "--radius", "2", "--n", "-3", "--test"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(echo(result), (std::vector<std::string>{"         test: True", "         num_locations: -3",
                                                     "         radius: 2.0",
                                                     "         video_folder: " + folder}));
  EXPECT_LT(result.out.find("Using arguments:"), result.out.find("         test: True"));
  EXPECT_NE(result.err.find("Video folder " + folder + "/ does not exist"), std::string::npos)
      << result.err;
}

TEST_F(EntryTest, RealsEchoInTheirShortestForm) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"1e-5", "1e-05"}, {"1e16", "1e+16"}, {"-0", "-0.0"}, {"inf", "inf"}, {"NaN", "nan"}, {".1", "0.1"}};
  for (const auto& [typed, shown] : cases) {
    const Run result = run({"--video_folder", scratch_.path() + "/none", "--radius=" + typed});
    ASSERT_EQ(echo(result).size(), 4u) << result.out;
    EXPECT_EQ(echo(result)[2], "         radius: " + shown);
  }
}

TEST_F(EntryTest, RemappingArgumentsNeverReachTheParser) {
  const Run result = run({"/camera/image:=/cam", "--video_folder", scratch_.path() + "/none",
                          "__name:=zel_other", "x:=y"});
  EXPECT_EQ(result.status, 1) << result.err;
  EXPECT_EQ(result.err.find("unrecognized"), std::string::npos);
}

TEST_F(EntryTest, EmptyFolderIsAnErrorAfterTheEcho) {
  const Run result = run({"--video_folder="});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(echo(result).size(), 4u);
  EXPECT_EQ(echo(result)[3], "         video_folder: ");
  EXPECT_NE(result.err.find("empty"), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("does not exist"), std::string::npos);
}

TEST_F(EntryTest, RootAndDoubleSlashFoldersAreKeptAsTheyAre) {
  Run result = run({"--video_folder", "/"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("Element /cat{.mp4/.jpg} does not exist!"), std::string::npos) << result.err;
  result = run({"--video_folder", scratch_.path() + "//"});
  EXPECT_NE(result.err.find("Element " + scratch_.path() + "//cat{.mp4/.jpg}"), std::string::npos)
      << result.err;
}

}  // namespace
}  // namespace zel::testing
