#!/usr/bin/env bash
# Builds the node, then runs it with the given arguments beside a reachable master, starting a
# private one on a free port when none answers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
program=build/devel/lib/zel_video_player/zel_tq0731QX

master_pid=""
cleanup() { [[ -n $master_pid ]] && kill "$master_pid" 2>/dev/null || true; }
trap cleanup EXIT
if ! rostopic list >/dev/null 2>&1; then
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  export ROS_MASTER_URI=http://127.0.0.1:$port ROS_HOSTNAME=${ROS_HOSTNAME:-127.0.0.1}
  rosmaster --core -p "$port" >/dev/null 2>&1 &
  master_pid=$!
  echo "Started a private ROS master at $ROS_MASTER_URI"
fi
"$program" "$@"
