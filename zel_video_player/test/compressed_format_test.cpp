// The compressed transport without ROS: the format text ROS's own transport writes and reads, the
// settings within bounds, pictures back as they were, and messages whose fields lie.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <iterator>

#include "zel_video_player/transport/compressed_format.h"

namespace zel::transport {
namespace {

const EncodeSettings PNG{Codec::png, DEFAULT_JPEG_QUALITY, DEFAULT_PNG_LEVEL};

RawImage raw(const cv::Mat& picture, const std::string& encoding) {
  return {static_cast<std::uint32_t>(picture.cols), static_cast<std::uint32_t>(picture.rows),
          static_cast<std::uint32_t>(picture.step), encoding, picture.data, picture.step * picture.rows};
}

Decoded round_trip(const RawImage& image, const EncodeSettings& settings) {
  const Encoded encoded = encode(image, settings);
  EXPECT_EQ(encoded.error, "");
  return decode(encoded.data, encoded.format);
}

TEST(CompressedFormat, FormatTextAndSettingsAreWhatROSsOwnTransportUses) {
  EXPECT_EQ(format_for("bgr8", Codec::jpeg), "bgr8; jpeg compressed bgr8");
  EXPECT_EQ(format_for("mono8", Codec::png), "mono8; png compressed ");
  EXPECT_EQ(decoded_encoding(" mono8 ; png compressed "), "mono8");
  EXPECT_EQ(decoded_encoding("bgra8; jpeg compressed bgr8"), "bgr8");
  EXPECT_EQ(decoded_encoding("jpeg"), "bgr8");  // as older drivers write it

  std::string problems;
  EXPECT_EQ(settle({}, problems), (EncodeSettings{Codec::jpeg, 80, 9}));
  EXPECT_EQ(problems, "");
  EXPECT_EQ(settle({std::string("gif"), 0, 10}, problems), (EncodeSettings{Codec::jpeg, 1, 9}));
  for (const char* told : {"gif", "jpeg_quality 0", "png_level 10"}) EXPECT_NE(problems.find(told), std::string::npos);
  EXPECT_EQ(settle({std::string("png"), 101, -1}, problems), (EncodeSettings{Codec::png, 100, 0}));
}

TEST(CompressedFormat, PicturesComeBackAsTheyWereInTheEncodingTheFormatNames) {
  cv::Mat bgr(48, 64, CV_8UC3);  // smooth, so that compression tells, and every channel different
  // Row by row: forEach's worker threads would hide their handover from the thread sanitizer.
  for (int row = 0; row < bgr.rows; ++row) {
    for (int col = 0; col < bgr.cols; ++col) bgr.at<cv::Vec3b>(row, col) = cv::Vec3b(row * 4, col * 3, 250 - row);
  }
  cv::Mat rgb;
  cv::cvtColor(bgr, rgb, cv::COLOR_BGR2RGB);
  // rgb8 travels as bgr8 and comes back as rgb8; the message it came from is left as it was.
  const Decoded from_rgb = round_trip(raw(rgb, "rgb8"), PNG);
  EXPECT_EQ(from_rgb.encoding, "rgb8");
  EXPECT_EQ(cv::norm(from_rgb.pixels, rgb, cv::NORM_INF), 0.0);

  cv::Mat mono;
  cv::cvtColor(bgr, mono, cv::COLOR_BGR2GRAY);
  const Decoded from_mono = round_trip(raw(mono, "mono8"), PNG);
  EXPECT_EQ(from_mono.encoding, "mono8");
  EXPECT_EQ(cv::norm(from_mono.pixels, mono, cv::NORM_INF), 0.0);

  // Rows padded past their pixels, as some drivers send them.
  cv::Mat padded(48, 70, CV_8UC3, cv::Scalar::all(9));
  bgr.copyTo(padded(cv::Rect(0, 0, 64, 48)));
  RawImage narrower = raw(padded, "bgr8");
  narrower.width = 64;
  EXPECT_EQ(cv::norm(round_trip(narrower, PNG).pixels, bgr, cv::NORM_INF), 0.0);

  // Quality and level reach the encoder.
  const auto size_with = [&](EncodeSettings settings) { return encode(raw(bgr, "bgr8"), settings).data.size(); };
  EXPECT_LT(size_with({Codec::jpeg, 10, 9}), size_with({Codec::jpeg, 95, 9}));
  EXPECT_LT(size_with({Codec::png, 80, 9}), size_with({Codec::png, 80, 0}));

  for (const auto& data : {std::vector<std::uint8_t>(), std::vector<std::uint8_t>(500, 0x5a)}) {
    EXPECT_NE(decode(data, "bgr8; jpeg compressed bgr8").error, "");
  }
}

TEST(CompressedFormat, ImagesWhoseFieldsDoNotDescribeTheirDataAreRefusedUnread) {
  const cv::Mat bgr(8, 8, CV_8UC3, cv::Scalar::all(1));
  // PNG, which takes any height: JPEG would refuse a tall one for its own reasons.
  const auto refused = [](const RawImage& image) { return !encode(image, PNG).error.empty(); };
  std::vector<RawImage> lying(5, raw(bgr, "bgr8"));
  lying[0].step -= 1;
  lying[1].size -= 1;
  lying[2] = {1u << 19, 1u << 13, 3u << 19, "bgr8", bgr.data, 192};  // step * height a multiple of 2^32
  lying[3].data = nullptr;
  lying[4].width = 0;
  for (const std::string encoding : {"mono16", "32FC1", "bayer_rggb8"}) lying.push_back(raw(bgr, encoding));
  for (const RawImage& image : lying) EXPECT_TRUE(refused(image)) << image.encoding << " " << image.step;
  EXPECT_FALSE(refused(raw(bgr, "bgr8")));
}

TEST(CompressedFormat, PicturesThatAreNotJpegOrPngOrDeclareTooManyPixelsAreRefusedUndecoded) {
  const cv::Mat bgr(8, 8, CV_8UC3, cv::Scalar(10, 20, 30));
  const auto declaring = [&](Codec codec, std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> data = encode(raw(bgr, "bgr8"), {codec, 90, 1}).data;
    if (codec == Codec::png) {
      for (int i = 0; i < 4; ++i) {
        data[16 + i] = static_cast<std::uint8_t>(width >> (24 - 8 * i));
        data[20 + i] = static_cast<std::uint8_t>(height >> (24 - 8 * i));
      }
    } else {
      // The baseline frame header, after the JFIF segment OpenCV writes first.
      const std::uint8_t start_of_frame[] = {0xff, 0xc0};
      const auto at = std::search(data.begin(), data.end(), std::begin(start_of_frame), std::end(start_of_frame));
      EXPECT_NE(at, data.end());
      at[5] = static_cast<std::uint8_t>(height >> 8), at[6] = static_cast<std::uint8_t>(height);
      at[7] = static_cast<std::uint8_t>(width >> 8), at[8] = static_cast<std::uint8_t>(width);
    }
    return decode(data, "bgr8; jpeg compressed bgr8");
  };
  for (const Codec codec : {Codec::jpeg, Codec::png}) {
    EXPECT_EQ(declaring(codec, 8, 8).error, "");
    EXPECT_NE(declaring(codec, 8193, 8192).error.find("declares 8193x8192 pixels"), std::string::npos);
  }
  std::vector<std::uint8_t> bitmap;
  ASSERT_TRUE(cv::imencode(".bmp", bgr, bitmap));
  EXPECT_EQ(decode(bitmap, "bgr8; jpeg compressed bgr8").error, "it is not a JPEG or PNG picture");
}

}  // namespace
}  // namespace zel::transport
