#!/usr/bin/env bash
# Builds the Debian package of the node with debhelper, from zel_video_player/ and its debian/
# folder, checks it with lintian, and prints the package's path as its last line:
#   scripts/package.sh
# It installs under /usr as Debian's ROS packages do, so after `apt install ./FILE.deb` rosrun,
# roslaunch, the nodelet and the compressed transport work without a workspace. The build happens
# in a copy under build/deb (ZEL_PACKAGE_DIR picks another folder), never in the source tree.
set -euo pipefail
cd "$(dirname "$0")/.."

work_dir=$(realpath -m "${ZEL_PACKAGE_DIR:-build/deb}")
version=$(scripts/version.sh)

# build-essential is what every Debian package may build with unnamed: its compiler and libc's
# headers are in no Build-Depends, so dpkg-checkbuilddeps never asks for them.
scripts/install_packages.sh build-essential debhelper dpkg-dev lintian
source_dir=$work_dir/zel-video-player-$version
rm -rf "$work_dir"
mkdir -p "$work_dir"
# The copy's package.xml must not pass for a second zel_video_player in the workspace around it.
touch "$work_dir/CATKIN_IGNORE"
cp -a zel_video_player "$source_dir"

# dpkg-checkbuilddeps names what debian/control asks for and is missing, versions in brackets; its
# "Unmet" is "unmet" from trixie on. It fails when it names any, which must not end the script
# before they are installed; when it fails for another reason, dpkg-buildpackage's own check says why.
unmet=$(cd "$source_dir" && dpkg-checkbuilddeps 2>&1) || true
missing=$(sed -n 's/.*unmet build dependencies: //Ip' <<<"$unmet" | sed -E 's/\([^)]*\)//g; s/\|[^,]*//g; s/,/ /g')
if [[ -n $missing ]]; then
  # shellcheck disable=SC2086 # one word per package
  scripts/install_packages.sh $missing
fi

log=$work_dir/build.log
echo "Building the package in $source_dir (log: $log)"
(cd "$source_dir" && dpkg-buildpackage -b -uc -us) >"$log" 2>&1 || { tail -n 60 "$log"; exit 1; }
deb=$(ls "$work_dir"/zel-video-player_"${version}"_*.deb)

# Errors fail the build; warnings are shown.
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "$deb"
