#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each fuzz target (or the named ones) for SECONDS, one process at a time.
# Usage: scripts/fuzz.sh [--merge] [--runs N] SECONDS [TARGET...]
#   --merge   merge what the run found into fuzz/corpus/<target>/, minimised (-merge=1)
#   --runs N  also stop a target after N executions
# Each target starts from its saved corpus fuzz/corpus/<target>/ (read only unless
# --merge); new inputs collect in build/fuzz/corpus/<target>/. A failing input is saved
# in build/fuzz/findings/<target>/ and the script exits with 1.
set -euo pipefail
# Braces: bash reads the whole body before running it, so editing this file while it
# runs does not change a run in progress.
{
usage() {
  echo "usage: $0 [--merge] [--runs N] SECONDS [TARGET...]" >&2
  exit 2
}
merge=0
runs=()
while [ $# -gt 0 ]; do
  case $1 in
    --merge) merge=1; shift ;;
    --runs) [[ ${2:-} =~ ^[0-9]+$ ]] || usage; runs=(-runs="$2"); shift 2 ;;
    -*) usage ;;
    *) break ;;
  esac
done
seconds=${1:-}
[[ $seconds =~ ^[0-9]+$ ]] && [ "$seconds" -ge 1 ] || usage
shift
all=(fuzz_command_line fuzz_settings fuzz_fixed_string fuzz_lle_draw fuzz_load_animation fuzz_tga)
targets=("${@:-${all[@]}}")
for t in "${targets[@]}"; do
  [[ " ${all[*]} " == *" $t "* ]] || { echo "fuzz: no target $t (targets: ${all[*]})" >&2; exit 2; }
done

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=$root/build/fuzz
mkdir -p "$build"
# One run at a time per build tree: runs share its corpora, findings and binaries.
exec 9>"$build/.fuzz.lock"
if ! flock -n 9; then
  echo "fuzz: waiting for another fuzz run in $build" >&2
  flock 9
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 >/dev/null
export TMPDIR=$build/tmp  # the TGA target's file names live here
rm -rf "$TMPDIR"
mkdir -p "$TMPDIR"

max_len() {
  case $1 in
    fuzz_settings) echo 64 ;;
    fuzz_command_line) echo 512 ;;
    fuzz_fixed_string | fuzz_lle_draw) echo 1024 ;;
    *) echo 4096 ;;
  esac
}

status=0
for target in "${targets[@]}"; do
  saved=$root/fuzz/corpus/$target work=$build/corpus/$target findings=$build/findings/$target
  log=$build/findings/$target.log
  mkdir -p "$saved" "$work" "$findings"
  before=$(find "$findings" -type f | wc -l)
  set +e
  "$build/fuzz/$target" -max_total_time="$seconds" "${runs[@]}" -max_len="$(max_len "$target")" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" "$work" "$saved" >"$log" 2>&1
  rc=$?
  set -e
  found=$(($(find "$findings" -type f | wc -l) - before))
  [ $rc -eq 0 ] || [ $found -gt 0 ] || found=1  # a failure that left no input is a finding too
  if [ $merge -eq 1 ] && [ $found -eq 0 ]; then
    merged=$build/merged/$target
    rm -rf "$merged"
    mkdir -p "$merged"
    "$build/fuzz/$target" -merge=1 -max_len="$(max_len "$target")" "$merged" "$saved" "$work" >"$log.merge" 2>&1
    rm -rf "$saved" "$work"
    mv "$merged" "$saved"
    mkdir -p "$work"
  fi
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  files=$(find "$work" "$saved" -type f | wc -l)
  bytes=$(find "$work" "$saved" -type f -printf '%s\n' | awk '{s += $1} END {print s + 0}')
  echo "fuzz: $target: ${execs:-?} executions, ${rate:-?} exec/s, corpus $files files $bytes bytes, findings $found"
  if [ $found -gt 0 ]; then
    status=1
    grep -E 'ERROR|SUMMARY|runtime error|#[0-9] ' "$log" | head -20 >&2 || tail -30 "$log" >&2
    echo "fuzz: $target log $log, inputs in $findings" >&2
  fi
done
exit $status
}
