#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each fuzz target for a bounded time, one process each.
# Usage: scripts/fuzz.sh [seconds per target, default 20]
# Corpora grow in build/fuzz/corpus/<target> between runs; seeds come from
# tests/data/bad_glyphs, tools/tests/data and the built glyph2.ani. A failing input is
# saved as build/fuzz/findings/<target>/crash-* and the script exits with 1.
set -euo pipefail
# Braces: bash reads the whole body before running it, so editing this file while it
# runs does not change a run in progress.
{
seconds=${1:-20}
if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: $0 [seconds per target]" >&2
  exit 2
fi

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=$root/build/fuzz
mkdir -p "$build"
# One run at a time per build tree: runs share its seeds, corpora and logs.
exec 9>"$build/.fuzz.lock"
if ! flock -n 9; then
  echo "fuzz: waiting for another fuzz run in $build" >&2
  flock 9
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 >/dev/null

# Read-only seeds: never written by the fuzzer.
seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds/load" "$seeds/lle"
cp "$build/out/glyph2.ani" "$seeds/load/"
for dir in tests/data/bad_glyphs tools/tests/data; do
  if [ -d "$dir" ]; then
    find "$dir" -maxdepth 1 -type f -exec cp {} "$seeds/load/" \;
  fi
done
# LLE draw inputs: cell, flags, clip rectangle, pen, then pixel bytes.
printf '\x0f\x13\x01\x08\x08\x30\x30\x10\x10' >"$seeds/lle/near"
head -c 400 "$build/out/glyph2.ani" | tail -c 300 >>"$seeds/lle/near"
printf '\x27\x27\x13\x00\x00\x40\x40\xf6\xff\xff\xff\xfb\xff\xff\xff' >"$seeds/lle/far"

# TGA inputs (fuzz_tga): 2 x 2 pictures at 24 and 16 bits; an odd last byte also asks
# for the ".map" companion.
mkdir -p "$seeds/tga"
tga_header='\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0'
printf "$tga_header"'\x18\0\x1f\x1f\xff\0\xff\0\xff\0\xff\x10\x20\x30' >"$seeds/tga/rgb24"
printf "$tga_header"'\x18\0\x1f\x1f\xff\0\xff\0\xff\0\xff\x10\x20\x30\x03' >"$seeds/tga/rgb24_map"
printf "$tga_header"'\x10\0\x1f\x7c\xff\x7f\0\0\xe0\x03' >"$seeds/tga/rgb16"

status=0
run() {
  local target=$1 seed_dir=$2
  shift 2
  local corpus=$build/corpus/$target findings=$build/findings/$target log=$build/findings/$target.log
  mkdir -p "$corpus" "$findings"
  echo "fuzz: $target for ${seconds} s"
  if "$build/fuzz/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$findings/" "$@" "$corpus" "$seed_dir" >"$log" 2>&1; then
    local runs cov
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    echo "fuzz: $target ok: ${runs:-?} runs, ${cov:-cov: ?}, corpus $(find "$corpus" -type f | wc -l) files"
  else
    echo "fuzz: $target FAILED; log $log, inputs in $findings:" >&2
    grep -E 'ERROR|fuzz check|SUMMARY|runtime error' "$log" | head -20 >&2 || tail -30 "$log" >&2
    ls "$findings" >&2
    status=1
  fi
}

run fuzz_load_animation "$seeds/load"
run fuzz_lle_draw "$seeds/lle" -max_len=2048
run fuzz_tga "$seeds/tga" -max_len=4096
exit $status
}
