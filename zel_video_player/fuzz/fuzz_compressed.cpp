// Compressed pictures and raw images as they come off the wire, from anyone: an image is encoded
// exactly when its fields describe bytes that are there, and a picture decodes only into an image
// of the encoding its format names, within the pixels a picture may have.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "zel_video_player/transport/compressed_format.h"

namespace {

using namespace zel::transport;

const char* const ENCODINGS[] = {"bgr8", "rgb8", "mono8", "bgra8", "rgba8", "mono16", ""};
constexpr int CHANNELS[] = {3, 3, 1, 4, 4, 0, 0};
const char* const FORMATS[] = {"bgr8; jpeg compressed bgr8", "rgb8; png compressed bgr8", "mono8; png compressed ",
                               "jpeg", ""};

void check(bool holds) {
  if (!holds) std::abort();
}

std::uint32_t read16(const std::uint8_t* bytes) { return (std::uint32_t{bytes[0]} << 8) | bytes[1]; }

// Layout: 0, format choice, then the picture's bytes.
void fuzz_decode(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return;
  const std::string format = FORMATS[data[1] % std::size(FORMATS)];
  const Decoded decoded = decode(std::vector<std::uint8_t>(data + 2, data + size), format);
  if (!decoded.error.empty()) return;
  check(!decoded.pixels.empty() && decoded.pixels.isContinuous());
  check(decoded.pixels.total() <= MAX_DECODED_PIXELS);
  check(decoded.pixels.type() == (decoded.encoding == "mono8" ? CV_8UC1 : CV_8UC3));
}

// Layout: 1, width, height, step (16 bits each), encoding choice, codec, then the bytes.
void fuzz_encode(const std::uint8_t* data, std::size_t size) {
  if (size < 9) return;
  const std::size_t choice = data[7] % std::size(ENCODINGS);
  RawImage image{read16(data + 1), read16(data + 3), read16(data + 5), ENCODINGS[choice], data + 9, size - 9};
  const Codec codec = data[8] & 1 ? Codec::png : Codec::jpeg;
  const EncodeSettings settings{codec, 1 + data[8] % 100, data[8] % 10};
  const std::vector<std::uint8_t> exact(image.data, image.data + image.size);
  image.data = exact.data();  // bytes of their own, so a read past them is seen
  const Encoded encoded = encode(image, settings);
  const int channels = CHANNELS[choice];
  const bool described = channels > 0 && image.width > 0 && image.height > 0 &&
                         image.step >= image.width * static_cast<std::uint32_t>(channels) &&
                         std::uint64_t{image.step} * image.height <= image.size;
  if (!described) {
    check(!encoded.error.empty());
    return;
  }
  // JPEG has limits of its own on a frame's sides; PNG takes any that fit in memory.
  if (codec == Codec::jpeg && !encoded.error.empty()) return;
  check(encoded.error.empty());
  const Decoded decoded = decode(encoded.data, encoded.format);
  check(decoded.error.empty());
  check(decoded.pixels.cols == static_cast<int>(image.width) && decoded.pixels.rows == static_cast<int>(image.height));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (data[0] & 1) {
    fuzz_encode(data, size);
  } else {
    fuzz_decode(data, size);
  }
  return 0;
}
