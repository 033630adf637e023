#!/usr/bin/env bash
# Sets up, builds and runs every test.
#   scripts/test.sh              regular build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
#   scripts/test.sh --tsan       ThreadSanitizer build in build-tsan/, the suites labelled threads
set -euo pipefail
cd "$(dirname "$0")/.."

preset=regular
build_dir=${BUILD_DIR:-build}
target=all
jobs=$(nproc)
labels=(--label-exclude kernel)
case "${1:-}" in
  --sanitize)
    preset=sanitize
    build_dir=${BUILD_DIR:-build-asan}
    ;;
  --tsan)
    preset=tsan
    build_dir=${BUILD_DIR:-build-tsan}
    target=vexhal_thread_tests
    labels=(--label-regex '^threads$' --label-exclude kernel)
    # One suite at a time: the sanitizer slows the virtual camera's threads several times over,
    # and two streaming suites side by side can starve one past its bounds.
    jobs=1
    ;;
esac

bash scripts/install-deps.sh

# The builds are described in CMakePresets.json (installed under /usr, as the Debian packages are).
cmake --preset "$preset" -B "$build_dir"
cmake --build "$build_dir" --parallel "$(nproc)" --target "$target"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp}
ctest --test-dir "$build_dir" --output-on-failure --parallel "$jobs" "${labels[@]}"
