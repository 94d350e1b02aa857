#!/usr/bin/env bash
# The X11 saver under Xvfb, one case per run: x11_test.sh CASE PROGRAM WORKDIR [BUILD_DIR]
set -euo pipefail
case_name=$1 prog=$2 work=$3/$1 build=${4:-}
src=$(cd "$(dirname "$0")/../.." && pwd)
# X11_SANITIZED=1: a sanitizer's leak scan at exit takes time, and its shadow address space
exit_ms=200
[ -z "${X11_SANITIZED:-}" ] || exit_ms=2000
. "$src/scripts/lib/harness.sh"
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
xvfb() {
  harness_start_xvfb "$@"
  export DISPLAY=$HARNESS_DISPLAY
}
shot() { import -window "$1" "$2"; }
# Mostly green, little red or blue: the rain, not a blank or grey window. Leaves the means in r g b.
green() {
  read -r r g b < <(convert "$1" -format '%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]\n' info:)
  echo "$1: r=$r g=$g b=$b"
  awk "BEGIN { exit !($g > 0.03 && $g > 2 * $r && $g > 2 * $b) }" || fail "$1 is not green"
}
start() {
  "$@" 2>stderr.txt &
  pid=$!
  sleep 1
  kill -0 "$pid" || fail "it ended: $(cat stderr.txt)"
}
stop() {
  kill -TERM "$pid"
  wait "$pid" || fail "exit $? on SIGTERM: $(cat stderr.txt)"
  pid=
}
# xev's window stands in for the daemon's; its id goes to win.
stand_in() {
  xev -geometry "$1" >/dev/null &
  xev=$!
  win=$(xdotool search --sync --name '^Event Tester$' | head -1)
}
root_id() { xwininfo -root | awk '/Window id:/ { print $4 }'; }
changed() { compare -metric AE "$1" "$2" null: 2>&1 || true; }
rss_mib() { awk '/^VmRSS/ { print int($2 / 1024) }' "/proc/$pid/status"; }
segments() { ipcs -m -p | awk -v p="$pid" '$3 == p' | wc -l; }

case $case_name in
windowid | envroot | vroot)  # rain in the test's window and nowhere else: named, from the variable, marked
  xvfb 24 800x600
  stand_in 300x200+200+150
  # xwininfo's corner is the border's; the inside starts a border width further in
  at=$(xwininfo -id "$win" | awk '/Absolute upper-left/ { c[++n] = $4 }
    /Border width/ { printf " %d %d", c[1] + $3, c[2] + $3 }')
  shot root before.png
  case $case_name in
  windowid) XSCREENSAVER_WINDOW=$(root_id) start "$prog" -window-id "$win" ;;
  envroot) XSCREENSAVER_WINDOW=$win start "$prog" -root ;;
  vroot)
    xprop -id "$win" -f __SWM_VROOT 32c -set __SWM_VROOT "$win"
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
depth16)  # 16-bit 5-6-5 server without MIT-SHM, no mode: the window XSCREENSAVER_WINDOW names
  HARNESS_XVFB_ARGS="-extension MIT-SHM" xvfb 16 800x600
  XSCREENSAVER_WINDOW=$(root_id) start "$prog"
  shot root a.png
  green a.png
  ;;
resize)  # its own window grows from 320x240 to 640x480: the rain fills the new size, and moves
  xvfb 24 800x600
  start "$prog" -geometry 320x240
  win=$(xdotool search --sync --name '^vorlex$' | head -1)
  xdotool windowsize "$win" 640 480
  sleep 0.5
  kill -0 "$pid" 2>/dev/null || fail "it ended on the resize: $(cat stderr.txt)"
  shot "$win" a.png
  shot "$win" b.png
  [ "$(identify -format %wx%h a.png)" = 640x480 ] || fail "window not resized"
  [ "$(changed a.png b.png)" != 0 ] || fail "the rain does not move"
  convert a.png -crop 320x240+320+240 corner.png
  green corner.png
  ;;
huge)  # a 32767x32767 window reaching past the 1280x720 screen, then 200 sizes: rain on the screen, memory flat
  xvfb 24 1280x720
  stand_in 32767x32767+-3000+-2000
  # Unsanitized, a regression fails at 1 GiB instead of taking the shared machine's memory.
  limit=()
  [ -n "${X11_SANITIZED:-}" ] || limit=(prlimit --as=$((1 << 30)))
  start "${limit[@]}" "$prog" -window-id "$win"
  big=$(rss_mib)
  shot root a.png
  green a.png
  sizes=()
  for i in $(seq 200); do
    sizes+=(windowsize "$win" $((400 + i)) $((300 + i)) sleep 0.02)
  done
  xdotool "${sizes[@]}"
  sleep 0.5
  echo "resident: $big MiB at 32767x32767, $(rss_mib) MiB after 200 resizes, $(segments) segment(s)"
  [ "$big" -lt 64 ] || fail "$big MiB for a window the screen shows 1280x720 of"
  [ "$(rss_mib)" -le $((big + 4)) ] && [ "$(segments)" = 1 ] || fail "memory grew with the resizes"
  stop
  ;;
settings)  # -density, -highlight and -delay change the picture, and how often it changes
  xvfb 24 640x480
  look() {
    start "$prog" -root -seed 3 "$@"
    sleep 1  # new glyphs, which -highlight is about, take a few frames to show
    shot root a.png
    sleep 0.3
    shot root b.png
    stop
    green a.png
    d=$(changed a.png b.png)
    echo "${*:-defaults}: $d pixels changed"
  }
  look
  r0=$r g0=$g
  while read -r cond args; do
    look $args
    awk "BEGIN { r = $r; g = $g; d = $d; exit !($cond) }" || fail "$args: not $cond"
  done <<TABLE
g<0.7*$g0     -density 50
r>1.3*$r0     -highlight 100
d==0          -delay 8000000
TABLE
  ;;
sigterm)  # SIGTERM: exit 0 within 200 ms, no shared memory left
  xvfb 24 1280x1024
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
errors)  # every control of vorlex.xml at both ends is taken; bad input gets one line and exit 2 or 3, in time
  xml=$(tr '\n' ' ' <"$src/x11/vorlex.xml")
  cmd=$(grep -o '<command arg="[^"]*"' <<<"$xml" | cut -d'"' -f2)
  n=0
  while read -r tag; do
    arg=$(sed 's/.* arg\(-set\)\{0,1\}="\([^"]*\)".*/\2/' <<<"$tag")
    for end in low high; do
      v=$(sed -n "s/.* $end=\"\([^\"]*\)\".*/\1/p" <<<"$tag")
      # The options before -help are read, then it stops.
      "$prog" $cmd ${arg//%/$v} -help >/dev/null 2>err.txt || fail "$cmd ${arg//%/$v}: $(cat err.txt)"
    done
    n=$((n + 1))
  done < <(grep -o '<number [^>]*>\|<boolean [^>]*>' <<<"$xml")
  [ "$n" -gt 0 ] || fail "no controls in vorlex.xml"
  xvfb 24 320x240
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
    env $vars timeout 10 bin/vorlex $args 2>err.txt >out.txt </dev/null || rc=$?
    echo "$args -> $rc: $(cat err.txt)"
    [ "$rc" = "$want" ] && [ "$(wc -l <err.txt)" = 1 ] && [ ! -s out.txt ] || fail "'$args': exit $rc"
    for t in $text; do
      grep -qF -- "$t" err.txt || fail "'$args': no '$t' in the message"
    done
  done <<TABLE
2||-density 401|-density
2||-delay x|-delay
2||-bogus|-bogus
2||-window-id 0|-window-id
2||-scale 4|-scale
2||-scale x|-scale
2|XSCREENSAVER_WINDOW=junk|-root|XSCREENSAVER_WINDOW junk
3|XDG_DATA_DIRS=$work/rel|-window-id 0x7ffffff|0x7ffffff
3|XDG_DATA_DIRS=$work/rel|-glyphs $work/none.ani|$work/none.ani No
3|XDG_DATA_DIRS=$work/rel|-glyphs $work/fifo|$work/fifo regular
3|$search||bin/glyph2.ani
TABLE
  [ "$(grep -o "$work/[a-z]*/vorlex/glyph2.ani (not a regular file)" err.txt | wc -l)" = 3 ] ||
    fail "the FIFO, directory and device were not each passed over"
  grep -q 'share/vorlex/glyph2.ani ([^,]*$' err.txt || fail "the package's data folder is not tried last"
  # -scale 3 with no set: every size's paths named; with only glyph2.ani: one line says it is taken
  for set in none glyph2.ani; do
    [ $set = none ] || cp "$(dirname "$prog")/$set" bin/
    rc=0
    env $search DISPLAY= bin/vorlex -scale 3 2>err.txt || rc=$?
    cat err.txt
    grep -qF "$work/bin/glyph2-3x.ani (" err.txt && grep -qF "$work/sys/vorlex/glyph2-2x.ani (" err.txt ||
      fail "-scale 3 with $set: the scaled sets' paths are not named"
    if [ $set = none ]; then
      [ "$rc" = 3 ] || fail "-scale 3 without a set: exit $rc"
    else
      [ "$rc" = 1 ] && grep -q "; using $work/bin/glyph2.ani$" err.txt || fail "-scale 3 with glyph2.ani: exit $rc"
    fi
  done
  ;;
deb)  # the package: nothing for lintian to note, and its program runs where it is unpacked
  cpack --config "$build/CPackConfig.cmake" -B "$work" >cpack.txt || fail "cpack: $(cat cpack.txt)"
  deb=$(ls "$work"/vorlex_*_amd64.deb)
  dpkg-deb -f "$deb" Depends | grep -q libx11-6 || fail "no libx11-6 dependency"
  # Debug builds are not optimised, which _FORTIFY_SOURCE needs; every other tag counts.
  lintian -I --fail-on error,warning,info --suppress-tags hardening-no-fortify-functions "$deb" || fail "lintian"
  dpkg-deb -x "$deb" root
  xvfb 24 800x600
  # The package's data folder is found from the program's place, whatever XDG_DATA_DIRS says.
  XDG_DATA_DIRS=/nowhere HOME=$work start root/usr/libexec/xscreensaver/vorlex -root -scale 3
  shot root a.png
  green a.png
  stop
  [ ! -s stderr.txt ] || fail "the unpacked program said: $(cat stderr.txt)"  # it found its glyph2-3x.ani
  ;;
*) fail "no such case" ;;
esac
echo "ok $case_name"
