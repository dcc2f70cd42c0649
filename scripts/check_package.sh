#!/usr/bin/env bash
# Installs the Debian package that scripts/package.sh made into a bare Debian system with apt, as a
# user would, and checks that the node, its launch files, its nodelet and the compressed transport
# run from it with no workspace, and that it carries nothing only the tests or a build need (as root):
#   scripts/check_package.sh BASE [PACKAGE]
# BASE is a bare system (`debootstrap --variant=minbase bookworm BASE`) and stays untouched: the
# check runs in a copy under build/package_check, removed at the end. The media come from the
# build (build/sample_media, which scripts/setup.sh makes).
set -euo pipefail
cd "$(dirname "$0")/.."

(($# >= 1)) || { echo "usage: scripts/check_package.sh BASE [PACKAGE]" >&2; exit 2; }
base=$1
deb=${2:-$(ls build/deb/zel-video-player_*.deb 2>/dev/null | tail -n 1)}
media=${ZEL_BUILD_DIR:-build}/sample_media
[[ -f $deb ]] || { echo "check_package.sh: no package; make one with scripts/package.sh" >&2; exit 2; }
[[ -d $media ]] || { echo "check_package.sh: no $media; make it with scripts/setup.sh" >&2; exit 2; }

# What the package carries for the node's users alone: the tests' and the demo's stand-ins (sim/),
# the static libraries and the node's own headers stay out; the label message's header is the one
# a peer compiles against.
stray=$(dpkg-deb -c "$deb" | awk '{ print $NF }' |
  grep -E '/sim/|\.a$|/include/.*\.h$' | grep -vx '\./usr/include/zel_video_player/FrameLabel\.h' || true)
if [[ -n $stray ]]; then
  echo "check_package.sh: $(basename "$deb") carries what only the tests, the demo or a build need:" >&2
  echo "$stray" >&2
  exit 1
fi

source scripts/chroot.sh
source scripts/build_environment.sh
root=$(realpath -m build/package_check/root)
trap 'remove_chroot "$root" || true' EXIT
remove_chroot "$root"
mkdir -p "$(dirname "$root")"
cp -a "$base" "$root"
enter_chroot "$root"
cp "$deb" "$root/tmp/"
cp -r "$media" "$root/zel_media"
cp scripts/private_master.sh "$root/tmp/"

echo "== apt install ./$(basename "$deb")"
in_chroot "$root" "export DEBIAN_FRONTEND=noninteractive &&
  apt-get update -qq && cd /tmp && apt-get install -y -qq ./$(basename "$deb") >/tmp/apt.log" ||
  { tail -n 30 "$root/tmp/apt.log"; exit 1; }
# What the checks look with: a user's tools, not the package's dependencies.
in_chroot "$root" "DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  python3-rostopic python3-sensor-msgs image-transport-tools >/dev/null"

cat >"$root/tmp/checks.sh" <<'CHECKS'
set -u
export ROS_HOME=/tmp/ros_home
source /tmp/private_master.sh
failures=0
check() {
  if "${@:2}"; then echo "PASS $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi
}
# At least 25 frames a second for a few seconds, once the topic has a publisher.
rate_of() {
  local rate
  rate=$(timeout 15 rostopic hz -w 60 "$1" 2>/dev/null | sed -n 's/^average rate: //p' | sed -n 3p)
  echo "     $1: ${rate:-nothing} Hz"
  [[ -n $rate ]] && awk -v rate="$rate" 'BEGIN { exit !(rate >= 25) }'
}
stop() { kill -INT "$1"; wait "$1"; }

start_private_master /tmp/master.log || exit 1

rosrun zel_video_player "$PROGRAM_NAME" --test --video_folder /zel_media >/tmp/rosrun.log 2>&1 &
player=$!
check "rosrun: /camera/image" rate_of /camera/image
check "rosrun: /camera/image/compressed" rate_of /camera/image/compressed
check "list_transports names zel_compressed_image_transport" \
  sh -c 'rosrun image_transport list_transports | grep -q "Provided by package: zel_compressed_image_transport"'
check "rosrun: ends with status 0 on Ctrl-C" stop "$player"

roslaunch zel_video_player zel_video_player.launch video_folder:=/zel_media test:=true >/tmp/launch.log 2>&1 &
launch=$!
check "roslaunch zel_video_player.launch: /camera/image" rate_of /camera/image
stop "$launch"

roslaunch zel_video_player nodelet.launch video_folder:=/zel_media test:=true >/tmp/nodelet.log 2>&1 &
launch=$!
check "roslaunch nodelet.launch: /camera/image" rate_of /camera/image
check "roslaunch nodelet.launch: /camera/image/compressed" rate_of /camera/image/compressed
stop "$launch"

kill "$master_pid"
exit $((failures > 0))
CHECKS
echo "== running the node from the package, no workspace sourced"
in_chroot "$root" "PROGRAM_NAME=$player_program_name bash /tmp/checks.sh"
