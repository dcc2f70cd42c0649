# Sourced by the scripts that run a bare Debian system in a folder as root (check_package.sh,
# check_release.sh). What is mounted inside is unmounted before anything there is removed, and
# removal never crosses into a mount: a slip would otherwise reach the host's own /dev.
#
#   enter_chroot ROOT          gives ROOT the host's name resolution and the kernel's file systems
#   in_chroot ROOT COMMAND     runs COMMAND with bash in ROOT, in a login's environment and nothing of
#                              this one's: what the scripts there need they install themselves
#   leave_chroot ROOT          ends what still runs in ROOT and unmounts what enter_chroot mounted
#   remove_chroot ROOT         leave_chroot, then removes ROOT unless a mount stayed

enter_chroot() {
  local root=$1
  cp /etc/hosts "$root/etc/hosts"
  [[ ! -f /etc/resolv.conf ]] || cp -L /etc/resolv.conf "$root/etc/resolv.conf"
  mount -t proc proc "$root/proc"
  mount -t sysfs sysfs "$root/sys"
  mount --bind /dev "$root/dev"
  mount --bind /dev/pts "$root/dev/pts"
}

in_chroot() {
  chroot "$1" /usr/bin/env -i HOME=/root LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin bash -c "$2"
}

leave_chroot() {
  local root process mount_point
  root=$(realpath -m "$1")
  # What the commands there started and left running, which would keep its mounts busy.
  for process in /proc/[0-9]*; do
    if [[ $(readlink "$process/root" 2>/dev/null) == "$root" ]]; then kill -KILL "${process#/proc/}" 2>/dev/null || true; fi
  done
  for mount_point in dev/pts dev sys proc; do
    if mountpoint -q "$root/$mount_point" 2>/dev/null; then
      umount -R "$root/$mount_point" || umount -lR "$root/$mount_point"
    fi
  done
}

remove_chroot() {
  local root
  root=$(realpath -m "$1")
  leave_chroot "$root"
  if grep -q " $root/" /proc/mounts; then
    echo "$root still has mounts; left in place" >&2
    return 1
  fi
  rm -rf --one-file-system "$root"
}
