#include "zel_video_player/app/ros/stop_signals.h"

#include <signal.h>

#include <ros/init.h>

namespace zel {
namespace {

volatile sig_atomic_t received = 0;

void request_shutdown(int) {
  received = 1;
  ros::requestShutdown();
}

}  // namespace

void handle_stop_signals() {
  struct sigaction action {};
  action.sa_handler = request_shutdown;
  sigemptyset(&action.sa_mask);
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal_number, &action, nullptr);
}

bool stop_signal_received() { return received != 0; }

}  // namespace zel
