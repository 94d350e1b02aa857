#!/usr/bin/env bash
# Measures the running saver (/s, 1024x768, Density 300, HighlightDensity 8) under Wine:
# processor time of the saver's process over a fixed interval, and frames per second;
# then the same for a baseline with the same display set-up, render loop, pacing and
# presentation but an effect that draws nothing (bench/empty_effect_win32.cpp).
#
# Frames are counted from Wine's DirectDraw trace (one Flip per frame) in a second run
# of each program, so the tracing does not load the processor measurement.
# Runs on a virtual X server of its own, with a Wine prefix of its own.
#
# Environment: VORLEX_BENCH_SECONDS (default 20) measuring interval for the processor,
#              VORLEX_BENCH_FPS_SECONDS (default 10) for the frame count.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
preset=${VORLEX_PRESET:-windows64}  # this kind of machine runs only the x86_64 build under Wine
build=$root/build/$preset
cpu_seconds=${VORLEX_BENCH_SECONDS:-20}
fps_seconds=${VORLEX_BENCH_FPS_SECONDS:-10}
settle=3

cd "$root"
[ -f "$build/CMakeCache.txt" ] || cmake --preset "$preset"
cmake --build --preset "$preset" -j2 --target vorlex_scr glyph_set vorlex_empty_effect >/dev/null

work=$build/bench
mkdir -p "$work"

# An X server and a Wine prefix of its own. Every program runs in a virtual desktop, so the
# full-screen mode switch works and the saver is a process of its own (not a child of explorer).
# shellcheck source=lib/harness.sh
. "$root/scripts/lib/harness.sh"
trap harness_stop EXIT
harness_start_xvfb 24 1280x1024
export DISPLAY=$HARNESS_DISPLAY
xvfb_pid=${HARNESS_PIDS[-1]}
harness_reg_view "$build/out/vorlex.scr"
harness_wine_prefix "$build/bench-prefix" 1280x1024
wineserver -p </dev/null >/dev/null 2>&1
# This prefix's wineserver works in /tmp/.wine-UID/server-DEV-INODE of the prefix.
server_dir=$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
server=
for pid in $(pgrep wineserver || true); do
  case "$(readlink "/proc/$pid/cwd" 2>/dev/null)" in */"$server_dir") server=$pid ;; esac
done
key='HKLM\Software\Zelvoran\Vorlex Code Emulator'
harness_reg add "$key" /v Resolution /t REG_SZ /d 1024x768 /f
harness_reg add "$key" /v Density /t REG_DWORD /d 300 /f
harness_reg add "$key" /v HighlightDensity /t REG_DWORD /d 8 /f
bench_dir=$WINEPREFIX/drive_c/vbench
mkdir -p "$bench_dir"
cp "$build/out/vorlex.scr" "$build/out/glyph2.ani" "$WINEPREFIX/drive_c/windows/"
cp "$build/out/vorlex.scr" "$build/bench/vorlex_empty_effect.exe" "$bench_dir/"

clk=$(getconf CLK_TCK)
ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }

stop_program() {  # PID-OF-LAUNCH
  xdotool key Escape
  for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  wait "$1" 2>/dev/null || true
}

# Prints: percent of one processor used by the program, by Xvfb, by the wineserver.
measure_cpu() {  # PATTERN PROGRAM ARGS...
  local pattern=$1
  shift
  wine "$@" >/dev/null 2>&1 &
  local launch=$! pid p0 x0 s0 p1 x1 s1
  pid=$(harness_wine_pid "$pattern")
  sleep "$settle"
  p0=$(ticks "$pid")
  x0=$(ticks "$xvfb_pid")
  s0=$(ticks "${server:-none}")
  sleep "$cpu_seconds"
  p1=$(ticks "$pid")
  x1=$(ticks "$xvfb_pid")
  s1=$(ticks "${server:-none}")
  stop_program "$launch"
  awk -v p=$((p1 - p0)) -v x=$((x1 - x0)) -v s=$((s1 - s0)) -v t="$cpu_seconds" -v c="$clk" \
    'BEGIN { printf "%.1f %.1f %.1f\n", 100 * p / c / t, 100 * x / c / t, 100 * s / c / t }'
}

# Prints frames per second, counted from the Flip calls in Wine's DirectDraw trace.
measure_fps() {  # NAME PROGRAM ARGS...
  local trace=$work/$1.trace
  shift
  WINEDEBUG=+timestamp,trace+ddraw wine "$@" >/dev/null 2>"$trace" &
  local launch=$!
  sleep $((settle + fps_seconds + 2))
  stop_program "$launch"
  # Count the flips in a window of fps_seconds that starts settle seconds after the first.
  grep -a 'ddraw_surface1_Flip iface' "$trace" | awk -F: -v s="$settle" -v n="$fps_seconds" '
    NR == 1 { t0 = $1 + s }
    $1 >= t0 && $1 < t0 + n { count++ }
    END { printf "%.1f\n", count / n }'
}

echo "cpu-bench: saver /s at 1024x768, Density 300, HighlightDensity 8; $cpu_seconds s of processor time"
read -r saver_cpu saver_x saver_srv < <(measure_cpu 'vbench.vorlex\.scr' 'C:\vbench\vorlex.scr' /s)
saver_fps=$(measure_fps saver 'C:\vbench\vorlex.scr' /s)
echo "cpu-bench: baseline (same display, loop and presentation, empty effect)"
read -r base_cpu base_x base_srv < <(measure_cpu 'vbench.vorlex_empty_effect' 'C:\vbench\vorlex_empty_effect.exe' 60)
base_fps=$(measure_fps empty 'C:\vbench\vorlex_empty_effect.exe' 60)

printf '\n%-22s %12s %12s %12s %8s\n' "" "process CPU" "Xvfb CPU" "wineserver" "frames/s"
printf '%-22s %11s%% %11s%% %11s%% %8s\n' "saver (rain)" "$saver_cpu" "$saver_x" "$saver_srv" "$saver_fps"
printf '%-22s %11s%% %11s%% %11s%% %8s\n' "baseline (no effect)" "$base_cpu" "$base_x" "$base_srv" "$base_fps"
echo "(percent of one processor, averaged over $cpu_seconds s; frames per second over $fps_seconds s)"
