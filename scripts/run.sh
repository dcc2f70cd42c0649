#!/usr/bin/env bash
# Runs the node with the given arguments beside a reachable master, starting a private one on a
# free port when none answers. It sets up and builds first only when the build is missing, was made
# for another checkout, or is older than a file of the node's sources.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${ZEL_BUILD_DIR:-build}
source scripts/build_environment.sh
program=$build_dir/devel/lib/zel_video_player/$player_program_name
if [[ ! -x $program ]] || ! grep -qsxF "CMAKE_HOME_DIRECTORY:INTERNAL=$PWD" "$build_dir/CMakeCache.txt" ||
  [[ -n $(find zel_video_player CMakeLists.txt -newer "$program" -type f -print -quit) ]]; then
  scripts/setup.sh
fi
enter_build_environment "$build_dir"

# The help needs no master: the program answers it before it looks for one.
for arg in "$@"; do
  [[ $arg == -h || $arg == --help ]] && exec "$program" "$@"
done

master_pid=""
cleanup() { [[ -n $master_pid ]] && kill "$master_pid" 2>/dev/null || true; }
trap cleanup EXIT
if ! rostopic list >/dev/null 2>&1; then
  source scripts/private_master.sh
  start_private_master "$(mktemp -t zel_master.XXXXXX.log)"
  echo "Started a private ROS master at $ROS_MASTER_URI"
fi
"$program" "$@"
