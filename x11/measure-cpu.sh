#!/usr/bin/env bash
# Processor time of vorlex and of the X server over SECONDS (default 20) with vorlex
# full-screen at 1920x1080 on a 24-bit Xvfb; leaves a screenshot beside the program.
#   x11/measure-cpu.sh [PROGRAM] [SECONDS]    (PROGRAM: build/native-release/out/vorlex)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prog=${1:-$root/build/native-release/out/vorlex} secs=${2:-20} settle=3
. "$root/scripts/lib/harness.sh"
vp=
trap '[ -n "$vp" ] && kill "$vp" 2>/dev/null && wait "$vp" 2>/dev/null; harness_stop' EXIT
harness_start_xvfb 24 1920x1080
xp=${HARNESS_PIDS[0]}
DISPLAY=$HARNESS_DISPLAY "$prog" -fullscreen -fps &
vp=$!
sleep "$settle"
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }  # user + system, in clock ticks
v0=$(ticks "$vp") x0=$(ticks "$xp") t0=$EPOCHREALTIME
sleep "$secs"
v1=$(ticks "$vp") x1=$(ticks "$xp") t1=$EPOCHREALTIME
shot=$(dirname "$prog")/x11-1920x1080.png
DISPLAY=$HARNESS_DISPLAY import -window root "$shot"
awk -v v=$((v1 - v0)) -v x=$((x1 - x0)) -v hz="$(getconf CLK_TCK)" -v t0="$t0" -v t1="$t1" -v shot="$shot" 'BEGIN {
  w = t1 - t0
  printf "over %.1f s at 1920x1080x24: vorlex %.1f%% of one core, Xvfb %.1f%%; screenshot %s\n",
         w, 100 * v / hz / w, 100 * x / hz / w, shot }'
