# Sourced by the scripts that run a bare Debian system in a folder as root (check_package.sh,
# check_release.sh, check_package_release.sh). What is mounted inside is unmounted before anything
# there is removed, and removal never crosses into a mount: a slip would otherwise reach the host's
# own /dev.
#
#   make_bare_release RELEASE ROOT LOG
#                              makes a minimal (minbase) RELEASE in ROOT with debootstrap from the
#                              Debian mirror apt already uses here, or ZEL_DEBIAN_MIRROR; its output
#                              goes to LOG, whose end is shown when it fails (status 1)
#   copy_tree ROOT FOLDER      copies the checkout in the current folder as a clone has it, with
#                              uncommitted changes but nothing a build left, to FOLDER inside ROOT
#   enter_chroot ROOT          gives ROOT the host's name resolution and the kernel's file systems
#   in_chroot ROOT COMMAND     runs COMMAND with bash in ROOT, in a login's environment and nothing of
#                              this one's: what the scripts there need they install themselves
#   leave_chroot ROOT          ends what still runs in ROOT and unmounts what enter_chroot mounted
#   remove_chroot ROOT         leave_chroot, then removes ROOT unless a mount stayed

# The first Debian archive among apt's sources: a deb822 URIs line or a one-line deb entry.
debian_mirror() {
  local files=(/etc/apt/sources.list /etc/apt/sources.list.d/*)
  local uri
  uri=$(cat "${files[@]}" 2>/dev/null | sed -nE 's/^\s*URIs:\s*(\S+).*/\1/p; s/^\s*deb\s+(\[[^]]*\]\s+)?(\S+).*/\2/p' |
    grep -E '/debian/?$' | head -n 1 || true)
  echo "${uri:-http://deb.debian.org/debian}"
}

make_bare_release() {
  local release=$1 root=$2 log=$3 mirror
  mirror=${ZEL_DEBIAN_MIRROR:-$(debian_mirror)}
  echo "== $release: a bare system from $mirror"
  mkdir -p "$(dirname "$log")"
  debootstrap --variant=minbase "$release" "$root" "$mirror" >"$log" 2>&1 || {
    tail -n 20 "$log"
    echo "debootstrap of $release failed" >&2
    return 1
  }
}

copy_tree() {
  local target=$1$2
  mkdir -p "$target"
  git ls-files -z --cached --others --exclude-standard | tar -cf - --null -T - | tar -xf - -C "$target"
}

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

# The release scripts' command line, RELEASE [--keep], as root: sets release and keep.
read_release_arguments() {
  local script=$1
  shift
  usage() { echo "usage: scripts/$script RELEASE [--keep]" >&2; exit 2; }
  (($# >= 1)) || usage
  release=$1
  keep=0
  case ${2:-} in
    "") ;;
    --keep) keep=1 ;;
    *) usage ;;
  esac
  [[ $release =~ ^[a-z]+$ ]] || usage
  [[ $(id -u) -eq 0 ]] || { echo "$script: debootstrap and chroot need root" >&2; exit 1; }
}
