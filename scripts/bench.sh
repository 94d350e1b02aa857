#!/usr/bin/env bash
# Builds the optimised preset and runs the frame benchmark; prints frame and memcpy times
# and their ratio, for whole frames, for frames that draw only the changed cells, and for the
# rain model's step and sweep alone, at the Windows modes and at two monitors (3840x2160/2:
# glyphs twice the size). Each frame is followed by a timed memcpy of its bytes; medians of the
# repetitions. PROCESSES (default 5), REPS (5) and MIN_TIME (0.2 s) size the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh >/dev/null
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j2 --target vorlex_bench glyph_load_bench >/dev/null
./build/native-release/bench/glyph_load_bench 500
# A process's memcpy runs at one of two speeds here (57 or 68-72 us at 1280x1024, whatever the
# address-space layout), so a ratio moves by up to 0.25 between processes while the frame time
# holds; several processes run, and each row shows the median of their medians and the range.
processes=${PROCESSES:-5}
for i in $(seq "$processes"); do
  # BENCH names another build of the frame benchmark (e.g. one of older code) to compare.
  "${BENCH:-./build/native-release/bench/vorlex_bench}" --benchmark_repetitions="${REPS:-5}" \
    --benchmark_report_aggregates_only=true --benchmark_format=json \
    --benchmark_out="build/native-release/bench-$i.json" --benchmark_out_format=json \
    --benchmark_min_time="${MIN_TIME:-0.2}" >/dev/null
done
/usr/bin/python3 - $(seq -f "build/native-release/bench-%g.json" "$processes") <<'PY'
import json, re, statistics, sys
rows = {}
for path in sys.argv[1:]:
    for b in json.load(open(path))["benchmarks"]:
        m = re.match(r"BM_Frame/w:(\d+)/h:(\d+)/layout:(\d)/density:(\d+)/changed:(\d)/scale:(\d)", b["run_name"])
        if not m or b.get("aggregate_name") != "median": continue
        frame = b["real_time"] * {"us": 1e3, "ms": 1e6, "ns": 1.0}[b["time_unit"]]
        rows.setdefault(m.groups(), []).append((frame, b["memcpy_ns"], b["ratio"]))
print(f"{len(sys.argv) - 1} processes; medians of their medians")
print(f"{'size':>11} {'layout':>6} {'density':>7} {'cells':>7} {'frame ns':>10} {'memcpy ns':>10} {'ratio':>6} "
      f"{'lowest':>7} {'highest':>7}")
for (w, h, layout, density, changed, scale), runs in rows.items():
    med = [statistics.median(r[k] for r in runs) for k in range(3)]
    ratios = [r[2] for r in runs]
    cells = {'0': 'all', '1': 'changed', '2': 'model'}[changed]
    size = w + 'x' + h + ('' if scale == '1' else '/' + scale)
    print(f"{size:>11} {'5-6-5' if layout == '1' else '5-5-5':>6} {density:>7} {cells:>7} {med[0]:10.0f} "
          f"{med[1]:10.0f} "
          f"{med[2]:6.2f} {min(ratios):7.2f} {max(ratios):7.2f}")
PY
