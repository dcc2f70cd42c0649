#!/usr/bin/env bash
# Installs what the build needs from Debian (only what is missing), then configures and builds.
set -euo pipefail
cd "$(dirname "$0")/.."

# The packages for package.xml's keys and what else the build needs: scripts/debian_packages.txt.
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
# A key that package.xml gained or lost would otherwise show only on a clean machine.
keys=$(sed 's/<!--.*-->//g' package.xml | grep -oE '<[a-z_]*depend( [^>]*)?>[^<]+<' | sed -E 's/^<[^>]*>//; s/<$//' | sort -u)
mismatch=0
for key in $keys; do
  [[ $listed == *" $key "* ]] && continue
  echo "setup.sh: package.xml's $key has no line in scripts/debian_packages.txt" >&2
  mismatch=1
done
for key in $listed; do
  grep -qxF "$key" <<<"$keys" && continue
  echo "setup.sh: scripts/debian_packages.txt gives packages for $key, which package.xml does not name" >&2
  mismatch=1
done
((!mismatch)) || exit 1
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
