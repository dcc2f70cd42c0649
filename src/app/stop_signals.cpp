#include "zel_video_player/stop_signals.h"

#include <signal.h>

#include <ros/init.h>

namespace zel {
namespace {

void request_shutdown(int) { ros::requestShutdown(); }

}  // namespace

void handle_stop_signals() {
  struct sigaction action {};
  action.sa_handler = request_shutdown;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace zel
