#!/usr/bin/env bash
# The X11 saver under Xvfb, one case per run: x11_test.sh CASE PROGRAM WORKDIR [BUILD_DIR]
set -euo pipefail
case_name=$1 prog=$2 work=$3/$1 build=${4:-}
# X11_SANITIZED=1: the program runs under a sanitizer, whose exit scan and shadow memory take time and room.
exit_ms=200 rss_limit=64
[ -z "${X11_SANITIZED:-}" ] || exit_ms=2000 rss_limit=256
. "$(dirname "$0")/../../scripts/lib/harness.sh"
rm -rf "$work"
mkdir -p "$work"
cd "$work"
pid= xev=
cleanup() {
  kill $pid $xev 2>/dev/null || true
  harness_stop
}
trap cleanup EXIT
fail() {
  echo "FAIL $case_name: $*" >&2
  exit 1
}
x() { DISPLAY=$HARNESS_DISPLAY "$@"; }
shot() { x import -window "$1" "$2"; }
means() { convert "$1" -format '%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]\n' info:; }
# Mostly green, little red or blue: the rain, not a blank or grey window.
green() {
  local r g b
  read -r r g b < <(means "$1")
  echo "$1: r=$r g=$g b=$b"
  awk -v r="$r" -v g="$g" -v b="$b" 'BEGIN { exit !(g > 0.03 && g > 2 * r && g > 2 * b) }' || fail "$1 is not green"
}
start() {
  DISPLAY=$HARNESS_DISPLAY "$@" 2>stderr.txt &
  pid=$!
  sleep 1
  kill -0 "$pid" || fail "it ended: $(cat stderr.txt)"
}
stop() {
  kill -TERM "$pid"
  wait "$pid" || fail "exit $? on SIGTERM: $(cat stderr.txt)"
  pid=
}
# A window of the test's own standing in for the daemon's (xev's): its id in win.
stand_in() {
  x xev -geometry "$1" >/dev/null &
  xev=$!
  win=$(x xdotool search --sync --name '^Event Tester$' | head -1)
}
root_id() { x xwininfo -root | awk '/Window id:/ { print $4 }'; }
rss_mib() { awk '/^VmRSS/ { print int($2 / 1024) }' "/proc/$pid/status"; }
segments() { ipcs -m -p | awk -v p="$pid" '$3 == p' | wc -l; }

case $case_name in
own24)  # its own window, 24-bit: green rain that moves
  harness_start_xvfb 24 1600x900
  start "$prog" -geometry 1280x720 -seed 7
  win=$(x xdotool search --sync --name '^vorlex$' | head -1)
  shot "$win" a.png
  sleep 0.2
  shot "$win" b.png
  [ "$(identify -format %wx%h a.png)" = 1280x720 ] || fail "window is not 1280x720"
  green a.png
  [ "$(compare -metric AE a.png b.png null: 2>&1 || true)" != 0 ] || fail "two screenshots are the same"
  ;;
windowid | envroot | vroot)  # rain in the test's window and nowhere else: named, from the variable, marked
  harness_start_xvfb 24 800x600
  stand_in 300x200+200+150
  # xwininfo's corner is the border's; the inside starts a border width further in
  at=$(x xwininfo -id "$win" | awk '/Absolute upper-left/ { c[++n] = $4 }
    /Border width/ { printf " %d %d", c[1] + $3, c[2] + $3 }')
  shot root before.png
  case $case_name in
  windowid) XSCREENSAVER_WINDOW=$(root_id) start "$prog" -window-id "$win" ;;
  envroot) XSCREENSAVER_WINDOW=$win start "$prog" -root ;;
  vroot)
    x xprop -id "$win" -f __SWM_VROOT 32c -set __SWM_VROOT "$win"
    start "$prog" -root
    ;;
  esac
  shot root after.png
  box=$(convert before.png after.png -compose difference -composite -threshold 1% -format '%@' info:)
  echo "$box$at" | awk -F'[x+ ]' '{ exit !($3 >= $5 && $4 >= $6 && $3 + $1 <= $5 + 300 && $4 + $2 <= $6 + 200 &&
    $1 > 250 && $2 > 150) }' || fail "changed $box, not the window at$at"
  convert after.png -crop "$box" +repage inside.png
  green inside.png
  ;;
depth16)  # 16-bit 5-6-5 server without MIT-SHM, the window taken from XSCREENSAVER_WINDOW
  HARNESS_XVFB_ARGS="-extension MIT-SHM" harness_start_xvfb 16 800x600
  XSCREENSAVER_WINDOW=$(root_id) start "$prog"
  shot root a.png
  green a.png
  ;;
resize)  # grows to 640x480: the rain fills the new size
  harness_start_xvfb 24 800x600
  start "$prog" -geometry 320x240
  win=$(x xdotool search --sync --name '^vorlex$' | head -1)
  x xdotool windowsize "$win" 640 480
  sleep 0.5
  kill -0 "$pid" 2>/dev/null || fail "it ended on the resize: $(cat stderr.txt)"
  shot "$win" a.png
  [ "$(identify -format %wx%h a.png)" = 640x480 ] || fail "window not resized"
  convert a.png -crop 320x240+320+240 corner.png
  green corner.png
  ;;
huge)  # a 32767x32767 window reaching past the 1280x720 screen, then 200 sizes: rain on the screen, memory flat
  harness_start_xvfb 24 1280x720
  stand_in 32767x32767+-3000+-2000
  # Unsanitized, a regression fails at 1 GiB instead of taking the shared machine's memory.
  limit=()
  [ -n "${X11_SANITIZED:-}" ] || limit=(prlimit --as=$((1 << 30)))
  start "${limit[@]}" "$prog" -window-id "$win"
  big=$(rss_mib)
  shot root a.png
  green a.png
  sizes=()
  for i in $(seq 200); do sizes+=(windowsize "$win" $((400 + i)) $((300 + i)) sleep 0.02); done
  x xdotool "${sizes[@]}"
  sleep 0.5
  echo "resident: $big MiB at 32767x32767, $(rss_mib) MiB after 200 resizes, $(segments) segment(s)"
  [ "$big" -lt "$rss_limit" ] || fail "$big MiB for a window the screen shows 1280x720 of"
  [ "$(rss_mib)" -le $((big + 4)) ] && [ "$(segments)" = 1 ] || fail "memory grew with the resizes"
  stop
  ;;
settings)  # -density, -highlight and -delay change the picture, and how often it changes
  harness_start_xvfb 24 640x480
  look() {
    start "$prog" -root -seed 3 "$@"
    shot root a.png
    sleep 0.3
    shot root b.png
    stop
    read -r r g b < <(means a.png)
    d=$(compare -metric AE a.png b.png null: 2>&1 || true)
    echo "${*:-defaults}: r=$r g=$g b=$b, $d pixels changed"
  }
  look
  green a.png
  r0=$r g0=$g
  while read -r cond args; do
    look $args
    awk -v r="$r" -v g="$g" -v d="$d" -v r0="$r0" -v g0="$g0" "BEGIN { exit !($cond) }" || fail "$args: not $cond"
  done <<'TABLE'
g<0.7*g0      -density 50
r>1.3*r0      -highlight 100
d==0          -delay 8000000
TABLE
  ;;
sigterm)  # SIGTERM: exit 0 within 200 ms, no shared memory left
  harness_start_xvfb 24 1280x1024
  start "$prog" -root
  for _ in $(seq 50); do
    [ "$(segments)" = 0 ] || break
    sleep 0.1
  done
  [ "$(segments)" = 1 ] || fail "no MIT-SHM"
  t0=${EPOCHREALTIME/./}
  kill -TERM "$pid"
  rc=0
  wait "$pid" || rc=$?
  t1=${EPOCHREALTIME/./}
  ms=$(((t1 - t0) / 1000))
  echo "exit $rc after $ms ms"
  [ "$rc" = 0 ] && [ "$ms" -le "$exit_ms" ] || fail "exit $rc after $ms ms"
  [ "$(segments)" = 0 ] || fail "shared memory left"
  pid=
  ;;
errors)  # bad input: one line naming it, exit 2 or 3, in time (a FIFO must not stall the search)
  harness_start_xvfb 24 320x240
  mkdir -p bin home/vorlex sys/vorlex rel/vorlex dev/vorlex
  cp "$prog" bin/vorlex
  # A usable file where only a relative entry or a fallback would find it
  cp "$(dirname "$prog")/glyph2.ani" rel/vorlex/
  mkfifo fifo home/vorlex/glyph2.ani
  mkdir sys/vorlex/glyph2.ani
  ln -s /dev/zero dev/vorlex/glyph2.ani
  search="XDG_DATA_HOME=$work/home XDG_DATA_DIRS=rel:$work/sys:$work/dev HOME=$work"
  while IFS='|' read -r want vars args text; do
    rc=0
    env DISPLAY="$HARNESS_DISPLAY" $vars timeout 10 bin/vorlex $args 2>err.txt >out.txt </dev/null || rc=$?
    echo "$args -> $rc: $(cat err.txt)"
    [ "$rc" = "$want" ] && [ "$(wc -l <err.txt)" = 1 ] && [ ! -s out.txt ] || fail "'$args': exit $rc"
    for t in $text; do grep -qF -- "$t" err.txt || fail "'$args': no '$t' in the message"; done
  done <<TABLE
2||-density 401|-density
2||-highlight -1|-highlight
2||-delay x|-delay
2||-bogus|-bogus
2||-window-id 0|-window-id
2|XSCREENSAVER_WINDOW=junk|-root|XSCREENSAVER_WINDOW junk
3|XDG_DATA_DIRS=$work/rel|-window-id 0x7ffffff|0x7ffffff
3|XDG_DATA_DIRS=$work/rel|-glyphs $work/none.ani|$work/none.ani No
3|XDG_DATA_DIRS=$work/rel|-glyphs $work/fifo|$work/fifo regular
3|$search||home/vorlex/glyph2.ani sys/vorlex/glyph2.ani dev/vorlex/glyph2.ani bin/glyph2.ani
TABLE
  ! grep -q rel/vorlex err.txt || fail "a relative XDG_DATA_DIRS entry was searched"
  grep -q 'share/vorlex/glyph2.ani ([^,]*$' err.txt || fail "the package's data folder is not tried last"
  [ "$(grep -o 'not a regular file' err.txt | wc -l)" = 3 ] || fail "the FIFO, directory and device were not passed over"
  ;;
deb)  # the package: nothing for lintian to warn of, and its program runs where it is unpacked
  cpack --config "$build/CPackConfig.cmake" -B "$work" >cpack.txt || fail "cpack: $(cat cpack.txt)"
  deb=$(ls "$work"/vorlex_*_amd64.deb)
  dpkg-deb -f "$deb" Depends | grep -q libx11-6 || fail "no libx11-6 dependency"
  # Debug builds are not optimised, which _FORTIFY_SOURCE needs; every other tag counts.
  lintian -I --fail-on error,warning,info --suppress-tags hardening-no-fortify-functions "$deb" || fail "lintian"
  dpkg-deb -x "$deb" root
  harness_start_xvfb 24 800x600
  # The package's data folder is found from the program's place, whatever XDG_DATA_DIRS says.
  XDG_DATA_DIRS=/nowhere HOME=$work start root/usr/libexec/xscreensaver/vorlex -root
  shot root a.png
  green a.png
  stop
  ;;
*) fail "no such case" ;;
esac
echo "ok $case_name"
