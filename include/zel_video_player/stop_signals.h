#pragma once

namespace zel {

// Ctrl-C, and the SIGTERM that systemd, Docker and roslaunch send, both end in a clean ROS
// shutdown that unregisters the node; roscpp's own handler covers only the first. For a program's
// entry, after ros::init with NoSigintHandler.
void handle_stop_signals();

}  // namespace zel
