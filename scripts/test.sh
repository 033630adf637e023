#!/usr/bin/env bash
# Sets up, builds and runs every test.
#   scripts/test.sh              regular build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

preset=regular
build_dir=${BUILD_DIR:-build}
if [ "${1:-}" = "--sanitize" ]; then
  preset=sanitize
  build_dir=${BUILD_DIR:-build-asan}
fi

bash scripts/install-deps.sh

# The builds are described in CMakePresets.json (installed under /usr, as the Debian packages are).
cmake --preset "$preset" -B "$build_dir"
cmake --build "$build_dir" --parallel "$(nproc)"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)" --label-exclude kernel
