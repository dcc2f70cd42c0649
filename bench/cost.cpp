#include "cost.h"

#include <signal.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>

#include "decode_loop.h"
#include "frame_probe.h"
#include "zel_video_player/player/playback.h"

namespace zel::bench {
namespace {

using zel::testing::Process;

// Of the floor: decoding into warm memory, then one send of the frame's bytes.
constexpr double FLOOR_RATIO_TARGET = 1.1;
// A 4K phone clip at 30 Hz: every interval at the subscriber under this, but one in a hundred.
constexpr double ARRIVAL_P99_TARGET_2160_SECONDS = 0.040;

std::string list_of(const std::vector<double>& values) {
  std::string text;
  for (const double value : values) text += (text.empty() ? "" : " ") + format("%.3f", value);
  return text;
}

std::string cpu_columns(const ProcessCpu& cpu, std::uint64_t frames) {
  const double n = static_cast<double>(frames);
  return format("%6.2f = %5.2f + %4.2f %6.0f", cpu.seconds() / n * 1000, cpu.user_seconds / n * 1000,
                cpu.system_seconds / n * 1000, static_cast<double>(cpu.minor_faults) / n);
}

double mean(const std::vector<double>& values) {
  return values.empty() ? 0 : std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

}  // namespace

CostRun measure_cost(Harness& harness, const ClipFormat& format, int subscribers) {
  CostRun run;
  run.format = format;
  run.subscribers = subscribers;
  run.target_rate = Playback::video_rate(format.fps);
  const std::string media = ensure_media_folder(harness.options().clips_root, format);
  run.transport_floor = measure_transport_floor(static_cast<std::size_t>(format.width) * format.height * 3,
                                                run.target_rate, TRANSPORT_FLOOR_FRAMES);
  const std::size_t first = harness.probe().count();
  auto player = harness.start_player(media);
  std::vector<std::unique_ptr<Process>> extra_subscribers;
  for (int i = 1; i < subscribers; ++i) {
    extra_subscribers.push_back(harness.start({harness.options().bench_program, "subscribe"}, harness.master_env()));
  }
  const std::string record_path = harness.work_path("decode_record");
  SharedDecodeRecord record(record_path, true);
  auto decoder = harness.start(
      {harness.options().bench_program, "decode-loop", "--clip", empty_clip_path(media), "--record", record_path}, {});
  harness.wait_for_frames(first + 10, 60.0, *player);
  pause_for(WARM_UP_SECONDS);

  // The two take turns, each alone while the other is stopped: neither's pace suffers from the
  // other on a small machine, and alternating windows share any drift in its load.
  double paced_seconds = 0;
  for (int window = 0; window < harness.options().windows; ++window) {
    decoder->signal(SIGSTOP);
    player->signal(SIGCONT);
    pause_for(RESUME_SETTLE_SECONDS);
    const std::size_t cursor_before = harness.probe().count();
    const ProcessCpu node_before = process_cpu(player->pid());
    pause_for(harness.options().window_seconds);
    const std::size_t cursor_after = harness.probe().count();
    const ProcessCpu node_window = process_cpu(player->pid()) - node_before;
    run.memory = run.memory.most(memory_use(player->pid()));

    player->signal(SIGSTOP);
    decoder->signal(SIGCONT);
    pause_for(RESUME_SETTLE_SECONDS);
    const ProcessCpu decode_before = process_cpu(decoder->pid());
    const std::uint64_t decoded_before = record.frames();
    pause_for(harness.options().window_seconds);
    const ProcessCpu decode_window = process_cpu(decoder->pid()) - decode_before;
    const std::uint64_t decoded = record.frames() - decoded_before;

    // From the last frame before the window to the last one in it: what was published meanwhile.
    const auto frames = harness.probe().frames(cursor_before - 1, cursor_after);
    const std::uint64_t published = frames_published(frames, format.frames());
    if (published == 0 || decoded == 0) throw std::runtime_error("no frames in a window at " + format.label());
    run.ratios.push_back((node_window.seconds() / static_cast<double>(published)) /
                         (decode_window.seconds() / static_cast<double>(decoded)));
    run.node_cpu += node_window;
    run.decode_cpu += decode_window;
    run.frames_published += published;
    run.frames_decoded += decoded;
    paced_seconds += frames.back().seconds - frames.front().seconds;
    // Only intervals between two frames of the window: the one before it spans the stop.
    const InterArrivals intervals = inter_arrivals(harness.probe().frames(cursor_before, cursor_after), format.frames());
    run.inter_arrivals.insert(run.inter_arrivals.end(), intervals.within_pass.begin(), intervals.within_pass.end());
    run.pass_gaps.insert(run.pass_gaps.end(), intervals.between_passes.begin(), intervals.between_passes.end());
    const auto decode_times = record.decode_seconds(decoded_before, decoded_before + decoded);
    run.decode_times.insert(run.decode_times.end(), decode_times.begin(), decode_times.end());
    for (std::size_t i = 1; i < decode_times.size(); ++i) run.decode_steps.push_back(decode_times[i] - decode_times[i - 1]);
  }
  run.achieved_rate = static_cast<double>(run.frames_published) / paced_seconds;

  // Stopped processes would hold their SIGINT until continued.
  player->signal(SIGCONT);
  decoder->signal(SIGCONT);
  stop(decoder);
  for (auto& subscriber : extra_subscribers) stop(subscriber);
  stop(player);
  return run;
}

std::vector<CostRun> measure_costs(Harness& harness) {
  std::cout << "\nmeasuring cost per frame and pacing..." << std::endl;
  std::vector<CostRun> runs;
  for (const auto& format :
       {FORMAT_480_30, FORMAT_480_60, FORMAT_720_30, FORMAT_720_60, FORMAT_1080_30, FORMAT_1080_60, FORMAT_2160_30}) {
    std::cout << "  " << format.label() << std::endl;
    runs.push_back(measure_cost(harness, format, 1));
  }
  return runs;
}

std::vector<CostRun> measure_subscriber_counts(Harness& harness) {
  std::cout << "measuring cost with 1, 2 and 4 subscribers..." << std::endl;
  std::vector<CostRun> runs;
  for (const int subscribers : {1, 2, 4}) runs.push_back(measure_cost(harness, FORMAT_1080_30, subscribers));
  return runs;
}

void report_costs(Report& report, const std::vector<CostRun>& runs) {
  report.heading("1. Cost per frame in CPU time: the player's CPU per published frame / a decode-only loop's CPU "
                 "per frame");
  report.line("   (same clip, same pace, alternating windows in which each runs alone; 1 subscriber in another");
  report.line("    process. ms of CPU per frame = user + system, and page faults per frame. floor: one loopback TCP");
  report.line("    send of a raw frame's bytes from warm memory, without ROS; bound: (decode-only + floor) /");
  report.line("    decode-only, the least ratio any player can reach while it sends raw frames over TCP; of bound:");
  report.line("    ratio / bound, the player's CPU against decoding and that one send)");
  report.line(format("   %-14s %-27s %-27s %7s  %-20s %6s %6s %8s  %s", "format", "player ms = user + sys  pf",
                     "decode-only", "ratio", "per window", "floor", "bound", "of bound", "target"));
  for (const auto& run : runs) {
    const double ratio = median(run.ratios);
    const bool targeted = run.format.height == 1080;
    const double bound = 1.0 + run.transport_floor.seconds() / run.decode_cpu_per_frame();
    const double of_bound = ratio / bound;
    report.line(format("   %-14s %-27s %-27s %7.3f  %-20s %6.2f %6.3f %8.3f  %s", run.format.label().c_str(),
                       cpu_columns(run.node_cpu, run.frames_published).c_str(),
                       cpu_columns(run.decode_cpu, run.frames_decoded).c_str(), ratio, list_of(run.ratios).c_str(),
                       run.transport_floor.seconds() * 1000, bound, of_bound,
                       targeted ? format("<= %.2f %s", FLOOR_RATIO_TARGET, verdict(of_bound <= FLOOR_RATIO_TARGET).c_str()).c_str()
                                : "-"));
  }
  const CostRun& largest = runs.back();
  report.line(format("   floor at %s: send %.2f ms user + %.2f ms system (the loopback receive path runs in the "
                     "sender); a frame reaches the reader %.2f ms after its send starts (p50)",
                     largest.format.label().c_str(), largest.transport_floor.send_user_seconds * 1000, largest.transport_floor.send_system_seconds * 1000,
                     largest.transport_floor.delivery_seconds * 1000));
}

void report_pacing(Report& report, const std::vector<CostRun>& runs) {
  report.heading("2. Pacing: achieved rate, and inter-arrival at the subscriber beside per-frame decode times");
  report.line("   (rate: over the windows, and within passes over the clip; gap: last frame of a pass to the first of");
  report.line("    the next, which reopens the clip. arrival: intervals within passes; jitter: p99 of |interval -");
  report.line("    period|. decode: time in each read of the decode-only loop; spread: p99 - p1 of it. A frame");
  report.line("    published right after its decode arrives one period plus this decode time minus the last one after");
  report.line("    the frame before, so its jitter stays within the decode spread. All in ms but rates)");
  report.line(format("   %-13s %6s %15s %8s %6s  %-22s %6s  %-22s %6s  %s", "format", "target", "rate", "in pass", "gap",
                     "arrival p50/p99/max", "jitter", "decode p50/p99/max", "spread",
                     "verdict: rate, jitter within spread"));
  for (const auto& run : runs) {
    const Distribution arrivals = distribution_of(run.inter_arrivals);
    std::vector<double> deviations;
    for (const double interval : run.inter_arrivals) deviations.push_back(std::abs(interval - 1.0 / run.target_rate));
    const double jitter = distribution_of(deviations).p99;
    const Distribution decodes = distribution_of(run.decode_times);
    const double deviation = run.achieved_rate / run.target_rate - 1.0;
    const double in_pass_deviation = 1.0 / mean(run.inter_arrivals) / run.target_rate - 1.0;
    report.line(format("   %-13s %3.0f Hz %6.2f Hz %+5.2f%% %+7.2f%% %6.1f  %6.2f %6.2f %7.2f  %6.2f  %6.2f %6.2f %7.2f  "
                       "%6.2f  %s, %s%s",
                       run.format.label().c_str(), run.target_rate, run.achieved_rate, deviation * 100,
                       in_pass_deviation * 100, median(run.pass_gaps) * 1000, arrivals.p50 * 1000, arrivals.p99 * 1000,
                       arrivals.max * 1000, jitter * 1000, decodes.p50 * 1000, decodes.p99 * 1000, decodes.max * 1000,
                       decodes.spread() * 1000, verdict(std::abs(deviation) <= RATE_TOLERANCE).c_str(),
                       verdict(jitter <= decodes.spread()).c_str(),
                       run.format.height >= 2160
                           ? format("; p99 < %.0f ms %s", ARRIVAL_P99_TARGET_2160_SECONDS * 1000,
                                    verdict(arrivals.p99 < ARRIVAL_P99_TARGET_2160_SECONDS).c_str())
                                 .c_str()
                           : ""));
  }
}

void report_subscribers(Report& report, const std::vector<CostRun>& runs) {
  report.heading("5. Scale: cost per frame with 1, 2 and 4 subscribers (CPU, same method as 1.)");
  const double one = runs.front().node_cpu_per_frame();
  for (const auto& run : runs) {
    report.line(format("   %s, %d subscriber%s: player %s ms/frame (%+5.1f %% on 1 subscriber), decode-only %s, "
                       "ratio %.3f",
                       run.format.label().c_str(), run.subscribers, run.subscribers == 1 ? " " : "s",
                       cpu_columns(run.node_cpu, run.frames_published).c_str(), (run.node_cpu_per_frame() / one - 1) * 100,
                       cpu_columns(run.decode_cpu, run.frames_decoded).c_str(), median(run.ratios)));
  }
}

}  // namespace zel::bench
