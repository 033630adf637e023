#!/usr/bin/env bash
# Installs every Debian package that building, running and testing the project needs.
# The README and CI both call this script, so the list lives in one place.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config git clang libclang-rt-14-dev clang-format
  # program and library
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6opengl6-dev libgl-dev
  libudev-dev libturbojpeg0-dev libyuv-dev libzip-dev zlib1g-dev libssl-dev libxcb1-dev
  # full-width punctuation and Chinese texts (the package depends on it too)
  fonts-wqy-microhei
  # tests and benchmarks (spdlog is the logging benchmark's anchor only)
  libgtest-dev libgmock-dev libbenchmark-dev libspdlog-dev
  python3 unzip xvfb xauth
  # the soak clicks the window and takes its picture
  xdotool x11-apps
  # the Wayland session test: a headless compositor and Qt's Wayland plugin
  weston qt6-wayland
  # a private message bus for the wake-up tests
  dbus-daemon
  # picture generator (scripts/gen-assets.py)
  python3-pil
  openssl
  # Debian packages and desktop metadata (tests/packaging)
  dpkg-dev lintian desktop-file-utils appstream udev
  # a fresh Debian 12 system for the package test
  mmdebstrap
  # the many-rooms playbook and its checks (tests/ansible); the command-line benchmark's anchor
  ansible-core ansible-lint v4l-utils
)

missing=()
for p in "${packages[@]}"; do
  # No pipe into grep -q: under pipefail the writer's SIGPIPE would fail the check by chance.
  [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)" = "install ok installed" ] || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
