#!/usr/bin/env bash
# End-to-end tests of vorlex.scr under Wine (xdotool, the probe): e2e.sh setup|cleanup|CASE.
set -Eeuo pipefail
S=$VORLEX_E2E_DIR
LOG=vorlexcode_fs.log
AFTER_CASE=
. "$(dirname "$0")/../../scripts/lib/harness.sh"
. "$(dirname "$0")/lib.sh"
harness_reg_view "$VORLEX_SCR"

use() {  # "": a 24-bit screen in a desktop larger than every mode; 16: a 16-bit one for the preview
  export DISPLAY=${DISPLAYS[${1:-24}]}
  harness_wine_prefix "$S/prefix${1:-}" "$([ "${1:-}" ] || echo 1600x1200)"
  W=$WINEPREFIX/drive_c/windows
  wineserver -p </dev/null >/dev/null 2>&1 || true  # one server for all cases
  settings 1024x768 300 8
}
saver() { harness_bg "${EXIT:-$X}" wine "${SAVER:-C:\\windows\\vorlex.scr}" "$@"; }
ends() { is "exit code ${2:-}" "$(harness_wait "$X" "${3:-20}" || echo none)" "$1"; }  # CODE [WHAT [SECONDS]]
runs() { [ ! -s "$X" ] || fail "the saver ended with $(cat "$X")"; }
key() {
  for _ in 1 2 3; do
    xdotool key Escape
    ! harness_wait "$X" 6 >/dev/null || break
  done
  ends 0 "after a key"
}
stored() {  # "RESOLUTION DENSITY HIGHLIGHT" as stored, or nothing
  local -A v
  local n t x
  while read -r n t x; do
    v[$n]=$x
  done < <(harness_reg query "$KEY" | grep REG_)
  [ ${#v[@]} = 0 ] || printf '%s %d %d' "${v[Resolution]-}" "${v[Density]-}" "${v[HighlightDensity]-}"
}
start() {
  xdotool mousemove 300 300
  sleep 0.1
  xdotool mousemove 301 300  # Wine's pointer = X's
  sleep 0.2
  saver /s
  up
}
up() {  # [PARENT]: waits for the saver window (H), its render thread, then SETTLE seconds
  H=$(probe find "${1:-0}" WindowsScreenSaverClass 15000) || fail "no saver window"
  drawing "$W/$LOG" "$X" || fail "no render thread"
  sleep "${SETTLE:-1.5}"
}
host() {  # OUT SECONDS [WIDTH HEIGHT [X Y]]: a probe window for a while; prints "handle x y width height"
  (wine 'C:\vorlex_probe.exe' host "${3:-200}" "${4:-100}" "$2" "${@:5}") >"$1" 2>/dev/null </dev/null &
  harness_wait "$1" 10 | head -1 | tr -d '\r' | grep . || fail "no host"
}
post() {  # HWND "MSG WPARAM"...
  local h=$1 m
  for m in "${@:2}"; do
    probe post "$h" $m 0 || fail "could not post $m"
  done
}
shot() { import -display "$DISPLAY" -window root "$S/$1.png"; }
share() {  # NAME REGION CHANNEL PERCENT: share of the pixels (every second) above PERCENT in CHANNEL
  convert "$S/$1.png" -crop "$2" +repage -sample 50% -channel "$3" -separate +channel -threshold "$4%" \
    -format '%[fx:mean]' info:
}
between() { awk -v x="$1" -v a="$2" -v b="$3" 'BEGIN { exit !(x >= a && x <= b) }' || fail "$4: $1 not in $2..$3"; }

case_template() {  # the icon group Windows shows, the exports it calls
  wrestool -x --raw -t14 -n104 "$VORLEX_SCR" | grep -q . || fail "no icon group 104"
  is "export directory" "$("$VORLEX_OBJDUMP" -p "$VORLEX_SCR" |
    sed -n 's/^Name[ \t].* //p; s/^\t\[ *[0-9]*\] \([^ ]*\)$/\1/p' | xargs)" \
    "vorlex.scr DrawVorlex ScreenSaverConfigureDialog ScreenSaverProc"
}

case_commands() {
  use
  dead=$(probe host 50 50 0 | cut -d' ' -f1)  # a window gone again
  for a in "/p $dead" "/x"; do
    saver $a
    ends 255 "$a"
  done
  harness_reg delete 'HKLM\Software\Zelvoran' /f
  is "key before" "$(stored)" ""
  # arguments|input|shown|exit|stored
  for row in "|cancel|shown radio=1001 density=300 highlight=8 edge=204 owner=none|0|1024x768 300 8" \
    "/c|1000 1000 250 ok|*|1|800x600 400 100" \
    "-C|1002 abc -5 ok|shown radio=1000 density=400 highlight=100 *|1|1280x1024 0 0" \
    "/c|1001 7 7 cancel|*|0|1280x1024 0 0"; do
    IFS='|' read -r a in shown rc want <<<"$row"
    saver $a
    [[ $(probe dialog 10000 $in) == $shown ]] || fail "$a: shown"
    ends "$rc" "$a"
    is "stored after $a $in" "$(stored)" "$want"
  done
  old=$(host "$S/old.out" 60 | cut -d' ' -f1)
  new=$(host "$S/new.out" 60 | cut -d' ' -f1)
  sleep 0.3  # new in front: the owner is the window after "C:", else the foreground one
  for a in "/c $old=$new" "/c:$dead=$new" "/c:$old=$old"; do
    saver ${a%=*}
    [[ $(probe dialog 10000 cancel) == *" owner=${a#*=}" ]] || fail "owner for $a"
    ends 0
  done
  post "$old" "0x10 0"
  post "$new" "0x10 0"
}

case_fullscreen_input() {  # frames change; a key, a click, a move of 5 pixels end it
  use
  start
  shot rain1
  sleep 1
  shot rain2
  a=$(compare -metric AE "$S/rain1.png" "$S/rain2.png" null: 2>&1 || true)
  between "${a%% *}" 2000 2e6 "changed pixels"
  key
  want=$(printf 'LOG_%s\n' "INFO: [WM_CREATE] Glyph images loaded" "INFO: [DrawVorlex] Thread ended")
  is "log lines in order" "$(grep -xF "$want" "$W/$LOG" | awk '!seen[$0]++')" "$want"
  start
  xdotool click 1
  ends 0 "after a click"
  start
  read -r x y _ < <(xdotool getmouselocation | tr -d 'xy:')  # from there 2 pixels, then 4 (the limit) keep it
  for p in "$((x + 2)) $y" "$((x - 4)) $y"; do
    xdotool mousemove $p
    sleep 1
    runs
  done
  xdotool mousemove $((x - 4)) $((y + 1))
  ends 0 "after 5 pixels"
}

case_picture() {  # the three settings change what is drawn; the rain reaches the right and bottom
  use
  before=$(probe mode)
  # settings; share of green pixels, of bright (highlighted) ones: from, to
  for row in "1280x1024 100 8 0.04 0.15 0 0.02" "1024x768 0 0 0 0.0005 0 0" "1024x768 400 100 0.15 0.6 0.03 1" \
    "800x600 400 0 0.15 0.6 0 0.002"; do
    read -r res d hl g0 g1 b0 b1 <<<"$row"
    settings "$res" "$d" "$hl"
    start
    [[ $(probe mode) == "${res}x"* ]] || fail "$res gave $(probe mode)"
    shot p
    IFS=x read -r w h <<<"$res"
    between "$(share p "$res+0+0" G 23)" $g0 $g1 "$row: green"
    between "$(share p "$res+0+0" R 40)" $b0 $b1 "$row: bright"
    # 400 streams leave no column empty; with 100, the last column is empty in about one frame in four.
    [ $d != 400 ] || between "$(share p "16x$h+$((w - 16))+0" G 23)" 0.01 1 "$row: right edge"
    [ $d != 400 ] || between "$(share p "${w}x4+0+$((h - 4))" G 23)" 0.01 1 "$row: bottom edge"
    post "$H" "0x10 0"  # not a key: X's pointer may be stuck outside a smaller desktop
    ends 0
    is "mode after $res" "$(probe mode)" "$before"
  done
}

case_system_events() {
  use
  start
  # A visible popup, topmost (Wine adds WS_SYSMENU)
  [[ $(probe info "$H") =~ ^visible=1\ style=9.{7}\ exstyle=.{7}[89a-f] ]] || fail "window: $(probe info "$H")"
  EXIT=$S/exit2 saver /s
  is "second /s" "$(harness_wait "$S/exit2" 10)" 0
  is "in front" "$(probe foreground)" "$H"
  # Releases, a double click, a character, the wheel, WM_POWER 1, activation: none closes.
  post "$H" "0x101 0x41" "0x105 0x12" "0x202 0" "0x203 0" "0x102 0x61" "0x20a 0x780000" "0x48 1" "0x1c 1"
  sleep 1
  runs
  post "$H" "0x48 3"  # WM_POWER's suspend request ends it
  ends 0 "after WM_POWER 3"
}

case_glyph_file() {  # first from the system directory the module sees: syswow64 for i686 on a 64-bit prefix
  use
  sys=system32
  [ "$HARNESS_REG_VIEW" = /reg:64 ] || [ ! -d "$W/syswow64" ] || sys=syswow64
  AFTER_CASE="rm -f '$W/$sys/glyph2.ani' && cp '$VORLEX_ANI' '$W/'"
  mv "$W/glyph2.ani" "$W/$sys/"
  start
  key
  ! grep LOG_ERROR "$W/$LOG" || fail "errors logged"
  rm "$W/$sys/glyph2.ani"
  saver /s
  m=$'Unable to load glyph animation file.\n\nMake sure you have unzipped both the files\n'
  is "message" "$(probe msgbox "Vorlex Code Emulator" 20000)" "$m(vorlex code emulator.scr and glyph2.ani)"
  rc=$(harness_wait "$X" 10) && [ "$rc" != 0 ] || fail "ended with ${rc:-nothing}"
}

case_password_9x() {  # the stub answers in the saver's folder
  use
  d=$WINEPREFIX/drive_c/pwtest
  pw='HKCU\Control Panel\Desktop'
  rm -rf "$d"
  mkdir -p "$d"
  cp "$VORLEX_SCR" "$VORLEX_PASSWORD_CPL" "$d/"
  cd "$d"
  SAVER='C:\pwtest\vorlex.scr'
  harness_reg add 'HKCU\Software\Wine\AppDefaults\vorlex.scr' /v Version /d win98 /f
  AFTER_CASE="harness_reg delete 'HKCU\\Software\\Wine\\AppDefaults' /f"
  AFTER_CASE+=" && harness_reg delete '$pw' /v ScreenSaveUsePassword /f"
  harness_reg add "$pw" /v ScreenSaveUsePassword /t REG_DWORD /d 0 /f
  saver /s
  SETTLE=0.5 up  # off: no verifier
  is "AutoPlay, no verifier" "$(probe send "$H" QueryCancelAutoPlay 0 0)" 0
  ends 0 "after AutoPlay"
  [ ! -e calls.txt ] || fail "verifier asked with protection off"
  harness_reg add "$pw" /v ScreenSaveUsePassword /t REG_DWORD /d 1 /f
  start
  xdotool key a key b
  sleep 1
  runs
  is "verifier" "$(xargs <calls.txt)" refuse  # not asked again within 200 ms
  is "AutoPlay, verifier" "$(probe send "$H" QueryCancelAutoPlay 0 0)" 1
  ends 0 "after the password"
  is "verifier" "$(xargs <calls.txt)" "refuse accept"
  o=$(host "$S/owner.out" 60 | cut -d' ' -f1)
  f=$(host "$S/front.out" 60 | cut -d' ' -f1)
  cp "$VORLEX_PASSWORD_CPL" MPR.DLL
  WINEDLLOVERRIDES="mscoree,mshtml=;mpr=n" saver /a "$o"  # MPR.DLL: the provider, for the given window
  ends 0 "/a"
  is "password change" "$(tr -d '\r' <changes.txt)" "SCRSAVE $o 0 0"
  post "$o" "0x10 0"
  post "$f" "0x10 0"
}

case_preview() {
  use 16
  LOG=vorlexcode.log
  rm -f "$W/$LOG"
  read -r h x y cw ch < <(host "$S/host.out" 60 320 240)
  saver /p "$h"
  up "$h"
  is "preview" "$(probe info "$H")" \
    "visible=1 style=52000000 exstyle=00000000 class=0000002b title=Preview rect=$x,$y,${cw}x$ch"
  ! grep "LOG_ERROR\|LOG_PANIC" "$W/$LOG" || fail "errors logged"
  shot preview
  between "$(share preview "600x600+$((x + cw + 40))+0" G 23)" 0 0.0005 "green outside"  # Wine does not show it
  xdotool mousemove $((x + 50)) $((y + 50))
  sleep 0.2
  xdotool mousemove $((x + 150)) $((y + 120)) click 1
  post "$H" "0x100 0x41" "0x104 0x12" "0x1c 0" "0x218 7" "0x48 3"
  is "WM_CONTEXTMENU" "$(probe send "$H" 0x7b 0 0x00780032)" 1
  sleep 1
  runs
  is "the host got" "$(grep '^contextmenu' "$S/host.out" | tr -d '\r')" "contextmenu wParam=$h lParam=780032"
  post "$h" "0x10 0"
  ends 0 "with the host window gone" 20
}

case_manifest() {  # Common Controls 6, DPI-aware, five systems, no elevation; the project's version everywhere
  m=$(wrestool -x --raw -t24 -n1 "$VORLEX_SCR" | tr -s ' \n' ' ')
  for w in 'Common-Controls" version="6.0.0.0"' '>true</dpiAware>' '>PerMonitorV2</dpiAwareness>'; do
    [[ $m == *"$w"* ]] || fail "manifest without $w: $m"
  done
  [[ $m != *"<requestedExecutionLevel"* ]] || fail "elevation asked"
  is "supported systems" "$(grep -o '<supportedOS ' <<<"$m" | wc -l)" 5
  v=$VORLEX_VERSION
  is "versions: dialog, numbers, texts" "$("${VORLEX_OBJDUMP%objdump}windres" -i "$VORLEX_SCR" -O rc |
    grep -oE 'Emulator v[0-9.]+|VERSION [0-9, ]+|Version", "[0-9.]+' | grep -oE '[0-9][0-9., ]*' | tr -d ' ' | xargs)" \
    "${v%.*} ${v%.*} ${v//./,},0 ${v//./,},0 $v $v"
}

# Two monitors: the second one black and topmost-covered while the saver runs, its input dismissing, nothing left.
case_monitors() {
  S=$S/$cmd  # an X server and a prefix of its own, so that it runs beside the other cases
  X=$S/exit
  AFTER_CASE=harness_stop
  # Wine sees each screen of Xephyr's Xinerama as a monitor (Xvfb's puts every screen at 0,0); without RandR it
  # cannot change modes here.
  harness_start_xvfb 16 2048x1536
  harness_start_server Xephyr env DISPLAY="$HARNESS_DISPLAY" Xephyr -screen 1024x768+0+0 -screen 800x600+1024+0 \
    +xinerama -extension RANDR -nolisten tcp
  export DISPLAY=$HARNESS_DISPLAY
  harness_wine_prefix "$S/prefix"
  prepare
  harness_reg add "$KEY" /v Resolution /d 1024x768 /f
  h=$(host "$S/host.out" 60 400 300 1200 100 | cut -d' ' -f1)
  sleep 0.5  # painted
  shot desktop
  between "$(share desktop 800x600+1024+0 G 5)" 0.05 1 "the window on the second monitor"
  start
  c=$(probe find 0 VorlexMonitorCover 5000) || fail "no cover"
  shot covered
  [[ $(probe info "$c") =~ ^visible=1\ style=9[0-9a-f]{7}\ exstyle=([0-9a-f]{8}).*\ rect=1024,0,800x600$ ]] &&
    ((0x${BASH_REMATCH[1]} & 8)) || fail "cover: $(probe info "$c")"
  is "second monitor" "$(share covered 800x600+1024+0 G 0)" 0
  # A display change with the same monitors, and a key's release over the cover, close nothing; a click there does.
  post "$H" "0x7e 16 0x03000400"
  post "$c" "0x101 0x41"
  sleep 1
  ! grep -F "[STATE] WM_CLOSE detected" "$W/$LOG" || fail "closed by a display change or a release"
  post "$c" "0x201 0"
  ends 0 "after a click on the second monitor"
  ! probe find 0 VorlexMonitorCover 0 >/dev/null || fail "a cover is left"
  post "$h" "0x10 0"
}

finish() {  # after a failure, no saver is left for the next case: this prefix's server starts again
  local rc=$?
  eval "$AFTER_CASE"
  [ $rc != 0 ] || return 0
  failed_at
  [[ ${WINEPREFIX:-} == "$VORLEX_E2E_DIR/prefix"* ]] || return 0
  { wineserver -k && wineserver -w && wineserver -p; } </dev/null >/dev/null 2>&1
}

cmd=${1:?usage: e2e.sh setup|cleanup|CASE}
X=$S/$cmd.exit  # the saver's exit code
trap finish EXIT
if [ "$cmd" != setup ] && [ "$cmd" != cleanup ]; then
  [ ! -f "$S/env" ] || . "$S/env"
  declare -F "case_$cmd" >/dev/null || fail "no case $cmd"
  "case_$cmd"
  exit
fi
for p in "" 16; do
  [ ! -d "$S/prefix$p" ] || WINEPREFIX=$S/prefix$p wineserver -k 2>/dev/null || true
done
[ ! -f "$S/xvfb.pids" ] || xargs kill <"$S/xvfb.pids" 2>/dev/null || true
rm -f "$S/xvfb.pids"
[ "$cmd" = setup ] || exit 0
mkdir -p "$S"
for p in 24 16; do
  harness_start_xvfb $p 1600x1200
  DISPLAYS[$p]=$HARNESS_DISPLAY
done
echo "${HARNESS_PIDS[*]}" >"$S/xvfb.pids"
declare -p DISPLAYS >"$S/env"
for p in "" 16; do
  use $p
  prepare
  rm -f "$W"/sys*/glyph2.ani
  probe mode >/dev/null
done
