#!/usr/bin/env bash
# Runs the display-session test program (WaylandSessionTest.cpp) on a headless Wayland
# compositor with Qt's Wayland plugin, and reads the client's protocol log: the program must make
# exactly one top-level surface, its main window, neither made again when the preview appears
# nor joined by a separate window for a dialog. Exits 77 (skipped) where weston or the plugin
# is missing.
#   WaylandSession.sh PROGRAM
set -uo pipefail
program=$1

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

WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client \
  "$program" 2>"$runtime/client.log"
status=$?
# Qt's and the program's own messages, without the protocol lines.
grep -v '^\[' "$runtime/client.log" | tail -n 40

toplevels=$(grep -c 'get_toplevel(' "$runtime/client.log")
popups=$(grep -c 'get_popup(' "$runtime/client.log")
echo "top-level surfaces made: $toplevels, pop-up surfaces made: $popups"
if [ "$status" -ne 0 ]; then
  exit "$status"
fi
if [ "$toplevels" -ne 1 ] || [ "$popups" -ne 0 ]; then
  echo "FAILED: the program should make one top-level surface and no pop-up"
  exit 1
fi
