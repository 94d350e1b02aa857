#!/usr/bin/env bash
# The X11 saver under Xvfb, one case per run: x11_test.sh CASE PROGRAM WORKDIR [BUILD_DIR]
set -euo pipefail
case_name=$1 prog=$2 work=$3/$1 build=${4:-}
src=$(cd "$(dirname "$0")/../.." && pwd)
. "$src/scripts/lib/harness.sh"
unset XSCREENSAVER_WINDOW  # a daemon's window on the caller's display
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
shot() { import -window "$1" "$2" || fail "no picture of $1"; }
# Mostly green: the rain, not a blank or grey window. Leaves the means in r g b.
green() {
  read -r r g b < <(convert "$1" -format '%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]\n' info:)
  awk "BEGIN { exit !($g > 0.03 && $g > 2 * $r && $g > 2 * $b) }" || fail "$1 is not green: $r $g $b"
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
# xev's window stands in for the daemon's (id in win).
stand_in() {
  xev -geometry "$1" >/dev/null &
  xev=$!
  win=$(xdotool search --sync --name '^Event Tester$' | head -1)
}
rss_mib() { awk '/^VmRSS/ { print int($2 / 1024) }' "/proc/$pid/status"; }
segments() { ipcs -m -p | awk -v p="$1" '$3 == p' | wc -l; }

case $case_name in
windowid | envroot | vroot | depth16)  # rain in the test's window only: named, from the variable, marked, no mode
  depth=24
  [ $case_name != depth16 ] || HARNESS_XVFB_ARGS="-extension MIT-SHM" depth=16  # 5-6-5, no MIT-SHM
  xvfb $depth 800x600
  stand_in 300x200+200+150
  shot root before.png
  case $case_name in
  windowid) XSCREENSAVER_WINDOW=$(xwininfo -root | awk '/Window id:/ { print $4 }') start "$prog" -window-id "$win" ;;
  envroot) XSCREENSAVER_WINDOW=$win start "$prog" -root ;;
  depth16) XSCREENSAVER_WINDOW=$win start "$prog" ;;
  vroot)
    xprop -id "$win" -f __SWM_VROOT 32c -set __SWM_VROOT "$win"
    start "$prog" -root
    ;;
  esac
  shot root after.png
  box=$(convert before.png after.png -compose difference -composite -threshold 1% -format '%@' info:)
  read -r w h x y <<<"${box//[x+]/ }"
  # Within the window and the server's border: 304x204 at 200,150
  ((x >= 200 && y >= 150 && x + w <= 504 && y + h <= 354 && w > 250 && h > 150)) || fail "changed $box"
  convert after.png -crop "$box" +repage inside.png
  green inside.png
  ;;
huge)  # a 32767x32767 window past a 1280x720 screen, then 200 sizes: rain on screen, memory flat; SIGTERM
  xvfb 24 1280x720
  stand_in 32767x32767+-3000+-2000
  # Unsanitized, a regression fails at 1 GiB, not taking the machine's memory.
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
  xdotool "${sizes[@]}" windowmove "$win" 0 0
  sleep 1
  # The last size, to its far corner
  shot "$win" b.png
  convert b.png -gravity southeast -crop 160x120+0+0 corner.png
  green corner.png
  [ "$big" -lt 64 ] || fail "$big MiB for a window the screen shows 1280x720 of"
  [ "$(rss_mib)" -le $((big + 4)) ] && [ "$(segments $pid)" = 1 ] ||
    fail "$(rss_mib) MiB, $(segments $pid) segments after the resizes"
  p=$pid
  stop
  [ "$(segments $p)" = 0 ] || fail "shared memory left after SIGTERM"
  ;;
autoscale)  # -scale auto goes by the screen, or by as much of a given window as the screen shows
  xvfb 24 640x2200
  mkdir -p bin
  cp "$prog" "$(dirname "$prog")/glyph2.ani" bin/  # no larger set: wanting one says so
  stand_in 300x200+0+0
  while IFS='|' read -r size args note; do
    xdotool windowsize --sync "$win" $size
    XDG_DATA_HOME=$work XDG_DATA_DIRS=$work HOME=$work start bin/vorlex $args
    stop
    if [ -z "$note" ]; then [ ! -s stderr.txt ]; else grep -qF "$note" stderr.txt; fi ||
      fail "$size, '$args': '$(cat stderr.txt)', not '$note'"
  done <<TABLE
300 200|-window-id $win|
300 5000|-window-id $win|no usable glyph set at scale 2
300 200|-root|no usable glyph set at scale 2
TABLE
  ;;
settings)  # its own window: the rain moves; -density, -highlight and -delay change it
  xvfb 24 640x480
  while read -r cond args; do
    start "$prog" -seed 3 $args
    sleep 1  # new glyphs (-highlight) take a few frames to show
    shot root a.png
    sleep 0.3
    shot root b.png
    stop
    green a.png
    d=$(compare -metric AE a.png b.png null: 2>&1 || true)
    r0=${r0:-$r}
    g0=${g0:-$g}
    awk "BEGIN { r = $r; g = $g; d = $d; r0 = $r0; g0 = $g0; exit !($cond) }" ||
      fail "${args:-defaults}: not $cond (r=$r g=$g, $d pixels changed)"
  done <<'TABLE'
d>0
g<0.7*g0 -density 50
r>1.3*r0 -highlight 100
d==0 -delay 8000000
TABLE
  ;;
errors)  # every control of vorlex.xml at both ends is taken; bad input: one line, exit 2 or 3, in time
  xml=$(tr '\n' ' ' <"$src/x11/vorlex.xml" | grep -o '<[^>]* arg[^>]*>')
  # Every control's arguments, a slider's % its value at END; an unknown option after them is the error.
  ends() {
    sed -n "s/.* arg=\"\([^\"]*\)%\".* $1=\"\([^\"]*\)\".*/\1\2/p; s/.* arg[-set]*=\"\([^\"%]*\)\".*/\1/p" <<<"$xml" |
      tr '\n' ' '
  }
  xvfb 24 320x240
  mkdir -p bin home/vorlex sys/vorlex/glyph2.ani rel/vorlex dev/vorlex
  cp "$prog" bin/vorlex
  # A usable file only a relative entry or a fallback would find
  cp "$(dirname "$prog")/glyph2.ani" rel/vorlex/
  mkfifo fifo home/vorlex/glyph2.ani
  ln -s /dev/zero dev/vorlex/glyph2.ani
  search="XDG_DATA_HOME=$work/home XDG_DATA_DIRS=rel:$work/sys:$work/dev HOME=$work"
  while IFS='|' read -r want vars args text; do
    rc=0
    env $vars timeout 10 bin/vorlex $args 2>err.txt >out.txt </dev/null || rc=$?
    [ "$rc" = "$want" ] && [ "$(wc -l <err.txt)" = 1 ] && [ ! -s out.txt ] || fail "'$args': exit $rc: $(cat err.txt)"
    for t in $text; do
      grep -qF -- "$t" err.txt || fail "'$args': no '$t' in the message"
    done
  done <<TABLE
2||-density 401|-density
2||$(ends low) -bogus|"-bogus"
2||$(ends high) -bogus|"-bogus"
2||-window-id 0|-window-id
2||-scale 4|-scale
2|XSCREENSAVER_WINDOW=junk|-root|XSCREENSAVER_WINDOW junk
3|XDG_DATA_DIRS=$work/rel|-window-id 0x7ffffff|0x7ffffff
3|XDG_DATA_DIRS=$work/rel|-glyphs none.ani|none.ani No
3|XDG_DATA_DIRS=$work/rel|-glyphs fifo|fifo regular
3|$search|-scale 3|$work/bin/glyph2-3x.ani $work/sys/vorlex/glyph2-2x.ani
3|$search||bin/glyph2.ani
TABLE
  [ "$(grep -o "$work/[a-z]*/vorlex/glyph2.ani (not a regular file)" err.txt | wc -l)" = 3 ] ||
    fail "the FIFO, directory and device were not each passed over"
  grep -q 'share/vorlex/glyph2.ani ([^,]*$' err.txt || fail "the package's data folder is not tried last"
  # A missing scaled set falls back to a smaller one
  cp "$(dirname "$prog")/glyph2.ani" bin/
  env $search DISPLAY= bin/vorlex -scale 3 2>err.txt && fail "it ran without a display"
  grep -q "; using $work/bin/glyph2.ani$" err.txt || fail "-scale 3 without its set: $(cat err.txt)"
  ;;
deb)  # the package: nothing for lintian to note; its program runs where it is unpacked
  cpack --config "$build/CPackConfig.cmake" -B "$work" >cpack.txt || fail "cpack: $(cat cpack.txt)"
  deb=$(ls "$work"/vorlex_*_amd64.deb)
  # _FORTIFY_SOURCE needs an optimised build; every other tag counts.
  lintian -I --fail-on error,warning,info --suppress-tags hardening-no-fortify-functions "$deb" || fail "lintian"
  dpkg-deb -x "$deb" root
  xvfb 24 800x600
  # The data folder is found from the program's place, whatever XDG_DATA_DIRS says.
  XDG_DATA_DIRS=/nowhere HOME=$work start root/usr/libexec/xscreensaver/vorlex -root -scale 3
  shot root a.png
  green a.png
  stop
  [ ! -s stderr.txt ] || fail "the unpacked program said: $(cat stderr.txt)"  # it found its glyph2-3x.ani
  ;;
*) fail "no such case" ;;
esac
