#!/usr/bin/env bash
# Runs the kernel suite (CTest label "kernel") inside the QEMU test rig, where the program's
# udev, hidraw and V4L2 backends meet a real kernel with the virtual camera plugged in.
#   scripts/kernel-tests.sh [BUILD_DIR]     default: $BUILD_DIR, else build/
# Skips with a clear line (exit 0) where the machine cannot run the rig.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=$(realpath "${1:-${BUILD_DIR:-build}}")
rig=${VEXHAL_RIG:-$(realpath ../shared/qemu-rig/rig 2>/dev/null || echo /work/shared/qemu-rig/rig)}
workdir=${VEXHAL_RIG_WORKDIR:-/var/tmp/rig}

if [ ! -x "$rig" ]; then
  echo "kernel tests skipped: no test rig at $rig"
  exit 0
fi
status=0
"$rig" check "$(dirname "$workdir")" || status=$?
if [ "$status" -eq 77 ]; then
  echo "kernel tests skipped: this machine cannot run the test rig (reason above)"
  exit 0
elif [ "$status" -ne 0 ]; then
  echo "kernel tests: rig check failed with status $status" >&2
  exit "$status"
fi
if [ ! -f "$build_dir/CTestTestfile.cmake" ]; then
  echo "kernel tests: no build in $build_dir; run scripts/test.sh first" >&2
  exit 1
fi

start=$(date +%s)
"$rig" prepare "$workdir"
cmake --build "$build_dir" --target kernel_contract_test kernel_rig_test kernel_cli_test
# One boot runs the whole suite; a wedged guest is stopped well inside CI's budget.
RIG_TIMEOUT=${RIG_TIMEOUT:-480} "$rig" run "$workdir" -- \
  ctest --test-dir "$build_dir" -L kernel --output-on-failure --no-tests=error
echo "kernel tests: rig prepare and run took $(($(date +%s) - start)) s"
