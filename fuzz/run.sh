#!/usr/bin/env bash
# Builds the fuzz preset and runs each libFuzzer target (or the named ones) for SECONDS from fuzz/corpus/TARGET.
# New inputs collect in build/fuzz/corpus/TARGET; failing ones, and TARGET.log, in build/fuzz/findings (exit 1).
set -euo pipefail
if ! [[ ${1:-} =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 SECONDS [TARGET...]" >&2
  exit 2
fi
seconds=$1
shift
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- $(basename -s .cpp fuzz/fuzz_*.cpp)
build=$PWD/build/fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 >/dev/null
status=0
for t; do
  findings=$build/findings/$t
  mkdir -p "$build/corpus/$t" "$findings"
  rc=0
  "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$build/corpus/$t" "fuzz/corpus/$t" >"$findings.log" 2>&1 || rc=$?
  echo "fuzz: $t: exit $rc after $(sed -n 's/^stat::number_of_executed_units: *//p' "$findings.log") runs"
  if [ $rc != 0 ]; then
    status=1
    tail -30 "$findings.log" >&2
  fi
done
exit $status
