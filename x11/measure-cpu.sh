#!/usr/bin/env bash
# Processor time of vorlex and of the X server over SECONDS (default 20) with vorlex
# full-screen on a 24-bit Xvfb of SIZE (default 1920x1080), with the load average and
# vorlex's resident memory at the start and the end; leaves a screenshot beside the program.
#   x11/measure-cpu.sh [PROGRAM] [SECONDS] [SIZE] [OPTION...]    (PROGRAM: build/native-release/out/vorlex)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prog=${1:-$root/build/native-release/out/vorlex} secs=${2:-20} size=${3:-1920x1080} settle=3
shift $(($# < 3 ? $# : 3))
. "$root/scripts/lib/harness.sh"
vp=
trap '[ -n "$vp" ] && kill "$vp" 2>/dev/null && wait "$vp" 2>/dev/null; harness_stop' EXIT
harness_start_xvfb 24 "$size"
xp=${HARNESS_PIDS[0]}
DISPLAY=$HARNESS_DISPLAY "$prog" -fullscreen -fps "$@" &
vp=$!
sleep "$settle"
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }  # user + system, in clock ticks
rss() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status"; }
v0=$(ticks "$vp") x0=$(ticks "$xp") m0=$(rss "$vp") t0=$EPOCHREALTIME
sleep "$secs"
v1=$(ticks "$vp") x1=$(ticks "$xp") m1=$(rss "$vp") t1=$EPOCHREALTIME
shot=$(dirname "$prog")/x11-$size.png
DISPLAY=$HARNESS_DISPLAY import -window root "$shot"
awk -v v=$((v1 - v0)) -v x=$((x1 - x0)) -v hz="$(getconf CLK_TCK)" -v t0="$t0" -v t1="$t1" -v shot="$shot" \
    -v size="$size" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" -v m0="$m0" -v m1="$m1" 'BEGIN {
  w = t1 - t0
  printf "over %.1f s at %sx24: vorlex %.1f%% of one core, Xvfb %.1f%%, together %.1f%%; load average %s; " \
         "vorlex RSS %d KiB then %d KiB; screenshot %s\n",
         w, size, 100 * v / hz / w, 100 * x / hz / w, 100 * (v + x) / hz / w, load, m0, m1, shot }'
