// The player's benchmark: cost per frame against decoding alone, pacing, switch latency, memory
// over a soak, cost with several subscribers, seams between passes, one nodelet manager against
// two processes, players per machine, and how much faster than real time it follows a simulated
// clock. Every figure is printed beside its baseline.
// The same program also plays the two helper roles it starts as child processes.
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "decode_loop.h"
#include "zel_video_player/app/frame_memory.h"
#include "playback_bench.h"
#include "plot.h"
#include "report.h"

namespace zel::bench {
namespace {

namespace fs = std::filesystem;

constexpr double MIB = 1024.0 * 1024.0;
constexpr double CPU_RATIO_TARGET = 1.2;
constexpr double INSTRUCTION_RATIO_TARGET = 1.10;
// A switch may take the new clip's open and first read, and this much for everything else on the path.
constexpr double SWITCH_ALLOWANCE_SECONDS = 0.015;
constexpr double NODELET_CPU_TARGET = 1.05;
constexpr double GROWTH_TARGET_BYTES = 1.0 * MIB;
constexpr double PRIVATE_TARGET_1080_MIB = 100;
constexpr double PRIVATE_TARGET_480_MIB = 44;

constexpr const char* USAGE =
    "usage: zel_bench run --clips FOLDER [--results FOLDER] [--player PROGRAM] [--only PART,...]\n"
    "                     [--windows N] [--window-seconds S] [--switches N] [--truth-switches N] [--soak-seconds S]\n"
    "                     [--callgrind-frames N (0 skips)] [--most-players N]\n"
    "PART is one of cost, subscribers, switch, soak, callgrind, seam, nodelet, fleet, sim, truth (default: all).\n"
    "Normally started by scripts/bench.sh, which builds, installs what is missing and runs the pose benchmark too.\n";

const ClipFormat FORMAT_480_30{640, 480, 30, 5};
const ClipFormat FORMAT_480_60{640, 480, 60, 5};
const ClipFormat FORMAT_720_30{1280, 720, 30, 5};
const ClipFormat FORMAT_720_60{1280, 720, 60, 5};
const ClipFormat FORMAT_1080_30{1920, 1080, 30, 5};
const ClipFormat FORMAT_1080_60{1920, 1080, 60, 5};
// Clips this short put a seam between passes every thirty frames.
const ClipFormat FORMAT_480_30_SHORT{640, 480, 30, 1};
const ClipFormat FORMAT_1080_30_SHORT{1920, 1080, 30, 1};

std::string value_after(int& i, int argc, char** argv) {
  if (i + 1 >= argc) throw std::invalid_argument(std::string(argv[i]) + " needs a value");
  return argv[++i];
}

std::string cpu_model() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line)) {
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  }
  return "unknown";
}

std::string load_average() {
  std::ifstream file("/proc/loadavg");
  std::string one, five, fifteen;
  file >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

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

void report_costs(Report& report, const std::vector<CostRun>& runs) {
  report.heading("1. Cost per frame in CPU time: the player's CPU per published frame / a decode-only loop's CPU "
                 "per frame");
  report.line("   (same clip, same pace, alternating windows in which each runs alone; 1 subscriber in another");
  report.line("    process. ms of CPU per frame = user + system, and page faults per frame. floor: a copy and a");
  report.line("    loopback TCP send of one raw frame without ROS; bound: (decode-only + floor) / decode-only, the");
  report.line("    least ratio any player can reach while it sends raw frames over TCP)");
  report.line(format("   %-14s %-27s %-27s %7s  %-20s %6s %6s  %s", "format", "player ms = user + sys  pf", "decode-only",
                     "ratio", "per window", "floor", "bound", "target"));
  for (const auto& run : runs) {
    const double ratio = median(run.ratios);
    const bool targeted = run.format.height == 1080;
    const double bound = 1.0 + run.transport_floor.seconds() / run.decode_cpu_per_frame();
    report.line(format("   %-14s %-27s %-27s %7.3f  %-20s %6.2f %6.3f  %s", run.format.label().c_str(),
                       cpu_columns(run.node_cpu, run.frames_published).c_str(),
                       cpu_columns(run.decode_cpu, run.frames_decoded).c_str(), ratio, list_of(run.ratios).c_str(),
                       run.transport_floor.seconds() * 1000, bound,
                       targeted ? format("<= %.2f %s", CPU_RATIO_TARGET, verdict(ratio <= CPU_RATIO_TARGET).c_str()).c_str()
                                : "-"));
  }
  const CostRun& largest = runs.back();
  report.line(format("   floor at %s: copy %.2f ms + send %.2f ms user + %.2f ms system (the loopback receive path runs "
                     "in the sender); a frame reaches the reader %.2f ms after its copy starts (p50)",
                     largest.format.label().c_str(), largest.transport_floor.copy_seconds * 1000,
                     largest.transport_floor.send_user_seconds * 1000, largest.transport_floor.send_system_seconds * 1000,
                     largest.transport_floor.delivery_seconds * 1000));
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

double mean(const std::vector<double>& values) {
  return values.empty() ? 0 : std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
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
                       "%6.2f  %s, %s",
                       run.format.label().c_str(), run.target_rate, run.achieved_rate, deviation * 100,
                       in_pass_deviation * 100, median(run.pass_gaps) * 1000, arrivals.p50 * 1000, arrivals.p99 * 1000,
                       arrivals.max * 1000, jitter * 1000, decodes.p50 * 1000, decodes.p99 * 1000, decodes.max * 1000,
                       decodes.spread() * 1000, verdict(std::abs(deviation) <= RATE_TOLERANCE).c_str(),
                       verdict(jitter <= decodes.spread()).c_str()));
  }
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
                       " (open p95 %5.1f, release %3.1f, delivery %4.1f);  p95 within baseline: %s",
                       run.format.label().c_str(), static_cast<int>(run.latencies.size()), run.missed, latency.p50 * 1000,
                       latency.p95 * 1000, latency.max * 1000, open * 1000, SWITCH_ALLOWANCE_SECONDS * 1000, baseline * 1000,
                       distribution_of(run.open_to_first_frame).p95 * 1000, median(run.release) * 1000,
                       run.transport_floor.delivery_seconds * 1000,
                       verdict(run.missed == 0 && latency.p95 <= baseline).c_str()));
  }
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
  return (format.height >= 1080 ? PRIVATE_TARGET_1080_MIB : PRIVATE_TARGET_480_MIB) * MIB;
}

void report_soak(Report& report, const SoakRun& soak) {
  std::vector<SoakSample> settled;
  for (const auto& sample : soak.samples) {
    if (sample.seconds >= soak.warm_up_seconds) settled.push_back(sample);
  }
  report.line(format("   soak: %.0f s at %s, the point changing every 0.3 s (%d changes, %llu frames received), "
                     "warm-up %.0f s",
                     soak.seconds, soak.format.label().c_str(), soak.switches,
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
  report.line(figure_line("resident", &MemoryUse::resident_bytes));
  int fewest = settled.front().descriptors;
  int most_descriptors = fewest;
  for (const auto& sample : settled) {
    fewest = std::min(fewest, sample.descriptors);
    most_descriptors = std::max(most_descriptors, sample.descriptors);
  }
  report.line(format("   open descriptors after warm-up %d, at the end %d, between %d and %d throughout   target constant: %s",
                     settled.front().descriptors, settled.back().descriptors, fewest, most_descriptors,
                     verdict(fewest == most_descriptors).c_str()));
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

void report_seams(Report& report, const std::vector<CostRun>& runs) {
  report.heading("6. Seams: 1-s clips, so a pass ends and the next begins every thirty frames");
  report.line("   (rate over the windows; gap: a pass's last frame to the next pass's first at the subscriber;");
  report.line("    arrival: every interval, seams included. Targets: rate within 1 %, arrival p99 under 1.5 periods)");
  for (const auto& run : runs) {
    std::vector<double> every_interval = run.inter_arrivals;
    every_interval.insert(every_interval.end(), run.pass_gaps.begin(), run.pass_gaps.end());
    const Distribution arrivals = distribution_of(every_interval);
    const Distribution gaps = distribution_of(run.pass_gaps);
    const double period = 1.0 / run.target_rate;
    const double deviation = run.achieved_rate / run.target_rate - 1.0;
    report.line(format("   %-13s 1 s clip: rate %6.2f Hz (%+5.2f %%), %zu seams with gap p50 %5.1f max %5.1f ms;  arrival p50 "
                       "%5.1f p99 %5.1f ms against %5.1f;  rate %s, p99 %s",
                       run.format.label().c_str(), run.achieved_rate, deviation * 100, gaps.count, gaps.p50 * 1000,
                       gaps.max * 1000, arrivals.p50 * 1000, arrivals.p99 * 1000,
                       ARRIVAL_P99_LIMIT_IN_PERIODS * period * 1000, verdict(std::abs(deviation) <= RATE_TOLERANCE).c_str(),
                       verdict(arrivals.p99 < ARRIVAL_P99_LIMIT_IN_PERIODS * period).c_str()));
  }
}

void report_nodelet(Report& report, const NodeletRun& run) {
  report.heading("7. Zero copy: the player and one consumer in one nodelet manager, against two processes over TCP");
  report.line("   (CPU of the processes that hold the player and the consumer per frame the consumer got, in");
  report.line("    alternating windows of one run beside the decode-only loop. Target: one manager within 5 % of");
  report.line("    decoding alone)");
  const double decode = run.decode_cpu_per_frame();
  const auto line = [&](const char* name, const Arrangement& arrangement, bool judged) {
    const double per_frame = arrangement.cpu_per_frame();
    const double frames = arrangement.frames();
    const std::string judgement =
        judged ? format("   target <= %.2f: %s", NODELET_CPU_TARGET, verdict(per_frame / decode <= NODELET_CPU_TARGET).c_str())
               : "";
    report.line(format("   %-28s %6.2f ms/frame (user %5.2f, sys %5.2f, %4.0f page faults), consumer at %5.2f Hz: %.3f "
                       "of decoding alone%s",
                       name, per_frame * 1000, arrangement.cpu.user_seconds / frames * 1000,
                       arrangement.cpu.system_seconds / frames * 1000,
                       static_cast<double>(arrangement.cpu.minor_faults) / frames, arrangement.consumer_rate,
                       per_frame / decode, judgement.c_str()));
  };
  report.line(format("   %s, decoding alone: %.2f ms/frame (user %5.2f, sys %5.2f, %4.0f page faults) over %llu frames",
                     run.format.label().c_str(), decode * 1000,
                     run.decode_cpu.user_seconds / static_cast<double>(run.frames_decoded) * 1000,
                     run.decode_cpu.system_seconds / static_cast<double>(run.frames_decoded) * 1000,
                     static_cast<double>(run.decode_cpu.minor_faults) / static_cast<double>(run.frames_decoded),
                     static_cast<unsigned long long>(run.frames_decoded)));
  line("one manager (by pointer)", run.one_manager, true);
  const Arrangement& manager = run.one_manager;
  report.line(format("   %-28s +%5.2f ms/frame: the two idle `nodelet load` processes a launch leaves beside it",
                     "", manager.loaders_cpu.seconds() / manager.frames() * 1000));
  line("two processes (over TCP)", run.two_processes, false);
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

void report_sim_time(Report& report, const std::vector<SimRun>& runs) {
  report.heading("9. Simulated time: the player with /use_sim_time, its frames paced by a /clock running N times real speed");
  report.line("   (/clock: 1000 messages a wall second from this process. demand: the clip's rate times N, in frames a wall");
  report.line("    second; achieved: frames the player published a wall second, from the frames' identity over a 10 s");
  report.line("    window; lost: published but not received; gap: the longest wait for a frame, in ms; per ROS s: the");
  report.line("    same frames over the clock's time; busy: the machine's busy cores, all its work included, during the");
  report.line("    window. On time: within 1 % of the demand; a late step is measured again and the better try kept.");
  report.line("    N = 2, 4, 8, then doubling while on time, then halving the gap between the fastest on time and the");
  report.line("    slowest late)");
  report.line(format("   %-13s %6s %8s %9s %7s %5s %6s %9s %11s %5s  %s", "format", "N", "demand", "achieved", "ratio",
                     "lost", "gap", "per ROS s", "clock msg/s", "busy", "verdict"));
  for (const auto& run : runs) {
    std::vector<SimStep> steps = run.steps;
    std::sort(steps.begin(), steps.end(), [](const SimStep& a, const SimStep& b) { return a.factor < b.factor; });
    for (const auto& step : steps) {
      report.line(format("   %-13s %6g %8.1f %9.2f %7.4f %5llu %6.1f %9.2f %11.1f %5.2f  %s%s", run.format.label().c_str(),
                         step.factor, step.demand, step.achieved_rate, step.achieved_rate / step.demand,
                         static_cast<unsigned long long>(step.lost), step.longest_gap * 1000, step.ros_rate,
                         step.clock_rate, step.load_cpu, step.on_time ? "on time" : "late",
                         step.tries == 1 ? "" : step.on_time ? " (2nd try)" : " (both tries)"));
    }
    const double fastest = run.fastest_on_time();
    const double slowest_missed = run.slowest_missed();
    const std::string first_late =
        slowest_missed > 0 ? format("%g was late", slowest_missed) : std::string("none measured was late");
    report.line(fastest > 0 ? format("   %-13s => every frame on time up to %g times real speed (%s)",
                                     run.format.label().c_str(), fastest, first_late.c_str())
                            : format("   %-13s => on time at none of the factors measured (%s)",
                                     run.format.label().c_str(), first_late.c_str()));
  }
}

int run_benchmarks(int argc, char** argv) {
  BenchOptions options;
  options.player_program = ZEL_PROGRAM;
  options.bench_program = fs::read_symlink("/proc/self/exe").string();
  std::string results = "bench/results";
  std::string only = "cost,subscribers,switch,soak,callgrind,seam,nodelet,fleet,sim,truth";
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << USAGE;
      return 0;
    }
    if (arg == "--clips") options.clips_root = value_after(i, argc, argv);
    else if (arg == "--player") options.player_program = value_after(i, argc, argv);
    else if (arg == "--only") only = value_after(i, argc, argv);
    else if (arg == "--results") results = value_after(i, argc, argv);
    else if (arg == "--windows") options.windows = std::stoi(value_after(i, argc, argv));
    else if (arg == "--window-seconds") options.window_seconds = std::stod(value_after(i, argc, argv));
    else if (arg == "--switches") options.switches = std::stoi(value_after(i, argc, argv));
    else if (arg == "--truth-switches") options.truth_switches = std::stoi(value_after(i, argc, argv));
    else if (arg == "--soak-seconds") options.soak_seconds = std::stod(value_after(i, argc, argv));
    else if (arg == "--callgrind-frames") options.callgrind_frames = std::stoi(value_after(i, argc, argv));
    else if (arg == "--most-players") options.most_players = std::stoi(value_after(i, argc, argv));
    else throw std::invalid_argument("unknown option " + arg);
  }
  if (options.clips_root.empty()) throw std::invalid_argument("--clips FOLDER is required");
  const auto wanted = [&](const std::string& part) { return ("," + only + ",").find("," + part + ",") != std::string::npos; };
  fs::create_directories(results);
  fs::create_directories(options.clips_root);
  install_interrupt_handler();

  Report report(results + "/figures.txt");
  const std::time_t now = std::time(nullptr);
  char date[64];
  std::strftime(date, sizeof date, "%Y-%m-%d %H:%M %Z", std::localtime(&now));
  report.line(format("ZEL video player benchmark, %s", date));
  report.line(format("machine: %ld cores (nproc), %s; load average at start %s", ::sysconf(_SC_NPROCESSORS_ONLN),
                     cpu_model().c_str(), load_average().c_str()));
  report.line(format("clips: H.264 in MP4 through OpenCV's writer, %d s each, kept in %s", FORMAT_1080_30.seconds,
                     options.clips_root.c_str()));

  PlaybackBench bench(options);
  std::vector<CostRun> cost_runs;
  if (wanted("cost")) {
    std::cout << "\nmeasuring cost per frame and pacing..." << std::endl;
    for (const auto& format : {FORMAT_480_30, FORMAT_480_60, FORMAT_720_30, FORMAT_720_60, FORMAT_1080_30, FORMAT_1080_60}) {
      std::cout << "  " << format.label() << std::endl;
      cost_runs.push_back(bench.measure_cost(format, 1));
    }
  }
  std::vector<CostRun> subscriber_runs;
  if (wanted("subscribers")) {
    std::cout << "measuring cost with 1, 2 and 4 subscribers..." << std::endl;
    for (const int subscribers : {1, 2, 4}) subscriber_runs.push_back(bench.measure_cost(FORMAT_1080_30, subscribers));
  }
  std::vector<SwitchRun> switch_runs;
  if (wanted("switch")) {
    std::cout << "measuring switch latency..." << std::endl;
    for (const auto& format : {FORMAT_480_30, FORMAT_1080_30}) switch_runs.push_back(bench.measure_switches(format));
  }
  std::vector<CostRun> seam_runs;
  if (wanted("seam")) {
    std::cout << "measuring seams with 1-s clips..." << std::endl;
    for (const auto& format : {FORMAT_480_30_SHORT, FORMAT_1080_30_SHORT}) seam_runs.push_back(bench.measure_cost(format, 1));
  }
  std::optional<NodeletRun> nodelet;
  if (wanted("nodelet")) {
    std::cout << "measuring one nodelet manager against two processes..." << std::endl;
    nodelet = bench.compare_nodelet(FORMAT_1080_30);
  }
  std::vector<FleetRun> fleet_runs;
  if (wanted("fleet")) {
    std::cout << "measuring how many players keep up side by side..." << std::endl;
    for (const auto& format : {FORMAT_480_30, FORMAT_720_30}) {
      std::cout << "  " << format.label() << std::endl;
      fleet_runs.push_back(bench.measure_fleet(format, options.most_players));
    }
  }
  std::vector<SimRun> sim_runs;
  if (wanted("sim")) {
    std::cout << "measuring the player on a simulated clock..." << std::endl;
    for (const auto& format : {FORMAT_480_30, FORMAT_1080_30}) {
      std::cout << "  " << format.label() << std::endl;
      sim_runs.push_back(bench.measure_sim_time(format));
    }
  }
  std::optional<GroundTruthRun> truth;
  if (wanted("truth")) {
    std::cout << "labelling frames over " << options.truth_switches << " changes of point..." << std::endl;
    truth = bench.measure_ground_truth(FORMAT_480_30);
  }
  std::vector<SoakRun> soaks;
  if (wanted("soak")) {
    for (const auto& format : {FORMAT_1080_30, FORMAT_480_30}) {
      std::cout << "soaking for " << options.soak_seconds << " s at " << format.label() << "..." << std::endl;
      soaks.push_back(bench.soak(format));
    }
  }
  std::vector<CallgrindRun> instruction_runs;
  if (wanted("callgrind") && options.callgrind_frames > 0) {
    std::cout << "counting instructions under callgrind (a few minutes)..." << std::endl;
    instruction_runs.push_back(bench.measure_instructions(FORMAT_1080_30));
  }

  if (!cost_runs.empty()) report_costs(report, cost_runs);
  if (!instruction_runs.empty()) report_instructions(report, instruction_runs);
  if (!cost_runs.empty()) report_pacing(report, cost_runs);
  if (!switch_runs.empty()) report_switches(report, switch_runs);
  if (!soaks.empty()) report_memory(report, cost_runs, soaks);
  if (!subscriber_runs.empty()) report_subscribers(report, subscriber_runs);
  if (!seam_runs.empty()) report_seams(report, seam_runs);
  if (nodelet) report_nodelet(report, *nodelet);
  if (!fleet_runs.empty()) report_fleet(report, fleet_runs);
  if (!sim_runs.empty()) report_sim_time(report, sim_runs);
  if (truth) report_ground_truth(report, *truth);
  if (cost_runs.empty()) return 0;

  const std::string plot = results + "/pacing_and_cost.png";
  std::vector<CostRun> pacing_runs;
  for (const auto& run : cost_runs) {
    if (run.format.height == 1080) pacing_runs.push_back(run);
  }
  draw_plot(plot, pacing_runs, cost_runs, instruction_runs);
  report.line();
  report.line("plot: " + plot);
  return 0;
}

int run_decode_loop_command(int argc, char** argv) {
  std::string clip, record_path;
  std::uint64_t frames = 0;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--clip") clip = value_after(i, argc, argv);
    else if (arg == "--record") record_path = value_after(i, argc, argv);
    else if (arg == "--frames") frames = std::stoull(value_after(i, argc, argv));
    else throw std::invalid_argument("unknown option " + arg);
  }
  SharedDecodeRecord record(record_path, false);
  run_decode_loop(clip, record.record(), frames);
  return 0;
}


}  // namespace
}  // namespace zel::bench

int main(int argc, char** argv) {
  using namespace zel::bench;
  const std::string command = argc > 1 ? argv[1] : "";
  try {
    // Decoding alone, and the clip opens timed here, keep memory warm as the player program does;
    // the subscribers keep the allocator's defaults, as a consumer of the images would.
    if (command == "run" || command == "decode-loop") zel::keep_frame_memory();
    if (command == "run") return run_benchmarks(argc, argv);
    if (command == "decode-loop" || command == "subscribe") {
      // A helper must not outlive the benchmark that started it, however that ends.
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);
      return command == "subscribe" ? run_subscriber(argc, argv) : run_decode_loop_command(argc, argv);
    }
    std::cerr << USAGE;
    return 2;
  } catch (const zel::Interrupted&) {
    std::cerr << "interrupted; everything the benchmark started has been stopped" << std::endl;
    return 130;
  } catch (const std::exception& error) {
    std::cerr << "zel_bench: " << error.what() << std::endl;
    return 1;
  }
}
