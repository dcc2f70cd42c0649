#include "zel_video_player/demo/sample_media.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include "support/process.h"
#include "zel_video_player/app/command_line.h"
#include "zel_video_player/app/media_check.h"
#include "zel_video_player/player/media_folder.h"

namespace zel::demo {
namespace {

namespace fs = std::filesystem;

std::string bytes_of(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(SampleMedia, ForeignFramesAreNotMistakenForSamples) {
  EXPECT_FALSE(recognise_sample_frame(cv::Mat()));
  EXPECT_FALSE(recognise_sample_frame(cv::Mat(480, 640, CV_8UC3, cv::Scalar(0, 0, 0))));
  EXPECT_FALSE(recognise_sample_frame(cv::Mat(480, 640, CV_8UC1, cv::Scalar(70))));
  cv::Mat noise(480, 640, CV_8UC3);
  cv::randu(noise, cv::Scalar::all(0), cv::Scalar::all(256));
  EXPECT_FALSE(recognise_sample_frame(noise));
}

TEST(SampleMedia, FolderIsCompleteMixesBothKindsAndSurvivesCompression) {
  testing::TempDir dir;
  const std::string folder = dir.path() + "/media";
  const auto written = write_sample_media(folder);
  EXPECT_EQ(check_paths(with_trailing_slash(folder)), std::nullopt);
  int videos = 0;
  int stills = 0;
  for (const auto& clip : sample_clips()) {
    videos += clip.video;
    stills += clip.still;
    if (clip.still) {
      EXPECT_TRUE(is_still(folder + "/", clip.name));
      const cv::Mat picture = cv::imread(still_path(folder + "/", clip.name));
      EXPECT_EQ(picture.size(), cv::Size(SAMPLE_WIDTH, SAMPLE_HEIGHT));
      EXPECT_EQ(recognise_sample_frame(picture), clip.name);
    }
    if (clip.video) {
      cv::VideoCapture capture(video_path(folder + "/", clip.name));
      ASSERT_TRUE(capture.isOpened()) << clip.name;
      EXPECT_EQ(capture.get(cv::CAP_PROP_FPS), SAMPLE_FPS);
      int frames = 0;
      cv::Mat frame;
      while (capture.read(frame)) {
        ASSERT_EQ(frame.size(), cv::Size(SAMPLE_WIDTH, SAMPLE_HEIGHT));
        if (frames++ % 20 == 0) {
          EXPECT_EQ(recognise_sample_frame(frame), clip.still ? HIDDEN_VIDEO_NAME : clip.name) << clip.name;
        }
      }
      EXPECT_EQ(frames, clip.frame_count) << clip.name;
    }
  }
  EXPECT_GE(videos, 2);
  EXPECT_GE(stills, 2);
  EXPECT_EQ(written.size(), static_cast<std::size_t>(videos + stills));
  for (const auto& entry : fs::directory_iterator(folder)) {
    EXPECT_EQ(entry.path().string().find(".part."), std::string::npos) << entry.path();
  }

  // Made again, the folder is the same byte for byte.
  const std::string again = dir.path() + "/again";
  write_sample_media(again);
  for (const auto& path : written) {
    EXPECT_EQ(bytes_of(path), bytes_of(fs::path(again) / fs::path(path).filename())) << path;
  }
}

TEST(SampleMedia, UnwritableFolderIsReported) {
  testing::TempDir dir;
  const std::string blocker = dir.path() + "/file";
  std::ofstream(blocker) << "not a folder";
  EXPECT_THROW(write_sample_media(blocker + "/media"), std::runtime_error);
}

}  // namespace
}  // namespace zel::demo
