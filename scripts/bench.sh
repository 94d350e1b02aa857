#!/usr/bin/env bash
# Builds the optimised preset and runs the frame benchmark; prints frame/memcpy ratios
# (medians of several repetitions, measured in one run).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh >/dev/null
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j2 --target vorlex_bench glyph_load_bench >/dev/null
./build/native-release/bench/glyph_load_bench 500
out=build/native-release/bench.json
./build/native-release/bench/vorlex_bench --benchmark_repetitions="${REPS:-5}" \
  --benchmark_report_aggregates_only=true --benchmark_format=json --benchmark_out="$out" \
  --benchmark_out_format=json --benchmark_min_time="${MIN_TIME:-0.2}" >/dev/null
/usr/bin/python3 - "$out" <<'PY'
import json, re, sys
runs = [b for b in json.load(open(sys.argv[1]))["benchmarks"] if b.get("aggregate_name") == "median"]
memcpy = {}
for b in runs:
    m = re.match(r"BM_Memcpy/w:(\d+)/h:(\d+)", b["run_name"])
    if m: memcpy[(m[1], m[2])] = b["cpu_time"]
print(f"{'size':>10} {'layout':>6} {'density':>7} {'frame us':>9} {'memcpy us':>9} {'ratio':>6}")
worst = 0.0
for b in runs:
    m = re.match(r"BM_Frame/w:(\d+)/h:(\d+)/layout:(\d)/density:(\d+)", b["run_name"])
    if not m: continue
    base = memcpy[(m[1], m[2])]
    ratio = b["cpu_time"] / base
    layout = "5-6-5" if m[3] == "1" else "5-5-5"
    print(f"{m[1]+'x'+m[2]:>10} {layout:>6} {m[4]:>7} {b['cpu_time']:9.1f} {base:9.1f} {ratio:6.2f}")
PY
