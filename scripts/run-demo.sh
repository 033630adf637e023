#!/usr/bin/env bash
# Sets up, builds and starts VexhalTools with one virtual camera attached (no hardware needed).
#   scripts/run-demo.sh          in the desktop's display
#   scripts/run-demo.sh --xvfb   in a virtual X display (xvfb-run), on a machine without one
set -euo pipefail
cd "$(dirname "$0")/.."

use_xvfb=no
case "${1:-}" in
  --xvfb) use_xvfb=yes ;;
  "") ;;
  *) echo "usage: bash scripts/run-demo.sh [--xvfb]" >&2; exit 2 ;;
esac

build_dir=${BUILD_DIR:-build}
bash scripts/install-deps.sh
cmake --preset regular -B "$build_dir"
cmake --build "$build_dir" --parallel "$(nproc)" --target vexhaltools vexhal-sim vexhalctl

program="$build_dir/src/app/vexhaltools"
if [ "$use_xvfb" = yes ]; then
  echo "Starting in a virtual display; nothing appears on screen. Stop it with Ctrl+C."
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$program" --demo
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No graphical display here (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
  echo "Run this on a desktop, or start the program in a virtual display:" >&2
  echo "  bash scripts/run-demo.sh --xvfb" >&2
  exit 1
fi
exec "$program" --demo
