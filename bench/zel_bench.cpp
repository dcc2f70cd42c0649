// The player's benchmark: cost per frame against decoding alone, pacing, switch latency, memory
// over a soak, cost with several subscribers, seams between passes, and what compressed frames
// weigh and cost. Every figure is printed beside its baseline.
// The same program also plays the two helper roles it starts as child processes.
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "compressed.h"
#include "cost.h"
#include "decode_loop.h"
#include "harness.h"
#include "report.h"
#include "seams.h"
#include "soak.h"
#include "subscriber.h"
#include "switches.h"
#include "zel_video_player/app/frame_memory.h"
#include "zel_video_player/cancellation.h"

namespace zel::bench {
namespace {

namespace fs = std::filesystem;

constexpr const char* USAGE =
    "usage: zel_bench run --clips FOLDER [--results FOLDER] [--player PROGRAM] [--only PART,...]\n"
    "                     [--windows N] [--window-seconds S] [--switches N] [--soak-seconds S]\n"
    "PART is one of cost, subscribers, switch, soak, seam, compressed\n"
    "(default: all).\n"
    "Normally started by scripts/bench.sh, which builds, installs what is missing and runs the pose benchmark too.\n";

std::string value_after(int& i, int argc, char** argv) {
  if (i + 1 >= argc) throw std::invalid_argument(std::string(argv[i]) + " needs a value");
  return argv[++i];
}

int run_benchmarks(int argc, char** argv) {
  BenchOptions options;
  options.player_program = ZEL_PROGRAM;
  options.bench_program = fs::read_symlink("/proc/self/exe").string();
  std::string results = "bench/results";
  std::string only = "cost,subscribers,switch,soak,seam,compressed";
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
    else if (arg == "--soak-seconds") options.soak_seconds = std::stod(value_after(i, argc, argv));
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
                     zel::testing::cpu_model().c_str(), zel::testing::load_average().c_str()));
  report.line(format("clips: H.264 in MP4 through OpenCV's writer, %d s each, kept in %s", FORMAT_1080_30.seconds,
                     options.clips_root.c_str()));

  Harness harness(options);
  // Measured in this order, the soaks, the longest, last; reported by section.
  std::vector<CostRun> cost_runs, subscriber_runs, seam_runs;
  std::vector<SwitchRun> switch_runs;
  std::vector<CompressedRun> compressed_runs;
  std::vector<SoakRun> soaks;
  if (wanted("cost")) cost_runs = measure_costs(harness);
  if (wanted("subscribers")) subscriber_runs = measure_subscriber_counts(harness);
  if (wanted("switch")) switch_runs = measure_switch_latencies(harness);
  if (wanted("seam")) seam_runs = measure_seams(harness);
  if (wanted("compressed")) compressed_runs = measure_compressed(harness);
  if (wanted("soak")) soaks = measure_soaks(harness);

  if (!cost_runs.empty()) report_costs(report, cost_runs);
  if (!cost_runs.empty()) report_pacing(report, cost_runs);
  if (!switch_runs.empty()) report_switches(report, switch_runs);
  if (!soaks.empty()) report_memory(report, cost_runs, soaks);
  if (!subscriber_runs.empty()) report_subscribers(report, subscriber_runs);
  if (!seam_runs.empty()) report_seams(report, seam_runs);
  if (!compressed_runs.empty()) report_compressed(report, compressed_runs);
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
      return command == "subscribe" ? run_subscriber(argc, argv) : run_decode_loop_role(argc, argv);
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
