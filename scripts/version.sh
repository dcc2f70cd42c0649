#!/usr/bin/env bash
# Prints the workspace's one version, the node's package.xml's, after checking that every other
# package.xml and debian/changelog's newest entry carry the same:
#   scripts/version.sh
set -euo pipefail
cd "$(dirname "$0")/.."

version_of() { sed -n 's|.*<version>\(.*\)</version>.*|\1|p' "$1"; }
version=$(version_of zel_video_player/package.xml)
[[ -n $version ]] || { echo "version.sh: zel_video_player/package.xml names no version" >&2; exit 1; }
status=0
manifests=$(git ls-files '*package.xml' 2>/dev/null || find . -name package.xml -not -path './build*')
for manifest in $manifests; do
  [[ $(version_of "$manifest") == "$version" ]] && continue
  echo "version.sh: $manifest gives $(version_of "$manifest"), zel_video_player/package.xml $version" >&2
  status=1
done
changelog=$(sed -n '1s/^[^(]*(\([^)]*\)).*/\1/p' zel_video_player/debian/changelog)
if [[ $changelog != "$version" ]]; then
  echo "version.sh: debian/changelog's newest entry is $changelog, zel_video_player/package.xml $version" >&2
  status=1
fi
((!status)) || exit 1
echo "$version"
