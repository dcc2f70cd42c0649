#!/usr/bin/env bash
# The player's benchmarks in one command: installs what they need (Google Benchmark), builds the
# project with them, runs them all and prints every figure beside its baseline. The figures go to
# bench/results/; bench/README.md explains each one.
#
#   scripts/bench.sh                      # about 20 minutes, two 60 s soaks (1080p30, 640x480)
#   scripts/bench.sh --soak-seconds 600   # the full 10-minute soaks, 18 minutes more
#
# Options after the script name go to zel_bench (see `zel_bench run --help`). They start their
# own ROS master on a free port and stop everything they started, also on Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_packages.sh libbenchmark-dev

ZEL_CMAKE_ARGS="${ZEL_CMAKE_ARGS:-} -DZEL_BUILD_BENCHMARKS=ON" scripts/setup.sh
build_dir=${ZEL_BUILD_DIR:-build}
programs="$build_dir/devel/lib/zel_video_player_bench"
results=bench/results
mkdir -p "$results"

"$programs/zel_bench" run --clips "$build_dir/bench_clips" --results "$results" "$@"

echo
echo "== 5b. Scale: cost of one pose message in the pose tracker against the number of points of interest"
echo "   (baseline: a linear search, so the CPU column grows with the points and items_per_second, the points"
echo "    examined per second, stays flat; a localiser sends about 10 poses a second, one every 100 ms)"
"$programs/zel_pose_tracking_bench" --benchmark_min_time=0.2 2>&1 | tee "$results/pose_tracking.txt"
