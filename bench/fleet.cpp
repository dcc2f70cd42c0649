#include "fleet.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <memory>
#include <string>

#include "frame_probe.h"
#include "measures.h"
#include "subscriber.h"
#include "zel_video_player/player/names.h"
#include "zel_video_player/player/playback.h"

namespace zel::bench {
namespace {

using zel::testing::Process;

constexpr double FLEET_WINDOW_SECONDS = 10.0;
constexpr double FLEET_START_SECONDS_PER_PLAYER = 0.3;

FleetStep run_fleet(Harness& harness, const ClipFormat& format, const std::string& media, int players) {
  FleetStep step;
  step.players = players;
  std::vector<std::unique_ptr<Process>> fleet;
  std::vector<std::unique_ptr<Process>> subscribers;
  std::vector<std::string> arrival_files;
  for (int i = 1; i <= players; ++i) {
    const std::string robot = "/zel_fleet/robot" + std::to_string(i);
    fleet.push_back(harness.start_player(media, {}, {"__name:=zel_fleet_player" + std::to_string(i),
                                                     std::string(IMAGE_TOPIC) + ":=" + robot + IMAGE_TOPIC,
                                                     std::string(POSE_TOPIC) + ":=" + robot + POSE_TOPIC}));
    arrival_files.push_back(harness.work_path("arrivals" + std::to_string(i)));
    subscribers.push_back(harness.start({harness.options().bench_program, "subscribe", "--topic", robot + IMAGE_TOPIC,
                                         "--arrivals", arrival_files.back()},
                                        harness.master_env()));
  }
  pause_for(WARM_UP_SECONDS + FLEET_START_SECONDS_PER_PLAYER * players);
  const double start = now_seconds();
  const double busy_before = machine_busy_seconds();
  pause_for(FLEET_WINDOW_SECONDS);
  const double end = now_seconds();
  step.load_cpu = (machine_busy_seconds() - busy_before) / (end - start);
  for (auto& subscriber : subscribers) stop(subscriber);
  for (auto& player : fleet) stop(player);

  const double target_rate = Playback::video_rate(format.fps);
  step.at_full_rate = true;
  for (const std::string& file : arrival_files) {
    std::vector<ArrivedFrame> frames;
    for (const auto& frame : read_arrivals(file)) {
      if (frame.seconds >= start && frame.seconds <= end) frames.push_back(frame);
    }
    if (frames.size() < 2) {
      step.at_full_rate = false;
      step.worst_rate_deviation = -1.0;
      continue;
    }
    const double rate = regressed_rate(frames, format.frames());
    // Every interval counts here, a seam or a frame lost on the way as much as any other.
    std::vector<double> intervals;
    for (std::size_t i = 1; i < frames.size(); ++i) intervals.push_back(frames[i].seconds - frames[i - 1].seconds);
    const double p99 = distribution_of(intervals).p99;
    const double deviation = rate / target_rate - 1.0;
    if (std::abs(deviation) > std::abs(step.worst_rate_deviation)) step.worst_rate_deviation = deviation;
    step.worst_p99 = std::max(step.worst_p99, p99);
    if (std::abs(deviation) > RATE_TOLERANCE || p99 >= ARRIVAL_P99_LIMIT_IN_PERIODS / target_rate) {
      step.at_full_rate = false;
    }
  }
  return step;
}

// More players until one step misses, then halving the gap to the last that kept up.
FleetRun measure_fleet(Harness& harness, const ClipFormat& format, int most_players) {
  FleetRun run;
  run.format = format;
  const std::string media = ensure_media_folder(harness.options().clips_root, format);
  int kept_up = 0;
  int missed = most_players + 1;
  // Every step lies strictly between the most that kept up and the fewest that missed.
  for (int players = 1; players > kept_up && players < missed;) {
    std::cout << "    " << players << " player" << (players == 1 ? "" : "s") << std::flush;
    run.steps.push_back(run_fleet(harness, format, media, players));
    const bool ok = run.steps.back().at_full_rate;
    std::cout << (ok ? ": kept up" : ": missed") << std::endl;
    (ok ? kept_up : missed) = players;
    players = missed > most_players ? std::min(most_players, players * 2) : (kept_up + missed) / 2;
  }
  return run;
}

}  // namespace

int FleetRun::most_at_full_rate() const {
  int most = 0;
  for (const auto& step : steps) {
    if (step.at_full_rate) most = std::max(most, step.players);
  }
  return most;
}

std::vector<FleetRun> measure_fleets(Harness& harness) {
  std::cout << "measuring how many players keep up side by side..." << std::endl;
  std::vector<FleetRun> runs;
  for (const auto& format : {FORMAT_480_30, FORMAT_720_30}) {
    std::cout << "  " << format.label() << std::endl;
    runs.push_back(measure_fleet(harness, format, harness.options().most_players));
  }
  return runs;
}

void report_fleet(Report& report, const std::vector<FleetRun>& runs) {
  report.heading("8. Robots per machine: players side by side, each with its own topics and one subscriber process");
  report.line("   (a player keeps up when its rate is within 1 % and its arrival p99 under 1.5 periods at its");
  report.line("    subscriber, over a 10 s window; the steps double, then halve the gap to the last that kept up)");
  for (const auto& run : runs) {
    for (const auto& step : run.steps) {
      report.line(format("   %-13s %2d players: worst rate %+6.2f %%, worst p99 %6.1f ms, machine busy %4.2f cores: %s",
                         run.format.label().c_str(), step.players, step.worst_rate_deviation * 100, step.worst_p99 * 1000,
                         step.load_cpu, step.at_full_rate ? "kept up" : "missed"));
    }
    report.line(format("   %-13s => %d players at full rate on this machine", run.format.label().c_str(),
                       run.most_at_full_rate()));
  }
}

}  // namespace zel::bench
