#include "zel_video_player/app/media_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "zel_video_player/player/media_folder.h"
#include "zel_video_player/world/world.h"

namespace zel {
namespace {

namespace fs = std::filesystem;

class MediaFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("zel_media_" + std::to_string(::getpid()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
    folder_ = root_.string() + "/";
  }
  void TearDown() override {
    ::chmod(root_.c_str(), 0755);
    fs::remove_all(root_);
  }
  void touch(const std::string& name) { std::ofstream(root_ / name) << "x"; }
  void fill_all(const std::string& extension) {
    for (auto name : OBJECT_LIST) touch(std::string(name) + extension);
    touch("empty" + extension);
  }
  std::string missing(const std::string& name) const {
    return "Element " + folder_ + name + "{.mp4/.jpg} does not exist! Please add it to the video folder.";
  }

  fs::path root_;
  std::string folder_;
};

TEST_F(MediaFolderTest, CompleteFoldersOfEitherKindPass) {
  fill_all(".mp4");
  EXPECT_EQ(check_paths(folder_), std::nullopt);
  fs::remove(root_ / "dog.mp4");
  touch("dog.jpg");
  touch("notes.txt");
  EXPECT_EQ(check_paths(folder_), std::nullopt);
}

TEST_F(MediaFolderTest, FirstMissingNameInOrderAndEmptyLast) {
  fill_all(".mp4");
  fs::remove(root_ / "dog.mp4");
  fs::remove(root_ / "person1.mp4");
  fs::remove(root_ / "empty.mp4");
  EXPECT_EQ(check_paths(folder_), missing("dog"));
  touch("dog.jpg");
  EXPECT_EQ(check_paths(folder_), missing("person1"));
  touch("person1.jpg");
  EXPECT_EQ(check_paths(folder_), missing("empty"));
}

TEST_F(MediaFolderTest, DirectoriesDanglingLinksAndCaseDoNotCount) {
  fill_all(".mp4");
  fs::remove(root_ / "cat.mp4");
  fs::create_directory(root_ / "cat.mp4");
  touch("Cat.jpg");
  EXPECT_EQ(check_paths(folder_), missing("cat"));
  fs::create_symlink(root_ / "gone.jpg", root_ / "cat.jpg");
  EXPECT_EQ(check_paths(folder_), missing("cat"));
  touch("gone.jpg");
  EXPECT_EQ(check_paths(folder_), std::nullopt);
}

TEST_F(MediaFolderTest, UnreadableFolderCountsAsAbsent) {
  if (::geteuid() == 0) GTEST_SKIP() << "root examines every entry";
  fill_all(".mp4");
  ::chmod(root_.c_str(), 0);
  EXPECT_EQ(check_paths(folder_), missing("cat"));
}

TEST_F(MediaFolderTest, StillWinsOverVideo) {
  touch("dog.mp4");
  EXPECT_FALSE(is_still(folder_, "dog"));
  touch("dog.jpg");
  EXPECT_TRUE(is_still(folder_, "dog"));
  fs::create_directory(root_ / "cat.jpg");
  EXPECT_FALSE(is_still(folder_, "cat"));
}

}  // namespace
}  // namespace zel
