#!/usr/bin/env bash
# Installs what the build needs from Debian (only what is missing), then configures and builds.
set -euo pipefail
cd "$(dirname "$0")/.."

# The packages for the keys of the workspace's package.xml files and what else the build needs:
# scripts/debian_packages.txt.
packages=()
listed=" "
while IFS= read -r line; do
  line=${line%%#*}
  if [[ $line == *:* ]]; then
    key=${line%%:*}
    listed+="${key//[[:space:]]/} "
    line=${line#*:}
  fi
  read -ra names <<<"$line"
  packages+=("${names[@]}")
done <scripts/debian_packages.txt
# A key that a package.xml gained or lost would otherwise show only on a clean machine. The
# workspace's own packages are no keys of Debian's.
manifests=$(git ls-files '*package.xml' 2>/dev/null || find . -name package.xml -not -path './build*')
own=$(sed -n 's|.*<name>\(.*\)</name>.*|\1|p' $manifests | sort -u)
keys=$(sed 's/<!--.*-->//g' $manifests | grep -oE '<[a-z_]*depend( [^>]*)?>[^<]+<' | sed -E 's/^<[^>]*>//; s/<$//' |
  sort -u | grep -vxF "$own")
mismatch=0
for key in $keys; do
  [[ $listed == *" $key "* ]] && continue
  echo "setup.sh: the key $key of a package.xml has no line in scripts/debian_packages.txt" >&2
  mismatch=1
done
for key in $listed; do
  grep -qxF "$key" <<<"$keys" && continue
  echo "setup.sh: scripts/debian_packages.txt gives packages for $key, which no package.xml names" >&2
  mismatch=1
done
# debian/control builds the node from the same list: each development package named for a build
# key of the node's package.xml must be among its Build-Depends.
build_keys=$(sed 's/<!--.*-->//g' zel_video_player/package.xml |
  sed -nE 's/.*<(buildtool_depend|build_depend|depend)>([^<]+)<.*/\2/p')
build_depends=" $(sed -n '/^Build-Depends:/,/^[A-Z]/p' zel_video_player/debian/control | grep -oE '[a-z0-9][a-z0-9.+-]+' | tr '\n' ' ') "
for key in $build_keys; do
  for package in $(sed -nE "s/^$key:(.*)/\1/p" scripts/debian_packages.txt); do
    [[ $package == *-dev || $package == catkin || $package == ros-* ]] || continue
    [[ $build_depends == *" $package "* ]] && continue
    echo "setup.sh: $package, for the key $key of zel_video_player/package.xml, is not among debian/control's Build-Depends" >&2
    mismatch=1
  done
done
((!mismatch)) || exit 1
scripts/version.sh >/dev/null
scripts/install_packages.sh "${packages[@]}"

# catkin's CMake needs Debian's own Python, which may not be the first python3 on PATH.
# ZEL_BUILD_DIR and ZEL_CMAKE_ARGS select other builds, such as the sanitizer ones. The benchmarks
# are built only when ZEL_CMAKE_ARGS asks for them, even in a folder where an earlier run did.
build_dir=${ZEL_BUILD_DIR:-build}
# A build folder copied or moved with the checkout still names the old one everywhere (CMake's cache,
# catkin's devel space): it is made anew here.
cache=$build_dir/CMakeCache.txt
if [[ -f $cache ]] && ! grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=$PWD" "$cache"; then
  echo "setup.sh: $build_dir was made for another checkout; building it anew"
  rm -rf "$build_dir"
fi
mkdir -p "$build_dir"
cmake -S . -B "$build_dir" -DPYTHON_EXECUTABLE=/usr/bin/python3 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZEL_BUILD_BENCHMARKS=OFF ${ZEL_CMAKE_ARGS:-} >"$build_dir/configure.log" 2>&1 || { cat "$build_dir/configure.log"; exit 1; }
cmake --build "$build_dir" -j"$(nproc)" >"$build_dir/build.log" 2>&1 ||
  { tail -n 60 "$build_dir/build.log"; exit 1; }
source scripts/build_environment.sh
echo "Built: $build_dir/devel/lib/zel_video_player/$player_program_name"
