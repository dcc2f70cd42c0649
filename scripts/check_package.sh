#!/usr/bin/env bash
# Installs the Debian package that scripts/package.sh made into a bare Debian system with apt, as a
# user would, and checks that the node, its launch files, its nodelet and the compressed transport
# run from it with no workspace (as root):
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

root=$(realpath -m build/package_check/root)
mounted=()
cleanup() {
  local i process
  # What the checks started and left running, in the copy only.
  for process in /proc/[0-9]*; do
    [[ $(readlink "$process/root" 2>/dev/null) == "$root" ]] && kill -KILL "${process#/proc/}" 2>/dev/null
  done
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount --lazy "${mounted[i]}" || true; done
  # Never through a mount that stayed: it would reach the machine's own /dev or /proc.
  if grep -q " $root/" /proc/mounts; then
    echo "check_package.sh: $root still has mounts; left in place" >&2
  else
    rm -rf "$root"
  fi
}
trap cleanup EXIT
rm -rf "$root"
mkdir -p "$(dirname "$root")"
cp -a "$base" "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
printf '127.0.0.1 localhost\n::1 localhost\n' >"$root/etc/hosts"
for dir in proc dev dev/pts; do
  mount --bind "/$dir" "$root/$dir"
  mounted+=("$root/$dir")
done
cp "$deb" "$root/tmp/"
cp -r "$media" "$root/zel_media"

echo "== apt install ./$(basename "$deb")"
chroot "$root" env DEBIAN_FRONTEND=noninteractive sh -c \
  "apt-get update -qq && cd /tmp && apt-get install -y -qq ./$(basename "$deb") >/tmp/apt.log" ||
  { tail -n 30 "$root/tmp/apt.log"; exit 1; }
# What the checks look with: a user's tools, not the package's dependencies.
chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  python3-rostopic python3-sensor-msgs image-transport-tools >/dev/null

cat >"$root/tmp/checks.sh" <<'CHECKS'
set -u
export ROS_MASTER_URI=http://127.0.0.1:11411 ROS_HOSTNAME=127.0.0.1 ROS_HOME=/tmp/ros_home
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

rosmaster --core -p 11411 >/tmp/master.log 2>&1 &
master=$!
sleep 2

rosrun zel_video_player zel_tq0731QX --test --video_folder /zel_media >/tmp/rosrun.log 2>&1 &
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

kill "$master"
exit $((failures > 0))
CHECKS
echo "== running the node from the package, no workspace sourced"
chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root bash /tmp/checks.sh
