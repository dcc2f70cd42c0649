#!/usr/bin/env bash
# Builds the node, then runs it with the given arguments beside a reachable master, starting a
# private one on a free port when none answers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build_dir=${ZEL_BUILD_DIR:-build}
program=$build_dir/devel/lib/zel_video_player/zel_tq0731QX
source scripts/build_environment.sh
enter_build_environment "$build_dir"

master_pid=""
cleanup() { [[ -n $master_pid ]] && kill "$master_pid" 2>/dev/null || true; }
trap cleanup EXIT
if ! rostopic list >/dev/null 2>&1; then
  source scripts/private_master.sh
  start_private_master "$(mktemp -t zel_master.XXXXXX.log)"
  echo "Started a private ROS master at $ROS_MASTER_URI"
fi
"$program" "$@"
