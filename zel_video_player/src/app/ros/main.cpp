// The program entry: read the command line, start the node, check the media and hand the main
// thread to the player. Every way out of the program is decided here.
#include <cstdio>
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include <cxxabi.h>
#include <ros/ros.h>

#include "zel_video_player/app/frame_memory.h"
#include "zel_video_player/app/ros/master_watch.h"
#include "zel_video_player/app/media_libraries.h"
#include "zel_video_player/player/ros/names.h"
#include "zel_video_player/player/ros/zel_video_player.h"
#include "zel_video_player/world/random.h"
#include "zel_video_player/app/ros/start_up.h"
#include "zel_video_player/app/ros/stop_signals.h"
#include "zel_video_player/cancellation.h"

namespace {

constexpr auto MASTER_CHECK_PERIOD = std::chrono::milliseconds(1000);

std::string type_name(const std::exception& error) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(typeid(error).name(), nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : typeid(error).name();
  std::free(demangled);
  return name;
}

// A stop shuts ROS down on roscpp's own thread; wait for that to finish before the process tears
// down the library it is still using. A stop is a normal end.
int shut_down_ros() {
  ros::shutdown();
  return 0;
}

int run(int argc, char** argv) {
  // Logs and printed lines reach a pipe or a file as they happen and in the order they happen.
  std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
  zel::quiet_media_libraries();
  zel::keep_frame_memory();
  std::vector<std::string> args;
  ros::removeROSArgs(argc, argv, args);
  zel::ParseOutcome parsed = zel::parse_args(std::vector<std::string>(args.begin() + 1, args.end()), args.front());
  // Help or a usage error never reaches the master: registered under the node's name, it would end
  // a player already running under it, and it would wait for a master that may not be there.
  if (parsed.kind == zel::ParseOutcome::Kind::run) {
    // roscpp strips the remapping arguments from the vector it is given; keep the full one above.
    std::vector<char*> init_args(argv, argv + argc);
    int init_argc = argc;
    ros::init(init_argc, init_args.data(), zel::NODE_NAME, ros::init_options::NoSigintHandler);
    // Waits for the master; a stop signal ends the wait, and then there is nothing to run.
    ros::start();
    if (!ros::ok() || zel::stop_signal_received()) return shut_down_ros();
  }
  const zel::ParseOutcome start = zel::start_up(std::move(parsed));
  if (start.kind == zel::ParseOutcome::Kind::help) std::cout << start.text << std::flush;
  if (start.kind == zel::ParseOutcome::Kind::usage_error) std::cerr << start.text << std::flush;
  if (start.kind != zel::ParseOutcome::Kind::run) return start.exit_status();
  const zel::Settings& settings = start.options;

  zel::RandomEngine engine = zel::make_system_seeded_engine();
  try {
    zel::ZELVideoPlayer zelplayer(settings.video_folder, settings.num_locations, settings.radius,
                                  settings.test, engine);
    // Poses are handled on a thread of their own while this one plays; a master that restarts gets
    // the node registered again.
    ros::AsyncSpinner pose_spinner(1);
    pose_spinner.start();
    const zel::MasterWatch master_watch(MASTER_CHECK_PERIOD);
    zelplayer.main_loop();
  } catch (const zel::Interrupted&) {
  }
  return shut_down_ros();
}

}  // namespace

int main(int argc, char** argv) {
  // A stop that comes while the program starts ends it as cleanly as a later one.
  zel::handle_stop_signals();
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("out of memory\n", stderr);
    return 1;
  } catch (const std::exception& error) {
    std::cerr << "Error: " << type_name(error) << ": " << error.what() << std::endl;
    return 1;
  } catch (...) {
    std::cerr << "Error: an exception of unknown type" << std::endl;
    return 1;
  }
}
