// Bad input against the node as users run it: command lines and folders that cannot serve stop its
// start with a status and say why; broken, vanishing or unreadable media is reported once while the
// node waits calmly, and plays again when mended.
#include "hardening.h"

namespace zel::testing {
namespace {

struct UsageCase {
  std::vector<std::string> args;
  std::string error;
};

// Every class of message is the parser's own (ParseArgs); here, that the program ends with it.
TEST_F(HardeningTest, CommandLineErrorsEndWithStatusTwoAndSayWhich) {
  // Arguments of that length crashed the parser's regular expressions.
  const std::string long_number = "-" + std::string(120000, '7');
  const std::vector<UsageCase> cases{
      {{"--test", "--num_locations", "3"}, "the following arguments are required: --video_folder"},
      {{"--video_folder", "m", long_number}, "unrecognized arguments: " + long_number},
      {{"--num_locations", long_number, "--video_folder", "m"},
       "argument --num_locations: invalid int value: '" + long_number + "'"},
  };
  std::vector<std::unique_ptr<Process>> runs;
  for (const auto& c : cases) runs.push_back(start(c.args));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    Process& run = *runs[i];
    const std::string label = cases[i].error.substr(0, 80);
    EXPECT_EQ(run.wait_for(START_TIMEOUT), 2) << label << "\n" << run.err().substr(0, 2000);
    const std::string err = run.err();
    EXPECT_EQ(err.rfind("usage: " ZEL_PROGRAM_NAME " [-h] [--test]", 0), 0u) << label << "\n" << err.substr(0, 500);
    EXPECT_EQ(count_of(err, ZEL_PROGRAM_NAME ": error: "), 1u) << label;
    EXPECT_NE(err.find("\n" ZEL_PROGRAM_NAME ": error: " + cases[i].error + "\n"), std::string::npos)
        << label << "\n" << err.substr(0, 500);
    EXPECT_NE(run.out().find("ZEL Video Player Node started"), std::string::npos) << label;
    EXPECT_EQ(run.out().find("Using arguments:"), std::string::npos) << label;
  }
}

TEST_F(HardeningTest, MoreLocationsThanMemoryHoldsEndWithStatusOne) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's operator new ends the process on a failed allocation instead of throwing";
#endif
  // Ten trillion points need more memory than the address space has, whatever the overcommit policy.
  auto run = start({"--num_locations", "10000000000000", "--video_folder", media_folder("media")});
  EXPECT_EQ(run->wait_for(START_TIMEOUT), 1) << run->err();
  EXPECT_NE(run->err().find("out of memory"), std::string::npos) << run->err();
  EXPECT_EQ(run->out().find("Generated locations"), std::string::npos);
}

TEST_F(HardeningTest, FoldersThatCannotServeStopTheStartWithStatusOne) {
  const std::string media = media_folder("media");
  const std::string file = scratch_.path() + "/plain_file";
  std::ofstream(file) << "not a folder";
  const std::string looped = scratch_.path() + "/looped";
  fs::create_symlink(looped, looped);
  const std::string clip_is_folder = media_folder("clip_is_folder");
  fs::remove(clip_is_folder + "/cat.mp4");
  fs::create_directory(clip_is_folder + "/cat.mp4");
  const std::string clip_is_loop = media_folder("clip_is_loop");
  fs::remove(clip_is_loop + "/dog.mp4");
  fs::create_symlink("dog.mp4", clip_is_loop + "/dog.mp4");

  const std::vector<std::pair<std::string, std::string>> cases{
      {file, "Video folder " + file + "/ does not exist"},
      {looped, "Video folder " + looped + "/ does not exist"},
      {clip_is_folder, "Element " + clip_is_folder + "/cat{.mp4/.jpg} does not exist! Please add it to the video folder."},
      {clip_is_loop, "Element " + clip_is_loop + "/dog{.mp4/.jpg} does not exist! Please add it to the video folder."},
  };
  std::vector<std::unique_ptr<Process>> runs;
  for (const auto& [folder, message] : cases) runs.push_back(start({"--video_folder", folder}));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(runs[i]->wait_for(START_TIMEOUT), 1) << cases[i].first;
    EXPECT_EQ(count_of(runs[i]->err(), cases[i].second), 1u) << runs[i]->err();
    EXPECT_EQ(runs[i]->out().find("ZEL video player:"), std::string::npos);
  }
}

struct BrokenClip {
  std::string file;  // the file in place of the "empty" clip; the other kind is removed
  std::function<void(const std::string& path)> make;
  std::string problem;  // empty where the file may still give some frames
};

void write_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string first_part(const std::string& path, double fraction) {
  const std::string whole = read_file(path);
  return whole.substr(0, static_cast<std::size_t>(whole.size() * fraction));
}

TEST_F(HardeningTest, BrokenClipsAreReportedOnceWhileTheNodeWaitsCalmly) {
  const std::string samples = media_folder("samples");
  write_still(samples + "/picture.jpg", 6);
  const std::vector<BrokenClip> cases{
      {"empty.mp4", [](const std::string& path) { write_bytes(path, ""); }, "cannot be opened"},
      {"empty.mp4", [](const std::string& path) { write_bytes(path, "plain text, no video\n"); }, "cannot be opened"},
      {"empty.mp4", [&](const std::string& path) { write_bytes(path, first_part(samples + "/cat.mp4", 0.6)); }, ""},
      {"empty.mp4", [&](const std::string& path) { write_bytes(path, read_file(samples + "/picture.jpg")); }, ""},
      {"empty.jpg", [](const std::string& path) { write_bytes(path, ""); }, "cannot be read as a picture"},
      {"empty.jpg", [&](const std::string& path) { write_bytes(path, read_file(samples + "/cat.mp4")); },
       "cannot be read as a picture"},
      {"empty.jpg", [&](const std::string& path) { write_bytes(path, first_part(samples + "/picture.jpg", 0.5)); }, ""},
  };
  std::vector<std::string> paths;
  std::vector<std::unique_ptr<Process>> nodes;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string media = media_folder("broken" + std::to_string(i));
    fs::remove(media + "/empty.mp4");
    paths.push_back(media + "/" + cases[i].file);
    cases[i].make(paths.back());
    nodes.push_back(start({"--video_folder", media, "--num_locations", "0"}));
  }
  for (auto& node : nodes) ASSERT_TRUE(node->wait_for_output("Generated locations:", START_TIMEOUT)) << node->err();
  std::this_thread::sleep_for(1500ms);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    Process& node = *nodes[i];
    const std::string label = paths[i] + " (" + cases[i].problem + ")";
    EXPECT_FALSE(node.wait_for(0ms).has_value()) << label << "\n" << node.err();
    EXPECT_LT(cpu_over(node, 1s), SPIN_CPU_SECONDS) << label;
    const auto reports = lines_containing(node.err(), paths[i]);
    // Repeats of one failure are held back for ten seconds; the decoders' own lines stay unsaid.
    EXPECT_LE(reports.size(), 1u) << label << "\n" << node.err();
    for (const auto& line : split_lines(node.err())) EXPECT_NE(line.find("ZEL video player: "), std::string::npos) << label;
    if (!cases[i].problem.empty()) {
      ASSERT_EQ(reports.size(), 1u) << label << "\n" << node.err();
      EXPECT_NE(reports[0].find(paths[i] + " " + cases[i].problem), std::string::npos) << reports[0];
    }
  }
  for (auto& node : nodes) interrupt(*node);
}

TEST_F(HardeningTest, ClipRemovedReplacedOrRewrittenWhilePlaying) {
  const std::string media = media_folder("media");
  const std::string clip = media + "/empty.mp4";
  write_clip(clip, clip_code_of("empty"), 45, 30);
  ImageRecorder recorder("/camera/image");
  auto node = start_node(media);
  ASSERT_TRUE(recorder.wait_for_count(5, START_SECONDS));

  // The clip that is open plays on; the next pass finds nothing and says so.
  fs::remove(clip);
  ASSERT_TRUE(wait_until(PROMPT_SECONDS,
                         [&] { return !lines_containing(node->err(), "empty{.mp4/.jpg} is missing").empty(); }))
      << node->err();
  std::this_thread::sleep_for(300ms);
  const std::size_t before_gap = recorder.count();
  EXPECT_LT(cpu_over(*node, 1s), SPIN_CPU_SECONDS);
  EXPECT_EQ(recorder.count(), before_gap);

  // A new file moved into place is played from the next pass on.
  write_clip(media + "/incoming.mp4", clip_code_of("dog1"), 45, 30);
  fs::rename(media + "/incoming.mp4", clip);
  std::size_t seen = recorder.count();
  EXPECT_TRUE(shows(recorder, clip_code_of("dog1"), seen, PROMPT_SECONDS));

  // Rewriting the file under the decoder in the middle of a clip.
  write_bytes(clip, "no longer a video");
  EXPECT_TRUE(wait_until(PROMPT_SECONDS,
                         [&] { return !lines_containing(node->err(), clip + " cannot be opened").empty(); }))
      << node->err();
  write_clip(clip, clip_code_of("person"), 10, 30);
  seen = recorder.count();
  EXPECT_TRUE(shows(recorder, clip_code_of("person"), seen, PROMPT_SECONDS));

  EXPECT_FALSE(node->wait_for(0ms).has_value());
  interrupt(*node);
}

// Root reads whatever the modes say, so there the node runs as nobody; elsewhere as the user.
std::vector<std::string> unprivileged_runner() {
  if (::geteuid() != 0) return {};
  return {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"};
}

TEST_F(HardeningTest, UnreadableFolderOrClipIsReportedUntilItIsReadableAgain) {
  const auto runner = unprivileged_runner();
  std::string ros_home = scratch_.path();
  if (!runner.empty()) {
    fs::permissions(scratch_.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
    ros_home = scratch_.path() + "/nobody_home";
    fs::create_directory(ros_home);
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    ASSERT_EQ(::chown(ros_home.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    auto probe = start({"--help"}, runner, ros_home);
    if (probe->wait_for(START_TIMEOUT) != 0) {
      GTEST_SKIP() << "root reads every file whatever its mode, and the program cannot run as nobody here: "
                   << probe->err();
    }
  }
  const std::string media = media_folder("media");
  const auto readable = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec;

  fs::permissions(media, fs::perms::none);
  auto refused = start({"--video_folder", media}, runner, ros_home);
  EXPECT_EQ(refused->wait_for(START_TIMEOUT), 1);
  EXPECT_NE(refused->err().find("Element " + media + "/cat{.mp4/.jpg} does not exist!"), std::string::npos)
      << refused->err();
  fs::permissions(media, readable);

  ImageRecorder recorder("/camera/image");
  auto node = start_node(media, runner, ros_home);
  ASSERT_TRUE(recorder.wait_for_count(3, START_SECONDS));

  fs::permissions(media, fs::perms::none);
  EXPECT_TRUE(wait_until(PROMPT_SECONDS,
                         [&] { return !lines_containing(node->err(), "empty{.mp4/.jpg} is missing").empty(); }))
      << node->err();
  EXPECT_LT(cpu_over(*node, 1s), SPIN_CPU_SECONDS);
  fs::permissions(media, readable);
  EXPECT_TRUE(shows(recorder, clip_code_of("empty"), recorder.count(), PROMPT_SECONDS));

  fs::permissions(media + "/empty.mp4", fs::perms::none);
  EXPECT_TRUE(wait_until(PROMPT_SECONDS,
                         [&] { return !lines_containing(node->err(), "empty.mp4 cannot be opened").empty(); }))
      << node->err();
  EXPECT_LT(cpu_over(*node, 1s), SPIN_CPU_SECONDS);
  fs::permissions(media + "/empty.mp4", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                             fs::perms::others_read);
  EXPECT_TRUE(shows(recorder, clip_code_of("empty"), recorder.count(), PROMPT_SECONDS));
  interrupt(*node);
}
}  // namespace
}  // namespace zel::testing
