// The one maker of the tests', the demo's and the benchmarks' media: what a mark carries comes back
// from the decoded clip, and a file is there whole or not at all.
#include "zel_video_player/sim/media_maker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <random>
#include <stdexcept>
#include <vector>

#include <opencv2/videoio.hpp>

#include "support/process.h"

namespace zel::media_maker {
namespace {

namespace fs = std::filesystem;

struct MarkCase {
  Mark mark;
  VideoFormat format;
  FrameIdentity most;  // the largest identity the mark carries
};

// Each mark in the codec and the size its users write it in; the blocks over noise, the hardest
// picture for H.264 to keep them sharp on.
const std::vector<MarkCase> MARK_CASES{
    {Mark::colour, {{160, 120}, 30.0, Codec::mpeg4}, {6, 29}},
    {Mark::blocks, {{320, 240}, 25.0, Codec::h264}, {15, 4095}},
};

TEST(MediaMaker, EveryFrameOfAClipReadsBackAsPaintedWhateverTheSequence) {
  const testing::TempDir dir;
  std::mt19937 random(20240731);
  for (const MarkCase& c : MARK_CASES) {
    SCOPED_TRACE(c.mark == Mark::colour ? "colour" : "blocks");
    std::vector<FrameIdentity> painted(40);
    for (auto& identity : painted) {
      identity = {std::uniform_int_distribution<int>(0, c.most.clip_code)(random),
                  std::uniform_int_distribution<int>(0, c.most.frame_index)(random)};
    }
    const std::string path = dir.path() + "/clip.mp4";
    write_clip(path, c.format, static_cast<int>(painted.size()), [&](cv::Mat& frame, int index) {
      if (c.mark == Mark::blocks) cv::randu(frame, cv::Scalar::all(0), cv::Scalar::all(256));
      paint_mark(frame, c.mark, painted[index]);
    });
    cv::VideoCapture clip(path);
    ASSERT_TRUE(clip.isOpened());
    EXPECT_EQ(clip.get(cv::CAP_PROP_FPS), c.format.fps);
    std::size_t read = 0;
    for (cv::Mat frame; clip.read(frame); ++read) {
      ASSERT_LT(read, painted.size());
      ASSERT_EQ(frame.size(), c.format.size);
      const auto identity = read_mark(frame, c.mark);
      ASSERT_TRUE(identity) << "frame " << read;
      EXPECT_EQ(identity->clip_code, painted[read].clip_code) << "frame " << read;
      EXPECT_EQ(identity->frame_index, painted[read].frame_index) << "frame " << read;
    }
    EXPECT_EQ(read, painted.size());
  }
}

TEST(MediaMaker, AMarkIsPaintedOnlyWhereItCanBeReadBackAndReadOnlyWhereOneWasPainted) {
  for (const MarkCase& c : MARK_CASES) {
    cv::Mat frame(c.format.size, CV_8UC3);
    for (const FrameIdentity beyond : {FrameIdentity{c.most.clip_code + 1, 0}, FrameIdentity{0, -1}}) {
      EXPECT_THROW(paint_mark(frame, c.mark, beyond), std::invalid_argument) << beyond.clip_code;
    }
    EXPECT_FALSE(read_mark(cv::Mat(c.format.size, CV_8UC1), c.mark));
  }
  cv::Mat narrow(16, 255, CV_8UC3);
  EXPECT_THROW(paint_mark(narrow, Mark::blocks, {0, 0}), std::invalid_argument);
  EXPECT_FALSE(read_mark(narrow, Mark::blocks));
  cv::Mat least(16, 256, CV_8UC3);
  EXPECT_THROW(paint_mark(least, Mark::blocks, {0, 4096}), std::invalid_argument);
  // A colour halfway between two frames' is no frame's; past its green, every frame reads as the same.
  EXPECT_FALSE(read_mark(cv::Mat(120, 160, CV_8UC3, cv::Scalar(80, 20, 128)), Mark::colour));
  cv::Mat late(120, 160, CV_8UC3);
  paint_mark(late, Mark::colour, {2, 1000});
  EXPECT_EQ(read_mark(late, Mark::colour)->frame_index, 30);
}

TEST(MediaMaker, AFileIsThereWholeOrNotAtAll) {
  const testing::TempDir dir;
  const VideoFormat format{{160, 120}, 30.0, Codec::mpeg4};
  const auto paint = [](cv::Mat& frame, int index) { paint_mark(frame, Mark::colour, {1, index}); };
  const auto files = [&] { return std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()); };

  write_clip(dir.path() + "/whole.mp4", format, 3, paint);
  write_still(dir.path() + "/whole.jpg", cv::Mat(120, 160, CV_8UC3, cv::Scalar(0, 0, 255)));
  EXPECT_EQ(files(), 2);

  // A painter that fails half-way, a frame the writer would drop unsaid, a place that cannot be written.
  EXPECT_THROW(write_clip(dir.path() + "/failed.mp4", format, 3,
                          [&](cv::Mat& frame, int index) {
                            if (index == 2) throw std::runtime_error("the painter failed");
                            paint(frame, index);
                          }),
               std::runtime_error);
  EXPECT_THROW(write_clip(dir.path() + "/resized.mp4", format, 3,
                          [&](cv::Mat& frame, int index) { frame = cv::Mat(60, 80, CV_8UC3, cv::Scalar::all(index)); }),
               std::runtime_error);
  EXPECT_THROW(write_clip(dir.path() + "/missing/clip.mp4", format, 3, paint), std::runtime_error);
  EXPECT_THROW(write_still(dir.path() + "/missing/still.jpg", cv::Mat(120, 160, CV_8UC3)), std::runtime_error);
  EXPECT_EQ(files(), 2);
}

}  // namespace
}  // namespace zel::media_maker
