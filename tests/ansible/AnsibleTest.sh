#!/usr/bin/env bash
# The many-rooms playbook (contrib/ansible) run by ansible-playbook on this host against the
# virtual camera of a running `vexhaltools --demo`, which vexhalctl reaches over the program's
# socket. One subcommand per CTest test:
#   playbook <vexhaltools> <vexhalctl> <vexhal-sim> <playbook dir>
#   lint <playbook dir>                 ansible-lint finds nothing
# Exit 77 means skipped (Ansible or ansible-lint is not installed).
set -euo pipefail
# Ansible wants a UTF-8 locale; C.UTF-8 is on every Debian system.
export LC_ALL=C.UTF-8

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

need() {
  command -v "$1" > /dev/null || { echo "$1 is not installed: skipped"; exit 77; }
}

work=$(mktemp -d)
demo_pid=
cleanup() {
  if [ -n "$demo_pid" ]; then
    kill "$demo_pid" 2> /dev/null || true
    wait "$demo_pid" 2> /dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# A private session: the program's socket, settings and caches and Ansible's own files stay in
# the work folder.
export HOME=$work/home XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config
export XDG_CACHE_HOME=$work/cache
mkdir -m 700 "$HOME" "$XDG_RUNTIME_DIR"
export ANSIBLE_LOCAL_TEMP=$work/ansible-local ANSIBLE_REMOTE_TEMP=$work/ansible-remote
export ANSIBLE_PYTHON_INTERPRETER=auto_silent ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0

# Prints the value at a path of keys and indexes ("0 version") of the JSON document on stdin,
# as JSON.
json_at() {
  python3 -c 'import json, sys
value = json.load(sys.stdin)
for key in sys.argv[1:]:
    value = value[int(key)] if isinstance(value, list) else value[key]
print(json.dumps(value))' "$@"
}

# A firmware package the virtual camera accepts: "VXFW", the version's three bytes, a zero, the
# payload length, the payload, then the CRC-32 of all before it (each number little-endian).
make_package() {  # version (a.b.c), file
  python3 -c 'import struct, sys, zlib
version = [int(part) for part in sys.argv[1].split(".")]
payload = bytes(range(256)) * 1024
head = b"VXFW" + bytes(version + [0]) + struct.pack("<I", len(payload))
image = head + payload
open(sys.argv[2], "wb").write(image + struct.pack("<I", zlib.crc32(image)))' "$1" "$2"
}

# Checks the camera against "setting=json ..." items; `version` is read from `list`, the rest
# from `get`, both parsed as JSON.
expect_camera() {
  local item name want got settings cameras
  settings=$(timeout 30 vexhalctl --json get) || fail "vexhalctl get exited $?"
  cameras=$(timeout 30 vexhalctl --json list) || fail "vexhalctl list exited $?"
  for item in $1; do
    name=${item%%=*}
    want=$(json_at <<< "${item#*=}")
    if [ "$name" = version ]; then
      got=$(json_at 0 version <<< "$cameras")
    else
      got=$(json_at "$name" <<< "$settings")
    fi
    [ "$got" = "$want" ] || fail "$name is $got, not $want"
  done
}

playbook() {
  local program=$1 ctl=$2 sim=$3 dir=$4
  need ansible-playbook
  need python3
  # The built vexhalctl is the one the playbook finds.
  mkdir "$work/bin"
  ln -s "$(realpath "$ctl")" "$work/bin/vexhalctl"
  export PATH=$work/bin:$PATH
  export QT_QPA_PLATFORM=offscreen

  timeout 600 "$program" --demo > "$work/demo.log" 2>&1 &
  demo_pid=$!
  local deadline=$((SECONDS + 30))
  until [ "$(timeout 10 vexhalctl --json list 2> /dev/null | json_at 0 state 2> /dev/null)" = '"connected"' ]; do
    [ "$SECONDS" -lt "$deadline" ] || fail "the demo's camera did not appear: $(cat "$work/demo.log")"
    kill -0 "$demo_pid" 2> /dev/null || fail "the demo ended: $(cat "$work/demo.log")"
    sleep 0.5
  done
  # The camera restarts after an installation at once rather than after three seconds.
  "$sim" restart-delay 100 > /dev/null || fail "vexhal-sim restart-delay failed"
  local serial
  serial=$(timeout 30 vexhalctl --json list | json_at 0 serial | tr -d '"')
  make_package 1.1.0 "$work/firmware-1.1.0.bin"
  expect_camera "version=\"1.0.6\" auto-framing=true framing-mode=\"meeting\" angle=120"

  local frame='"vexhal_cameras_auto_framing": false, "vexhal_cameras_framing_mode": "single", "vexhal_cameras_angle": 90'
  local firmware="\"vexhal_cameras_firmware_package\": \"$work/firmware-1.1.0.bin\""
  local report="\"vexhal_cameras_report_file\": \"$work/report.json\""
  # Each row: what happens | the virtual camera's fault meanwhile (vexhal-sim) | exit status |
  # pattern the output must hold (grep -E) | extra variables (JSON) | the camera afterwards (see
  # expect_camera) | cameras in the report
  local rows=(
    "older: framed and installed||0|localhost +: ok=[0-9]+ +changed=[1-9]|{$frame, $firmware, \"vexhal_cameras_firmware_version\": \"1.1.0\", $report}|version=\"1.1.0\" auto-framing=false framing-mode=\"single\" angle=90|1"
    "again: nothing changes||0|localhost +: ok=[0-9]+ +changed=0 .* failed=0|{$frame, $firmware, \"vexhal_cameras_firmware_version\": \"1.1.0\"}|version=\"1.1.0\" auto-framing=false framing-mode=\"single\" angle=90|"
    "framing as words||0|changed=[1-9]|{\"vexhal_cameras_auto_framing\": \"on\", \"vexhal_cameras_angle\": \"120\", $report}|auto-framing=true framing-mode=\"single\" angle=120|1"
    "same version: exit 1 reported||2|vexhalctl firmware on $serial exited 1 \\(the camera refused or failed\\)|{$firmware, \"vexhal_cameras_firmware_version\": \"1.2.0\"}|version=\"1.1.0\"|"
    "unknown angle: nothing sent||2|angle takes 60, 90 or 120|{\"vexhal_cameras_angle\": 45, \"vexhal_cameras_framing_mode\": \"meeting\"}|framing-mode=\"single\" angle=120|"
    "silent camera: exit 4 reported|fault no-reply get-angle|2|vexhalctl get on $serial exited 4 \\(the camera did not answer within the timeout\\)|{\"vexhal_cameras_angle\": 60, \"vexhal_cameras_timeout\": 1}|angle=120|"
  )
  local row name fault status pattern vars state reported output code
  for row in "${rows[@]}"; do
    IFS='|' read -r name fault status pattern vars state reported <<< "$row"
    rm -f "$work/report.json"
    if [ -n "$fault" ]; then
      # shellcheck disable=SC2086 # the fault is several words
      "$sim" $fault > /dev/null || fail "$name: vexhal-sim $fault failed"
    fi
    code=0
    output=$(cd "$dir" && timeout 300 ansible-playbook -i localhost, -c local rooms.yml \
      -e "$vars" 2>&1) || code=$?
    "$sim" fault clear > /dev/null || fail "$name: vexhal-sim fault clear failed"
    if [ -n "$fault" ]; then
      # A request the camera never answered keeps its place for the device's 5 s reply bound,
      # and the next reply to the same command is taken for it: the camera answers again after.
      local deadline=$((SECONDS + 15))
      until timeout 30 vexhalctl --json get > /dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || fail "$name: the camera does not answer again"
      done
    fi
    [ "$code" -eq "$status" ] || fail "$name: ansible-playbook exited $code, not $status: $output"
    grep -Eq -- "$pattern" <<< "$output" || fail "$name: no /$pattern/ in: $output"
    expect_camera "$state"
    if [ -n "$reported" ]; then
      [ "$(json_at 0 serial < "$work/report.json")" = "\"$serial\"" ] || fail "$name: report"
      [ "$(python3 -c 'import json, sys; print(len(json.load(sys.stdin)))' < "$work/report.json")" = "$reported" ] ||
        fail "$name: the report lists other cameras: $(cat "$work/report.json")"
    fi
    echo "ok: $name"
  done

  # Unplugged: the room reports no camera and nothing is set.
  "$sim" unplug > /dev/null || fail "vexhal-sim unplug failed"
  output=$(cd "$dir" && timeout 300 ansible-playbook -i localhost, -c local rooms.yml \
    -e "{$frame, $report}" 2>&1) || fail "unplugged: ansible-playbook exited $?: $output"
  [ "$(cat "$work/report.json")" = "[]" ] || fail "unplugged: report $(cat "$work/report.json")"
  echo "playbook: $((${#rows[@]} + 1)) cases"
}

lint() {
  need ansible-lint
  (cd "$1" && timeout 300 ansible-lint --offline --nocolor rooms.yml roles/) ||
    fail "ansible-lint found problems in $1"
}

case "${1:-}" in
  playbook) shift && playbook "$@" ;;
  lint) shift && lint "$@" ;;
  *) fail "usage: AnsibleTest.sh playbook|lint ..." ;;
esac
