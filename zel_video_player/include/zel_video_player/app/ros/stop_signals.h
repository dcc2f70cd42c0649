#pragma once

namespace zel {

// Ctrl-C, the SIGTERM that systemd, Docker and roslaunch send, and the SIGHUP of a closed terminal
// or ssh session all end in a clean ROS shutdown that unregisters the node; roscpp's own handler
// covers only the first. For a program's entry, first thing in main: ros::init must then be given
// NoSigintHandler.
void handle_stop_signals();

// Whether one of those signals came, also before ROS started, whose start forgets a shutdown
// asked for earlier.
bool stop_signal_received();

}  // namespace zel
