#include "switches.h"

#include <iostream>
#include <random>

#include "decode_loop.h"
#include "frame_probe.h"
#include "measures.h"
#include "zel_video_player/player/playback.h"

namespace zel::bench {
namespace {

constexpr int OPEN_REPEATS = 10;
// A switch may take the new clip's open and first read, and this much for everything else on the path.
constexpr double SWITCH_ALLOWANCE_SECONDS = 0.015;

SwitchRun measure_switches(Harness& harness, const ClipFormat& format) {
  SwitchRun run;
  run.format = format;
  const std::string media = ensure_media_folder(harness.options().clips_root, format);
  for (int i = 0; i < OPEN_REPEATS; ++i) {
    const ClipStartTimes times = time_clip_start(empty_clip_path(media));
    run.open_to_first_frame.push_back(times.open_to_first_frame);
    run.release.push_back(times.release);
  }
  run.transport_floor = measure_transport_floor(static_cast<std::size_t>(format.width) * format.height * 3,
                                                Playback::video_rate(format.fps), TRANSPORT_FLOOR_FRAMES);

  const Location point = test_locations().front();
  auto player = harness.start_player(media);
  harness.wait_for_frames(harness.probe().count() + 10, 60.0, *player);
  harness.wait_for_pose_subscriber(*player);
  harness.publish_pose(OUTSIDE);
  pause_for(1.0);
  // Random gaps, so the pose falls at every phase of the frame period.
  std::mt19937 random(7);
  std::uniform_real_distribution<double> gap(0.25, 0.45);
  for (int i = 0; i < harness.options().switches; ++i) {
    pause_for(gap(random));
    const bool arriving = i % 2 == 0;
    const int expected_code = arriving ? OBJECT_CLIP_CODE : EMPTY_CLIP_CODE;
    const std::size_t cursor = harness.probe().count();
    const double sent = now_seconds();
    harness.publish_pose(arriving ? point : OUTSIDE);
    const auto first_frame = harness.probe().wait_for_frame(
        cursor, [&](const ArrivedFrame& frame) { return frame.clip_code == expected_code && frame.frame_index == 0; },
        3.0);
    if (first_frame) {
      run.latencies.push_back(first_frame->seconds - sent);
    } else {
      ++run.missed;
    }
  }
  stop(player);
  return run;
}

}  // namespace

std::vector<SwitchRun> measure_switch_latencies(Harness& harness) {
  std::cout << "measuring switch latency..." << std::endl;
  std::vector<SwitchRun> runs;
  for (const auto& format : {FORMAT_480_30, FORMAT_1080_30}) runs.push_back(measure_switches(harness, format));
  return runs;
}

void report_switches(Report& report, const std::vector<SwitchRun>& runs) {
  report.heading("3. Switch latency: pose on /amcl_pose to the new clip's first frame at the subscriber");
  report.line("   (baseline: the clip's open-to-first-frame time, p50 of 10 opens in this run, plus 15 ms for the rest of");
  report.line("    the path. Shown for the reckoning: the release of a clip alone, which the player does off the path, and");
  report.line("    the delivery of one raw frame through loopback TCP without ROS, from the transport floor of section 1)");
  for (const auto& run : runs) {
    const Distribution latency = distribution_of(run.latencies);
    const double open = median(run.open_to_first_frame);
    const double baseline = open + SWITCH_ALLOWANCE_SECONDS;
    report.line(format("   %-13s %d switches (%d missed): p50 %6.1f, p95 %6.1f, max %6.1f ms;  baseline %5.1f + %4.1f = %6.1f ms"
                       " (open p95 %5.1f, release %3.1f, delivery %4.1f);  p95 within baseline: %s, within a period: %s",
                       run.format.label().c_str(), static_cast<int>(run.latencies.size()), run.missed, latency.p50 * 1000,
                       latency.p95 * 1000, latency.max * 1000, open * 1000, SWITCH_ALLOWANCE_SECONDS * 1000, baseline * 1000,
                       distribution_of(run.open_to_first_frame).p95 * 1000, median(run.release) * 1000,
                       run.transport_floor.delivery_seconds * 1000,
                       verdict(run.missed == 0 && latency.p95 <= baseline).c_str(),
                       verdict(run.missed == 0 && latency.p95 <= 1.0 / run.format.fps).c_str()));
  }
}

}  // namespace zel::bench
