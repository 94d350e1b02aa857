#!/usr/bin/env bash
# End-to-end tests of vorlex.scr under Wine, on virtual X servers, driven with xdotool
# and the probe program. Usage: e2e.sh setup | cleanup | CASE
#
# One Wine prefix in a virtual desktop on a 24-bit screen (full-screen modes, dialogs),
# and a copy of it on a 16-bit screen without a virtual desktop (windowed preview needs a
# 16-bit desktop). Both wineservers stay up between the cases, so a Wine start is short.
set -euo pipefail

: "${VORLEX_E2E_DIR:?}" "${VORLEX_SCR:?}" "${VORLEX_ANI:?}" "${VORLEX_PROBE:?}" "${VORLEX_PASSWORD_CPL:?}"
: "${VORLEX_E2E_EXPECTED:?}" "${VORLEX_OBJDUMP:?}"
STATE=$VORLEX_E2E_DIR
SHOTS=$STATE/shots
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
SETTINGS_KEY='HKLM\Software\Zelvoran\Vorlex Code Emulator'
GLYPH_MESSAGE=$'Unable to load glyph animation file.\n\nMake sure you have unzipped both the files\n(vorlex code emulator.scr and glyph2.ani)'

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
pass() { echo "ok: $*"; }

use_main() { export WINEPREFIX=$STATE/prefix DISPLAY=$DISPLAY_MAIN; }
use_16() { export WINEPREFIX=$STATE/prefix16 DISPLAY=$DISPLAY_16; }
windir() { echo "$WINEPREFIX/drive_c/windows"; }
# Output goes through a file, not a pipe: Wine's own daemons (explorer, services) may be
# started by any call and would hold a pipe, and so the test, open for as long as they run.
probe() {
  local out rc=0
  out=$(mktemp "$STATE/probe.XXXXXX")
  wine 'C:\vorlex_probe.exe' "$@" >"$out" 2>/dev/null || rc=$?
  tr -d '\r' <"$out"
  rm -f "$out"
  return $rc
}
reg_quiet() { wine reg "$@" >/dev/null 2>&1; }

free_display() {
  local n
  for n in $(seq 91 160); do
    [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ] || { echo $n; return; }
  done
  return 1
}

start_xvfb() {  # DISPLAYNUM DEPTH [SIZE]
  Xvfb ":$1" -screen 0 "${3:-1280x1024}x$2" -nolisten tcp >/dev/null 2>&1 &
  echo $! >>"$STATE/xvfb.pids"
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$1" ] && return; sleep 0.05; done
  fail "Xvfb :$1 did not start"
}

install_files() {
  local w
  w=$(windir)
  cp "$VORLEX_SCR" "$VORLEX_ANI" "$w/"
  rm -f "$w/system32/glyph2.ani"
  cp "$VORLEX_PROBE" "$WINEPREFIX/drive_c/vorlex_probe.exe"
}

setup() {
  mkdir -p "$STATE" "$SHOTS"
  cleanup_servers
  local a b
  a=$(free_display)
  start_xvfb "$a" 24 1600x1200
  b=$(free_display)
  start_xvfb "$b" 16
  printf 'DISPLAY_MAIN=:%s\nDISPLAY_16=:%s\n' "$a" "$b" >"$STATE/env"
  DISPLAY_MAIN=:$a
  DISPLAY_16=:$b

  use_main
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    rm -rf "$STATE/prefix" "$STATE/prefix16"
    wineboot -i </dev/null >/dev/null 2>&1 || true
    reg_quiet add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
    wineserver -w
    cp -a "$STATE/prefix" "$STATE/prefix16"
    # Full-screen DirectDraw can switch modes only inside a virtual desktop; one larger
    # than every saver mode shows that the mode really changes and comes back.
    reg_quiet add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
    reg_quiet add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1600x1200 /f
    wineserver -w
  fi
  for p in use_main use_16; do
    $p
    wineserver -p </dev/null >/dev/null 2>&1
    install_files
    probe mode >/dev/null
  done
  pass "prefixes ready, screens $DISPLAY_MAIN (24-bit, virtual desktop) and $DISPLAY_16 (16-bit)"
}

cleanup_servers() {
  for p in prefix prefix16; do
    [ -d "$STATE/$p" ] && WINEPREFIX=$STATE/$p wineserver -k 2>/dev/null || true
  done
  if [ -f "$STATE/xvfb.pids" ]; then
    while read -r pid; do kill "$pid" 2>/dev/null || true; done <"$STATE/xvfb.pids"
    rm -f "$STATE/xvfb.pids"
  fi
}

# --- running the saver --------------------------------------------------------------
EXIT_FILE=
start_saver() {  # ARGS... (path inside the prefix in $SAVER_PATH, default the Windows directory)
  EXIT_FILE=$(mktemp "$STATE/exit.XXXXXX")
  rm -f "$EXIT_FILE"
  (
    rc=0
    wine "${SAVER_PATH:-C:\\windows\\vorlex.scr}" "$@" >/dev/null 2>&1 || rc=$?
    echo "$rc" >"$EXIT_FILE"
  ) &
}

# Prints the exit code once the saver has ended; fails after TIMEOUT seconds.
wait_exit() {  # TIMEOUT
  for _ in $(seq $(($1 * 20))); do
    if [ -s "$EXIT_FILE" ]; then
      cat "$EXIT_FILE"
      return 0
    fi
    sleep 0.05
  done
  return 1
}

still_running() { [ ! -s "$EXIT_FILE" ]; }

log_has() { grep -qF "$1" "$(windir)/$2" 2>/dev/null; }

# Waits for the saver window and the render thread, then SETTLE seconds (default 1.5) for
# frames to appear and the window to take the input focus.
wait_running() {  # LOGFILE [PREVIEW-PARENT]
  if [ -n "${2:-}" ]; then
    probe wait-child "$2" WindowsScreenSaverClass 15000 >/dev/null || fail "no preview window"
  else
    probe wait-window WindowsScreenSaverClass - 15000 >/dev/null || fail "no saver window"
  fi
  for _ in $(seq 200); do
    log_has "[DrawVorlex] Thread created" "$1" && break
    still_running || fail "saver ended early with $(cat "$EXIT_FILE")"
    sleep 0.05
  done
  log_has "[DrawVorlex] Thread created" "$1" || fail "render thread did not start"
  sleep "${SETTLE:-1.5}"
}

saver_window() { probe wait-window WindowsScreenSaverClass "Screen Saver" 1000 || fail "no saver window"; }

# A top-level window of the probe in the background: an owner or a preview host. It
# goes away after SECONDS or when it gets WM_CLOSE. Prints "handle x y width height".
start_host() {  # OUTFILE WIDTH HEIGHT SECONDS
  rm -f "$1"
  # Unfiltered: a pipe would hold the line back until the host ends.
  (wine 'C:\vorlex_probe.exe' host "$2" "$3" "$4" >"$1" 2>/dev/null) &
  for _ in $(seq 100); do [ -s "$1" ] && break; sleep 0.1; done
  head -1 "$1" | tr -d '\r' | grep . || fail "the probe's host window did not start"
}

stop_saver_by_key() {
  xdotool key Escape
  local rc
  rc=$(wait_exit 10) || fail "saver did not end after a key press"
  [ "$rc" = 0 ] || fail "saver ended with $rc after a key press"
}

# Share of green pixels (green channel clearly above red and blue) in a region, counted
# on every second pixel of every second row: plenty for a share, and quick.
green_share() {  # PNG WxH+X+Y
  convert "$1" -crop "$2" +repage -depth 8 ppm:- | python3 -c '
import sys
data = sys.stdin.buffer.read()
parts = data.split(maxsplit=4)
w, h, pix = int(parts[1]), int(parts[2]), parts[4]
n = total = 0
for y in range(0, h, 2):
    row = pix[y * w * 3:(y + 1) * w * 3]
    r, g, b = row[0::6], row[1::6], row[2::6]
    total += len(g)
    n += sum(1 for i in range(len(g)) if g[i] >= 60 and g[i] * 10 > r[i] * 13 and g[i] * 10 > b[i] * 13)
print("%.4f" % (n / total if total else 0))'
}

between() { python3 -c "import sys; sys.exit(0 if $2 <= $1 <= $3 else 1)"; }

shot() { import -display "$DISPLAY" -window root "$SHOTS/$1.png"; }

set_settings() {  # RESOLUTION DENSITY HIGHLIGHT
  reg_quiet add "$SETTINGS_KEY" /v Resolution /t REG_SZ /d "$1" /f
  reg_quiet add "$SETTINGS_KEY" /v Density /t REG_DWORD /d "$2" /f
  reg_quiet add "$SETTINGS_KEY" /v HighlightDensity /t REG_DWORD /d "$3" /f
}

# Brings Wine's idea of the pointer and the X pointer together, at a known place.
park_pointer() {
  xdotool mousemove 300 300
  sleep 0.1
  xdotool mousemove 301 300
  sleep 0.2
}

# --- cases --------------------------------------------------------------------------
case_template() {
  use_main
  local got
  got=$(probe template 'C:\windows\vorlex.scr')
  diff <(echo "$got") "$VORLEX_E2E_EXPECTED/template.txt" || fail "dialog template or resources differ"
  pass "dialog 2003, icon group 104 (32x32 and 16x16, both decode; no group 100) and the version record are in the module"
  # The export directory: its name and the three undecorated functions.
  got=$("$VORLEX_OBJDUMP" -p "$VORLEX_SCR" | awk '/^Name[ \t]/ {print "name", $3}
    /^\[Ordinal\/Name Pointer\] Table/ {t = 1; next} t && /^\t\[/ {print $NF} t && /^$/ {t = 0}')
  [ "$got" = $'name vorlex.scr\nDrawVorlex\nScreenSaverConfigureDialog\nScreenSaverProc' ] ||
    fail "export directory: $got"
  pass "the export directory is named vorlex.scr and exports DrawVorlex, ScreenSaverConfigureDialog, ScreenSaverProc"
}

case_config() {
  use_main
  reg_quiet delete 'HKLM\Software\Zelvoran' /f || true
  [ "$(probe reg)" = missing ] || fail "settings key still there"

  # First run: the dialog creates the key with the defaults, and shows them.
  start_saver
  local shown rc
  shown=$(probe dialog 10000 cancel) || fail "no dialog for an empty command line"
  [ "$shown" = "shown radio=1001 density=300 highlight=8 owner=none" ] || fail "first run showed: $shown"
  rc=$(wait_exit 10) || fail "dialog did not close on Cancel"
  [ "$rc" = 0 ] || fail "Cancel ended with $rc"
  [ "$(probe reg)" = "Resolution=1024x768 Density=300 HighlightDensity=8" ] || fail "first run stored: $(probe reg)"
  pass "first run creates 1024x768, 300, 8; Cancel ends with 0"

  # Out-of-range numbers are clamped.
  start_saver /c
  probe dialog 10000 1000 1000 250 ok >/dev/null || fail "no dialog for /c"
  rc=$(wait_exit 10) || fail "dialog did not close on OK"
  [ "$rc" = 1 ] || fail "OK ended with $rc"
  [ "$(probe reg)" = "Resolution=800x600 Density=400 HighlightDensity=100" ] || fail "clamps stored: $(probe reg)"
  pass "OK stores 800x600, 1000 -> 400, 250 -> 100; ends with 1"

  # Text that is not an unsigned number counts as 0; the dialog shows what is stored.
  start_saver -C
  shown=$(probe dialog 10000 1002 abc -5 ok) || fail "no dialog for -C"
  [[ $shown == "shown radio=1000 density=400 highlight=100 owner="* ]] || fail "showed: $shown"
  wait_exit 10 >/dev/null || fail "dialog did not close"
  [ "$(probe reg)" = "Resolution=1280x1024 Density=0 HighlightDensity=0" ] || fail "text stored: $(probe reg)"
  pass "text and negative numbers store 0"

  # Cancel after editing leaves the registry as it was.
  start_saver /c
  probe dialog 10000 1001 7 7 cancel >/dev/null || fail "no dialog"
  rc=$(wait_exit 10) || fail "dialog did not close on Cancel"
  [ "$rc" = 0 ] || fail "Cancel ended with $rc"
  [ "$(probe reg)" = "Resolution=1280x1024 Density=0 HighlightDensity=0" ] || fail "Cancel changed: $(probe reg)"
  pass "Cancel after edits changes nothing"
  set_settings 1024x768 300 8

  # The owner: the window after "C:"; with a blank instead of the colon, or a window that
  # is gone, the foreground window. Two windows, the newer one in front.
  local older newer dead fg
  dead=$(probe host 50 50 0 | cut -d' ' -f1)
  older=$(start_host "$STATE/owner1.out" 200 100 60 | cut -d' ' -f1)
  newer=$(start_host "$STATE/owner2.out" 200 100 60 | cut -d' ' -f1)
  [ -n "$dead" ] && [ -n "$older" ] && [ -n "$newer" ] || fail "no owner windows"
  sleep 0.3
  fg=$(probe foreground | cut -d'|' -f3)
  [ "$fg" = "$newer" ] || fail "the newer window $newer is not in front: $(probe foreground)"
  for args in "/c $older" "/c:$dead" "/c:$older"; do
    # shellcheck disable=SC2086
    start_saver $args
    shown=$(probe dialog 10000 cancel) || fail "no dialog for $args"
    wait_exit 10 >/dev/null || fail "dialog for $args did not close"
    case $args in
      "/c:$older") [[ $shown == *" owner=$older" ]] || fail "$args: owner is not $older: $shown" ;;
      *) [[ $shown == *" owner=$fg" ]] || fail "$args: owner is not the foreground $fg: $shown" ;;
    esac
  done
  probe post "$older" 0x10 0 0
  probe post "$newer" 0x10 0 0
  pass "/c:HWND is owned by that window; /c HWND and /c: of a dead window by the foreground window"
}

case_arguments() {
  use_main
  local w args rc
  w=$(windir)
  # A window that existed and is gone again.
  local dead
  dead=$(probe host 50 50 0 | cut -d' ' -f1)
  [ -n "$dead" ] || fail "no window to be dead"
  for args in "/p 0" "/p" "/p $dead" "/l 4294967297" "/x" "/?" "/a 0"; do
    rm -f "$w/vorlexcode.log" "$w/vorlexcode_fs.log"
    # shellcheck disable=SC2086
    start_saver $args
    rc=$(wait_exit 10) || fail "'$args' did not end"
    [ "$rc" = 255 ] || fail "'$args' ended with $rc, not -1"
    [ ! -e "$w/vorlexcode.log" ] && [ ! -e "$w/vorlexcode_fs.log" ] || fail "'$args' created a saver window"
  done
  pass "/p 0, /p, /p of a dead window, /l with a wrapped handle, /x, /? and /a (not 9x) end with -1, no window"

  # A quoted program path with blanks is skipped whole; only the first letter counts.
  mkdir -p "$WINEPREFIX/drive_c/Program Files/Vorlex saver"
  cp "$VORLEX_SCR" "$WINEPREFIX/drive_c/Program Files/Vorlex saver/vorlex code emulator.scr"
  park_pointer
  SAVER_PATH='C:\Program Files\Vorlex saver\vorlex code emulator.scr' start_saver /screensaver
  wait_running vorlexcode_fs.log
  stop_saver_by_key
  pass "a quoted path with blanks and /screensaver run the full-screen saver"
}

case_fullscreen_input() {
  use_main
  set_settings 1024x768 300 8
  local w rc share diff
  w=$(windir)
  park_pointer

  # Rain, and the log of a whole run.
  start_saver /s
  wait_running vorlexcode_fs.log
  shot rain1
  sleep 1
  shot rain2
  share=$(green_share "$SHOTS/rain1.png" 1024x768+0+0)
  between "$share" 0.03 0.7 || fail "green share $share of the screen is not rain"
  diff=$(compare -metric AE "$SHOTS/rain1.png" "$SHOTS/rain2.png" null: 2>&1 || true)
  between "${diff%% *}" 2000 2000000 || fail "screenshots a second apart differ in $diff pixels only"
  pass "rain on screen: green share $share, $diff pixels changed in a second"
  stop_saver_by_key
  pass "a key press ends the saver with 0"

  local log
  log=$(cat "$w/vorlexcode_fs.log")
  [[ $log == $'LOG_INFO: [InitErrorMsg] DEBUG SESSION STARTED\n\n'* ]] || fail "log does not begin with the start line"
  [[ $log == *$'\nLOG_INFO: \n[StopErrorMsg] DEBUG SESSION TERMINATED' ]] || fail "log does not end with the stop line"
  [ "$(tail -c 1 "$w/vorlexcode_fs.log" | od -An -c | tr -d ' ')" = '\n' ] || fail "log does not end in a line feed"
  local expected=(
    "LOG_INFO: [DEBUG] Got message WM_CREATE"
    "LOG_GOSSIP: [WM_CREATE] Fullscreen mode"
    "LOG_INFO: [WM_CREATE] GraphicsLoader object allocated"
    "LOG_INFO: [WM_CREATE] Glyph images loaded"
    "LOG_GOSSIP: [WM_CREATE] All object created, run Vorlex Emulator"
    "LOG_GOSSIP: [STATE] WM_CLOSE detected"
    "LOG_GOSSIP: [STATE] WM_DESTROY detected"
    "LOG_INFO: [DrawVorlex] Thread ended"
  )
  local line n=0 at
  for line in "${expected[@]}"; do
    at=$(grep -nxF "$line" "$w/vorlexcode_fs.log" | head -1 | cut -d: -f1)
    [ -n "$at" ] && [ "$at" -gt "$n" ] || fail "log line missing or out of order: $line"
    n=$at
  done
  pass "log begins and ends with the session lines and holds the creation lines in order"

  # A mouse button.
  park_pointer
  start_saver /s
  wait_running vorlexcode_fs.log
  xdotool click 1
  rc=$(wait_exit 10) || fail "saver did not end after a click"
  [ "$rc" = 0 ] || fail "click: exit $rc"
  pass "a mouse click ends the saver with 0"

  # Mouse moves: 2 pixels stay, more than 4 end it. Wine reports the pointer where it
  # last saw it, so the moves start from the position the system reports.
  park_pointer
  start_saver /s
  wait_running vorlexcode_fs.log
  local x y
  read -r x y < <(probe cursor)
  xdotool mousemove "$((x + 1))" "$y"
  sleep 0.3
  xdotool mousemove "$((x + 2))" "$y"
  sleep 1
  still_running || fail "a 2-pixel move ended the saver"
  pass "a 2-pixel move does not end the saver"
  # 4 pixels from where the saver started: past the window procedure's trap, and exactly
  # the host's limit. The start stays remembered, so one more pixel ends it.
  xdotool mousemove "$((x - 4))" "$y"
  sleep 1
  still_running || fail "a move to 4 pixels from the start ended the saver"
  xdotool mousemove "$((x - 4))" "$((y + 1))"
  rc=$(wait_exit 10) || fail "saver did not end 5 pixels from the start"
  [ "$rc" = 0 ] || fail "move: exit $rc"
  pass "4 pixels from the start keep the saver; 5 end it with 0"
}

# System events reach the window as messages; they are posted the way the system would.
case_system_events() {
  use_main
  set_settings 1024x768 300 8
  local h m rc answer
  start_saver /s
  SETTLE=0.5 wait_running vorlexcode_fs.log
  h=$(saver_window)
  # Releases, a double click, a character, the wheel, WM_POWER other than 3, gaining
  # activation: none of them closes. Nor does the AutoPlay query outside the 9x family.
  for m in "0x101 0x41" "0x105 0x12" "0x202 0" "0x203 0" "0x102 0x61" "0x20a 0x780000" "0x48 1" "0x1c 1"; do
    # shellcheck disable=SC2086
    probe post "$h" $m 0 || fail "could not post $m"
  done
  answer=$(probe send "$h" QueryCancelAutoPlay 0 0) || fail "AutoPlay query not answered"
  [ "$answer" = 0 ] || fail "AutoPlay query answered $answer outside the 9x family"
  sleep 1
  still_running || fail "a message that closes nothing ended the saver"
  pass "releases, double click, character, wheel, WM_POWER 1, activation and AutoPlay (NT) keep the saver"
  # The title is fixed: a second start looks for it.
  answer=$(probe set-title "$h" "Renamed")
  [[ $answer == 0 && $(probe window-info "$h") == *" title=Screen Saver rect="* ]] ||
    fail "WM_SETTEXT answered $answer and left: $(probe window-info "$h")"
  pass "WM_SETTEXT answers 0 and the title stays"
  for m in "0x48 3" "0x218 7" "0x1c 0"; do
    if [ "$m" != "0x48 3" ]; then
      start_saver /s
      SETTLE=0.5 wait_running vorlexcode_fs.log
      h=$(saver_window)
    fi
    # shellcheck disable=SC2086
    probe post "$h" $m 0 || fail "could not post $m"
    rc=$(wait_exit 10) || fail "message $m did not end the saver"
    [ "$rc" = 0 ] || fail "message $m: exit $rc"
  done
  pass "WM_POWER 3, WM_POWERBROADCAST and losing activation end the saver with 0"
}

case_resolutions() {
  use_main
  local before res during after
  before=$(probe mode)
  for res in 800x600 1024x768 1280x1024; do
    set_settings "$res" 300 8
    park_pointer
    start_saver /s
    wait_running vorlexcode_fs.log
    during=$(probe mode)
    shot "mode_$res"
    [ "${during%x*}" = "$res" ] || fail "Resolution $res gave the mode $during"
    stop_saver_by_key
    after=$(probe mode)
    [ "$after" = "$before" ] || fail "desktop mode $before became $after after the $res run"
    pass "Resolution $res: display mode $during while running, $after afterwards"
  done
  set_settings 1024x768 300 8
}

glyph_message_case() {  # DESCRIPTION
  local text rc
  start_saver /s
  text=$(probe msgbox "Vorlex Code Emulator" 20000) || fail "$1: no message box"
  [ "$text" = "$GLYPH_MESSAGE" ] || fail "$1: message box says: $text"
  rc=$(wait_exit 10) || fail "$1: saver did not end after the message"
  [ "$rc" != 0 ] || fail "$1: a failed start ended with 0"
  probe gone WindowsScreenSaverClass 3000 || fail "$1: saver window left behind"
  pass "$1: the glyph-file message, then the process ends ($rc)"
}

case_glyph_file() {
  use_main
  set_settings 1024x768 300 8
  local w
  w=$(windir)
  mv "$w/glyph2.ani" "$w/system32/glyph2.ani"
  park_pointer
  start_saver /s
  wait_running vorlexcode_fs.log
  shot system_dir
  between "$(green_share "$SHOTS/system_dir.png" 1024x768+0+0)" 0.03 0.7 || fail "no rain from the system directory"
  stop_saver_by_key
  ! grep -q "LOG_ERROR" "$w/vorlexcode_fs.log" || fail "errors logged for glyph2.ani in the system directory"
  pass "glyph2.ani only in the system directory: the saver runs"

  rm -f "$w/system32/glyph2.ani"
  glyph_message_case "glyph2.ani in neither directory"

  head -c 5000 "$VORLEX_ANI" >"$w/glyph2.ani"
  glyph_message_case "truncated glyph2.ani"

  # 54 frames: one short of the blank glyph.
  cp "$VORLEX_ANI" "$w/glyph2.ani"
  printf '\x36' | dd of="$w/glyph2.ani" bs=1 seek=5 conv=notrunc status=none
  glyph_message_case "glyph2.ani with 54 frames"

  # Zero-width cells.
  cp "$VORLEX_ANI" "$w/glyph2.ani"
  printf '\x00\x00' | dd of="$w/glyph2.ani" bs=1 seek=6 conv=notrunc status=none
  glyph_message_case "glyph2.ani with zero-width cells"

  cp "$VORLEX_ANI" "$w/glyph2.ani"
}

case_second_instance() {
  use_main
  set_settings 1024x768 300 8
  park_pointer
  start_saver /s
  local first=$EXIT_FILE rc fg info
  wait_running vorlexcode_fs.log
  # Wine's full-screen DirectDraw adds WS_SYSMENU to the window and sizes it to the mode;
  # the saver's own bits must all be there.
  info=$(probe window-info "$(saver_window)")
  [[ $info =~ ^visible=1\ style=([0-9a-f]{8})\ exstyle=([0-9a-f]{8})\ class=0000002b\ title=Screen\ Saver\  ]] ||
    fail "full-screen window: $info"
  (((0x${BASH_REMATCH[1]} & 0x96000000) == 0x96000000 && (0x${BASH_REMATCH[2]} & 8) == 8)) ||
    fail "full-screen window styles: $info"
  pass "the full-screen window: popup, visible, clipping, topmost, class style 2b, titled Screen Saver ($info)"
  start_saver /s
  rc=$(wait_exit 10) || fail "the second /s did not end"
  [ "$rc" = 0 ] || fail "the second /s ended with $rc"
  EXIT_FILE=$first
  still_running || fail "the first saver ended"
  fg=$(probe foreground)
  [[ $fg == "WindowsScreenSaverClass|Screen Saver|"* ]] || fail "foreground window is $fg"
  pass "a second /s ends with 0 and the first saver stays in front"
  stop_saver_by_key
}

case_password_9x() {
  use_main
  set_settings 1024x768 300 8
  local dir=$WINEPREFIX/drive_c/pwtest h answer rc
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$VORLEX_SCR" "$VORLEX_PASSWORD_CPL" "$dir/"
  printf '01' >"$dir/answers.txt"
  reg_quiet add 'HKCU\Software\Wine\AppDefaults\vorlex.scr' /v Version /d win98 /f
  AFTER_CASE="reg_quiet delete 'HKCU\\Software\\Wine\\AppDefaults\\vorlex.scr' /f || true
    reg_quiet delete 'HKCU\\Control Panel\\Desktop' /v ScreenSaveUsePassword /f || true"

  # Protection off: no verifier is loaded, so the AutoPlay query closes at once and
  # lets AutoPlay go ahead (0).
  reg_quiet add 'HKCU\Control Panel\Desktop' /v ScreenSaveUsePassword /t REG_DWORD /d 0 /f
  SAVER_PATH='C:\pwtest\vorlex.scr' start_saver /s
  SETTLE=0.5 wait_running vorlexcode_fs.log
  h=$(saver_window)
  answer=$(probe send "$h" QueryCancelAutoPlay 0 0) || fail "AutoPlay query not answered"
  [ "$answer" = 0 ] || fail "AutoPlay query answered $answer without a verifier"
  rc=$(wait_exit 10) || fail "the AutoPlay query did not close the saver"
  [ "$rc" = 0 ] || fail "AutoPlay: exit $rc"
  [ ! -e "$dir/calls.txt" ] || fail "verifier asked with protection off: $(cat "$dir/calls.txt")"
  pass "9x, protection off: AutoPlay query answers 0 and closes without asking"

  reg_quiet add 'HKCU\Control Panel\Desktop' /v ScreenSaveUsePassword /t REG_DWORD /d 1 /f
  park_pointer
  SAVER_PATH='C:\pwtest\vorlex.scr' start_saver /s
  wait_running vorlexcode_fs.log
  # Two presses in quick succession: the verifier refuses the first, the second comes
  # within 200 ms of that refusal and is refused without asking.
  xdotool key a key b
  sleep 1
  still_running || fail "a refused password closed the saver"
  [ "$(cut -d' ' -f2 "$dir/calls.txt" | tr '\n' ' ')" = "refuse " ] || fail "verifier calls: $(cat "$dir/calls.txt")"
  pass "refused password keeps the saver running; a second close within 200 ms is refused without asking"
  # With a verifier the AutoPlay query is cancelled (1); its close asks again.
  h=$(saver_window)
  answer=$(probe send "$h" QueryCancelAutoPlay 0 0) || fail "AutoPlay query not answered"
  [ "$answer" = 1 ] || fail "AutoPlay query answered $answer with a verifier"
  rc=$(wait_exit 10) || fail "an accepted password did not close the saver"
  [ "$rc" = 0 ] || fail "accepted password: exit $rc"
  [ "$(cut -d' ' -f2 "$dir/calls.txt" | tr '\n' ' ')" = "refuse accept " ] || fail "verifier calls: $(cat "$dir/calls.txt")"
  pass "AutoPlay query answers 1 with a verifier; the accepted password closes the saver with 0"

  # Password change: the provider (a stand-in MPR.DLL beside the module) is asked for
  # "SCRSAVE" with the window after the letter as owner, here not the foreground one.
  local owner front
  owner=$(start_host "$STATE/owner_a.out" 200 100 60 | cut -d' ' -f1)
  front=$(start_host "$STATE/front_a.out" 200 100 60 | cut -d' ' -f1)
  [ -n "$owner" ] && [ -n "$front" ] || fail "no owner windows"
  cp "$VORLEX_PASSWORD_CPL" "$dir/MPR.DLL"
  WINEDLLOVERRIDES="mscoree,mshtml=;mpr=n" SAVER_PATH='C:\pwtest\vorlex.scr' start_saver /a "$owner"
  rc=$(wait_exit 10) || fail "/a did not end"
  [ "$rc" = 0 ] || fail "/a on 9x ended with $rc"
  [ "$(tr -d '\r' <"$dir/changes.txt" 2>/dev/null)" = "SCRSAVE $owner 0 0" ] ||
    fail "password change calls: $(cat "$dir/changes.txt" 2>/dev/null), foreground $(probe foreground)"
  probe post "$owner" 0x10 0 0
  probe post "$front" 0x10 0 0
  pass "/a on 9x asks the provider to change the SCRSAVE password for the given owner, ends with 0"
}

case_preview() {
  use_16
  set_settings 1024x768 300 8
  local w out hwnd x y cw ch rc
  w=$(windir)
  out=$STATE/host.out
  rm -f "$w/vorlexcode.log"
  read -r hwnd x y cw ch < <(start_host "$out" 320 240 60)
  [ -n "${hwnd:-}" ] || fail "the preview host did not start"
  start_saver /p "$hwnd"
  wait_running vorlexcode.log "$hwnd"
  local child info
  child=$(probe wait-child "$hwnd" WindowsScreenSaverClass 1000)
  info=$(probe window-info "$child")
  [ "$info" = "visible=1 style=52000000 exstyle=00000000 class=0000002b title=Preview rect=$x,$y,${cw}x${ch}" ] ||
    fail "preview window: $info"
  pass "the preview is a visible child covering the host's client area ($info)"
  ! grep -q "LOG_ERROR\|LOG_PANIC" "$w/vorlexcode.log" || fail "errors logged: $(grep LOG_ERROR "$w/vorlexcode.log")"
  # Wine (8.0, X11) does not show what a process draws into a child window of another
  # process's window: the class's black background does not appear either. So rain in
  # the host window cannot be seen here; outside it nothing may change.
  shot preview
  local outside
  outside=$(green_share "$SHOTS/preview.png" "600x600+$((x + cw + 40))+0")
  between "$outside" 0 0.0005 || fail "green share $outside outside the host window"
  pass "nothing drawn outside the host window"

  # Input: real moves and a click over the preview; a key press, losing activation and
  # power events posted to it, since the keyboard belongs to the host window.
  xdotool mousemove $((x + 50)) $((y + 50))
  sleep 0.2
  xdotool mousemove $((x + 150)) $((y + 120)) click 1
  local m
  for m in "0x100 0x41" "0x104 0x12" "0x1c 0" "0x218 7" "0x48 3"; do
    # shellcheck disable=SC2086
    probe post "$child" $m 0 || fail "could not post $m"
  done
  sleep 1.5
  still_running || fail "input ended the preview"
  pass "moves, a click, key presses, losing activation and power events do not end the preview"

  # The context menu belongs to the settings window: passed on to the host, wParam = host.
  local answer
  answer=$(probe send "$child" 0x7b 0 0x00780032) || fail "WM_CONTEXTMENU not answered"
  [ "$answer" = 1 ] || fail "WM_CONTEXTMENU answered $answer"
  for _ in $(seq 20); do grep -q "^message 007b" "$out" && break; sleep 0.1; done
  [ "$(grep '^message' "$out" | tr -d '\r')" = "message 007b wParam=$hwnd lParam=780032" ] ||
    fail "the host got: $(grep '^message' "$out")"
  pass "WM_CONTEXTMENU answers 1 and goes to the host window with its handle"

  probe post "$hwnd" 0x10 0 0 || fail "could not close the host"
  rc=$(wait_exit 20) || fail "the preview did not end with its host window"
  [ "$rc" = 0 ] || fail "preview ended with $rc"
  pass "the preview ends with 0 when its host window goes"
}

# A failed case must not leave a saver behind for the next one: end this prefix's
# programs (all started by these tests) and bring its server back.
AFTER_CASE=
finish_case() {
  local rc=$?
  if [ -n "$AFTER_CASE" ]; then eval "$AFTER_CASE"; fi
  if [ $rc != 0 ] && [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    wineserver -p </dev/null >/dev/null 2>&1
  fi
}

# --- main ---------------------------------------------------------------------------
cmd=${1:?usage: e2e.sh setup|cleanup|CASE}
case "$cmd" in
  setup) setup ;;
  cleanup) cleanup_servers; echo "ok: servers stopped" ;;
  *)
    [ -f "$STATE/env" ] || fail "run e2e.sh setup first"
    # shellcheck disable=SC1091
    . "$STATE/env"
    declare -F "case_$cmd" >/dev/null || fail "no case $cmd"
    rm -f "$STATE"/exit.* "$STATE"/probe.*
    trap finish_case EXIT
    "case_$cmd"
    ;;
esac
