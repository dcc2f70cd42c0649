# Sourced by the scripts that need a ROS master of their own: a free port on loopback, so a master
# the user already runs is never touched. The master is ready once its port answers; it failed when
# it ends first or 15 s pass.
#
#   start_private_master LOG   starts rosmaster, exports ROS_MASTER_URI and ROS_HOSTNAME, sets
#                              master_pid, and returns once the master answers; 1 when it did not start
#
# The tests' RosMaster (zel_video_player/test/support/process.h) is its C++ counterpart, under the
# same rule. It cannot be this helper: a test owns its master as its own child, which it signals,
# reaps and reads the output of, while a master started here is the child of a shell whose
# background jobs ignore Ctrl-C, so a shell would have to stand between them passing signals on.
start_private_master() {
  local log=$1 port
  port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  export ROS_MASTER_URI=http://127.0.0.1:$port ROS_HOSTNAME=${ROS_HOSTNAME:-127.0.0.1}
  rosmaster --core -p "$port" >"$log" 2>&1 &
  master_pid=$!
  for _ in $(seq 150); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && return 0
    kill -0 "$master_pid" 2>/dev/null || break
    sleep 0.1
  done
  cat "$log" >&2
  echo "the private ROS master at $ROS_MASTER_URI did not start" >&2
  return 1
}
