#!/usr/bin/env bash
# Builds the Windows module and runs the saver full-screen (/s) under Wine.
#
# With a display ($DISPLAY set) the saver runs inside a Wine virtual desktop window;
# press a key, click or move the mouse in it to end the saver. Without a display it
# runs on a virtual X server, saves a few screenshots and is then ended.
#
# Environment:
#   VORLEX_RESOLUTION  800x600, 1024x768 or 1280x1024: stored as the setting first
#   VORLEX_DENSITY, VORLEX_HIGHLIGHT  the two numbers, likewise
#   VORLEX_DESKTOP     size of the virtual desktop (default 1280x1024)
#   VORLEX_SHOTS       where the screenshots go (default build/windows64/shots)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
preset=${VORLEX_PRESET:-windows64}  # this kind of machine runs only the x86_64 build under Wine
build=$root/build/$preset
desktop=${VORLEX_DESKTOP:-1280x1024}
shots=${VORLEX_SHOTS:-$build/shots}

cd "$root"
bash scripts/bootstrap.sh
[ -f "$build/CMakeCache.txt" ] || cmake --preset "$preset"
cmake --build --preset "$preset" -j2 --target vorlex_scr glyph_set

# A prefix and, without a display, a virtual X server of its own; the tests' are left alone.
# shellcheck source=lib/harness.sh
. "$root/scripts/lib/harness.sh"
headless=0
[ -n "${DISPLAY:-}" ] || headless=1
trap harness_stop EXIT
harness_use_display 24 "$desktop"
harness_reg_view "$build/out/vorlex.scr"
harness_wine_prefix "$build/run-prefix"

windir=$WINEPREFIX/drive_c/windows
cp "$build/out/vorlex.scr" "$build/out/glyph2.ani" "$windir/"

key='HKLM\Software\Zelvoran\Vorlex Code Emulator'
[ -z "${VORLEX_RESOLUTION:-}" ] || harness_reg add "$key" /v Resolution /t REG_SZ /d "$VORLEX_RESOLUTION" /f
[ -z "${VORLEX_DENSITY:-}" ] || harness_reg add "$key" /v Density /t REG_DWORD /d "$VORLEX_DENSITY" /f
[ -z "${VORLEX_HIGHLIGHT:-}" ] || harness_reg add "$key" /v HighlightDensity /t REG_DWORD /d "$VORLEX_HIGHLIGHT" /f

# Full-screen DirectDraw switches the display mode only inside a virtual desktop.
run_saver() { wine explorer "/desktop=Vorlex,$desktop" 'C:\windows\vorlex.scr' /s; }

if [ "$headless" = 0 ]; then
  echo "run.sh: the saver runs in the Wine desktop window; a key, a click or a mouse move ends it"
  run_saver
  echo "run.sh: log in $windir/vorlexcode_fs.log"
  exit 0
fi

mkdir -p "$shots"
run_saver &
saver=$!
for t in 3 5 7; do
  sleep 2
  [ "$t" = 3 ] && sleep 1
  import -display "$DISPLAY" -window root "$shots/vorlex-${t}s.png"
  echo "run.sh: screenshot $shots/vorlex-${t}s.png"
done
xdotool key Escape
for _ in $(seq 100); do kill -0 "$saver" 2>/dev/null || break; sleep 0.1; done
wait "$saver" 2>/dev/null || true
wineserver -w
echo "run.sh: the saver ended; its log:"
cat "$windir/vorlexcode_fs.log"
