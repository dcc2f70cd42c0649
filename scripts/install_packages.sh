#!/usr/bin/env bash
# Installs those of the named Debian packages that are missing, quietly, through sudo unless run
# as root:
#   scripts/install_packages.sh PACKAGE...
set -euo pipefail

missing=()
for package in "$@"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
((${#missing[@]})) || exit 0

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
echo "Installing ${missing[*]}"
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=900 update -qq
# Through env, because sudo drops the caller's environment.
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
