#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UndefinedBehaviorSanitizer) in
# build-fuzz/ and runs them, as many at once as there are cores, starting from the committed
# corpus (fuzz/corpus/<target>) with the target's dictionary (fuzz/dict/<target>.dict) and extra
# flags (fuzz/options/<target>) where they exist. Ends with a table of executions, coverage and
# findings per target; exits 1 when any target found something (its input is in build-fuzz/findings).
#   scripts/fuzz.sh                  short mode: every target, all of them within 2.5 minutes
#   scripts/fuzz.sh --seconds S      each target for S seconds
#   scripts/fuzz.sh --executions [N] long mode: N executions per target (default 10,000,000)
#   ... [TARGET...]                  only these targets
# A finding is kept by copying its input into fuzz/corpus/<target>/ (named after what it
# found), after the fault is mended: the regular and sanitizer test runs replay that folder.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BUILD_DIR:-build-fuzz}
mode=short
seconds=0
executions=10000000
selected=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) mode=seconds; seconds=$2; shift 2 ;;
    --executions)
      mode=executions
      if [ $# -ge 2 ] && [[ $2 =~ ^[0-9]+$ ]]; then executions=$2; shift; fi
      shift ;;
    [0-9]*) mode=seconds; seconds=$1; shift ;;
    -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
    *) selected+=("$1"); shift ;;
  esac
done

mapfile -t all < <(sed -n 's/^vexhal_add_fuzzer(\([a-z0-9_]*\).*/\1/p' fuzz/CMakeLists.txt)
targets=("${selected[@]:-${all[@]}}")
jobs=${FUZZ_JOBS:-$(nproc)}
if [ "$mode" = short ]; then
  # Two and a half minutes in all: the targets share the cores in rounds of `jobs`.
  rounds=$(( (${#targets[@]} + jobs - 1) / jobs ))
  seconds=$(( 150 / rounds ))
fi

bash scripts/install-deps.sh
cmake --preset fuzz -B "$build_dir" >/dev/null
cmake --build "$build_dir" --parallel "$jobs" --target "${targets[@]}"

# Short allocation stacks, no fill of new blocks and a small quarantine: every error is still
# caught, and a run is about a third faster (replaying a finding gives the full report).
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:malloc_context_size=2:max_malloc_fill_size=0:quarantine_size_mb=16}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
logs="$build_dir/logs"
findings="$build_dir/findings"
mkdir -p "$logs" "$findings"

run_target() {
  local target=$1 work="$build_dir/corpus/$1" flags=()
  mkdir -p "$work" "$findings/$target"
  rm -f "$findings/$target"/*
  [ -f "fuzz/dict/$target.dict" ] && flags+=("-dict=fuzz/dict/$target.dict")
  [ -f "fuzz/options/$target" ] && mapfile -t -O ${#flags[@]} flags < "fuzz/options/$target"
  if [ "$mode" = executions ]; then flags+=("-runs=$executions"); else flags+=("-max_total_time=$seconds"); fi
  # New inputs go to the work folder; the committed corpus is only read.
  "$build_dir/fuzz/$target" -max_len=8192 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    "${flags[@]}" -artifact_prefix="$findings/$target/" "$work" "fuzz/corpus/$target" \
    >"$logs/$target.log" 2>&1 || true
}

echo "== ${#targets[@]} targets, $jobs at a time, $( [ "$mode" = executions ] && echo "$executions executions" || echo "${seconds}s") each"
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then wait -n || true; running=$((running - 1)); fi
  echo "   starting $target"
  run_target "$target" &
  running=$((running + 1))
done
wait || true

status=0
printf '\n%-28s %14s %10s %8s %9s %9s\n' target executions exec/s cov features findings
for target in "${targets[@]}"; do
  log="$logs/$target.log"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  found=$(find "$findings/$target" -type f | wc -l)
  if [ -z "$runs" ] && [ "$found" -eq 0 ]; then found="?"; fi
  printf '%-28s %14s %10s %8s %9s %9s\n' "$target" "${runs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "$found"
  if [ "$found" != 0 ]; then
    status=1
    echo "   $target: see $log" >&2
    find "$findings/$target" -type f -printf '   finding: %p\n' >&2
  fi
done
exit "$status"
