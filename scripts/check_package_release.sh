#!/usr/bin/env bash
# Makes the node's Debian package on a Debian release and checks it on a bare system of the same
# release, as root:
#   scripts/check_package_release.sh RELEASE [--keep]
# RELEASE is a release that ships ROS 1: bullseye, bookworm or trixie. The bare system (debootstrap
# --variant=minbase) is build/releases/RELEASE-bare, made anew unless a run with --keep left one
# there. scripts/package.sh runs in a copy of it on a copy of the tree, installing its own build
# dependencies there; the package comes out into build/releases/RELEASE-deb/ and
# scripts/check_package.sh installs and runs it in another copy of the bare system. It prints the
# package's size, its Depends line and the check's result; the logs are in build/releases/.
# The check needs the host build's media (build/sample_media, which scripts/setup.sh makes).
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/chroot.sh
read_release_arguments check_package_release.sh "$@"
media=${ZEL_BUILD_DIR:-build}/sample_media
# Found missing only after the package's build otherwise.
[[ -d $media ]] || { echo "check_package_release.sh: no $media; make it with scripts/setup.sh" >&2; exit 2; }
scripts/install_packages.sh debootstrap git

releases_dir=$(realpath -m build/releases)
bare=$releases_dir/$release-bare
# Written once debootstrap has finished, so that a bare system it left half made is never reused.
bare_made=$bare.made
root=$releases_dir/$release-package
out_dir=$releases_dir/$release-deb
mkdir -p "$releases_dir"

finish() {
  local status=$?
  remove_chroot "$root" || true
  if ((!keep)); then
    rm -f "$bare_made"
    remove_chroot "$bare" || true
  fi
  exit "$status"
}
trap finish EXIT
trap 'exit 130' INT TERM

started=$SECONDS
remove_chroot "$root"
if [[ -f $bare_made && -d $bare ]]; then
  echo "== $release: the bare system kept in $bare"
else
  rm -f "$bare_made"
  remove_chroot "$bare"
  make_bare_release "$release" "$bare" "$releases_dir/$release-debootstrap.log"
  touch "$bare_made"
  echo "   made in $((SECONDS - started)) s"
fi

phase_started=$SECONDS
cp -a "$bare" "$root"
enter_chroot "$root"
tree=/root/zel_video_player
copy_tree "$root" "$tree"
log=$releases_dir/$release-package.log
build_log=$releases_dir/$release-dpkg-buildpackage.log
rm -f "$build_log"
echo "== $release: scripts/package.sh (output in $log)"
package_status=0
in_chroot "$root" "cd $tree && DEB_BUILD_OPTIONS=parallel=$(nproc) scripts/package.sh" >"$log" 2>&1 || package_status=$?
# The whole build's output, for its warnings too, out of the chroot that goes.
[[ ! -f $root$tree/build/deb/build.log ]] || cp "$root$tree/build/deb/build.log" "$build_log"
if ((package_status != 0)); then
  tail -n 60 "$log"
  echo "$release: scripts/package.sh FAILED (status $package_status) in $((SECONDS - phase_started)) s"
  exit 1
fi
# package.sh names the package on its last line.
built=$root$(tail -n 1 "$log")
[[ -f $built ]] || { tail -n 20 "$log"; echo "check_package_release.sh: no package at $built" >&2; exit 1; }
rm -rf "$out_dir"
mkdir -p "$out_dir"
deb=$out_dir/$(basename "$built")
cp "$built" "$deb"
remove_chroot "$root"
echo "   made in $((SECONDS - phase_started)) s: $deb"

phase_started=$SECONDS
check_log=$releases_dir/$release-check_package.log
echo "== $release: scripts/check_package.sh (output in $check_log)"
check_status=0
scripts/check_package.sh "$bare" "$deb" >"$check_log" 2>&1 || check_status=$?
grep -E '^(PASS|FAIL) ' "$check_log" | sed 's/^/   /' || true
if ((check_status == 0)); then
  result="passed"
else
  tail -n 30 "$check_log"
  result="FAILED (status $check_status)"
fi

echo "== $release: done in $((SECONDS - started)) s"
echo "$release: $(basename "$deb"), $(stat -c %s "$deb") bytes"
echo "$release: Depends: $(dpkg-deb -f "$deb" Depends)"
echo "$release: scripts/check_package.sh $result in $((SECONDS - phase_started)) s"
exit "$check_status"
