#!/usr/bin/env bash
# Builds the fuzz preset and runs each libFuzzer target (or the named ones) for SECONDS from its corpus
# fuzz/corpus/TARGET. New inputs collect in build/fuzz/corpus/TARGET, failing ones in build/fuzz/findings/TARGET
# (exit 1); --merge minimises a clean run's new inputs back into the saved corpus.
set -euo pipefail
# Braces: bash reads the whole body first, so editing this file does not change a run in progress.
{
merge=0
if [ "${1:-}" = --merge ]; then
  merge=1
  shift
fi
if ! [[ ${1:-} =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 [--merge] SECONDS [TARGET...]" >&2
  exit 2
fi
seconds=$1
shift
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- $(basename -s .cpp fuzz/fuzz_*.cpp)
build=$PWD/build/fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 >/dev/null
export TMPDIR=$build/tmp  # the TGA target's file names live here
rm -rf "$TMPDIR"
mkdir -p "$TMPDIR"
status=0
for t; do
  saved=fuzz/corpus/$t
  work=$build/corpus/$t
  findings=$build/findings/$t
  mkdir -p "$saved" "$work" "$findings"
  rc=0
  "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$work" "$saved" >"$findings.log" 2>&1 || rc=$?
  echo "fuzz: $t: exit $rc after $(sed -n 's/^stat::number_of_executed_units: *//p' "$findings.log") runs"
  if [ $rc != 0 ]; then
    status=1
    grep -m20 -E 'ERROR|SUMMARY|runtime error|#[0-9] ' "$findings.log" >&2 || tail -30 "$findings.log" >&2
    echo "fuzz: $t: log $findings.log, inputs in $findings" >&2
  elif [ $merge = 1 ]; then
    rm -rf "$build/merged"
    mkdir "$build/merged"
    "$build/fuzz/$t" -merge=1 "$build/merged" "$saved" "$work" >"$findings.merge.log" 2>&1
    rm -rf "$saved" "$work"
    mv "$build/merged" "$saved"
  fi
done
exit $status
}
