#!/usr/bin/env bash
# Soak test of vorlex.scr under Wine (README: scripts): each cycle ends with 0, leaves no process, logs its start
# and stop, keeps the settings; in the long run memory stays within 1 MiB and frames keep coming.
# Environment: VORLEX_SCR, VORLEX_ANI, VORLEX_PROBE (default: from build/$VORLEX_PRESET), VORLEX_SOAK_DIR.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/${VORLEX_PRESET:-windows64}
declare -A n=([s]=100 [p]=30 [c]=20 [minutes]=10 [renderer]=gdi)
while [ $# -gt 1 ] && [[ -v n[${1#--}] ]]; do
  n[${1#--}]=$2
  shift 2
done
if [ $# != 0 ] || [[ ! ${n[renderer]} =~ ^(gdi|gl)$ ]]; then
  echo "usage: soak.sh [--s N] [--p N] [--c N] [--minutes N] [--renderer gdi|gl]" >&2
  exit 2
fi
: "${VORLEX_SCR:=$build/out/vorlex.scr}" "${VORLEX_ANI:=$build/out/glyph2.ani}"
: "${VORLEX_PROBE:=$build/tests/e2e/vorlex_probe.exe}"
dir=${VORLEX_SOAK_DIR:-${VORLEX_SCR%/out/*}/soak}
exit=$dir/exit
mkdir -p "$dir"
. "$root/scripts/lib/harness.sh"
. "$root/tests/e2e/lib.sh"
trap harness_stop EXIT
harness_reg_view "$VORLEX_SCR"
harness_start_xvfb 24 1600x1200
screen24=$HARNESS_DISPLAY
harness_start_xvfb 16
screen16=$HARNESS_DISPLAY

prefix() {  # 24: in a virtual desktop, for /s and /c; 16: for the windowed /p
  local s=screen$1
  export DISPLAY=${!s}
  harness_wine_prefix "$dir/prefix$1" "$([ "$1" = 16 ] || echo 1600x1200)"
  W=$WINEPREFIX/drive_c/windows
}
saver() { harness_bg "$exit" wine 'C:\windows\vorlex.scr' "$@"; }
for depth in 24 16; do
  prefix $depth
  wineserver -p </dev/null >/dev/null 2>&1
  prepare "${n[renderer]}"
  settings 1024x768 300 8
done

cycles=0 repeats=0 hangs=0 wrong_exit=0 leftovers=0 bad_logs=0 key_changes=0
problem() {  # COUNTER WHAT
  eval "$1=\$(($1 + 1))"
  echo "soak: $what cycle $cycles $2" >&2
}
restart_wine() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  wineserver -p </dev/null >/dev/null 2>&1
}
running() {  # LOG [PARENT]: the saver's window and render thread (or its end), then a random while
  probe find "${2:-0}" WindowsScreenSaverClass 15000 >/dev/null || true
  drawing "$W/$1" "$exit" || true
  sleep "$(awk -v r="$RANDOM" 'BEGIN { printf "%.2f", 0.2 + 2.8 * r / 32767 }')"
}
left() {  # a saver process of this prefix
  pgrep -f 'vorlex\.scr' | sed 's,.*,/proc/&/environ,' | xargs -r grep -qzxF "WINEPREFIX=$WINEPREFIX" 2>/dev/null
}
# Waits for the saver's exit code; a hang or a leftover ends this prefix's programs.
finish_cycle() {  # WHAT LOG|-
  local rc what=$1 log=$W/$2
  cycles=$((cycles + 1))
  if ! rc=$(harness_wait "$exit" 15); then
    problem hangs "did not end"
    restart_wine
    return
  fi
  [ "$rc" = 0 ] || problem wrong_exit "ended with $rc"
  sleep 0.3
  if left; then
    problem leftovers "left a process"
    restart_wine
  fi
  if [ "$2" != - ] && ! { grep -qF "[InitErrorMsg] DEBUG SESSION STARTED" "$log" 2>/dev/null &&
    [ "$(tail -1 "$log")" = "[StopErrorMsg] DEBUG SESSION TERMINATED" ]; }; then
    problem bad_logs "wrote a log without its start or stop line"
  fi
  [ "$(harness_reg query "$KEY")" = "$settings" ] || problem key_changes "changed the settings"
}

prefix 24
settings=$(harness_reg query "$KEY")
for _ in $(seq "${n[s]}"); do
  rm -f "$W/vorlexcode_fs.log"
  xdotool mousemove 300 300
  saver /s
  running vorlexcode_fs.log
  # Input X delivers before Wine has given the window the focus is lost: it is repeated (and counted).
  way=("key Escape" "click 1" "mousemove_relative 20 20")
  way=${way[RANDOM % 3]}
  for try in 1 2 3; do
    xdotool $way
    [ $try = 1 ] || repeats=$((repeats + 1))
    ! harness_wait "$exit" 5 >/dev/null || break
  done
  finish_cycle /s vorlexcode_fs.log
done
for _ in $(seq "${n[c]}"); do
  saver /c
  probe dialog 10000 cancel >/dev/null || true
  finish_cycle /c -
done

prefix 16
settings=$(harness_reg query "$KEY")
for _ in $(seq "${n[p]}"); do
  rm -f "$W/vorlexcode.log"
  wine 'C:\vorlex_probe.exe' host 320 240 60 >"$dir/host.out" 2>/dev/null </dev/null &
  parent=$(harness_wait "$dir/host.out" 10 | head -1 | cut -d' ' -f1)
  saver /p "$parent"
  running vorlexcode.log "$parent"
  probe post "$parent" 0x10 0 0 >/dev/null || true
  finish_cycle /p vorlexcode.log
done

# The long run: resident memory of the saver's process, and flips counted from Wine's trace.
minutes=${n[minutes]}
ok=1
if [ "$minutes" -gt 0 ]; then
  prefix 24
  flips=$dir/flips.txt
  (WINEDEBUG=+timestamp,trace+ddraw wine 'C:\windows\vorlex.scr' /s 2>&1 >/dev/null </dev/null |
    grep -a --line-buffered 'ddraw_surface1_Flip iface' >"$flips") &
  pid=$(harness_wine_pid "C:.windows.vorlex\\.scr /s")
  rss() { awk '/^VmRSS/ { print $2 }' "/proc/$pid/status" 2>/dev/null || echo 0; }
  sleep 60
  rss_first=$(rss)
  for minute in $(seq 2 "$minutes"); do
    before=$(wc -l <"$flips")
    sleep 60
    fps=$((($(wc -l <"$flips") - before) / 60))
    echo "soak: minute $minute: $(rss) KiB resident, $fps frames/s"
  done
  rss_last=$(rss)
  xdotool key Escape
  sleep 2
  echo "soak: resident memory at minute 1: $rss_first KiB, at minute $minutes: $rss_last KiB"
  [ "$minutes" = 1 ] || ((rss_last - rss_first < 1024 && rss_first - rss_last < 1024 && fps > 0)) || ok=0
fi
echo "soak: $cycles cycles (${n[s]} /s, ${n[p]} /p, ${n[c]} /c): $hangs hangs, $leftovers leftovers," \
  "$wrong_exit wrong exit codes, $bad_logs logs without start or stop line, $key_changes settings changes," \
  "$repeats dismissals repeated"
[ $((hangs + leftovers + wrong_exit + bad_logs + key_changes)) = 0 ] && [ $ok = 1 ]
