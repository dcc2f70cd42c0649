#include "playback_bench.h"

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <stdexcept>

#include "callgrind_profile.h"
#include "decode_loop.h"
#include "sim_clock.h"
#include "zel_video_player/app/frame_memory.h"
#include "zel_video_player/world/locations.h"
#include "zel_video_player/player/names.h"

namespace zel::bench {
namespace {

namespace fs = std::filesystem;
using zel::testing::Process;

constexpr double WARM_UP_SECONDS = 2.0;
// After a stop, a paced loop starts its rate afresh; a few frames let it settle.
constexpr double RESUME_SETTLE_SECONDS = 0.3;
constexpr int TRANSPORT_FLOOR_FRAMES = 60;
// The player runs in test mode, at the world's test points.
const Location POINT_1 = test_locations().at(0);
const Location POINT_2 = test_locations().at(1);
constexpr Location OUTSIDE{{0.5}, {0.5}};  // more than the default radius from every test point
constexpr double SOAK_POSE_PERIOD = 0.3;
constexpr int OPEN_REPEATS = 10;
constexpr int CALLGRIND_LEAD_FRAMES = 3;  // frames the subscriber gets before the window opens
// Decoding runs a frame or two ahead on worker threads. Once that pipeline is full, both ends of a
// window cut it at about the same point, so the sum over a long window is all but exact.
constexpr int CALLGRIND_FIRST_FRAME = 10;
// The example consumer logs how many frames it got every this many seconds.
constexpr double CONSUMER_REPORT_PERIOD = 1.0;
constexpr double FLEET_WINDOW_SECONDS = 10.0;
constexpr double FLEET_START_SECONDS_PER_PLAYER = 0.3;
constexpr double SIM_WINDOW_SECONDS = 10.0;
constexpr double SIM_FACTORS[] = {2, 4, 8};
// Where the doubling stops even when every step is on time: far past any rate a player decodes at.
constexpr double SIM_MOST_FACTOR = 256;
constexpr int SIM_BISECTIONS = 3;

std::atomic<bool> interrupt_requested{false};

void on_interrupt(int) { interrupt_requested = true; }

void check_interrupt() {
  if (interrupt_requested) throw Interrupted();
}

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

// The consumer's reports ("... 31 images in 1.0 s, ...") that span no stop give its rate while it ran.
double consumer_rate(const std::string& log) {
  static const std::regex report(R"((\d+) images in ([0-9.]+) s)");
  double images = 0;
  double seconds = 0;
  for (auto it = std::sregex_iterator(log.begin(), log.end(), report); it != std::sregex_iterator(); ++it) {
    const double span = std::stod((*it)[2]);
    if (span > 1.5 * CONSUMER_REPORT_PERIOD) continue;
    images += std::stod((*it)[1]);
    seconds += span;
  }
  if (seconds <= 0) throw std::runtime_error("the consumer reported no frames:\n" + log);
  return images / seconds;
}

ProcessCpu total_cpu(const std::vector<Process*>& processes) {
  ProcessCpu total;
  for (const Process* process : processes) total += process_cpu(process->pid());
  return total;
}

void signal_all(const std::vector<Process*>& processes, int signal_number) {
  for (const Process* process : processes) process->signal(signal_number);
}

std::vector<ArrivedFrame> read_arrivals(const std::string& path) {
  std::ifstream in(path);
  std::vector<ArrivedFrame> frames;
  ArrivedFrame frame{};
  while (in >> frame.seconds >> frame.clip_code >> frame.frame_index) frames.push_back(frame);
  return frames;
}

// Frames a second from the slope of arrival time against the publisher's frame count: a late
// first or last arrival, which moves a count over the window by a frame or two, hardly moves it.
double regressed_rate(const std::vector<ArrivedFrame>& frames, int clip_frames) {
  std::vector<double> sent(1, 0.0);
  for (std::size_t i = 1; i < frames.size(); ++i) {
    sent.push_back(sent.back() + static_cast<double>(frames_published({frames[i - 1], frames[i]}, clip_frames)));
  }
  const double n = static_cast<double>(frames.size());
  double mean_sent = 0, mean_time = 0;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    mean_sent += sent[i] / n;
    mean_time += frames[i].seconds / n;
  }
  double covariance = 0, variance = 0;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    covariance += (sent[i] - mean_sent) * (frames[i].seconds - mean_time);
    variance += (sent[i] - mean_sent) * (sent[i] - mean_sent);
  }
  return covariance > 0 ? variance / covariance : 0;
}

}  // namespace

int FleetRun::most_at_full_rate() const {
  int most = 0;
  for (const auto& step : steps) {
    if (step.at_full_rate) most = std::max(most, step.players);
  }
  return most;
}

double SimRun::slowest_missed() const {
  double slowest = 0;
  for (const auto& step : steps) {
    if (!step.on_time && (slowest == 0 || step.factor < slowest)) slowest = step.factor;
  }
  return slowest;
}

double SimRun::fastest_on_time() const {
  const double missed = slowest_missed();
  double fastest = 0;
  for (const auto& step : steps) {
    if (step.on_time && (missed == 0 || step.factor < missed)) fastest = std::max(fastest, step.factor);
  }
  return fastest;
}

void install_interrupt_handler() {
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

void pause_for(double seconds) {
  const double end = now_seconds() + seconds;
  while (now_seconds() < end) {
    check_interrupt();
    sleep_until_seconds(std::min(end, now_seconds() + 0.05));
  }
  check_interrupt();
}

PlaybackBench::PlaybackBench(BenchOptions options) : options_(std::move(options)) {
  for (const auto& [key, value] : master_.env()) ::setenv(key.c_str(), value.c_str(), 1);
  int argc = 1;
  char name[] = "zel_bench";
  char* argv[] = {name, nullptr};
  ros::init(argc, argv, "zel_bench", ros::init_options::NoSigintHandler);
  node_.emplace();
  probe_.emplace(*node_, IMAGE_TOPIC);
  pose_publisher_ = node_->advertise<geometry_msgs::PoseWithCovarianceStamped>(POSE_TOPIC, 100);
  spinner_.emplace(1);
  spinner_->start();
}

PlaybackBench::~PlaybackBench() {
  spinner_->stop();
  pose_publisher_.shutdown();
  probe_.reset();
  node_.reset();
  ros::shutdown();
}

std::string PlaybackBench::work_path(const std::string& name) const { return work_.path() + "/" + name; }

std::unique_ptr<Process> PlaybackBench::start_player(const std::string& media_folder,
                                                     const std::vector<std::string>& wrapper,
                                                     const std::vector<std::string>& ros_args) {
  std::vector<std::string> argv = wrapper;
  for (const std::string& arg : {options_.player_program, std::string("--test"), std::string("--video_folder"),
                                 media_folder}) {
    argv.push_back(arg);
  }
  argv.insert(argv.end(), ros_args.begin(), ros_args.end());
  return std::make_unique<Process>(argv, master_.env(), work_.path());
}

void PlaybackBench::stop(std::unique_ptr<Process>& process, double timeout_seconds) {
  if (!process) return;
  process->signal(SIGINT);
  process->wait_for(std::chrono::milliseconds(static_cast<int>(timeout_seconds * 1000)));
  process.reset();  // kills it if SIGINT was not enough
}

void PlaybackBench::wait_for_frames(std::size_t count, double timeout_seconds, Process& player) {
  const double end = now_seconds() + timeout_seconds;
  while (!probe_->wait_for_count(count, 0.1)) {
    check_interrupt();
    // A player that crashed says so at once, rather than as too few frames a minute later.
    if (const std::optional<int> status = player.wait_for(std::chrono::milliseconds(0))) {
      const std::string how = *status < 0 ? "signal " + std::to_string(-*status) : "status " + std::to_string(*status);
      throw std::runtime_error("the player ended (" + how + ") before its frames came; its output:\n" + player.out() +
                               player.err());
    }
    if (now_seconds() > end) {
      throw std::runtime_error("the player published too few frames; its output:\n" + player.out() + player.err());
    }
  }
}

void PlaybackBench::wait_for_pose_subscriber(const Process& player) {
  const double end = now_seconds() + 30.0;
  while (pose_publisher_.getNumSubscribers() == 0) {
    if (now_seconds() > end) throw std::runtime_error("the player never subscribed to poses:\n" + player.err());
    pause_for(0.05);
  }
}

void PlaybackBench::publish_pose(double x, double y) {
  geometry_msgs::PoseWithCovarianceStamped pose;
  pose.header.frame_id = MAP_FRAME;
  pose.header.stamp = ros::Time::now();
  pose.pose.pose.position.x = x;
  pose.pose.pose.position.y = y;
  pose.pose.pose.orientation.w = 1.0;
  pose_publisher_.publish(pose);
}

CostRun PlaybackBench::measure_cost(const ClipFormat& format, int subscribers) {
  CostRun run;
  run.format = format;
  run.subscribers = subscribers;
  run.target_rate = std::max(format.fps, 30);
  const std::string media = ensure_media_folder(options_.clips_root, format);
  run.transport_floor = measure_transport_floor(static_cast<std::size_t>(format.width) * format.height * 3,
                                                run.target_rate, TRANSPORT_FLOOR_FRAMES);
  const std::size_t first = probe_->count();
  auto player = start_player(media);
  std::vector<std::unique_ptr<Process>> extra_subscribers;
  for (int i = 1; i < subscribers; ++i) {
    extra_subscribers.push_back(
        std::make_unique<Process>(std::vector<std::string>{options_.bench_program, "subscribe"}, master_.env(),
                                  work_.path()));
  }
  const std::string record_path = work_path("decode_record");
  SharedDecodeRecord record(record_path, true);
  auto decoder = std::make_unique<Process>(
      std::vector<std::string>{options_.bench_program, "decode-loop", "--clip", empty_clip_path(media), "--record",
                               record_path},
      std::map<std::string, std::string>{}, work_.path());
  wait_for_frames(first + 10, 60.0, *player);
  pause_for(WARM_UP_SECONDS);

  // The two take turns, each alone while the other is stopped: neither's pace suffers from the
  // other on a small machine, and alternating windows share any drift in its load.
  double paced_seconds = 0;
  for (int window = 0; window < options_.windows; ++window) {
    decoder->signal(SIGSTOP);
    player->signal(SIGCONT);
    pause_for(RESUME_SETTLE_SECONDS);
    const std::size_t cursor_before = probe_->count();
    const ProcessCpu node_before = process_cpu(player->pid());
    pause_for(options_.window_seconds);
    const std::size_t cursor_after = probe_->count();
    const ProcessCpu node_window = process_cpu(player->pid()) - node_before;
    run.memory = run.memory.most(memory_use(player->pid()));

    player->signal(SIGSTOP);
    decoder->signal(SIGCONT);
    pause_for(RESUME_SETTLE_SECONDS);
    const ProcessCpu decode_before = process_cpu(decoder->pid());
    const std::uint64_t decoded_before = record.frames();
    pause_for(options_.window_seconds);
    const ProcessCpu decode_window = process_cpu(decoder->pid()) - decode_before;
    const std::uint64_t decoded = record.frames() - decoded_before;

    // From the last frame before the window to the last one in it: what was published meanwhile.
    const auto frames = probe_->frames(cursor_before - 1, cursor_after);
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
    const InterArrivals intervals = inter_arrivals(probe_->frames(cursor_before, cursor_after), format.frames());
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

SwitchRun PlaybackBench::measure_switches(const ClipFormat& format) {
  SwitchRun run;
  run.format = format;
  const std::string media = ensure_media_folder(options_.clips_root, format);
  for (int i = 0; i < OPEN_REPEATS; ++i) {
    const ClipStartTimes times = time_clip_start(empty_clip_path(media));
    run.open_to_first_frame.push_back(times.open_to_first_frame);
    run.release.push_back(times.release);
  }
  run.transport_floor = measure_transport_floor(static_cast<std::size_t>(format.width) * format.height * 3,
                                                std::max(format.fps, 30), TRANSPORT_FLOOR_FRAMES);

  auto player = start_player(media);
  wait_for_frames(probe_->count() + 10, 60.0, *player);
  wait_for_pose_subscriber(*player);
  publish_pose(OUTSIDE.x, OUTSIDE.y);
  pause_for(1.0);
  // Random gaps, so the pose falls at every phase of the frame period.
  std::mt19937 random(7);
  std::uniform_real_distribution<double> gap(0.25, 0.45);
  for (int i = 0; i < options_.switches; ++i) {
    pause_for(gap(random));
    const bool arriving = i % 2 == 0;
    const int expected_code = arriving ? OBJECT_CLIP_CODE : EMPTY_CLIP_CODE;
    const std::size_t cursor = probe_->count();
    const double sent = now_seconds();
    publish_pose(arriving ? POINT_1.x : OUTSIDE.x, arriving ? POINT_1.y : OUTSIDE.y);
    const auto first_frame = probe_->wait_for_frame(
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

SoakRun PlaybackBench::soak(const ClipFormat& format) {
  SoakRun run;
  run.format = format;
  run.seconds = options_.soak_seconds;
  run.warm_up_seconds = std::clamp(0.2 * options_.soak_seconds, 10.0, 60.0);
  const std::string media = ensure_media_folder(options_.clips_root, format);
  auto player = start_player(media);
  const std::size_t first = probe_->count();
  wait_for_frames(first + 10, 60.0, *player);
  wait_for_pose_subscriber(*player);

  const Location points[] = {POINT_1, POINT_2, OUTSIDE};
  const double start = now_seconds();
  double next_pose = start;
  double next_sample = start;
  while (now_seconds() < start + run.seconds) {
    check_interrupt();
    const double now = now_seconds();
    if (now >= next_pose) {
      const auto& point = points[run.switches % 3];
      publish_pose(point.x, point.y);
      ++run.switches;
      next_pose += SOAK_POSE_PERIOD;
    }
    if (now >= next_sample) {
      run.samples.push_back({now - start, memory_use(player->pid()), open_descriptors(player->pid())});
      next_sample += 1.0;
    }
    pause_for(std::max(0.0, std::min(next_pose, next_sample) - now_seconds()));
  }
  run.frames_received = probe_->count() - first;
  stop(player);
  return run;
}

CallgrindRun PlaybackBench::measure_instructions(const ClipFormat& format) {
  CallgrindRun run;
  run.format = format;
  const std::string media = ensure_media_folder(options_.clips_root, format);
  const std::string node_out = work_path("callgrind_node_" + format.folder_name());
  const std::string decode_out = work_path("callgrind_decode_" + format.folder_name());
  const std::size_t cursor = probe_->count();
  auto player = start_player(media, callgrind_wrapper(node_out));
  wait_for_frames(cursor + 1, 300.0, *player);
  run.first_frame = std::max(CALLGRIND_FIRST_FRAME,
                             probe_->frames(cursor, cursor + 1).front().frame_index + CALLGRIND_LEAD_FRAMES);
  // The window stays within one pass of the clip: the reopening between passes is not a frame.
  run.frames = std::min(options_.callgrind_frames, format.frames() - run.first_frame - 2);
  if (run.frames <= 0) throw std::runtime_error("the clip is too short for the callgrind window");
  const int end_frame = run.first_frame + run.frames;

  const std::string record_path = work_path("callgrind_record");
  SharedDecodeRecord record(record_path, true);
  std::vector<std::string> decoder_argv = callgrind_wrapper(decode_out);
  for (const std::string& arg : {options_.bench_program, std::string("decode-loop"), std::string("--clip"),
                                 empty_clip_path(media), std::string("--record"), record_path,
                                 std::string("--frames"), std::to_string(end_frame + 1)}) {
    decoder_argv.push_back(arg);
  }
  auto decoder = std::make_unique<Process>(decoder_argv, std::map<std::string, std::string>{}, work_.path());

  // The dump after the window's last is written only once the last is complete.
  const double deadline = now_seconds() + 600.0;
  while (!fs::exists(dump_of_frame(node_out, end_frame)) || decoder->wait_for(std::chrono::milliseconds(0)) == std::nullopt) {
    if (now_seconds() > deadline) throw std::runtime_error("callgrind runs did not finish in time");
    if (player->wait_for(std::chrono::milliseconds(0))) throw std::runtime_error("the player under callgrind ended:\n" + player->err());
    pause_for(0.5);
  }
  for (const auto& frame : probe_->frames(cursor, probe_->count())) {
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

NodeletRun PlaybackBench::compare_nodelet(const ClipFormat& format) {
  NodeletRun run;
  run.format = format;
  const std::string media = ensure_media_folder(options_.clips_root, format);
  auto env = master_.env();
  env["ROS_PACKAGE_PATH"] = ZEL_SOURCE_DIR;
  env["CMAKE_PREFIX_PATH"] = ZEL_DEVEL_PREFIX;
  // The consumer's reports are read from the output as they come, not when a buffer fills.
  env["ROSCONSOLE_STDOUT_LINE_BUFFERED"] = "1";
  // As launch/nodelet.launch sets it for its manager.
  env["GLIBC_TUNABLES"] = frame_memory_tunables();
  const std::string report_period = "_report_period:=" + std::to_string(CONSUMER_REPORT_PERIOD);
  auto start = [&](const std::vector<std::string>& argv) { return std::make_unique<Process>(argv, env, work_.path()); };

  // Bonds are left out: a manager stopped for a window would miss their heartbeats and unload.
  const std::string manager_topic = std::string(IMAGE_TOPIC) + ":=/zel_bench/in_manager";
  auto manager = start({NODELET_PROGRAM, "manager", "__name:=zel_bench_manager"});
  auto player_loader = start({NODELET_PROGRAM, "load", "zel_video_player/ZELVideoPlayerNodelet", "/zel_bench_manager",
                              "--no-bond", "__name:=zel_bench_player", manager_topic, "--test", "--video_folder", media});
  auto consumer_loader = start({NODELET_PROGRAM, "load", "zel_video_player/ImageRateNodelet", "/zel_bench_manager",
                                "--no-bond", "__name:=zel_bench_consumer", manager_topic, report_period});

  const std::string tcp_topic = std::string(IMAGE_TOPIC) + ":=/zel_bench/over_tcp";
  auto player = start_player(media, {}, {"__name:=zel_bench_tcp_player", tcp_topic});
  auto consumer = start({NODELET_PROGRAM, "standalone", "zel_video_player/ImageRateNodelet",
                         "__name:=zel_bench_tcp_consumer", tcp_topic, report_period});

  const std::string record_path = work_path("nodelet_decode_record");
  SharedDecodeRecord record(record_path, true);
  auto decoder = start({options_.bench_program, "decode-loop", "--clip", empty_clip_path(media), "--record", record_path});

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
  const std::size_t manager_log_start = manager->out().size();
  const std::size_t consumer_log_start = consumer->out().size();

  // Each arrangement runs alone while the other two are stopped, in turns, as in the cost runs.
  for (int window = 0; window < options_.windows; ++window) {
    for (const Group& running : groups) {
      for (const Group& other : groups) signal_group(other, &other == &running ? SIGCONT : SIGSTOP);
      pause_for(RESUME_SETTLE_SECONDS);
      const ProcessCpu before = total_cpu(running.measured);
      const ProcessCpu idle_before = total_cpu(running.idle);
      const std::uint64_t decoded_before = record.frames();
      const double start_seconds = now_seconds();
      pause_for(options_.window_seconds);
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
  run.one_manager.consumer_rate = consumer_rate(manager->out().substr(manager_log_start));
  run.two_processes.consumer_rate = consumer_rate(consumer->out().substr(consumer_log_start));
  for (auto* process : {&consumer_loader, &player_loader, &manager, &consumer, &player, &decoder}) stop(*process);
  return run;
}

FleetStep PlaybackBench::run_fleet(const ClipFormat& format, const std::string& media, int players) {
  FleetStep step;
  step.players = players;
  std::vector<std::unique_ptr<Process>> fleet;
  std::vector<std::unique_ptr<Process>> subscribers;
  std::vector<std::string> arrival_files;
  for (int i = 1; i <= players; ++i) {
    const std::string robot = "/zel_fleet/robot" + std::to_string(i);
    fleet.push_back(start_player(media, {}, {"__name:=zel_fleet_player" + std::to_string(i),
                                             std::string(IMAGE_TOPIC) + ":=" + robot + IMAGE_TOPIC,
                                             std::string(POSE_TOPIC) + ":=" + robot + POSE_TOPIC}));
    arrival_files.push_back(work_path("arrivals" + std::to_string(i)));
    subscribers.push_back(std::make_unique<Process>(
        std::vector<std::string>{options_.bench_program, "subscribe", "--topic", robot + IMAGE_TOPIC, "--arrivals",
                                 arrival_files.back()},
        master_.env(), work_.path()));
  }
  pause_for(WARM_UP_SECONDS + FLEET_START_SECONDS_PER_PLAYER * players);
  const double start = now_seconds();
  const double busy_before = machine_busy_seconds();
  pause_for(FLEET_WINDOW_SECONDS);
  const double end = now_seconds();
  step.load_cpu = (machine_busy_seconds() - busy_before) / (end - start);
  for (auto& subscriber : subscribers) stop(subscriber);
  for (auto& player : fleet) stop(player);

  const double target_rate = std::max(format.fps, 30);
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
FleetRun PlaybackBench::measure_fleet(const ClipFormat& format, int most_players) {
  FleetRun run;
  run.format = format;
  const std::string media = ensure_media_folder(options_.clips_root, format);
  int kept_up = 0;
  int missed = most_players + 1;
  // Every step lies strictly between the most that kept up and the fewest that missed.
  for (int players = 1; players > kept_up && players < missed;) {
    std::cout << "    " << players << " player" << (players == 1 ? "" : "s") << std::flush;
    run.steps.push_back(run_fleet(format, media, players));
    const bool ok = run.steps.back().at_full_rate;
    std::cout << (ok ? ": kept up" : ": missed") << std::endl;
    (ok ? kept_up : missed) = players;
    players = missed > most_players ? std::min(most_players, players * 2) : (kept_up + missed) / 2;
  }
  return run;
}

SimStep PlaybackBench::run_sim_step(const ClipFormat& format, const std::string& media, double factor) {
  SimStep step;
  step.factor = factor;
  step.demand = format.fps * factor;
  // Declared before the player, so the clock outlives it even when a step fails: a node in
  // simulated time whose clock stopped would wait for it.
  SimClock clock(*node_, factor);
  std::unique_ptr<Process> player;
  {
    const SimTimeParameter sim_time;
    player = start_player(media);
    // roscpp reads the parameter as it starts, long before the first frame.
    wait_for_frames(probe_->count() + 10, 60.0, *player);
  }
  pause_for(WARM_UP_SECONDS);
  const std::size_t cursor_before = probe_->count();
  const SimClock::Reading clock_before = clock.read();
  const double busy_before = machine_busy_seconds();
  pause_for(SIM_WINDOW_SECONDS);
  const std::size_t cursor_after = probe_->count();
  const SimClock::Reading clock_after = clock.read();
  const double clock_seconds = clock_after.steady_seconds - clock_before.steady_seconds;
  step.load_cpu = (machine_busy_seconds() - busy_before) / clock_seconds;
  stop(player);

  std::vector<ArrivedFrame> frames;
  for (const auto& frame : probe_->frames(cursor_before, cursor_after)) {
    if (frame.clip_code >= 0) frames.push_back(frame);
  }
  step.clock_rate = static_cast<double>(clock_after.messages - clock_before.messages) / clock_seconds;
  if (frames.size() < 2) return step;
  step.published = frames_published(frames, format.frames()) + 1;
  step.lost = step.published - frames.size();
  step.achieved_rate = regressed_rate(frames, format.frames());
  for (std::size_t i = 1; i < frames.size(); ++i) {
    step.longest_gap = std::max(step.longest_gap, frames[i].seconds - frames[i - 1].seconds);
  }
  const double ros_seconds = clock_after.ros_seconds - clock_before.ros_seconds;
  if (ros_seconds > 0) step.ros_rate = step.achieved_rate * clock_seconds / ros_seconds;
  step.on_time = std::abs(step.achieved_rate / step.demand - 1.0) <= RATE_TOLERANCE;
  return step;
}

// The factors every run shows, then doubling while the player keeps up, then halving the gap
// between the fastest that kept up and the slowest that missed.
SimRun PlaybackBench::measure_sim_time(const ClipFormat& format) {
  SimRun run;
  run.format = format;
  const std::string media = ensure_media_folder(options_.clips_root, format);
  const auto measure = [&](double factor) {
    std::cout << "    " << factor << " times real speed" << std::flush;
    SimStep step = run_sim_step(format, media, factor);
    // On a shared machine one stall of someone else's making sets a paced player back for good,
    // while no stall can make it early: the better of two tries tells what the player can do.
    if (!step.on_time) {
      std::cout << ": late, again" << std::flush;
      SimStep again = run_sim_step(format, media, factor);
      if (again.achieved_rate > step.achieved_rate) step = again;
      step.tries = 2;
    }
    std::cout << (step.on_time ? ": on time" : ": late") << std::endl;
    run.steps.push_back(step);
  };
  for (const double factor : SIM_FACTORS) measure(factor);
  // Real time bounds the search from below even when no factor kept up: the pacing runs measure it.
  const auto fastest = [&] { return std::max(1.0, run.fastest_on_time()); };
  while (run.slowest_missed() == 0 && fastest() * 2 <= SIM_MOST_FACTOR) measure(fastest() * 2);
  for (int i = 0; i < SIM_BISECTIONS && run.slowest_missed() > 0; ++i) measure((fastest() + run.slowest_missed()) / 2);
  return run;
}

int run_subscriber(int argc, char** argv) {
  ros::init(argc, argv, "zel_bench_subscriber", ros::init_options::AnonymousName);
  std::string topic = IMAGE_TOPIC;
  std::string arrivals_path;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--topic" && i + 1 < argc) topic = argv[++i];
    else if (arg == "--arrivals" && i + 1 < argc) arrivals_path = argv[++i];
    else throw std::invalid_argument("unknown option " + arg);
  }
  ros::NodeHandle node;
  if (arrivals_path.empty()) {
    const ros::Subscriber subscriber = node.subscribe<sensor_msgs::Image>(
        topic, 2, [](const sensor_msgs::ImageConstPtr&) {}, ros::VoidConstPtr(), ros::TransportHints().tcpNoDelay());
    ros::spin();
    return 0;
  }
  const FrameProbe probe(node, topic);
  ros::spin();
  std::ofstream out(arrivals_path);
  out.precision(17);
  for (const auto& frame : probe.frames(0, probe.count())) {
    out << frame.seconds << ' ' << frame.clip_code << ' ' << frame.frame_index << '\n';
  }
  return out ? 0 : 1;
}

}  // namespace zel::bench
