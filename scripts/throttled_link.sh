#!/usr/bin/env bash
# The rate a consumer on a slow link gets, raw frames against compressed ones. Master, player and
# consumer run in a network namespace of their own whose loopback a token bucket throttles, so
# nothing leaves the machine and no other link is touched. Needs root (ip netns, tc).
#
#   scripts/throttled_link.sh                                 # 60 Mbit/s, the sample media (640x480)
#   scripts/throttled_link.sh --rate 20mbit --video_folder DIR --seconds 20
set -euo pipefail
cd "$(dirname "$0")/.."

rate=60mbit
seconds=10
video_folder=""
while (($#)); do
  case $1 in
    --rate) rate=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --video_folder) video_folder=$2; shift 2 ;;
    -h|--help) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done

scripts/install_packages.sh iproute2
scripts/setup.sh
build_dir=${ZEL_BUILD_DIR:-build}
video_folder=${video_folder:-$build_dir/sample_media}
source scripts/build_environment.sh
enter_build_environment "$build_dir"

namespace=zel_throttled_$$
work=$(mktemp -d -t zel_throttled.XXXXXX)
cleanup() {
  ip netns pids "$namespace" 2>/dev/null | xargs -r kill 2>/dev/null || true
  ip netns del "$namespace" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
ip netns add "$namespace"
in_namespace() { ip netns exec "$namespace" "$@"; }
in_namespace ip link set lo up
# The burst must exceed loopback's 64 KiB packets, or none of them ever passes.
in_namespace tc qdisc add dev lo root tbf rate "$rate" burst 256kb latency 50ms

export ROS_HOME=$work ZEL_PLAYER=$build_dir/devel/lib/zel_video_player/$player_program_name ZEL_VIDEO_FOLDER=$video_folder
export ZEL_WORK=$work ZEL_RATE=$rate ZEL_SECONDS=$seconds
in_namespace bash -c '
  set -euo pipefail
  source scripts/private_master.sh
  start_private_master "$ZEL_WORK/master.log"
  "$ZEL_PLAYER" --test --video_folder "$ZEL_VIDEO_FOLDER" >"$ZEL_WORK/player.log" 2>&1 &
  player_pid=$!
  until rostopic list 2>/dev/null | grep -qx /camera/image; do
    kill -0 "$player_pid" 2>/dev/null || { cat "$ZEL_WORK/player.log" >&2; exit 1; }
    sleep 0.2
  done
  rate_of() { timeout -s INT "$ZEL_SECONDS" rostopic hz "$1" 2>&1 | grep "average rate" | tail -1 | sed "s/.*: *//"; }
  size_of() { timeout -s INT "$ZEL_SECONDS" rostopic bw "$1" 2>&1 | grep "mean:" | tail -1 | awk "{print \$2}"; }
  echo "over a $ZEL_RATE link, $ZEL_SECONDS s each:"
  echo "  /camera/image             $(rate_of /camera/image) Hz"
  echo "  /camera/image/compressed  $(rate_of /camera/image/compressed) Hz, $(size_of /camera/image/compressed) a frame (JPEG, quality 80)"
'
