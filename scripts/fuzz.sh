#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (installed from Debian when missing) and runs each for a
# fixed number of executions, starting from the seed corpus committed under zel_video_player/fuzz/corpus:
#   scripts/fuzz.sh                 every target, FUZZ_RUNS executions each (default 200000)
#   scripts/fuzz.sh numbers         one target: command_line, numbers, formatting or compressed
# New inputs that a run finds go to build/fuzz/corpus, never into the committed seeds; a finding
# leaves its input in build/fuzz/ and fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${FUZZ_RUNS:-200000}
targets=("$@")
((${#targets[@]})) || targets=(command_line numbers formatting compressed)

scripts/install_packages.sh clang libclang-rt-dev cmake make

build_dir=build/fuzz
mkdir -p "$build_dir"
cmake -S zel_video_player/fuzz -B "$build_dir" -DCMAKE_CXX_COMPILER=clang++ >"$build_dir/configure.log" 2>&1 ||
  { cat "$build_dir/configure.log"; exit 1; }
cmake --build "$build_dir" -j"$(nproc)" >"$build_dir/build.log" 2>&1 || { tail -n 60 "$build_dir/build.log"; exit 1; }

export UBSAN_OPTIONS=print_stacktrace=1
# Arguments may reach 128 KiB, but a few KiB already exercise every rule of the parser. A single
# value is held short because its reference grammar is std::regex, which slows with length; the
# long-argument tests cover the length itself.
declare -A max_len=([command_line]=4096 [numbers]=256 [formatting]=256 [compressed]=4096)
status=0
for target in "${targets[@]}"; do
  corpus=$build_dir/corpus/$target
  mkdir -p "$corpus"
  started=$SECONDS
  if "$build_dir/fuzz_$target" "$corpus" "zel_video_player/fuzz/corpus/$target" -runs="$runs" -max_len="${max_len[$target]}" -timeout=10 \
    -artifact_prefix="$build_dir/$target-" -print_final_stats=1 >"$build_dir/$target.log" 2>&1; then
    echo "$target: $runs runs clean in $((SECONDS - started)) s" \
      "($(grep -o 'cov: [0-9]*' "$build_dir/$target.log" | tail -n 1))"
  else
    status=1
    tail -n 40 "$build_dir/$target.log"
    echo "$target: FINDING after $((SECONDS - started)) s; the input is in $build_dir/$target-*"
  fi
done
exit $status
