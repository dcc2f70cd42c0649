#include "nodelet_comparison.h"

#include <signal.h>

#include <iostream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <std_msgs/Float64MultiArray.h>

#include "decode_loop.h"
#include "zel_video_player/demo/image_rate.h"
#include "zel_video_player/app/frame_memory.h"
#include "zel_video_player/player/names.h"

namespace zel::bench {
namespace {

using zel::testing::Process;

constexpr double NODELET_CPU_TARGET = 1.05;
// The example consumer reports how many frames it got every this many seconds.
constexpr double CONSUMER_REPORT_PERIOD = 1.0;
constexpr const char* MANAGER_CONSUMER = "zel_bench_consumer";
constexpr const char* TCP_CONSUMER = "zel_bench_tcp_consumer";

// What one example consumer published on its ~rate topic, report by report.
class ConsumerReports {
 public:
  ConsumerReports(ros::NodeHandle& node, const std::string& consumer_name)
      : subscriber_(node.subscribe("/" + consumer_name + "/" + demo::IMAGE_RATE_TOPIC, 100, &ConsumerReports::on_report,
                                   this)) {}

  std::size_t count() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return reports_.size();
  }

  // Frames a second over the reports from `first` on that span no stop: a report that does took
  // in seconds in which the consumer was not running.
  double rate_since(std::size_t first) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    double images = 0;
    double seconds = 0;
    for (std::size_t i = first; i < reports_.size(); ++i) {
      const auto [report_images, span] = reports_[i];
      if (span > 1.5 * CONSUMER_REPORT_PERIOD) continue;
      images += report_images;
      seconds += span;
    }
    if (seconds <= 0) throw std::runtime_error("the consumer on " + subscriber_.getTopic() + " reported no frames");
    return images / seconds;
  }

 private:
  void on_report(const std_msgs::Float64MultiArray::ConstPtr& report) {
    if (report->data.size() <= demo::IMAGE_RATE_SECONDS) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    reports_.emplace_back(report->data[demo::IMAGE_RATE_IMAGES], report->data[demo::IMAGE_RATE_SECONDS]);
  }

  mutable std::mutex mutex_;
  std::vector<std::pair<double, double>> reports_;  // images, seconds
  ros::Subscriber subscriber_;
};

ProcessCpu total_cpu(const std::vector<Process*>& processes) {
  ProcessCpu total;
  for (const Process* process : processes) total += process_cpu(process->pid());
  return total;
}

void signal_all(const std::vector<Process*>& processes, int signal_number) {
  for (const Process* process : processes) process->signal(signal_number);
}

}  // namespace

NodeletRun compare_nodelet(Harness& harness) {
  std::cout << "measuring one nodelet manager against two processes..." << std::endl;
  NodeletRun run;
  run.format = FORMAT_1080_30;
  const std::string media = ensure_media_folder(harness.options().clips_root, run.format);
  auto env = harness.workspace_env();
  // As launch/nodelet.launch sets it for its manager.
  env["GLIBC_TUNABLES"] = frame_memory_tunables();
  const std::string report_period = "_report_period:=" + std::to_string(CONSUMER_REPORT_PERIOD);
  auto start = [&](const std::vector<std::string>& argv) { return harness.start(argv, env); };

  ConsumerReports manager_reports(harness.node(), MANAGER_CONSUMER);
  ConsumerReports tcp_reports(harness.node(), TCP_CONSUMER);

  // Bonds are left out: a manager stopped for a window would miss their heartbeats and unload.
  const std::string manager_topic = std::string(IMAGE_TOPIC) + ":=/zel_bench/in_manager";
  auto manager = start({NODELET_PROGRAM, "manager", "__name:=zel_bench_manager"});
  auto player_loader = start({NODELET_PROGRAM, "load", "zel_video_player/ZELVideoPlayerNodelet", "/zel_bench_manager",
                              "--no-bond", "__name:=zel_bench_player", manager_topic, "--test", "--video_folder", media});
  auto consumer_loader = start({NODELET_PROGRAM, "load", "zel_video_player_demo/ImageRateNodelet", "/zel_bench_manager",
                                "--no-bond", std::string("__name:=") + MANAGER_CONSUMER, manager_topic, report_period});

  const std::string tcp_topic = std::string(IMAGE_TOPIC) + ":=/zel_bench/over_tcp";
  auto player = harness.start_player(media, {}, {"__name:=zel_bench_tcp_player", tcp_topic});
  auto consumer = start({NODELET_PROGRAM, "standalone", "zel_video_player_demo/ImageRateNodelet",
                         std::string("__name:=") + TCP_CONSUMER, tcp_topic, report_period});

  const std::string record_path = harness.work_path("nodelet_decode_record");
  SharedDecodeRecord record(record_path, true);
  auto decoder = start({harness.options().bench_program, "decode-loop", "--clip", empty_clip_path(media), "--record", record_path});

  // The idle `nodelet load` processes stop and run with their manager but are counted apart.
  struct Group {
    std::vector<Process*> measured;
    std::vector<Process*> idle;
    Arrangement* into;  // none for decoding alone, which counts its own frames
  };
  const std::vector<Group> groups{
      {{manager.get()}, {player_loader.get(), consumer_loader.get()}, &run.one_manager},
      {{player.get(), consumer.get()}, {}, &run.two_processes},
      {{decoder.get()}, {}, nullptr}};
  const auto signal_group = [](const Group& group, int signal_number) {
    signal_all(group.measured, signal_number);
    signal_all(group.idle, signal_number);
  };
  pause_for(WARM_UP_SECONDS + 3.0);
  // Reports from the start-up, before the first frames, would pull the rates down.
  const std::size_t manager_reports_start = manager_reports.count();
  const std::size_t tcp_reports_start = tcp_reports.count();

  // Each arrangement runs alone while the other two are stopped, in turns, as in the cost runs.
  for (int window = 0; window < harness.options().windows; ++window) {
    for (const Group& running : groups) {
      for (const Group& other : groups) signal_group(other, &other == &running ? SIGCONT : SIGSTOP);
      pause_for(RESUME_SETTLE_SECONDS);
      const ProcessCpu before = total_cpu(running.measured);
      const ProcessCpu idle_before = total_cpu(running.idle);
      const std::uint64_t decoded_before = record.frames();
      const double start_seconds = now_seconds();
      pause_for(harness.options().window_seconds);
      const ProcessCpu used = total_cpu(running.measured) - before;
      if (running.into) {
        running.into->cpu += used;
        running.into->loaders_cpu += total_cpu(running.idle) - idle_before;
        running.into->running_seconds += now_seconds() - start_seconds;
      } else {
        run.decode_cpu += used;
        run.frames_decoded += record.frames() - decoded_before;
      }
    }
  }
  for (const Group& group : groups) signal_group(group, SIGCONT);
  run.one_manager.consumer_rate = manager_reports.rate_since(manager_reports_start);
  run.two_processes.consumer_rate = tcp_reports.rate_since(tcp_reports_start);
  for (auto* process : {&consumer_loader, &player_loader, &manager, &consumer, &player, &decoder}) stop(*process);
  return run;
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

}  // namespace zel::bench
