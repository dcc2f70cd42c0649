#!/usr/bin/env bash
# Runs the README's two commands on a bare Debian release, as a newcomer on a fresh machine would:
# makes a minimal chroot of RELEASE with debootstrap, copies the tree in, runs scripts/demo.sh and
# then scripts/test.sh in it, and prints each one's time and result. As root:
#   scripts/check_release.sh RELEASE [--keep]
# RELEASE is a Debian release that ships ROS 1: bullseye, bookworm or trixie. --keep leaves the
# chroot in build/releases/RELEASE (its logs are there too) instead of removing it. The Debian
# mirror is the one apt already uses here, or ZEL_DEBIAN_MIRROR.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/chroot.sh
read_release_arguments check_release.sh "$@"
scripts/install_packages.sh debootstrap git

releases_dir=$(realpath -m build/releases)
root=$releases_dir/$release
mkdir -p "$releases_dir"

finish() {
  local status=$?
  if ((keep)); then leave_chroot "$root"; else remove_chroot "$root" || true; fi
  exit "$status"
}
trap finish EXIT
trap 'exit 130' INT TERM

remove_chroot "$root"
started=$SECONDS
make_bare_release "$release" "$root" "$releases_dir/$release-debootstrap.log"
enter_chroot "$root"
echo "   made in $((SECONDS - started)) s"

tree=/root/zel_video_player
copy_tree "$root" "$tree"

failed=0
summary=()
run_command() {
  local name=$1 log=$releases_dir/$release-$1.log
  local command_started=$SECONDS status=0
  echo "== $release: scripts/$name.sh (output in $log)"
  in_chroot "$root" "cd $tree && scripts/$name.sh" >"$log" 2>&1 || status=$?
  local seconds=$((SECONDS - command_started)) detail=""
  # ctest's closing count, where the command ran tests.
  detail=$(grep -oE '[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  if ((status == 0)); then
    summary+=("$release: scripts/$name.sh passed in $seconds s${detail:+ ($detail)}")
  else
    failed=1
    tail -n 40 "$log"
    summary+=("$release: scripts/$name.sh FAILED (status $status) in $seconds s${detail:+ ($detail)}")
  fi
}
run_command demo
run_command test

echo "== $release: done in $((SECONDS - started)) s"
printf '%s\n' "${summary[@]}"
exit "$failed"
