#!/usr/bin/env bash
# Runs the program with the virtual camera for a long time under load and checks it stays whole
# (see the README's Reliability section).
#   scripts/soak.sh [--minutes M] [--cycles N] [--updates U] [--short]
# Defaults: 60 minutes, 5000 plug/unplug cycles, 200 firmware updates; --short: 2 minutes and
# proportionally fewer, resident memory reported but not judged. SOAK_NO_SETUP=1 uses the build
# in build/ as it is (CI, after its tests).
set -euo pipefail
cd "$(dirname "$0")/.."

minutes=60 cycles=5000 updates=200 memory=()
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) minutes=$2; shift 2 ;;
    --cycles) cycles=$2; shift 2 ;;
    --updates) updates=$2; shift 2 ;;
    --short) minutes=2 cycles=120 updates=6 memory=(--no-memory-check); shift ;;
    *) echo "usage: bash scripts/soak.sh [--minutes M] [--cycles N] [--updates U] [--short]" >&2
       exit 2 ;;
  esac
done

build_dir=${BUILD_DIR:-build}
if [ "${SOAK_NO_SETUP:-0}" != 1 ]; then
  bash scripts/install-deps.sh
  cmake --preset regular -B "$build_dir"
fi
cmake --build "$build_dir" --parallel "$(nproc)" --target vexhaltools vexhal-sim vexhalctl

# A private home: the run never touches the user's files.
scratch=$(mktemp -d /tmp/vexhal-soak.XXXXXX)
tmpfs=()
cleanup() {
  if [ ${#tmpfs[@]} -gt 0 ]; then umount "$scratch/cache" || umount -l "$scratch/cache" || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
export HOME=$scratch XDG_RUNTIME_DIR=$scratch/run XDG_CONFIG_HOME=$scratch/config
export XDG_CACHE_HOME=$scratch/cache XDG_STATE_HOME=$scratch/state XDG_DATA_HOME=$scratch/data
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME" "$XDG_DATA_HOME"
chmod 700 "$XDG_RUNTIME_DIR"

# The logs live under the cache folder; a small tmpfs there lets the run fill the disk.
if mount -t tmpfs -o size=32m tmpfs "$XDG_CACHE_HOME" 2>/dev/null; then
  tmpfs=(--tmpfs)
else
  echo "soak: cannot mount a tmpfs here; the disk-full part is skipped"
fi

# The driver runs inside the virtual display, so it can click the window and take its picture.
xvfb-run -a -s "-screen 0 1280x800x24" python3 scripts/soak-driver.py --minutes "$minutes" --cycles "$cycles" --updates "$updates" \
  --app "$build_dir/src/app/vexhaltools" --ctl "$build_dir/src/cli/vexhalctl" \
  --sim "$build_dir/sim/vexhal-sim" --home "$scratch" --cache "$XDG_CACHE_HOME" \
  --logs "$XDG_CACHE_HOME/VexhalTools/QLogs" "${tmpfs[@]}" "${memory[@]}"
