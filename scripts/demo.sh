#!/usr/bin/env bash
# The whole system at work in about a minute: installs what is missing, builds, and runs the player
# on the sample media beside a simulated robot that tours its points of interest, all on a private
# ROS master. Ends with a map of the tour and a contact sheet of what the camera showed; with --rviz,
# RViz shows the points, the robot and the camera as the tour goes. With --perception the camera
# shows real footage to a real people detector, which is scored against what it was shown.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  cat <<'EOF'
usage: scripts/demo.sh [--generated] [--num_locations N] [--radius R] [--video_folder DIR]
                       [--speed M_PER_S] [--dwell SECONDS] [--sim-speed N] [--rviz] [--perception]

  --generated          random points of interest instead of the four test points
  --num_locations N    how many random points (the player's default, 8 with --perception; with --generated)
  --radius R           metres around a point within which its objects are shown (the player's default)
  --video_folder DIR   your own media folder instead of the sample media
  --speed M_PER_S      the robot's walking speed (default 1.4)
  --dwell SECONDS      how long the robot stays at each point (default 4, 10 with --perception)
  --sim-speed N        run everything in simulated time (/use_sim_time), its clock (/clock) at N
                       times real speed: at 4 the tour takes a quarter of the time (default 0: real
                       time, no /clock)
  --rviz               show it all in RViz (installs Debian's rviz when missing). Without a display
                       RViz runs on a virtual screen (Xvfb) and what it shows at point 2 is saved
                       to build/demo/zel_rviz.png
  --perception         the camera shows real footage (opencv-doc's samples: people in person and
                       person1, none in the rest) and opencv_apps' people_detect watches it; the
                       tour scores its results against what it was shown, prints the table, writes
                       it to build/demo/zel_detector_scores.txt and puts the detector's pictures on
                       the contact sheet. Tours random points (as --generated), since each arrival
                       draws its names anew: the more points, the more of the media a run shows.
                       Installs opencv-doc when missing. With --video_folder the detector watches
                       your media instead
EOF
}

test_flag=--test
# Empty: the player's own defaults.
num_locations=""
radius=""
video_folder=""
speed=1.4
dwell=4
sim_speed=0
rviz=0
perception=0
dwell_given=0
while (($#)); do
  option=$1
  value=""
  case $option in
    --*=*) value=${option#*=}; option=${option%%=*} ;;
  esac
  case $option in
    -h | --help) usage; exit 0 ;;
    --generated) test_flag=""; shift; continue ;;
    --rviz) rviz=1; shift; continue ;;
    --perception) perception=1; shift; continue ;;
    --num_locations | --radius | --video_folder | --speed | --dwell | --sim-speed)
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
    --dwell) dwell=$value; dwell_given=1 ;;
    --sim-speed) sim_speed=$value ;;
  esac
done
if ((perception)); then
  test_flag=""
  num_locations=${num_locations:-8}
  # Long enough for a stay of two names to show the detector both.
  if ((!dwell_given)); then dwell=10; fi
fi

# The media folder of --perception, from opencv-doc's sample data: a video and a still with people,
# videos and stills without. Videos as H.264 at 30 a second, which the player shows at their own
# pace (it shows slower ones at 30), cut to 8 s like a still, so a stay of two names shows both.
make_footage() {
  local folder=$1
  local data=/usr/share/doc/opencv-doc/examples/data
  [[ -d $folder ]] && return 0
  local partial=$folder.partial
  rm -rf "$partial"
  mkdir -p "$partial"
  clip() {
    ffmpeg -nostdin -v error -y -ss "$2" -t 8 -i "$data/$1" -an -vf fps=30 -c:v libx264 -pix_fmt yuv420p "$partial/$3"
  }
  clip vtest.avi 0 person.mp4  # pedestrians on a street
  cp "$data/messi5.jpg" "$partial/person1.jpg"  # a footballer
  clip tree.avi 0 dog.mp4  # a tree in the wind
  clip tree.avi 10 empty.mp4  # the same tree later, before a hand comes into view at 24 s
  cp "$data/squirrel_cls.jpg" "$partial/cat.jpg"
  cp "$data/baboon.jpg" "$partial/dog1.jpg"
  mv "$partial" "$folder"
}

started=$SECONDS
echo "== Installing what is missing and building"
scripts/setup.sh
if ((rviz)); then
  # RViz and Xvfb are large: only a demo that asks for them installs them.
  packages=(rviz)
  [[ -n ${DISPLAY:-} ]] || packages+=(xvfb)
  scripts/install_packages.sh "${packages[@]}"
fi
build_dir=${ZEL_BUILD_DIR:-build}
bin=$build_dir/devel/lib/zel_video_player
demo_bin=$build_dir/devel/lib/zel_video_player_demo
source scripts/build_environment.sh
enter_build_environment "$build_dir"
sample_flag=""
if ((perception)); then
  # ffmpeg and opencv_apps come with the build; the footage does not.
  scripts/install_packages.sh opencv-doc
  if [[ -z $video_folder ]]; then
    video_folder=$build_dir/footage_media
    make_footage "$video_folder"
    echo "== Real footage: $video_folder (people in person and person1, none in the rest)"
  fi
elif [[ -z $video_folder ]]; then
  video_folder=$build_dir/sample_media
  sample_flag=--sample_media
  echo "== Sample media: $video_folder"
fi

run_dir=$(realpath "$build_dir")/demo
# Also CMake's folder for demo/ (its makefiles, test lists and the sample media's stamp): only what
# a run before left there goes.
mkdir -p "$run_dir"
rm -rf "$run_dir/ros_home" "$run_dir/screen" "$run_dir"/{master,sim_clock,player,xvfb,rviz,tour,detector}.log \
  "$run_dir"/{zel_rviz,zel_tour_map,zel_tour_contact_sheet}.png "$run_dir/zel_detector_scores.txt"
mkdir -p "$run_dir/ros_home"

# Every process started here, so that exactly these are stopped on the way out, Ctrl-C included.
tour_pid=""
detector_pid=""
player_pid=""
master_pid=""
clock_pid=""
rviz_pid=""
screen_pid=""
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
  stop "$detector_pid" INT
  stop "$rviz_pid" INT
  stop "$screen_pid" TERM
  stop "$player_pid" INT
  # Last but the master: a node in simulated time stands still without its clock.
  stop "$clock_pid" INT
  # Python leaves SIGINT ignored in a background job, so the master gets SIGTERM.
  stop "$master_pid" TERM
}
trap cleanup EXIT
trap 'echo; echo "== Interrupted: stopping everything the demo started"; exit 130' INT TERM

export ROS_HOSTNAME=127.0.0.1 ROS_HOME=$run_dir/ros_home
unset ROS_NAMESPACE
source scripts/private_master.sh
start_private_master "$run_dir/master.log" || exit 1
echo "== Started a private ROS master at $ROS_MASTER_URI"

if [[ $sim_speed != 0 ]]; then
  # On the master before any node starts: a node reads /use_sim_time once, as it starts.
  rosparam set /use_sim_time true
  clock_log=$run_dir/sim_clock.log
  echo "== Starting the simulated clock: zel_sim_clock --speed $sim_speed"
  "$demo_bin/zel_sim_clock" --speed "$sim_speed" >"$clock_log" 2>&1 &
  clock_pid=$!
  for _ in $(seq 100); do
    grep -q "^zel_sim_clock: /clock " "$clock_log" && break
    if ! kill -0 "$clock_pid" 2>/dev/null; then
      clock_status=0
      wait "$clock_pid" || clock_status=$?
      clock_pid=""
      cat "$clock_log" >&2
      echo "demo.sh: the simulated clock did not start (--sim-speed $sim_speed)" >&2
      exit $((clock_status ? clock_status : 1))
    fi
    sleep 0.1
  done
fi

player_log=$run_dir/player.log
player_args=($test_flag ${num_locations:+--num_locations "$num_locations"} ${radius:+--radius "$radius"}
  --video_folder "$video_folder")
echo "== Starting the player: $player_program_name ${player_args[*]}"
: >"$player_log"
"$bin/$player_program_name" "${player_args[@]}" >>"$player_log" 2>&1 &
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

screenshot=""
if ((rviz)); then
  screen_dir=""
  if [[ -z ${DISPLAY:-} ]]; then
    # A virtual screen whose frame buffer Xvfb keeps in a file, read back for the screenshot.
    screen_dir=$run_dir/screen
    mkdir -p "$screen_dir"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -fbdir "$screen_dir" -nolisten tcp -nocursor 3>"$screen_dir/display" \
      >"$run_dir/xvfb.log" 2>&1 &
    screen_pid=$!
    for _ in $(seq 100); do [[ -s $screen_dir/display ]] && break; sleep 0.1; done
    [[ -s $screen_dir/display ]] || { cat "$run_dir/xvfb.log"; echo "demo.sh: Xvfb did not start" >&2; exit 1; }
    export DISPLAY=:$(cat "$screen_dir/display")
    screenshot=$run_dir/zel_rviz.png
    echo "== No display: RViz runs on the virtual screen $DISPLAY; a screenshot at point 2 goes to $screenshot"
  fi
  echo "== Starting RViz"
  rviz -d "$(realpath demo/rviz/zel_video_player.rviz)" >"$run_dir/rviz.log" 2>&1 &
  rviz_pid=$!
fi

detector_flags=()
if ((perception)); then
  # A queue of one: each result is of the latest frame, not of one that waited behind others.
  echo "== Starting the detector: opencv_apps/people_detect on /camera/image"
  rosrun nodelet nodelet standalone opencv_apps/people_detect __name:=people_detect image:=/camera/image \
    _queue_size:=1 >"$run_dir/detector.log" 2>&1 &
  detector_pid=$!
  detector_flags=(--detector_results /people_detect/found --detector_view /people_detect/image)
fi

echo "== Starting the simulated robot"
tour_log=$run_dir/tour.log
"$demo_bin/zel_tour" --speed "$speed" --dwell "$dwell" --output_dir "$run_dir" $sample_flag "${detector_flags[@]}" \
  > >(tee "$tour_log") &
tour_pid=$!
while [[ -n $screenshot ]] && kill -0 "$tour_pid" 2>/dev/null; do
  if grep -q "^tour: at point 2 " "$tour_log"; then
    scripts/xwd_to_png.py "$screen_dir/Xvfb_screen0" "$screenshot"
    screenshot_taken=$screenshot
    screenshot=""
  fi
  sleep 0.1
done
tour_status=0
wait "$tour_pid" || tour_status=$?
tour_pid=""
cleanup
trap - EXIT
if ((tour_status != 0)); then
  echo "demo.sh: the tour failed (status $tour_status); the player's output is in $player_log" >&2
  ((!perception)) || echo "demo.sh: the detector's output is in $run_dir/detector.log" >&2
  exit "$tour_status"
fi
echo "== Done in $((SECONDS - started)) s. The player's output is in $player_log"
echo "Map of the tour:          $run_dir/zel_tour_map.png"
echo "What the camera showed:   $run_dir/zel_tour_contact_sheet.png"
[[ -z ${screenshot_taken:-} ]] || echo "RViz at point 2:          $screenshot_taken"
((!perception)) || echo "The detector's scores:    $run_dir/zel_detector_scores.txt (its output in $run_dir/detector.log)"
