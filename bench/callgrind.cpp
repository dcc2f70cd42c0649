#include "callgrind.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <utility>

#include "callgrind_profile.h"
#include "decode_loop.h"
#include "frame_probe.h"
#include "measures.h"

namespace zel::bench {
namespace {

namespace fs = std::filesystem;

constexpr double INSTRUCTION_RATIO_TARGET = 1.10;
constexpr int CALLGRIND_LEAD_FRAMES = 3;  // frames the subscriber gets before the window opens
// Decoding runs a frame or two ahead on worker threads. Once that pipeline is full, both ends of a
// window cut it at about the same point, so the sum over a long window is all but exact.
constexpr int CALLGRIND_FIRST_FRAME = 10;

std::vector<std::string> callgrind_wrapper(const std::string& out_file) {
  // Each dump holds what every thread did since the dump before, so a dump made before each
  // frame read is exactly one frame's cycle: read, convert, publish, sleep.
  return {"valgrind", "--tool=callgrind", "--dump-before=cv::VideoCapture::read*",
          "--callgrind-out-file=" + out_file};
}

// Dump n is written just before the n-th read, so it holds the cycle of frame n - 2.
std::string dump_of_frame(const std::string& out_file, int frame_index) {
  return out_file + "." + std::to_string(frame_index + 2);
}

CallgrindRun measure_instructions(Harness& harness, const ClipFormat& format) {
  CallgrindRun run;
  run.format = format;
  const std::string media = ensure_media_folder(harness.options().clips_root, format);
  const std::string node_out = harness.work_path("callgrind_node_" + format.folder_name());
  const std::string decode_out = harness.work_path("callgrind_decode_" + format.folder_name());
  const std::size_t cursor = harness.probe().count();
  auto player = harness.start_player(media, callgrind_wrapper(node_out));
  harness.wait_for_frames(cursor + 1, 300.0, *player);
  run.first_frame = std::max(CALLGRIND_FIRST_FRAME,
                             harness.probe().frames(cursor, cursor + 1).front().frame_index + CALLGRIND_LEAD_FRAMES);
  // The window stays within one pass of the clip: the reopening between passes is not a frame.
  run.frames = std::min(harness.options().callgrind_frames, format.frames() - run.first_frame - 2);
  if (run.frames <= 0) throw std::runtime_error("the clip is too short for the callgrind window");
  const int end_frame = run.first_frame + run.frames;

  const std::string record_path = harness.work_path("callgrind_record");
  SharedDecodeRecord record(record_path, true);
  std::vector<std::string> decoder_argv = callgrind_wrapper(decode_out);
  for (const std::string& arg : {harness.options().bench_program, std::string("decode-loop"), std::string("--clip"),
                                 empty_clip_path(media), std::string("--record"), record_path,
                                 std::string("--frames"), std::to_string(end_frame + 1)}) {
    decoder_argv.push_back(arg);
  }
  auto decoder = harness.start(decoder_argv, {});

  // The dump after the window's last is written only once the last is complete.
  const double deadline = now_seconds() + 600.0;
  while (!fs::exists(dump_of_frame(node_out, end_frame)) || decoder->wait_for(std::chrono::milliseconds(0)) == std::nullopt) {
    if (now_seconds() > deadline) throw std::runtime_error("callgrind runs did not finish in time");
    if (player->wait_for(std::chrono::milliseconds(0))) throw std::runtime_error("the player under callgrind ended:\n" + player->err());
    pause_for(0.5);
  }
  for (const auto& frame : harness.probe().frames(cursor, harness.probe().count())) {
    if (frame.frame_index >= run.first_frame && frame.frame_index < end_frame) ++run.frames_received_in_window;
  }
  stop(player, 60.0);
  if (decoder->wait_for(std::chrono::milliseconds(0)) != 0) throw std::runtime_error("the decode-only loop failed:\n" + decoder->err());

  std::map<std::string, std::int64_t> extra;
  for (int frame = run.first_frame; frame < end_frame; ++frame) {
    const CallgrindDump node_dump = read_callgrind_dump(dump_of_frame(node_out, frame));
    const CallgrindDump decode_dump = read_callgrind_dump(dump_of_frame(decode_out, frame));
    run.node_instructions += node_dump.total;
    run.decode_instructions += decode_dump.total;
    for (const auto& [function, cost] : node_dump.self_by_function) extra[function] += static_cast<std::int64_t>(cost);
    for (const auto& [function, cost] : decode_dump.self_by_function) extra[function] -= static_cast<std::int64_t>(cost);
  }
  run.extra_by_function = std::move(extra);
  return run;
}

}  // namespace

std::vector<CallgrindRun> measure_instruction_counts(Harness& harness) {
  if (harness.options().callgrind_frames <= 0) return {};
  std::cout << "counting instructions under callgrind (a few minutes)..." << std::endl;
  return {measure_instructions(harness, FORMAT_1080_30)};
}

void report_instructions(Report& report, const std::vector<CallgrindRun>& runs) {
  report.heading("1b. Cost per frame in instructions (valgrind --tool=callgrind, the same frames of the same clip)");
  for (const auto& run : runs) {
    const double node = static_cast<double>(run.node_instructions) / run.frames;
    const double decode = static_cast<double>(run.decode_instructions) / run.frames;
    const double ratio = node / decode;
    report.line(format("   %s, frames %d-%d (%llu of them seen by the subscriber): player %.2f M/frame, decode-only "
                       "%.2f M/frame, ratio %.3f   target <= %.2f %s",
                       run.format.label().c_str(), run.first_frame, run.first_frame + run.frames - 1,
                       static_cast<unsigned long long>(run.frames_received_in_window), node / 1e6, decode / 1e6, ratio,
                       INSTRUCTION_RATIO_TARGET, verdict(ratio <= INSTRUCTION_RATIO_TARGET).c_str()));
    std::vector<std::pair<std::int64_t, std::string>> extra;
    for (const auto& [function, cost] : run.extra_by_function) extra.emplace_back(cost, function);
    std::sort(extra.begin(), extra.end(), [](const auto& a, const auto& b) { return std::abs(a.first) > std::abs(b.first); });
    report.line("     where the difference lies, per frame (player minus decode-only, own instructions of each function):");
    for (std::size_t i = 0; i < std::min<std::size_t>(8, extra.size()); ++i) {
      report.line(format("       %+8.3f M  %5.1f %%  %s", static_cast<double>(extra[i].first) / run.frames / 1e6,
                         100.0 * static_cast<double>(extra[i].first) / static_cast<double>(run.decode_instructions),
                         extra[i].second.substr(0, 110).c_str()));
    }
  }
}

}  // namespace zel::bench
