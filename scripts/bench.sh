#!/usr/bin/env bash
# Builds the optimised preset and runs the frame benchmark; prints frame and memcpy times
# and their ratio (each frame is followed by a timed memcpy of its bytes; medians of the
# repetitions).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh >/dev/null
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j2 --target vorlex_bench glyph_load_bench >/dev/null
./build/native-release/bench/glyph_load_bench 500
out=build/native-release/bench.json
# BENCH names another build of the frame benchmark (e.g. one of older code) to compare.
"${BENCH:-./build/native-release/bench/vorlex_bench}" --benchmark_repetitions="${REPS:-5}" \
  --benchmark_report_aggregates_only=true --benchmark_format=json --benchmark_out="$out" \
  --benchmark_out_format=json --benchmark_min_time="${MIN_TIME:-0.2}" >/dev/null
/usr/bin/python3 - "$out" <<'PY'
import json, re, sys
runs = [b for b in json.load(open(sys.argv[1]))["benchmarks"] if b.get("aggregate_name") == "median"]
print(f"{'size':>10} {'layout':>6} {'density':>7} {'frame ns':>10} {'memcpy ns':>10} {'ratio':>6}")
for b in runs:
    m = re.match(r"BM_Frame/w:(\d+)/h:(\d+)/layout:(\d)/density:(\d+)", b["run_name"])
    if not m: continue
    layout = "5-6-5" if m[3] == "1" else "5-5-5"
    frame = b["real_time"] * {"us": 1e3, "ms": 1e6, "ns": 1.0}[b["time_unit"]]
    print(f"{m[1]+'x'+m[2]:>10} {layout:>6} {m[4]:>7} {frame:10.0f} {b['memcpy_ns']:10.0f} {b['ratio']:6.2f}")
PY
