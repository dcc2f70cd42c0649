// The clips users bring, made by Debian's ffmpeg and played on a fake clock: every frame the player
// sends is the one ffmpeg itself decodes from the same file, upright and at its size, at the clip's
// own rate (30 a second at least). Each case prints a line for the table of what plays in docs/media.md.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/playback_recorder.h"
#include "support/process.h"
#include "zel_video_player/app/media_libraries.h"
#include "zel_video_player/player/playback.h"

namespace zel::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The two conversions to BGR may differ by a level; the test picture's hue turns from one frame to
// the next, so a neighbouring frame differs by 40 levels and more, a mirrored one by 60, a turned one
// by 180.
constexpr double LARGEST_MEAN_DIFFERENCE = 2.0;
// The damaged cases spoil a packet of the second group of pictures, in the middle of the clip.
constexpr std::size_t DAMAGED_PACKET = 12;

enum class Afterwards {
  nothing,
  rotation_flag,       // `rotation` written on a copy, as a phone flags a clip it filmed turned
  bytes_overwritten,   // inside a frame's data: the decoder conceals what it cannot read
  length_overwritten,  // the frame's first length field: the decoder refuses the packet
  cut_short,           // the file ends in the middle of a frame, as an interrupted copy does
};

struct ClipCase {
  std::string name;
  std::string what;  // the codec as the README names it
  std::vector<std::string> encoding;  // ffmpeg's options after the test picture, inputs included
  int width;
  int height;
  double fps;
  int frames;
  Afterwards afterwards = Afterwards::nothing;
  int rotation = 0;
};

// Where the decoder refuses a packet, ffmpeg skips it and plays on; so must the player, and say so.
bool refuses_a_packet(const ClipCase& c) {
  return c.afterwards == Afterwards::length_overwritten || c.afterwards == Afterwards::cut_short;
}

void PrintTo(const ClipCase& c, std::ostream* out) { *out << c.name; }

std::vector<std::string> h264(std::vector<std::string> more = {}) {
  std::vector<std::string> options = {"-c:v", "libx264", "-pix_fmt", "yuv420p"};
  options.insert(options.end(), more.begin(), more.end());
  return options;
}

ClipCase rotated(int rotation) {
  return {"rotation_" + std::to_string(rotation), "H.264", h264(), 160, 96, 30, 10, Afterwards::rotation_flag,
          rotation};
}

ClipCase damaged(const std::string& name, Afterwards afterwards) {
  return {name, "H.264", h264({"-g", "10", "-movflags", "+faststart"}), 160, 96, 30, 30, afterwards};
}

const std::vector<ClipCase> CASES = {
    {"h264_25fps", "H.264", h264(), 160, 96, 25, 20},
    {"h264_with_aac_sound", "H.264 + AAC",
     {"-f", "lavfi", "-i", "sine=frequency=440:duration=1", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac"},
     160, 96, 30, 20},
    {"hevc_10_bit", "HEVC 10-bit",
     {"-c:v", "libx265", "-pix_fmt", "yuv420p10le", "-x265-params", "log-level=error"}, 160, 96, 30, 20},
    {"av1", "AV1", {"-c:v", "libsvtav1", "-preset", "12"}, 160, 96, 30, 20},
    {"vp9_60fps", "VP9", {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8"}, 160, 96, 60, 20},
    {"fragmented_mp4", "H.264, fragmented", h264({"-g", "5", "-movflags", "frag_keyframe+empty_moov"}), 160, 96, 30,
     20},
    {"odd_size", "H.264", h264(), 322, 242, 30, 10},
    {"size_480p", "H.264", h264(), 640, 480, 30, 3},
    {"size_720p", "H.264", h264(), 1280, 720, 30, 5},
    {"size_1080p", "H.264", h264(), 1920, 1080, 30, 3},
    // Past 1080p at 30 a second the decoder runs a thread per core, each with frames in flight.
    {"size_4k", "H.264", h264(), 3840, 2160, 30, 3},
    damaged("bytes_overwritten_inside_a_frame", Afterwards::bytes_overwritten),
    damaged("a_frames_length_overwritten", Afterwards::length_overwritten),
    damaged("cut_short_in_a_frame", Afterwards::cut_short),
    // ffmpeg writes rotate=-90, -180 and -270 as the very files of 270, 180 and 90.
    rotated(90),
    rotated(180),
    rotated(270),
};

std::string command_text(const std::vector<std::string>& argv) {
  std::string text;
  for (const std::string& arg : argv) text += (text.empty() ? "" : " ") + arg;
  return text;
}

// Its standard output; a failure of the test when it does not end well.
std::string output_of(const std::vector<std::string>& argv, const std::string& dir) {
  Process process(argv, {}, dir);
  const std::optional<int> status = process.wait_for(60s);
  EXPECT_EQ(status, 0) << command_text(argv) << "\n" << process.err();
  return process.out();
}

// ffmpeg's list of encoders, or nothing when there is no ffmpeg.
const std::string& ffmpeg_encoders() {
  static const std::string encoders = [] {
    const TempDir dir;
    Process process({"ffmpeg", "-hide_banner", "-encoders"}, {}, dir.path());
    return process.wait_for(60s) == 0 ? process.out() : std::string();
  }();
  return encoders;
}

// Whether the ffmpeg command takes an option: they come and go between FFmpeg 4.3 and 7.1.
bool ffmpeg_takes(const std::string& option) {
  static const std::string options = [] {
    const TempDir dir;
    Process process({"ffmpeg", "-hide_banner", "-h", "long"}, {}, dir.path());
    return process.wait_for(60s) == 0 ? process.out() : std::string();
  }();
  return options.find("\n" + option + " ") != std::string::npos ||
         options.find("\n" + option + "[") != std::string::npos;
}

std::vector<std::string> encoders_used(const ClipCase& c) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i + 1 < c.encoding.size(); ++i) {
    if (c.encoding[i] == "-c:v" || c.encoding[i] == "-c:a") names.push_back(c.encoding[i + 1]);
  }
  return names;
}

struct Packet {
  std::uintmax_t position;
  std::uintmax_t size;
};

// The video's packets in the file's order, as ffprobe lists them ("size=2748|pos=48").
std::vector<Packet> packets_of(const std::string& path, const std::string& dir) {
  std::istringstream lines(output_of({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                      "packet=pos,size", "-of", "compact=p=0", path},
                                     dir));
  std::vector<Packet> packets;
  for (std::string line; std::getline(lines, line);) {
    std::map<std::string, std::string> fields;
    std::istringstream entries(line);
    for (std::string entry; std::getline(entries, entry, '|');) {
      const auto equals = entry.find('=');
      fields[entry.substr(0, equals)] = entry.substr(equals + 1);
    }
    packets.push_back({std::stoull(fields.at("pos")), std::stoull(fields.at("size"))});
  }
  return packets;
}

void overwrite(const std::string& path, std::uintmax_t position, std::size_t count) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(static_cast<std::streamoff>(position));
  file << std::string(count, '\xff');
}

// A landscape picture whose corners, bars and counter tell a turn or a mirror, and whose hue turns
// at each frame, so that a frame out of place shows as well.
void make_clip(const ClipCase& c, const std::string& path, const std::string& dir) {
  const std::string encoded = c.afterwards == Afterwards::rotation_flag ? dir + "/unflagged.mp4" : path;
  char picture[128];
  std::snprintf(picture, sizeof picture, "testsrc2=size=%dx%d:rate=%g,hue=H=2*PI*n/7", c.width, c.height, c.fps);
  std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", picture};
  argv.insert(argv.end(), c.encoding.begin(), c.encoding.end());
  argv.insert(argv.end(), {"-frames:v", std::to_string(c.frames), encoded});
  output_of(argv, dir);
  // From FFmpeg 6 a turned clip is flagged with -display_rotation, counterclockwise, and the muxer no
  // longer turns the older "rotate" tag, clockwise, into a flag.
  if (c.afterwards == Afterwards::rotation_flag && ffmpeg_takes("-display_rotation")) {
    output_of({"ffmpeg", "-v", "error", "-y", "-display_rotation", std::to_string(-c.rotation), "-i", encoded, "-c",
               "copy", path},
              dir);
  } else if (c.afterwards == Afterwards::rotation_flag) {
    output_of({"ffmpeg", "-v", "error", "-y", "-i", encoded, "-c", "copy", "-metadata:s:v:0",
               "rotate=" + std::to_string(c.rotation), path},
              dir);
  }
  if (c.afterwards == Afterwards::nothing || c.afterwards == Afterwards::rotation_flag) return;
  const std::vector<Packet> packets = packets_of(path, dir);
  ASSERT_GT(packets.size(), DAMAGED_PACKET);
  const Packet damaged = packets[DAMAGED_PACKET];
  if (c.afterwards == Afterwards::bytes_overwritten) overwrite(path, damaged.position + damaged.size / 2, 16);
  if (c.afterwards == Afterwards::length_overwritten) overwrite(path, damaged.position, 4);
  if (c.afterwards == Afterwards::cut_short) fs::resize_file(path, damaged.position + damaged.size / 2);
}

// Every frame ffmpeg decodes from the file, turned upright as the file's flag says, none repeated
// or dropped to keep a constant rate.
std::vector<cv::Mat> ffmpeg_frames(const std::string& path, cv::Size size, const std::string& dir) {
  // FFmpeg 5.1 renamed -vsync.
  const std::string frame_timing = ffmpeg_takes("-fps_mode") ? "-fps_mode" : "-vsync";
  const std::string raw = output_of(
      {"ffmpeg", "-v", "error", "-i", path, frame_timing, "passthrough", "-f", "rawvideo", "-pix_fmt", "bgr24", "-"},
      dir);
  const std::size_t frame_bytes = size.area() * 3;
  EXPECT_EQ(raw.size() % frame_bytes, 0u) << "ffmpeg's frames are not " << size;
  std::vector<cv::Mat> frames;
  for (std::size_t at = 0; at + frame_bytes <= raw.size(); at += frame_bytes) {
    frames.push_back(cv::Mat(size, CV_8UC3, const_cast<char*>(raw.data() + at)).clone());
  }
  return frames;
}

double mean_difference(const cv::Mat& a, const cv::Mat& b) {
  return cv::norm(a, b, cv::NORM_L1) / (a.total() * a.channels());
}

class ClipFormatsTest : public PlaybackFixture<::testing::TestWithParam<ClipCase>> {
 protected:
  // As the node does: a damaged clip's decoder messages are expected here.
  static void SetUpTestSuite() { quiet_media_libraries(); }
};

TEST_P(ClipFormatsTest, EveryFrameIsTheOneFfmpegDecodesUprightAtTheClipsRate) {
  const ClipCase& c = GetParam();
  if (ffmpeg_encoders().empty()) GTEST_SKIP() << "the ffmpeg command is not installed";
  for (const std::string& encoder : encoders_used(c)) {
    if (ffmpeg_encoders().find(" " + encoder + " ") == std::string::npos) {
      GTEST_SKIP() << "ffmpeg has no encoder " << encoder;
    }
  }
  const std::string path = folder_ + "clip.mp4";
  ASSERT_NO_FATAL_FAILURE(make_clip(c, path, dir_.path()));
  const cv::Size upright = c.rotation % 180 == 0 ? cv::Size(c.width, c.height) : cv::Size(c.height, c.width);
  const std::vector<cv::Mat> expected = ffmpeg_frames(path, upright, dir_.path());
  ASSERT_FALSE(expected.empty());

  const Clock::Time began = clock_.now();
  playback_.play_video("clip");
  const std::vector<Sent> sent = output_.sent();

  EXPECT_EQ(sent.size(), expected.size());
  const auto events = output_.events();
  EXPECT_EQ(std::count_if(events.begin(), events.end(),
                          [](const std::string& event) { return event.find(" is damaged: ") != std::string::npos; }),
            refuses_a_packet(c) ? 1 : 0);
  const std::size_t compared = std::min(sent.size(), expected.size());
  const double period = 1 / std::max(c.fps, 30.0);
  std::size_t alike = 0;  // frames from the first on that are ffmpeg's
  double first_unlike_difference = 0;
  std::optional<std::size_t> off_pace;
  for (std::size_t i = 0; i < compared; ++i) {
    ASSERT_EQ(sent[i].pixels.size(), upright) << "frame " << i;
    const double difference = mean_difference(sent[i].pixels, expected[i]);
    if (alike == i && difference <= LARGEST_MEAN_DIFFERENCE) {
      ++alike;
    } else if (alike == i) {
      first_unlike_difference = difference;
    }
    const double offset = std::chrono::duration<double>(sent[i].at - began).count();
    if (!off_pace && std::abs(offset - i * period) > 1e-6) off_pace = i;
  }
  EXPECT_EQ(alike, compared) << "frame " << alike << " differs from ffmpeg's by " << first_unlike_difference
                             << " levels on average";
  EXPECT_FALSE(off_pace) << "frame " << *off_pace << " went out off the pace of " << 1 / period << " a second";
  const bool frame_for_frame = alike == sent.size() && sent.size() == expected.size();
  std::printf("[ clip     ] %s: %s %dx%d, %g fps, sent at %g a second: %zu of ffmpeg's %zu frames sent, %zu alike%s\n",
              c.name.c_str(), c.what.c_str(), upright.width, upright.height, c.fps, 1 / period, sent.size(),
              expected.size(), alike, frame_for_frame ? ": frame for frame" : "");
}

INSTANTIATE_TEST_SUITE_P(Clips, ClipFormatsTest, ::testing::ValuesIn(CASES),
                         [](const ::testing::TestParamInfo<ClipCase>& info) { return info.param.name; });

}  // namespace
}  // namespace zel::testing
