#!/usr/bin/env bash
# vexhalctl's bash completion against the program's own help: every command, every setting and
# every word a setting takes is offered, so the script cannot drift from the setting table.
# Usage: CompletionTest.sh <vexhalctl> <completion script>
set -euo pipefail
program=$1
script=$2

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The few helpers of the bash-completion package the script uses, reduced to what it needs.
_init_completion() {
  words=("${COMP_WORDS[@]}")
  cword=$COMP_CWORD
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD - 1]}
}
_filedir() { COMPREPLY=(FILES); }
compopt() { :; }
# shellcheck source=/dev/null
source "$script"

complete_line() {  # the words typed, the last one being completed; prints the offers sorted
  read -r -a COMP_WORDS <<< "$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _vexhalctl
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}

expect() {  # typed | expected offers (sorted, space-separated)
  local got
  got=$(complete_line "$1")
  [ "$got" = "$2 " ] || fail "'$1' offered '$got', not '$2'"
}

expect "vexhalctl " "check-update demo diagnostics doctor firmware get list preset save set"
expect "vexhalctl demo " "fault help plug restart-delay status unplug"
expect "vexhalctl preset " "apply export import list save"
expect "vexhalctl preset export --" "--all --camera --help --json --timeout --version"
expect "vexhalctl preset export Studio " "FILES"
expect "vexhalctl preset import " "FILES"
expect "vexhalctl --json g" "get"
expect "vexhalctl --camera X s" "save set"
expect "vexhalctl --camera X p" "preset"
expect "vexhalctl --" "--camera --help --json --timeout --version"
expect "vexhalctl firmware --" "--camera --help --json --no-wait --timeout --version"
expect "vexhalctl check-update --download " "FILES"
expect "vexhalctl diagnostics --" "--camera --help --json --mask-serial --output --timeout --version"
expect "vexhalctl diagnostics -o " "FILES"
expect "vexhalctl firmware " "FILES"
expect "vexhalctl set ang" "angle="

# Each setting of the help text, with the words it takes.
help=$("$program" --help)
settings=$(sed -n '/^Settings/,/^$/p' <<< "$help" | awk 'NF == 2 {print $1 "|" $2}')
[ -n "$settings" ] || fail "no settings in the help text"
count=0
while IFS='|' read -r name values; do
  count=$((count + 1))
  expect "vexhalctl set ${name:0:3}" "$(compgen -W "$(sed -n '/^Settings/,/^$/p' <<< "$help" |
    awk 'NF == 2 {print $1 "="}')" -- "${name:0:3}" | sort | tr '\n' ' ' | sed 's/ $//')"
  if [[ $values == *"|"* ]]; then
    expect "vexhalctl set $name=" "$(tr '|' '\n' <<< "$values" | sort | tr '\n' ' ' | sed 's/ $//')"
  fi
  [ "$name" = preset ] && continue
  expect "vexhalctl get $name" "$name"
done <<< "$settings"
echo "completion: $count settings"
