#include "soak.h"

#include <algorithm>
#include <iostream>

#include "frame_probe.h"

namespace zel::bench {
namespace {

constexpr double MIB = 1024.0 * 1024.0;
constexpr double GROWTH_TARGET_BYTES = 1.0 * MIB;
// What the decoder must hold plus two outgoing frames, and the libraries' own pages.
constexpr double PRIVATE_TARGET_480_MIB = 44;
constexpr double PRIVATE_TARGET_1080_MIB = 64;
constexpr double PRIVATE_TARGET_2160_MIB = 160;
constexpr double RESIDENT_TARGET_1080_MIB = 150;
constexpr double SOAK_POSE_PERIOD = 0.3;

SoakRun soak(Harness& harness, const ClipFormat& format) {
  SoakRun run;
  run.format = format;
  run.seconds = harness.options().soak_seconds;
  run.warm_up_seconds = std::clamp(0.2 * harness.options().soak_seconds, 10.0, 60.0);
  const std::string media = ensure_media_folder(harness.options().clips_root, format);
  auto player = harness.start_player(media);
  const std::size_t first = harness.probe().count();
  harness.wait_for_frames(first + 10, 60.0, *player);
  harness.wait_for_pose_subscriber(*player);

  const Location points[] = {test_locations().at(0), test_locations().at(1), OUTSIDE};
  const double start = now_seconds();
  double next_pose = start;
  double next_sample = start;
  while (now_seconds() < start + run.seconds) {
    check_interrupt();
    const double now = now_seconds();
    if (now >= next_pose) {
      const auto& point = points[run.switches % 3];
      harness.publish_pose(point);
      ++run.switches;
      next_pose += SOAK_POSE_PERIOD;
    }
    if (now >= next_sample) {
      run.samples.push_back({now - start, memory_use(player->pid()), zel::testing::open_descriptor_count(player->pid())});
      next_sample += 1.0;
    }
    pause_for(std::max(0.0, std::min(next_pose, next_sample) - now_seconds()));
  }
  run.frames_received = harness.probe().count() - first;
  stop(player);
  return run;
}

using MemoryFigure = std::int64_t MemoryUse::*;

// Least-squares slope of a soak's figure against time, in bytes per second.
double trend(const std::vector<SoakSample>& samples, MemoryFigure figure) {
  double mean_t = 0, mean_r = 0;
  for (const auto& sample : samples) {
    mean_t += sample.seconds;
    mean_r += static_cast<double>(sample.memory.*figure);
  }
  mean_t /= static_cast<double>(samples.size());
  mean_r /= static_cast<double>(samples.size());
  double covariance = 0, variance = 0;
  for (const auto& sample : samples) {
    covariance += (sample.seconds - mean_t) * (static_cast<double>(sample.memory.*figure) - mean_r);
    variance += (sample.seconds - mean_t) * (sample.seconds - mean_t);
  }
  return variance > 0 ? covariance / variance : 0;
}

double private_target_bytes(const ClipFormat& format) {
  if (format.height >= 2160) return PRIVATE_TARGET_2160_MIB * MIB;
  return (format.height >= 1080 ? PRIVATE_TARGET_1080_MIB : PRIVATE_TARGET_480_MIB) * MIB;
}

void report_soak(Report& report, const SoakRun& soak) {
  std::vector<SoakSample> settled;
  for (const auto& sample : soak.samples) {
    if (sample.seconds >= soak.warm_up_seconds) settled.push_back(sample);
  }
  report.line(format("   soak: %.0f s at %s, the point changing every %.1f s (%d changes, %llu frames received), "
                     "warm-up %.0f s",
                     soak.seconds, soak.format.label().c_str(), SOAK_POSE_PERIOD, soak.switches,
                     static_cast<unsigned long long>(soak.frames_received), soak.warm_up_seconds));
  constexpr std::size_t EDGE = 5;
  if (settled.size() < 2 * EDGE) {
    report.line("   soak too short to tell growth: raise --soak-seconds");
    return;
  }
  MemoryUse most;
  for (const auto& sample : settled) most = most.most(sample.memory);
  const auto edge_median = [&](std::size_t from, MemoryFigure figure) {
    std::vector<double> values;
    for (std::size_t i = from; i < from + EDGE; ++i) values.push_back(static_cast<double>(settled[i].memory.*figure));
    return median(values);
  };
  const auto figure_line = [&](const char* name, MemoryFigure figure) {
    const double start = edge_median(0, figure);
    const double end = edge_median(settled.size() - EDGE, figure);
    return format("   %-9s after warm-up %7.2f MiB, at the end %7.2f MiB, at most %7.2f MiB: growth %+6.2f MiB (trend "
                  "%+.3f MiB/min)",
                  name, start / MIB, end / MIB, static_cast<double>(most.*figure) / MIB, (end - start) / MIB,
                  trend(settled, figure) * 60.0 / MIB);
  };
  const double target = private_target_bytes(soak.format);
  const double growth = edge_median(settled.size() - EDGE, &MemoryUse::private_bytes) -
                        edge_median(0, &MemoryUse::private_bytes);
  report.line(figure_line("private", &MemoryUse::private_bytes) +
              format("   targets: at most %.0f MiB %s, growth < 1 MiB %s", target / MIB,
                     verdict(static_cast<double>(most.private_bytes) <= target).c_str(),
                     verdict(growth < GROWTH_TARGET_BYTES).c_str()));
  report.line(figure_line("anonymous", &MemoryUse::anonymous_bytes));
  const std::string resident_target =
      soak.format.height == 1080 ? format("   target: under %.0f MiB %s", RESIDENT_TARGET_1080_MIB,
                                          verdict(static_cast<double>(most.resident_bytes) < RESIDENT_TARGET_1080_MIB * MIB).c_str())
                                 : "";
  report.line(figure_line("resident", &MemoryUse::resident_bytes) + resident_target);
  std::size_t fewest = settled.front().descriptors;
  std::size_t most_descriptors = fewest;
  for (const auto& sample : settled) {
    fewest = std::min(fewest, sample.descriptors);
    most_descriptors = std::max(most_descriptors, sample.descriptors);
  }
  report.line(format("   open descriptors after warm-up %zu, at the end %zu, between %zu and %zu throughout   target constant: %s",
                     settled.front().descriptors, settled.back().descriptors, fewest, most_descriptors,
                     verdict(fewest == most_descriptors).c_str()));
}

}  // namespace

std::vector<SoakRun> measure_soaks(Harness& harness) {
  std::vector<SoakRun> soaks;
  for (const auto& format : {FORMAT_480_30, FORMAT_1080_30, FORMAT_2160_30}) {
    std::cout << "soaking for " << harness.options().soak_seconds << " s at " << format.label() << "..." << std::endl;
    soaks.push_back(soak(harness, format));
  }
  return soaks;
}

void report_memory(Report& report, const std::vector<CostRun>& cost_runs, const std::vector<SoakRun>& soaks) {
  report.heading("4. Memory of the player (/proc/PID/smaps_rollup; private: Private_Clean + Private_Dirty, the pages no");
  report.line("   other process maps; anonymous: heap, stacks and other memory not backed by a file; resident: Rss)");
  for (const auto& run : cost_runs) {
    if (run.format.height != 1080) continue;
    report.line(format("   while playing %s: private %.1f MiB, anonymous %.1f MiB, resident %.1f MiB",
                       run.format.label().c_str(), static_cast<double>(run.memory.private_bytes) / MIB,
                       static_cast<double>(run.memory.anonymous_bytes) / MIB,
                       static_cast<double>(run.memory.resident_bytes) / MIB));
  }
  for (const auto& soak : soaks) report_soak(report, soak);
}

}  // namespace zel::bench
