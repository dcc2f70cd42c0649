// The program as a user runs it, beside a private master.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>

#include "support/process.h"
#include "zel_video_player/world/world.h"

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

  Run run(std::vector<std::string> args) { return run(std::move(args), master_->env()); }

  Run run(std::vector<std::string> args, const std::map<std::string, std::string>& env) {
    args.insert(args.begin(), ZEL_PROGRAM);
    Process program(args, env, scratch_.path());
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

// Help and a usage error never reach the master: beside a player running under the node's name
// they end nothing (roscpp ends a node whose name another takes), and with no master they answer at
// once. Their text is as ever, the start line first.
TEST_F(EntryTest, HelpAndUsageErrorsLeaveTheGraphAlone) {
  const std::string media = scratch_.path() + "/media";
  std::filesystem::create_directory(media);
  std::vector<std::string> names(OBJECT_LIST.begin(), OBJECT_LIST.end());
  names.emplace_back(EMPTY_CLIP);
  for (const auto& name : names) std::ofstream(media + "/" + name + ".jpg");  // empty, yet enough to run
  Process player({ZEL_PROGRAM, "--video_folder", media}, master_->env(), scratch_.path());
  ASSERT_TRUE(player.wait_for_output("Generated locations:", 30s)) << player.err();
  auto no_master = master_->env();
  no_master["ROS_MASTER_URI"] = "http://127.0.0.1:" + std::to_string(free_tcp_port());
  for (const auto& env : {master_->env(), no_master}) {
    const auto began = std::chrono::steady_clock::now();
    const Run help = run({"--help"}, env);
    EXPECT_EQ(run({"--radius", "wide", "--video_folder", media}, env).status, 2);
    EXPECT_LT(std::chrono::steady_clock::now() - began, 10s);
    EXPECT_EQ(help.status, 0);
    const auto started = help.out.find("ZEL Video Player Node started");
    EXPECT_NE(started, std::string::npos) << help.out;
    EXPECT_LT(started, help.out.find("usage: " ZEL_PROGRAM_NAME " [-h] [--test]")) << help.out;
    EXPECT_NE(help.out.find("Generate locations"), std::string::npos);
    EXPECT_EQ(help.out.find("Using arguments:"), std::string::npos);
    EXPECT_FALSE(player.wait_for(3s).has_value()) << player.err();
  }
  player.signal(SIGINT);
  EXPECT_EQ(player.wait_for(5s), 0);
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
