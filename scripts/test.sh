#!/usr/bin/env bash
# Set-up, build, then every test: unit tests without ROS, and tests beside private rosmasters.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
ctest --test-dir "${ZEL_BUILD_DIR:-build}" --output-on-failure -j"$(nproc)" --timeout 300
