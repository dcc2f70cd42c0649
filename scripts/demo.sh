#!/usr/bin/env bash
# The whole system at work in about a minute: installs what is missing, builds, and runs the player
# on the sample media beside a simulated robot that tours its points of interest, all on a private
# ROS master. Ends with a map of the tour and a contact sheet of what the camera showed.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  cat <<'EOF'
usage: scripts/demo.sh [--generated] [--num_locations N] [--radius R] [--video_folder DIR]
                       [--speed M_PER_S] [--dwell SECONDS]

  --generated          random points of interest instead of the four test points
  --num_locations N    how many random points (default 5; with --generated)
  --radius R           metres around a point within which its objects are shown (default 1.5)
  --video_folder DIR   your own media folder instead of the sample media
  --speed M_PER_S      the robot's walking speed (default 1.4)
  --dwell SECONDS      how long the robot stays at each point (default 4)
EOF
}

test_flag=--test
num_locations=5
radius=1.5
video_folder=""
speed=1.4
dwell=4
while (($#)); do
  option=$1
  value=""
  case $option in
    --*=*) value=${option#*=}; option=${option%%=*} ;;
  esac
  case $option in
    -h | --help) usage; exit 0 ;;
    --generated) test_flag=""; shift; continue ;;
    --num_locations | --radius | --video_folder | --speed | --dwell)
      if [[ -z $value ]]; then
        (($# >= 2)) || { echo "demo.sh: $option needs a value" >&2; exit 2; }
        value=$2
        shift
      fi
      ;;
    *) echo "demo.sh: unknown option $option" >&2; usage >&2; exit 2 ;;
  esac
  shift
  case $option in
    --num_locations) num_locations=$value ;;
    --radius) radius=$value ;;
    --video_folder) video_folder=$value ;;
    --speed) speed=$value ;;
    --dwell) dwell=$value ;;
  esac
done

started=$SECONDS
echo "== Installing what is missing and building"
scripts/setup.sh
build_dir=${ZEL_BUILD_DIR:-build}
bin=$build_dir/devel/lib/zel_video_player
sample_flag=""
if [[ -z $video_folder ]]; then
  video_folder=$build_dir/sample_media
  sample_flag=--sample_media
  echo "== Sample media: $video_folder"
fi

run_dir=$(realpath "$build_dir")/demo
rm -rf "$run_dir"
mkdir -p "$run_dir/ros_home"

# Every process started here, so that exactly these are stopped on the way out, Ctrl-C included.
tour_pid=""
player_pid=""
master_pid=""
stop() {
  local pid=$1 signal=$2
  [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null || return 0
  kill "-$signal" "$pid" 2>/dev/null || true
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null || true; return 0; }
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
cleanup() {
  stop "$tour_pid" INT
  stop "$player_pid" INT
  # Python leaves SIGINT ignored in a background job, so the master gets SIGTERM.
  stop "$master_pid" TERM
}
trap cleanup EXIT
trap 'echo; echo "== Interrupted: stopping everything the demo started"; exit 130' INT TERM

port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
export ROS_MASTER_URI=http://127.0.0.1:$port ROS_HOSTNAME=127.0.0.1 ROS_HOME=$run_dir/ros_home
unset ROS_NAMESPACE
echo "== Starting a private ROS master at $ROS_MASTER_URI"
rosmaster --core -p "$port" >"$run_dir/master.log" 2>&1 &
master_pid=$!
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  kill -0 "$master_pid" 2>/dev/null || { cat "$run_dir/master.log"; echo "demo.sh: the master did not start" >&2; exit 1; }
  sleep 0.1
done

player_log=$run_dir/player.log
player_args=($test_flag --num_locations "$num_locations" --radius "$radius" --video_folder "$video_folder")
echo "== Starting the player: zel_tq0731QX ${player_args[*]}"
: >"$player_log"
"$bin/zel_tq0731QX" "${player_args[@]}" >>"$player_log" 2>&1 &
player_pid=$!
for _ in $(seq 200); do
  grep -q "^ZEL video player: .* locations:" "$player_log" && break
  if ! kill -0 "$player_pid" 2>/dev/null; then
    cat "$player_log"
    echo "demo.sh: the player stopped before listing its points" >&2
    exit 1
  fi
  sleep 0.1
done

echo "== Starting the simulated robot"
"$bin/zel_tour" --player_output "$player_log" --speed "$speed" --dwell "$dwell" --output_dir "$run_dir" \
  $sample_flag &
tour_pid=$!
tour_status=0
wait "$tour_pid" || tour_status=$?
tour_pid=""
cleanup
trap - EXIT
if ((tour_status != 0)); then
  echo "demo.sh: the tour failed (status $tour_status); the player's output is in $player_log" >&2
  exit "$tour_status"
fi
echo "== Done in $((SECONDS - started)) s. The player's output is in $player_log"
echo "Map of the tour:          $run_dir/zel_tour_map.png"
echo "What the camera showed:   $run_dir/zel_tour_contact_sheet.png"
