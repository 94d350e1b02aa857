#!/usr/bin/env bash
# The X11 saver under Xvfb, one case per run: x11_test.sh CASE PROGRAM WORKDIR [BUILD_DIR]
set -euo pipefail
case_name=$1 prog=$2 work=$3/$1 build=${4:-}
. "$(dirname "$0")/../../scripts/lib/harness.sh"
rm -rf "$work" && mkdir -p "$work" && cd "$work"
pid= xev=
cleanup() { kill $pid $xev 2>/dev/null || true; harness_stop; }
trap cleanup EXIT
fail() { echo "FAIL $case_name: $*" >&2; exit 1; }
shot() { import -display "$HARNESS_DISPLAY" -window "$1" "$2"; }
# Mostly green, little red or blue: the rain, not a blank or grey window.
green() {
  read -r r g b < <(convert "$1" -format '%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]\n' info:)
  echo "$1: r=$r g=$g b=$b"
  awk -v r="$r" -v g="$g" -v b="$b" 'BEGIN { exit !(g > 0.03 && g > 2 * r && g > 2 * b) }' || fail "$1 is not green"
}
start() { DISPLAY=$HARNESS_DISPLAY "$@" 2>stderr.txt & pid=$!; sleep 1; kill -0 "$pid" || fail "it ended: $(cat stderr.txt)"; }
dpkg_wait() {  # another apt or dpkg may hold the lock for a while
  for _ in $(seq 90); do dpkg "$@" >/dev/null 2>dpkg.txt && return 0; grep -q lock dpkg.txt || break; sleep 2; done
  cat dpkg.txt >&2; return 1; }
own_window() { DISPLAY=$HARNESS_DISPLAY xdotool search --sync --name '^vorlex$' | head -1; }

case $case_name in
own24)  # its own window, 24-bit: green rain that moves
  harness_start_xvfb 24 1600x900
  start "$prog" -geometry 1280x720 -seed 7
  win=$(own_window); shot "$win" a.png; sleep 0.2; shot "$win" b.png
  [ "$(identify -format %wx%h a.png)" = 1280x720 ] || fail "window is not 1280x720"; green a.png
  [ "$(compare -metric AE a.png b.png null: 2>&1 || true)" != 0 ] || fail "two screenshots are the same" ;;
windowid)  # a window the test made: only that window changes
  harness_start_xvfb 24 800x600
  DISPLAY=$HARNESS_DISPLAY xev -geometry 300x200+200+150 >/dev/null & xev=$!
  id=$(DISPLAY=$HARNESS_DISPLAY xdotool search --sync --name '^Event Tester$' | head -1)
  # xwininfo's corner is the border's; the inside starts a border width further in
  at=$(DISPLAY=$HARNESS_DISPLAY xwininfo -id "$id" | awk '/Absolute upper-left/ { c[++n] = $4 }
    /Border width/ { printf " %d %d", c[1] + $3, c[2] + $3 }')
  shot root before.png; start "$prog" -window-id "$id"; shot root after.png
  box=$(convert before.png after.png -compose difference -composite -threshold 1% -format '%@' info:)
  echo "$box$at" | awk -F'[x+ ]' '{ exit !($3 >= $5 && $4 >= $6 && $3 + $1 <= $5 + 300 && $4 + $2 <= $6 + 200 &&
    $1 > 250 && $2 > 150) }' || fail "changed $box, not the window at$at"
  convert after.png -crop "$box" +repage inside.png; green inside.png ;;
depth16)  # 16-bit 5-6-5 server, the window taken from XSCREENSAVER_WINDOW
  harness_start_xvfb 16 800x600
  root=$(DISPLAY=$HARNESS_DISPLAY xwininfo -root | awk '/Window id:/ { print $4 }')
  XSCREENSAVER_WINDOW=$root start "$prog"; shot root a.png; green a.png ;;
resize)  # grows to 640x480: the rain fills the new size
  harness_start_xvfb 24 800x600
  start "$prog" -geometry 320x240
  win=$(own_window); DISPLAY=$HARNESS_DISPLAY xdotool windowsize "$win" 640 480
  sleep 0.5; kill -0 "$pid" 2>/dev/null || fail "it ended on the resize: $(cat stderr.txt)"
  shot "$win" a.png; [ "$(identify -format %wx%h a.png)" = 640x480 ] || fail "window not resized"
  convert a.png -crop 320x240+320+240 corner.png; green corner.png ;;
sigterm)  # SIGTERM: exit 0 within 200 ms, no shared memory left
  harness_start_xvfb 24 1280x1024
  start "$prog" -root
  segments() { ipcs -m -p | awk -v p="$pid" '$3 == p'; }
  for _ in $(seq 50); do [ -n "$(segments)" ] && break; sleep 0.1; done; [ -n "$(segments)" ] || fail "no MIT-SHM"
  t0=${EPOCHREALTIME/./}; kill -TERM "$pid"; rc=0; wait "$pid" || rc=$?; t1=${EPOCHREALTIME/./}
  ms=$(((t1 - t0) / 1000)); echo "exit $rc after $ms ms"
  [ "$rc" = 0 ] && [ "$ms" -le "${X11_EXIT_LIMIT_MS:-200}" ] || fail "exit $rc after $ms ms"
  [ -z "$(segments)" ] || fail "shared memory left"; pid= ;;
errors)  # bad options exit 2 with usage, no glyph file exits 3 naming the paths
  for args in "-density 401" "-highlight -1" "-delay x" "-bogus" "-window-id 0" "-scale 4" "-scale x"; do
    rc=0; "$prog" $args 2>err.txt >out.txt || rc=$?
    [ "$rc" = 2 ] && grep -q usage err.txt && [ ! -s out.txt ] || fail "'$args': exit $rc"
  done
  mkdir bin; cp "$prog" bin/vorlex; rc=0
  HOME=$work XDG_DATA_HOME=$work/home XDG_DATA_DIRS=$work/sys bin/vorlex -glyphs "$work/none.ani" 2>err.txt || rc=$?
  cat err.txt; [ "$rc" = 3 ] && [ "$(wc -l <err.txt)" = 1 ] || fail "missing glyphs: exit $rc"
  for p in none.ani home/vorlex/glyph2.ani sys/vorlex/glyph2.ani bin/glyph2.ani; do
    grep -qF "$work/$p" err.txt || fail "path $p not named"; done
  # -scale 3 with no set: every size's paths named; with only glyph2.ani: one line says it is taken
  for set in none glyph2.ani; do
    [ $set = none ] || cp "$(dirname "$prog")/$set" bin/; rc=0
    HOME=$work XDG_DATA_HOME=$work/home XDG_DATA_DIRS=$work/sys DISPLAY= bin/vorlex -scale 3 2>err.txt || rc=$?
    cat err.txt; grep -qF "$work/bin/glyph2-3x.ani (" err.txt && grep -qF "$work/sys/vorlex/glyph2-2x.ani (" err.txt &&
      { [ $set = none ] && [ "$rc" = 3 ] || { [ "$rc" = 1 ] && grep -q "; using $work/bin/glyph2.ani$" err.txt; }; } ||
      fail "-scale 3 with $set: exit $rc"
  done ;;
deb)  # the package installs, its program runs, and it is removed again
  cpack --config "$build/CPackConfig.cmake" -B "$work" >cpack.txt || fail "cpack: $(cat cpack.txt)"
  deb=$(ls "$work"/vorlex_*_amd64.deb); dpkg-deb -f "$deb" Depends | tee depends.txt | grep -q libx11-6 || fail "no libx11-6 dependency"
  dpkg_wait -i "$deb"; trap 'cleanup; dpkg_wait -r vorlex' EXIT
  harness_start_xvfb 24 800x600
  start /usr/libexec/xscreensaver/vorlex -root -scale 3; shot root a.png; green a.png
  kill -TERM "$pid"; wait "$pid" || fail "installed program exited $?"; pid=
  [ ! -s stderr.txt ] || fail "installed program said: $(cat stderr.txt)"  # found the installed glyph2-3x.ani
  dpkg_wait -r vorlex; trap cleanup EXIT
  [ ! -e /usr/libexec/xscreensaver/vorlex ] && [ ! -e /usr/share/vorlex ] || fail "dpkg -r left files" ;;
*) fail "no such case" ;;
esac
echo "ok $case_name"
