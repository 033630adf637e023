#!/usr/bin/env bash
# Takes pictures of every screen of the demo in a virtual X display with a window manager.
#   scripts/screenshots.sh [DIR]      writes DIR/*.png (default /tmp/vexhal-shots)
# Needs Xvfb, xauth and openbox; as root it installs what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

out=$(realpath -m "${1:-/tmp/vexhal-shots}")
build_dir=${BUILD_DIR:-build}

needed=(xvfb xauth openbox)
missing=()
for p in "${needed[@]}"; do
  [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)" = "install ok installed" ] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}. Install them with: sudo apt-get install ${missing[*]}" >&2
    exit 1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

[ -d "$build_dir" ] || cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" --target vexhal-screenshots
mkdir -p "$out"

# A fresh profile, so the pictures show what a new user sees.
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
mkdir -m 700 "$profile/run"
export HOME="$profile" XDG_CONFIG_HOME="$profile/config" XDG_CACHE_HOME="$profile/cache" \
  XDG_DATA_HOME="$profile/data" XDG_RUNTIME_DIR="$profile/run"

xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
  status=0
  "$0" "$1" || status=$?
  kill "$wm" 2>/dev/null || true
  exit "$status"' "$build_dir/tools/screenshots/vexhal-screenshots" "$out"
