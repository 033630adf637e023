#!/usr/bin/env bash
# Formats C++ files with the tree's .clang-format.
#   scripts/format.sh [FILE...]            rewrite the files (default: every tracked .cpp and .h)
#   scripts/format.sh --check [FILE...]    change nothing; fail and list what differs
set -euo pipefail
cd "$(dirname "$0")/.."

check=0
if [ "${1:-}" = "--check" ]; then
  check=1
  shift
fi
bash scripts/install-deps.sh

if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
fi
if [ "$check" = 1 ]; then
  clang-format --dry-run -Werror "${files[@]}"
else
  clang-format -i "${files[@]}"
fi
