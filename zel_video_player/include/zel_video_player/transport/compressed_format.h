#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace zel::transport {

// The compressed transport as it travels: a picture in JPEG or PNG, and the text that tells a
// subscriber what the picture was before, "bgr8; jpeg compressed bgr8". Nothing here knows ROS.

enum class Codec { jpeg, png };

constexpr int MIN_JPEG_QUALITY = 1;
constexpr int MAX_JPEG_QUALITY = 100;
constexpr int DEFAULT_JPEG_QUALITY = 80;
constexpr int MIN_PNG_LEVEL = 0;
constexpr int MAX_PNG_LEVEL = 9;
constexpr int DEFAULT_PNG_LEVEL = 9;

struct EncodeSettings {
  Codec codec = Codec::jpeg;
  int jpeg_quality = DEFAULT_JPEG_QUALITY;
  int png_level = DEFAULT_PNG_LEVEL;

  bool operator==(const EncodeSettings& other) const {
    return codec == other.codec && jpeg_quality == other.jpeg_quality && png_level == other.png_level;
  }
  bool operator!=(const EncodeSettings& other) const { return !(*this == other); }
};

// The settings a user asked for; what is left out takes its default.
struct RequestedSettings {
  std::optional<std::string> format;
  std::optional<int> jpeg_quality;
  std::optional<int> png_level;
};

// A number out of bounds is brought to the nearest bound and an unknown format is JPEG: the user
// still gets pictures. `problems` tells what was changed, empty when nothing was.
EncodeSettings settle(const RequestedSettings& requested, std::string& problems);

// An image's fields as a message carries them; `data` is borrowed.
struct RawImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t step = 0;
  std::string encoding;
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
};

struct Encoded {
  std::string format;
  std::vector<std::uint8_t> data;
  std::string error;  // empty when encoded
};

// Encodes mono8 as it is and every colour image (bgr8, rgb8, bgra8, rgba8) as bgr8. An image whose
// fields do not describe its data, or of another encoding, is an error and is not read.
Encoded encode(const RawImage& image, const EncodeSettings& settings);

// The format text for an image of `encoding`: "mono8; png compressed ", "rgb8; jpeg compressed bgr8".
std::string format_for(const std::string& encoding, Codec codec);

// The encoding a subscriber gives back, from the format text: what stands before ';' when it is
// bgr8, rgb8 or mono8, otherwise bgr8.
std::string decoded_encoding(const std::string& format);

// A picture from the wire declares its own size, and a decoder allocates it before reading any
// pixel: a few bytes could otherwise ask for gigabytes. 8192 x 8192 is above any camera's frame.
constexpr std::uint64_t MAX_DECODED_PIXELS = std::uint64_t{1} << 26;

struct Decoded {
  cv::Mat pixels;  // continuous, CV_8UC1 for mono8 and CV_8UC3 otherwise
  std::string encoding;
  std::string error;  // empty when decoded
};

// Only JPEG and PNG, what the transport carries, and only up to MAX_DECODED_PIXELS.
Decoded decode(const std::vector<std::uint8_t>& data, const std::string& format);

}  // namespace zel::transport
