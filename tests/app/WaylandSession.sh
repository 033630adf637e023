#!/usr/bin/env bash
# On a headless Wayland compositor with Qt's Wayland plugin: starts the program itself with
# --demo and waits until it lists the virtual camera, then runs the display-session test
# program (WaylandSessionTest.cpp). Each must make exactly one top-level surface in its protocol
# log: the main window, neither made again when the preview appears nor joined by a separate
# window for a dialog. Exits 77 (skipped) where weston or the plugin is missing.
#   WaylandSession.sh SESSION_TEST VEXHALTOOLS
set -uo pipefail
program=$1
vexhaltools=$2

if ! command -v weston >/dev/null; then
  echo "skipped: weston is not installed (scripts/install-deps.sh installs it)"
  exit 77
fi
if ! compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland-*.so" >/dev/null &&
  ! compgen -G "/usr/lib/qt6/plugins/platforms/libqwayland-*.so" >/dev/null; then
  echo "skipped: Qt's Wayland platform plugin is not installed (package qt6-wayland)"
  exit 77
fi

runtime=$(mktemp -d)
chmod 700 "$runtime"
weston_pid=
cleanup() {
  [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
  rm -rf "$runtime"
}
trap cleanup EXIT

export XDG_RUNTIME_DIR=$runtime
socket=vexhal-session
weston --backend=headless-backend.so --socket="$socket" --idle-time=0 --width=1280 \
  --height=800 >"$runtime/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do
  [ -S "$runtime/$socket" ] && break
  sleep 0.1
done
if [ ! -S "$runtime/$socket" ]; then
  echo "skipped: weston did not start here:"
  tail -n 20 "$runtime/weston.log"
  exit 77
fi

export WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client

# Fails unless the protocol log $1 shows one top-level surface and no pop-up.
one_window() {
  local toplevels popups
  toplevels=$(grep -c 'get_toplevel(' "$1")
  popups=$(grep -c 'get_popup(' "$1")
  echo "$2: top-level surfaces made: $toplevels, pop-up surfaces made: $popups"
  [ "$toplevels" -eq 1 ] && [ "$popups" -eq 0 ]
}

# The program, with a private home, until its log shows the camera listed.
home=$runtime/home
mkdir -p "$home"
HOME=$home XDG_CONFIG_HOME=$home/config XDG_CACHE_HOME=$home/cache \
  "$vexhaltools" --demo >"$runtime/program.out" 2>"$runtime/program.log" &
program_pid=$!
listed=no
for _ in $(seq 200); do
  if grep -qs 'CameraList, refreshCameraList(isNeedAsyncUVC:), 1' "$home"/cache/VexhalTools/QLogs/*; then
    listed=yes
    break
  fi
  sleep 0.1
done
kill "$program_pid" 2>/dev/null
wait "$program_pid" 2>/dev/null
if [ "$listed" != yes ]; then
  echo "FAILED: vexhaltools --demo did not list the virtual camera within 20 s"
  grep -v '^\[' "$runtime/program.log" | tail -n 20
  exit 1
fi
one_window "$runtime/program.log" "vexhaltools --demo" || exit 1

"$program" 2>"$runtime/client.log"
status=$?
# Qt's and the program's own messages, without the protocol lines.
grep -v '^\[' "$runtime/client.log" | tail -n 40
[ "$status" -eq 0 ] || exit "$status"
one_window "$runtime/client.log" "control screen and dialog" || exit 1
