#!/usr/bin/env bash
# Fails when a tracked C++ source does not follow .clang-format. With --fix, rewrites them.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' | grep -v '^build/')
[ ${#files[@]} -gt 0 ] || exit 0
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run -Werror "${files[@]}" 2>/tmp/vorlex-format.log; then
  grep -o '^[^:]*' /tmp/vorlex-format.log | sort -u | sed 's/^/needs clang-format: /'
  echo "format check failed: run scripts/format-check.sh --fix" >&2
  exit 1
fi
echo "format check: ${#files[@]} files follow .clang-format"
