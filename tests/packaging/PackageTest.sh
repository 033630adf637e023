#!/usr/bin/env bash
# Checks of the program as installed on a Linux desktop. One subcommand per CTest test:
#   command-line <vexhaltools> <version>         --help, --version, bad arguments, without a display
#   metadata <packaging dir>                     desktop entry, AppStream metainfo, icon theme
#   udev-rule <rules file>                       rule syntax and effect through `udevadm test` (root)
#   build <build dir> <work dir>                 the .deb files, made by cpack
#   contents <work dir> <expected dir> <version> <libdir> <build type>   files in each .deb
#                                                against the lists
#   hardening <work dir>                         RELRO, BIND_NOW, PIE, stack protector and
#                                                fortified calls in each packaged binary
#   lintian <work dir>                           no lintian errors, no hardening tags
#   install <work dir> <version> <host source>   dpkg -i, run both programs, build a host program,
#                                                dpkg -r (root)
#   fresh-system <work dir> <version> <host source> <cache dir>   apt-get install into a fresh
#                                                Debian 12 made by mmdebstrap, run the demo, build a
#                                                host program, purge (root, mmdebstrap, the mirror)
# Exit 77 means skipped (the test needs root, or a tool or the network it lacks).
set -euo pipefail
export LC_ALL=C

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

need_root() {
  [ "$(id -u)" -eq 0 ] || { echo "needs root: skipped"; exit 77; }
}

packages=(vexhaltools libostrane0 libostrane-dev)

deb_of() {  # work dir, package name
  local found=("$1"/debs/"$2"_*.deb)
  [ -f "${found[0]}" ] || fail "no $2 package in $1/debs"
  echo "${found[0]}"
}

command_line() {
  local program=$1 version=$2
  # Each row: expected exit code | expected text (grep -E, on stdout+stderr) | arguments
  local rows=(
    "0|^vexhaltools ${version//./\\.}( \(.+\))?\$|--version"
    "0|^vexhaltools ${version//./\\.}|-v"
    "0|--version +Displays version information|--help"
    "0|-h, --help|-h"
    "0|--demo +Run with one virtual camera|--help"
    "2|Unknown option 'help-all'|--help-all"
    "0|^vexhaltools ${version//./\\.}|-platform offscreen --version"
    "2|Unknown option 'bogus'|--bogus"
    "2|unexpected argument 'stray'|stray"
    "2|Missing value after '-platform'|-platform"
  )
  local row code pattern args output status
  for row in "${rows[@]}"; do
    IFS='|' read -r code pattern args <<< "$row"
    read -r -a argv <<< "$args"
    status=0
    output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "${argv[@]}" 2>&1) ||
      status=$?
    [ "$status" -eq "$code" ] || fail "vexhaltools $args exited $status, not $code: $output"
    grep -Eq -- "$pattern" <<< "$output" || fail "vexhaltools $args printed: $output"
  done
  # Qt's options stay hidden from the help text.
  output=$(env -u DISPLAY "$program" --help)
  ! grep -q -- "platform" <<< "$output" || fail "--help lists Qt's own options: $output"
  echo "command line: ${#rows[@]} cases"
}

png_size() {  # prints "width height" from the PNG header
  od -An -tu1 -j16 -N8 "$1" | awk '{ print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'
}

metadata() {
  local dir=$1 id
  local desktop=("$dir"/*.desktop)
  [ "${#desktop[@]}" -eq 1 ] || fail "expected one desktop entry in $dir"
  id=$(basename "${desktop[0]}" .desktop)
  # Hints count too: each one is something a desktop shows wrongly (the entry twice in a menu).
  local said
  said=$(desktop-file-validate "${desktop[0]}" 2>&1) || fail "desktop-file-validate rejects: $said"
  [ -z "$said" ] || fail "desktop-file-validate: $said"
  appstreamcli validate --no-net "$dir/$id.metainfo.xml" || fail "appstreamcli rejects $id.metainfo.xml"

  # The pieces name each other: launchable, icon, binary.
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$dir/$id.metainfo.xml" ||
    fail "the metainfo does not launch $id.desktop"
  grep -qx "Icon=$id" "${desktop[0]}" || fail "the desktop entry's icon is not $id"
  grep -qx "Exec=vexhaltools" "${desktop[0]}" || fail "the desktop entry does not start vexhaltools"
  grep -Eq "^Categories=.*(^|;)HardwareSettings;" "${desktop[0]}" ||
    fail "the desktop entry is not in HardwareSettings"

  local size png got count=0
  for size in 16 22 24 32 48 64 128 256 512; do
    png="$dir/icons/hicolor/${size}x${size}/apps/$id.png"
    [ -f "$png" ] || fail "no ${size}x${size} icon"
    got=$(png_size "$png")
    [ "$got" = "$size $size" ] || fail "$png is $got, not ${size}x${size}"
    count=$((count + 1))
  done
  local svg="$dir/icons/hicolor/scalable/apps/$id.svg"
  [ -f "$svg" ] || fail "no scalable icon"
  python3 -c 'import sys, xml.etree.ElementTree as ET; r = ET.parse(sys.argv[1]).getroot(); sys.exit(0 if r.tag.endswith("svg") else 1)' "$svg" ||
    fail "$svg is not an SVG document"
  echo "metadata of $id valid, $count PNG icons and a scalable one"
}

udev_rule() {
  local rule=$1 name
  name=$(basename "$rule")
  # 73-seat-late.rules turns the uaccess tag into access for the seat's user, so the tag has to be
  # set by a file that udev reads before it.
  [[ "$name" < "73-seat-late.rules" ]] || fail "$name sorts after 73-seat-late.rules"
  grep -Eq 'ATTRS\{idVendor\}=="b206", ATTRS\{idProduct\}=="b215", TAG\+="uaccess"' "$rule" ||
    fail "$name does not tag the camera for uaccess"
  need_root
  command -v udevadm > /dev/null || fail "udevadm is missing"

  command -v unshare > /dev/null || fail "unshare (util-linux) is missing"
  local device=/sys/class/mem/null
  [ -e "$device" ] || { echo "no $device to test on: skipped"; exit 77; }
  # udevadm test records the device's tags in /run/udev; a private tmpfs there keeps them away
  # from the machine's own udev database.
  unshare --mount --propagation private bash "$0" udev-probe "$rule" "$device"
  echo "udev rule $name parses and grants seat access"
}

udev_probe() {  # runs in a private mount namespace
  local rule=$1 device=$2 name probe out
  name=$(basename "$rule")
  mount -t tmpfs vexhal-udev-test /run
  mkdir -p /run/udev/rules.d
  probe=/run/udev/rules.d/$name

  # Syntax: udevadm reports each bad line as "<file>:<line> <problem>".
  cp "$rule" "$probe"
  out=$(udevadm test --action=add "$device" 2>&1) || true
  grep -q "Reading rules file: $probe" <<< "$out" || fail "udevadm did not read the rule: $out"
  if grep -E "^$probe:[0-9]+ " <<< "$out"; then
    fail "udevadm rejects lines of $name"
  fi
  ! grep -q "RUN 'uaccess'" <<< "$out" || fail "the rule grants access to $device"

  # Effect: the same rule, matched on a device this machine has, makes the seat rules grant access.
  sed -E 's/SUBSYSTEM=="hidraw", ATTRS\{idVendor\}=="b206", ATTRS\{idProduct\}=="b215"/SUBSYSTEM=="mem", KERNEL=="null"/' \
    "$rule" > "$probe"
  grep -q 'KERNEL=="null"' "$probe" || fail "could not make a probe of $name"
  out=$(udevadm test --action=add "$device" 2>&1) || true
  grep -q "73-seat-late.rules:[0-9]* RUN 'uaccess'" <<< "$out" ||
    fail "the rule's tag does not reach the seat rules: $out"
}

build() {
  local build_dir=$1 work=$2
  command -v dpkg-shlibdeps > /dev/null || fail "dpkg-shlibdeps (dpkg-dev) is missing"
  rm -rf "$work"
  mkdir -p "$work"
  (cd "$work" && cpack --config "$build_dir/CPackConfig.cmake" -B "$work/debs" > cpack.log 2>&1) ||
    { cat "$work/cpack.log" >&2; fail "cpack failed"; }
  local p
  for p in "${packages[@]}"; do
    echo "$(deb_of "$work" "$p")"
  done
}

contents() {
  local work=$1 expected_dir=$2 version=$3 libdir=$4 config=${5,,} p deb actual expected field
  for p in "${packages[@]}"; do
    deb=$(deb_of "$work" "$p")
    # File and link paths only; folders come and go with their files.
    actual=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./|/|' | sort)
    expected=$(sed -e "s|@LIBDIR@|$libdir|g" -e "s|@VERSION@|$version|g" -e "s|@CONFIG@|$config|g" \
      "$expected_dir/$p.contents" |
      grep -v '^#' | sort)
    if [ "$actual" != "$expected" ]; then
      diff <(echo "$expected") <(echo "$actual") >&2 || true
      fail "$p holds other files than $p.contents lists (< expected, > packaged)"
    fi
    field=$(dpkg-deb --field "$deb" Version)
    grep -qx "$version-[0-9]*" <<< "$field" || fail "$p has the wrong version: $field"
  done
  deb=$(deb_of "$work" vexhaltools)
  field=$(dpkg-deb --field "$deb" Depends)
  grep -q "libqt6widgets6" <<< "$field" || fail "vexhaltools does not depend on Qt: $field"
  # The program and the headers go with the library of their own build, nothing more.
  for p in vexhaltools libostrane-dev; do
    field=$(dpkg-deb --field "$(deb_of "$work" "$p")" Depends)
    grep -Eq "(^|, )libostrane0 \(= $version-[0-9]+\)(,|\$)" <<< "$field" ||
      fail "$p does not depend on exactly its libostrane0: $field"
  done
  field=$(dpkg-deb --field "$(deb_of "$work" libostrane-dev)" Depends)
  ! grep -q "vexhaltools\|libqt" <<< "$field" || fail "libostrane-dev depends on the program: $field"
  field=$(dpkg-deb --field "$(deb_of "$work" libostrane0)" Depends)
  ! grep -q "libqt" <<< "$field" || fail "libostrane0 depends on Qt: $field"
  # ostrane.pc names the installed folders as they are, without "/../" steps.
  field=$(dpkg-deb --fsys-tarfile "$(deb_of "$work" libostrane-dev)" | tar -xO --wildcards '*/ostrane.pc')
  grep -qx "prefix=/usr" <<< "$field" && ! grep -q '/\.\./\|pcfiledir' <<< "$field" ||
    fail "ostrane.pc does not name plain paths: $field"
  echo "package contents as listed"
}

# The checks of hardening-check on each packaged ELF file: full RELRO (a GNU_RELRO segment and
# immediate binding), programs built as PIE, the stack protector's and fortified libc calls.
hardening() {
  local work=$1 p file elf count=0 dynamic symbols
  local unprotected='^(memcpy|memmove|memset|strcpy|stpcpy|strcat|strncpy|strncat|sprintf|snprintf|vsprintf|vsnprintf|printf|fprintf|vfprintf|read|pread|readlink|getcwd|realpath|fgets|fread|wcscpy|mbstowcs|wcstombs)$'
  tmp=$(mktemp -d)  # global: the exit trap still needs it
  trap 'rm -rf "$tmp"' EXIT
  for p in "${packages[@]}"; do dpkg-deb -x "$(deb_of "$work" "$p")" "$tmp/root"; done
  while IFS= read -r -d '' file; do
    elf=$(readelf -hW "$file" 2> /dev/null) || continue
    file=${file#"$tmp/root"}
    dynamic=$(readelf -dW "$tmp/root$file")
    readelf -lW "$tmp/root$file" | grep -q GNU_RELRO || fail "$file has no RELRO segment"
    grep -Eq '\(BIND_NOW\)|\(FLAGS\).*\bNOW\b|\(FLAGS_1\).*\bNOW\b' <<< "$dynamic" ||
      fail "$file binds lazily (no BIND_NOW): only partial RELRO"
    if [[ "$file" == /usr/bin/* ]]; then
      grep -Eq 'Type: +DYN' <<< "$elf" || fail "$file is not a position-independent executable"
      grep -Eq '\(FLAGS_1\).*\bPIE\b' <<< "$dynamic" || fail "$file is not marked PIE"
    fi
    symbols=$(nm -D --undefined-only "$tmp/root$file" | awk '{ print $2 }' | sed 's/@.*//')
    grep -qx '__stack_chk_fail' <<< "$symbols" || fail "$file is built without the stack protector"
    if ! grep -Eq '^__.*_chk$' <<< "$symbols" && grep -Eq "$unprotected" <<< "$symbols"; then
      fail "$file calls libc functions that _FORTIFY_SOURCE would check, none of them checked"
    fi
    count=$((count + 1))
  done < <(find "$tmp/root" -type f -print0)
  [ "$count" -ge 3 ] || fail "only $count ELF files in the packages"
  echo "hardening: $count ELF files with full RELRO, stack protector and fortified calls"
}

run_lintian() {
  local work=$1 p out status errors=0
  command -v lintian > /dev/null || fail "lintian is missing"
  for p in "${packages[@]}"; do
    status=0
    out=$(lintian --no-cfg --display-info --fail-on error "$(deb_of "$work" "$p")" 2>&1) ||
      status=$?
    echo "$out"
    # 0: no errors, 1: errors found; anything else means lintian itself failed.
    [ "$status" -le 1 ] || fail "lintian could not check $p (exit $status)"
    # Beside errors, these count whatever their level: a binary built without hardening, a
    # library package named after something else than its SONAME, ldconfig called by hand.
    if [ "$status" -eq 1 ] ||
      grep -Eq '^E: |: (hardening-|package-name-doesnt-match-sonames|maintscript-calls-ldconfig)' <<< "$out"; then
      errors=1
    fi
  done
  [ "$errors" -eq 0 ] || fail "lintian reports errors, or hardening, SONAME or ldconfig tags"
  echo "lintian: no errors, hardening, SONAME or ldconfig tags"
}

install_packages() {
  local work=$1 version=$2 host_source=$3 p
  need_root
  for p in "${packages[@]}"; do
    if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)" = "install ok installed" ]; then
      echo "$p is already installed on this machine: skipped"
      exit 77
    fi
  done
  tmp=$(mktemp -d)  # global: the exit trap still needs it
  trap 'dpkg --purge "${packages[@]}" > /dev/null 2>&1 || true; rm -rf "$tmp"' EXIT
  local debs=()
  for p in "${packages[@]}"; do debs+=("$(deb_of "$work" "$p")"); done
  dpkg -i "${debs[@]}" > "$tmp/dpkg.log" 2>&1 ||
    { cat "$tmp/dpkg.log" >&2; fail "dpkg -i failed"; }

  local out
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/vexhaltools --version) ||
    fail "the installed vexhaltools --version failed"
  grep -q "^vexhaltools $version" <<< "$out" || fail "the installed program says: $out"
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/vexhalctl --version) ||
    fail "the installed vexhalctl --version failed"
  grep -q "^vexhalctl $version" <<< "$out" || fail "the installed vexhalctl says: $out"
  [ -f /usr/lib/udev/rules.d/70-vexhaltools.rules ] || fail "the udev rule is not installed"

  # A host program against the installed libostrane-dev, from the system's own paths only.
  cmake -S "$host_source" -B "$tmp/cmake-build" -G Ninja > "$tmp/cmake.log" 2>&1 ||
    { cat "$tmp/cmake.log" >&2; fail "find_package(Ostrane) failed against the package"; }
  cmake --build "$tmp/cmake-build" > "$tmp/build.log" 2>&1 ||
    { cat "$tmp/build.log" >&2; fail "the CMake host did not build"; }
  local pkg_flags
  read -r -a pkg_flags <<< "$(pkg-config --cflags --libs ostrane)"
  c++ "$host_source/Host.cpp" "${pkg_flags[@]}" -o "$tmp/pkgconfig-host" ||
    fail "the pkg-config host did not build"
  export XDG_CACHE_HOME=$tmp/cache
  "$tmp/cmake-build/consumer" via-cmake > /dev/null
  "$tmp/pkgconfig-host" via-pkg-config > /dev/null
  out=$(ldd "$tmp/pkgconfig-host")
  grep -Eq "libostrane.so.0 => (/usr)?/lib/" <<< "$out" ||
    fail "the host does not use the installed library: $out"
  local logs=("$XDG_CACHE_HOME"/OstraneConsumer/QLogs/OstraneConsumer_*_0.log) how
  for how in via-cmake via-pkg-config; do
    grep -q "Consumer, started $how" "${logs[@]}" || fail "no line from the $how host in ${logs[*]}"
  done

  dpkg --purge "${packages[@]}" > "$tmp/dpkg.log" 2>&1 ||
    { cat "$tmp/dpkg.log" >&2; fail "dpkg --purge failed"; }
  [ ! -e /usr/bin/vexhaltools ] || fail "dpkg --purge left /usr/bin/vexhaltools behind"
  echo "packages install, run, build a host program and remove cleanly"
}

# The tools the fresh system gets before the packages, so they belong to its starting state: a
# virtual display for the program and a compiler for the Ostrane host.
fresh_tools=xvfb,xauth,g++,pkg-config
# What the program logs when its camera list shows one camera.
demo_camera_line='CameraList, refreshCameraList(isNeedAsyncUVC:), 1 ['

fresh_system() {
  local work=$1 version=$2 host_source=$3 cache=$4 p
  need_root
  command -v mmdebstrap > /dev/null ||
    { echo "mmdebstrap is missing (scripts/install-deps.sh installs it): skipped"; exit 77; }
  local debs=() in_root_debs=()
  for p in "${packages[@]}"; do
    debs+=("$(deb_of "$work" "$p")")
    in_root_debs+=("/tmp/debs/$(basename "${debs[-1]}")")
  done

  # Debian 12 with apt and the test's tools, made once and kept in the build folder.
  mkdir -p "$cache/archives/partial"
  local tarball=$cache/debian12.tar
  if [ ! -f "$tarball" ]; then
    rm -rf "$tarball" "$tarball.part"
    # The format is named: mmdebstrap would take a name ending in ".part" for a folder.
    if ! mmdebstrap --variant=apt --format=tar --include="$fresh_tools" bookworm "$tarball.part" \
      > "$cache/mmdebstrap.log" 2>&1; then
      rm -rf "$tarball.part"
      if grep -Eq "Could not resolve|Failed to fetch|Unable to connect|Temporary failure|unreachable" \
        "$cache/mmdebstrap.log"; then
        echo "the Debian mirror cannot be reached (see $cache/mmdebstrap.log): skipped"
        exit 77
      fi
      cat "$cache/mmdebstrap.log" >&2
      fail "mmdebstrap could not make a Debian 12 system"
    fi
    mv "$tarball.part" "$tarball"
  fi

  root=$(mktemp -d)  # global: the exit trap still needs it
  trap 'fresh_cleanup' EXIT
  tar -C "$root" -xf "$tarball"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  mkdir -p "$root/tmp/debs" "$root/tmp/host"
  cp "${debs[@]}" "$root/tmp/debs/"
  cp "$host_source/Host.cpp" "$root/tmp/host/"
  # Downloads are kept between runs; the program reads /proc.
  mount --bind "$cache/archives" "$root/var/cache/apt/archives"
  mount -t proc proc "$root/proc"

  in_root apt-get update -qq > /dev/null || fail "apt-get update failed in the fresh system"
  in_root_state > "$root/tmp/before"
  local mode
  for mode in --no-install-recommends --install-recommends; do
    in_root apt-get install -y -qq "$mode" "${in_root_debs[@]}" > "$root/tmp/apt.log" 2>&1 ||
      { cat "$root/tmp/apt.log" >&2; fail "apt-get install $mode failed in the fresh system"; }
    fresh_checks "$version"
    in_root apt-get purge -y -qq "${packages[@]}" > "$root/tmp/apt.log" 2>&1 &&
      in_root apt-get autoremove -y -qq --purge >> "$root/tmp/apt.log" 2>&1 ||
      { cat "$root/tmp/apt.log" >&2; fail "apt-get purge failed in the fresh system"; }
    in_root_state > "$root/tmp/after"
    fresh_leftovers "$mode" "${debs[@]}"
    echo "fresh Debian 12, apt-get install $mode: runs, builds a host, purges to nothing"
  done
}

# Without Recommends the purged system is exactly as before. With them, packages such as systemd
# come along and leave traces of their own when purged; nothing of ours may be among them.
fresh_leftovers() {
  local mode=$1 added removed ours
  shift
  added=$(comm -13 "$root/tmp/before" "$root/tmp/after")
  removed=$(comm -23 "$root/tmp/before" "$root/tmp/after")
  [ -z "$removed" ] || fail "apt-get install $mode and purge removed from the fresh system: $removed"
  if [ "$mode" = --no-install-recommends ]; then
    [ -z "$added" ] || fail "apt-get install $mode and purge left in the fresh system: $added"
    return
  fi
  ours=$(for deb in "$@"; do dpkg-deb --contents "$deb"; done | awk '{ print $6 }' |
    sed -e 's|^\./|/|' -e 's|/$||')
  ours=$({ grep -Fx -f <(echo "$ours") <<< "$added"; grep -Ei 'vexhal|ostrane' <<< "$added"; } |
    sort -u || true)
  [ -z "$ours" ] || fail "apt-get install $mode and purge left in the fresh system: $ours"
}

# Runs a command in the fresh system with a plain environment.
in_root() {
  env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C DEBIAN_FRONTEND=noninteractive \
    chroot "$root" "$@"
}

# Every path of the fresh system outside the folders that change by themselves (caches, logs,
# apt's lists, the scratch and home folders).
in_root_state() {
  in_root find / -xdev \( -path /tmp -o -path /root -o -path /var/cache -o -path /var/log \
    -o -path /var/lib/apt -o -path /proc \) -prune -o -print | sort
}

fresh_checks() {
  local version=$1 out
  out=$(in_root vexhaltools --version) || fail "vexhaltools --version failed in the fresh system"
  grep -q "^vexhaltools $version" <<< "$out" || fail "the fresh system's vexhaltools says: $out"

  # The demo under a virtual display, until its log names the virtual camera.
  in_root sh -c '
    export HOME=/tmp/home XDG_RUNTIME_DIR=/tmp/run XDG_CACHE_HOME=/tmp/home/.cache
    rm -rf "$HOME" "$XDG_RUNTIME_DIR" && mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
    xvfb-run -a sh -c "vexhaltools --demo > /tmp/demo.log 2>&1 & echo \$! > /tmp/demo.pid; wait" &
    seen=1
    for i in $(seq 120); do
      if grep -qsF "$0" "$XDG_CACHE_HOME"/VexhalTools/QLogs/*.log; then seen=0; break; fi
      sleep 0.5
    done
    kill "$(cat /tmp/demo.pid)"
    wait
    exit $seen' "$demo_camera_line" ||
    { cat "$root/tmp/demo.log" >&2; fail "the demo's log in the fresh system has no camera line"; }

  # An Ostrane host from libostrane-dev alone: plain g++ with the flags of ostrane.pc.
  in_root sh -c 'g++ /tmp/host/Host.cpp $(pkg-config --cflags --libs ostrane) -o /tmp/host/host &&
    XDG_CACHE_HOME=/tmp/host/cache /tmp/host/host fresh-system > /dev/null &&
    grep -q "Consumer, started fresh-system" /tmp/host/cache/OstraneConsumer/QLogs/*.log' ||
    fail "the Ostrane host did not build or run in the fresh system"
  rm -rf "$root/tmp/host/host" "$root/tmp/host/cache"
}

fresh_cleanup() {
  umount "$root/proc" 2> /dev/null || true
  umount "$root/var/cache/apt/archives" 2> /dev/null || true
  # Only remove the tree once nothing is mounted inside it any more.
  if ! grep -q " $root/" /proc/mounts; then rm -rf "$root"; fi
}

case "${1:-}" in
  command-line) command_line "$2" "$3" ;;
  metadata) metadata "$2" ;;
  udev-rule) udev_rule "$2" ;;
  udev-probe) udev_probe "$2" "$3" ;;
  build) build "$2" "$3" ;;
  contents) contents "$2" "$3" "$4" "$5" "$6" ;;
  lintian) run_lintian "$2" ;;
  hardening) hardening "$2" ;;
  install) install_packages "$2" "$3" "$4" ;;
  fresh-system) fresh_system "$2" "$3" "$4" "$5" ;;
  *) echo "usage: $0 command-line|metadata|udev-rule|build|contents|hardening|lintian|install|fresh-system ..." >&2; exit 2 ;;
esac
