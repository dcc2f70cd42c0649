#!/usr/bin/env bash
# Builds the project with sanitizers and runs the whole test suite under each:
#   scripts/sanitize.sh            both, address (ASan + UBSan) then thread (TSan)
#   scripts/sanitize.sh address    one of them
# Each kind builds in build/sanitize-KIND. Every process of the suite (test programs, the node they
# start) writes its findings to build/sanitize-KIND/reports/; the run fails when a test fails or when
# any finding was written, also from a child whose own exit status a test does not look at.
set -euo pipefail
cd "$(dirname "$0")/.."

kinds=("$@")
((${#kinds[@]})) || kinds=(address thread)
suppressions=$PWD/zel_video_player/sanitize

status=0
for kind in "${kinds[@]}"; do
  case $kind in
    address | thread) ;;
    *) echo "unknown sanitizer '$kind': use address or thread" >&2; exit 2 ;;
  esac
  build_dir=build/sanitize-$kind
  reports=$PWD/$build_dir/reports
  rm -rf "$reports"
  mkdir -p "$reports"

  # Set for the build too: it runs built programs (the sample media maker, test discovery).
  export ASAN_OPTIONS="log_path=$reports/asan:detect_leaks=1:detect_stack_use_after_return=1"
  export UBSAN_OPTIONS="log_path=$reports/ubsan:print_stacktrace=1:halt_on_error=1"
  export TSAN_OPTIONS="log_path=$reports/tsan:suppressions=$suppressions/tsan.supp:print_suppressions=0:second_deadlock_stack=1"

  started=$SECONDS
  ZEL_BUILD_DIR=$build_dir ZEL_CMAKE_ARGS="-DZEL_SANITIZE=$kind" scripts/setup.sh
  built=$SECONDS

  suite=0
  (cd "$build_dir" && ctest --output-on-failure --no-tests=error -j"$(nproc)" --timeout 600) || suite=$?
  unset ASAN_OPTIONS UBSAN_OPTIONS TSAN_OPTIONS

  findings=("$reports"/*)
  [[ -e ${findings[0]} ]] || findings=()
  for report in "${findings[@]}"; do
    echo "==== $report"
    cat "$report"
  done
  echo "$kind: build $((built - started)) s, suite $((SECONDS - built)) s, ctest status $suite," \
    "${#findings[@]} sanitizer report(s)"
  if ((suite != 0 || ${#findings[@]} != 0)); then status=1; fi
done
exit $status
