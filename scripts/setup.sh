#!/usr/bin/env bash
# Installs what the build needs from Debian (only what is missing), then configures and builds.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  g++ cmake make pkg-config libgtest-dev
  libroscpp-dev libcv-bridge-dev libsensor-msgs-dev libgeometry-msgs-dev libopencv-dev
  libimage-transport-dev libdiagnostic-updater-dev libvisualization-msgs-dev libtf2-ros-dev
  libros-rosgraph-msgs-dev
  ros-core catkin python3-rospy rosbash
  # rostest and its hztest: the tests as catkin_make run_tests runs them.
  python3-rostest librostest-dev
  # The message classes that rostopic needs to show or send the node's topics.
  python3-sensor-msgs python3-geometry-msgs python3-diagnostic-msgs
  # The player as a nodelet; libnodeletlib-tools has the manager program.
  libnodeletlib-dev libnodeletlib-tools pluginlib-dev
  # The container's display matrix, which turns a phone's portrait clip upright.
  libavformat-dev libavutil-dev
  # The tests' media in every codec, rate and orientation users bring.
  ffmpeg
  # The message a detector's results come in, which the demo's robot scores.
  libopencv-apps-dev
  # list_transports and republish: the compressed transport as ROS tools see and convert it.
  image-transport-tools
)
scripts/install_packages.sh "${packages[@]}"

# catkin's CMake needs Debian's own Python, which may not be the first python3 on PATH.
# ZEL_BUILD_DIR and ZEL_CMAKE_ARGS select other builds, such as the sanitizer ones.
build_dir=${ZEL_BUILD_DIR:-build}
mkdir -p "$build_dir"
cmake -S . -B "$build_dir" -DPYTHON_EXECUTABLE=/usr/bin/python3 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  ${ZEL_CMAKE_ARGS:-} >"$build_dir/configure.log" 2>&1 || { cat "$build_dir/configure.log"; exit 1; }
cmake --build "$build_dir" -j"$(nproc)" >"$build_dir/build.log" 2>&1 ||
  { tail -n 60 "$build_dir/build.log"; exit 1; }
echo "Built: $build_dir/devel/lib/zel_video_player/zel_tq0731QX"
