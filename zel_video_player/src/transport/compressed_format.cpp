#include "zel_video_player/transport/compressed_format.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <optional>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace zel::transport {
namespace {

constexpr const char* BGR8 = "bgr8";
constexpr const char* RGB8 = "rgb8";
constexpr const char* MONO8 = "mono8";

const char* codec_name(Codec codec) { return codec == Codec::png ? "png" : "jpeg"; }

int within(const char* name, int value, int low, int high, std::string& problems) {
  const int bounded = std::clamp(value, low, high);
  if (bounded != value) {
    problems += std::string(problems.empty() ? "" : "; ") + name + " " + std::to_string(value) + " is outside " +
                std::to_string(low) + ".." + std::to_string(high) + ": using " + std::to_string(bounded);
  }
  return bounded;
}

// Channels of the encodings taken in, with the conversion that makes them bgr8; 0 for the rest.
int channels_of(const std::string& encoding, int& to_bgr) {
  to_bgr = -1;
  if (encoding == MONO8) return 1;
  if (encoding == BGR8) return 3;
  if (encoding == RGB8) return to_bgr = cv::COLOR_RGB2BGR, 3;
  if (encoding == "bgra8") return to_bgr = cv::COLOR_BGRA2BGR, 4;
  if (encoding == "rgba8") return to_bgr = cv::COLOR_RGBA2BGR, 4;
  return 0;
}

Encoded failure(std::string error) {
  Encoded encoded;
  encoded.error = std::move(error);
  return encoded;
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::uint32_t big_endian(const std::uint8_t* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = (value << 8) | bytes[i];
  return value;
}

struct PictureSize {
  std::uint32_t width;
  std::uint32_t height;
};

// The size a PNG's header chunk declares, which the format puts first.
std::optional<PictureSize> png_size(const std::vector<std::uint8_t>& data) {
  static constexpr std::uint8_t SIGNATURE[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (data.size() < 24 || !std::equal(std::begin(SIGNATURE), std::end(SIGNATURE), data.begin())) return std::nullopt;
  if (!std::equal(data.begin() + 12, data.begin() + 16, "IHDR")) return std::nullopt;
  return PictureSize{big_endian(&data[16], 4), big_endian(&data[20], 4)};
}

// The size the first start-of-frame segment of a JPEG declares, the one its decoder reads.
std::optional<PictureSize> jpeg_size(const std::vector<std::uint8_t>& data) {
  if (data.size() < 4 || data[0] != 0xff || data[1] != 0xd8) return std::nullopt;
  std::size_t at = 2;
  while (at + 4 <= data.size()) {
    if (data[at] != 0xff) return std::nullopt;
    const std::uint8_t marker = data[at + 1];
    if (marker == 0xff) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd8)) {  // markers without a segment
      at += 2;
      continue;
    }
    if (marker == 0xd9 || marker == 0xda) return std::nullopt;  // the end, or pixels, before any frame
    const std::uint32_t length = big_endian(&data[at + 2], 2);
    if (length < 2) return std::nullopt;
    const bool start_of_frame = marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
    if (start_of_frame) {
      if (at + 9 > data.size()) return std::nullopt;
      return PictureSize{big_endian(&data[at + 7], 2), big_endian(&data[at + 5], 2)};
    }
    at += 2 + length;
  }
  return std::nullopt;
}

}  // namespace

EncodeSettings settle(const RequestedSettings& requested, std::string& problems) {
  problems.clear();
  EncodeSettings settings;
  if (requested.format) {
    if (*requested.format == "png") {
      settings.codec = Codec::png;
    } else if (*requested.format != "jpeg") {
      problems = "format '" + *requested.format + "' is neither jpeg nor png: using jpeg";
    }
  }
  if (requested.jpeg_quality) {
    settings.jpeg_quality =
        within("jpeg_quality", *requested.jpeg_quality, MIN_JPEG_QUALITY, MAX_JPEG_QUALITY, problems);
  }
  if (requested.png_level) {
    settings.png_level = within("png_level", *requested.png_level, MIN_PNG_LEVEL, MAX_PNG_LEVEL, problems);
  }
  return settings;
}

std::string format_for(const std::string& encoding, Codec codec) {
  // Mono stays mono and names no target, as ROS's own publisher writes it.
  return encoding + "; " + codec_name(codec) + " compressed " + (encoding == MONO8 ? "" : BGR8);
}

Encoded encode(const RawImage& image, const EncodeSettings& settings) {
  int to_bgr = -1;
  const int channels = channels_of(image.encoding, to_bgr);
  if (channels == 0) return failure("encoding '" + image.encoding + "' is not one of mono8, bgr8, rgb8, bgra8, rgba8");
  if (image.width == 0 || image.height == 0) return failure("the image is empty");
  if (image.width > INT_MAX / 4 || image.height > INT_MAX) return failure("the image is too large");
  // A message's fields come from anyone: they must describe bytes that are there before any is read.
  const std::uint64_t row = std::uint64_t{image.width} * static_cast<std::uint64_t>(channels);
  if (image.step < row) {
    return failure("step " + std::to_string(image.step) + " is shorter than a row of " + std::to_string(row) +
                   " bytes");
  }
  if (!image.data || std::uint64_t{image.step} * image.height > image.size) {
    return failure("data holds " + std::to_string(image.size) + " bytes, not the " +
                   std::to_string(std::uint64_t{image.step} * image.height) + " its size needs");
  }
  const cv::Mat pixels(static_cast<int>(image.height), static_cast<int>(image.width), CV_8UC(channels),
                       const_cast<std::uint8_t*>(image.data), image.step);
  Encoded encoded;
  try {
    // Converted into a Mat of its own: one sharing the message's bytes would be written over.
    cv::Mat bgr;
    if (to_bgr >= 0) {
      cv::cvtColor(pixels, bgr, to_bgr);
    } else {
      bgr = pixels;
    }
    const bool png = settings.codec == Codec::png;
    const std::vector<int> params = png ? std::vector<int>{cv::IMWRITE_PNG_COMPRESSION, settings.png_level}
                                        : std::vector<int>{cv::IMWRITE_JPEG_QUALITY, settings.jpeg_quality};
    if (!cv::imencode(png ? ".png" : ".jpg", bgr, encoded.data, params)) {
      return failure(std::string("OpenCV could not encode the image as ") + codec_name(settings.codec));
    }
  } catch (const cv::Exception& e) {
    return failure(std::string("OpenCV could not encode the image as ") + codec_name(settings.codec) + ": " + e.what());
  }
  encoded.format = format_for(image.encoding, settings.codec);
  return encoded;
}

std::string decoded_encoding(const std::string& format) {
  const std::string named = trimmed(format.substr(0, format.find(';')));
  return named == RGB8 || named == MONO8 ? named : BGR8;
}

Decoded decode(const std::vector<std::uint8_t>& data, const std::string& format) {
  Decoded decoded;
  decoded.encoding = decoded_encoding(format);
  if (data.empty()) {
    decoded.error = "no data";
    return decoded;
  }
  std::optional<PictureSize> size = png_size(data);
  if (!size) size = jpeg_size(data);
  if (!size) {
    decoded.error = "it is not a JPEG or PNG picture";
    return decoded;
  }
  if (std::uint64_t{size->width} * size->height > MAX_DECODED_PIXELS) {
    decoded.error = "it declares " + std::to_string(size->width) + "x" + std::to_string(size->height) +
                    " pixels, more than the " + std::to_string(MAX_DECODED_PIXELS) + " a picture may have";
    return decoded;
  }
  try {
    const cv::Mat bytes(1, static_cast<int>(std::min<std::size_t>(data.size(), INT_MAX)), CV_8UC1,
                        const_cast<std::uint8_t*>(data.data()));
    decoded.pixels = cv::imdecode(bytes, decoded.encoding == MONO8 ? cv::IMREAD_GRAYSCALE : cv::IMREAD_COLOR);
    if (!decoded.pixels.empty() && decoded.encoding == RGB8) {
      cv::cvtColor(decoded.pixels, decoded.pixels, cv::COLOR_BGR2RGB);
    }
  } catch (const cv::Exception& e) {
    decoded.pixels.release();
    decoded.error = std::string("OpenCV could not decode it: ") + e.what();
    return decoded;
  }
  if (decoded.pixels.empty()) decoded.error = "OpenCV could not decode it as a picture";
  return decoded;
}

}  // namespace zel::transport
