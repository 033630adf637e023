#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UndefinedBehaviorSanitizer) in
# build-fuzz/ and runs each for the given number of seconds.
#   scripts/fuzz.sh [seconds]      default 60
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build_dir=${BUILD_DIR:-build-fuzz}
targets=(hid_reply_fuzz)

bash scripts/install-deps.sh

cmake --preset fuzz -B "$build_dir"
cmake --build "$build_dir" --parallel "$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for target in "${targets[@]}"; do
  corpus="$build_dir/corpus/$target"
  mkdir -p "$corpus"
  echo "== $target for ${seconds}s"
  "$build_dir/fuzz/$target" -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 \
    -artifact_prefix="$build_dir/" "$corpus"
done
