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

// The echo shows the folder as typed; the check, and its message, the folder with its slash. An
// empty folder has no slash to gain and is refused by the program's last resort for errors.
TEST_F(EntryTest, SettingsAreEchoedAsTypedBeforeTheFolderIsRefused) {
  const std::string folder = scratch_.path() + "/nowhere";
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> echo;
    std::string error;
  };
  const std::vector<Case> cases{
      {{"--video_folder", folder, "--radius", "2", "--n", "-3", "--test"},
       {"         test: True", "         num_locations: -3", "         radius: 2.0", "         video_folder: " + folder},
       "Video folder " + folder + "/ does not exist"},
      {{"--video_folder="},
       {"         test: False", "         num_locations: 5", "         radius: 1.5", "         video_folder: "},
       "the video folder path is empty"},
  };
  for (const Case& c : cases) {
    const Run result = run(c.args);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(echo(result), c.echo);
    EXPECT_LT(result.out.find("Using arguments:"), result.out.find(c.echo.front()));
    EXPECT_NE(result.err.find(c.error), std::string::npos) << result.err;
  }
}

}  // namespace
}  // namespace zel::testing
