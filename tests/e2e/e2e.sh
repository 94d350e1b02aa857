#!/usr/bin/env bash
# End-to-end tests of vorlex.scr under Wine, driven with xdotool and the probe program: e2e.sh setup|cleanup|CASE.
set -euo pipefail
S=$VORLEX_E2E_DIR KEY='HKLM\Software\Zelvoran\Vorlex Code Emulator' LOG=vorlexcode_fs.log AFTER_CASE=
# shellcheck source=../../scripts/lib/harness.sh
. "$(dirname "$0")/../../scripts/lib/harness.sh"

fail() { echo "FAIL: $*" >&2; exit 1; }
is() { [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"; }
use() {  # "": a 24-bit screen, a virtual desktop larger than every mode; 16: a 16-bit one for the windowed preview
  export DISPLAY=${DISPLAYS[${1:-0}]}; harness_wine_prefix "$S/prefix${1:-}" "$([ "${1:-}" ] || echo 1600x1200)"; W=$WINEPREFIX/drive_c/windows; }
out() {  # through a file: Wine's daemons, started by any call, would hold a pipe open
  local f=$S/out.$$ rc=0; "$@" >"$f" 2>/dev/null || rc=$?; tr -d '\r' <"$f"; rm -f "$f"; return $rc; }
probe() { out wine 'C:\vorlex_probe.exe' "$@"; }
saver() { harness_bg "${EXIT:-$S/exit}" wine "${SAVER:-C:\\windows\\vorlex.scr}" "$@"; }
ends() { is "exit code ${2:-}" "$(harness_wait "$S/exit" "${3:-20}" || echo none)" "$1"; }  # CODE [WHAT [SECONDS]]
runs() { [ ! -s "$S/exit" ] || fail "the saver ended with $(cat "$S/exit")"; }
key() { for _ in 1 2 3; do xdotool key Escape; ! harness_wait "$S/exit" 6 >/dev/null || break; done; ends 0 "after a key"; }
settings() { harness_reg add "$KEY" /v Resolution /d "$1" /f; for v in "Density $2" "HighlightDensity $3"; do
  harness_reg add "$KEY" /v "${v% *}" /t REG_DWORD /d "${v#* }" /f; done; }
stored() { local -A v; local n t x; while read -r n t x; do [[ $t != REG_* ]] || v[$n]=$x; done < <(out wine reg query "$KEY")
  [ ${#v[@]} = 0 ] || printf 'Resolution=%s Density=%d HighlightDensity=%d ' "${v[Resolution]-}" "${v[Density]-}" "${v[HighlightDensity]-}"; }
park() { xdotool mousemove 300 300; sleep 0.1; xdotool mousemove 301 300; sleep 0.2; }  # Wine's pointer = X's
up() {  # [PARENT]: the saver window (H) and its render thread are there; then SETTLE seconds for frames
  H=$(probe find "${1:-0}" WindowsScreenSaverClass 15000) || fail "no saver window"; local n=0
  until grep -qF "[DrawVorlex] Thread created" "$W/$LOG" 2>/dev/null; do runs; ((n++ < 200)) || fail "no render thread"
    sleep 0.05; done; sleep "${SETTLE:-1.5}"; }
host() {  # OUT SECONDS [WIDTH HEIGHT]: a probe window in the background; prints "handle x y width height"
  (wine 'C:\vorlex_probe.exe' host "${3:-200}" "${4:-100}" "$2") >"$1" 2>/dev/null </dev/null &
  for _ in $(seq 100); do [ -s "$1" ] && break; sleep 0.1; done; head -1 "$1" | tr -d '\r' | grep . || fail "no host"; }
post() { local h=$1 m; shift; for m; do probe post "$h" $m 0 || fail "could not post $m"; done; }  # HWND "MSG WPARAM"...
shot() { import -display "$DISPLAY" -window root "$S/$1.png"; }
green() {  # NAME REGION: share of clearly green pixels there, on every second pixel and row
  convert "$S/$1.png" -crop "$2" +repage -sample 50% -fx 'g >= 60/255 && g > 1.3*r && g > 1.3*b' -format '%[fx:mean]' info:; }
between() { awk -v x="$1" -v a="$2" -v b="$3" 'BEGIN { exit !(x >= a && x <= b) }' || fail "$4: $1 not in $2..$3"; }
in_order() { is "lines in order" "$(grep -xF -f <(printf '%s\n' "${@:2}") "$1" | awk '!seen[$0]++')" "$(printf '%s\n' "${@:2}")"; }

case_template() {
  "${VORLEX_OBJDUMP%objdump}windres" -i "$VORLEX_SCR" -O rc | tr -d '\r' | awk '/ DIALOG /, /^END/ { if (!/^(BEGIN|END)$/) print; next }
    /RT_ICON|RT_GROUP_ICON/ { id = $1; getline; getline; print id, $0 } /Element no|VERSIONINFO/' |
    diff - "$(dirname "$0")/expected/template.txt" || fail "dialog 2003, icons or version record differ"
  is "export directory" "$("$VORLEX_OBJDUMP" -p "$VORLEX_SCR" | sed -n 's/^Name[ \t].* //p; s/^\t\[ *[0-9]*\] \([^ ]*\)$/\1/p' |
    xargs)" "vorlex.scr DrawVorlex ScreenSaverConfigureDialog ScreenSaverProc"
}

case_commands() {
  use; local row a in shown rc want dead old new; dead=$(probe host 50 50 0 | cut -d' ' -f1)  # a window gone again
  for a in "/p 0" "/p" "/p $dead" "/l 4294967297" "/x" "/?" "/a 0"; do  # each ends with -1, before any window
    rm -f "$W"/vorlexcode*.log; saver $a; ends 255 "$a"; ! ls "$W"/vorlexcode*.log 2>/dev/null || fail "$a: window"; done
  mkdir -p "$WINEPREFIX/drive_c/Program Files/Vorlex saver"; cp "$VORLEX_SCR" "$_/vorlex code emulator.scr"
  park; SAVER='C:\Program Files\Vorlex saver\vorlex code emulator.scr' saver /screensaver; up; key  # quoted, first letter
  harness_reg delete 'HKLM\Software\Zelvoran' /f; is "key before" "$(stored)" ""  # rows: arguments|input|shown|exit|stored
  for row in "|cancel|shown radio=1001 density=300 highlight=8 owner=none|0|1024x768 300 8" \
    "/c|1000 1000 250 ok|*|1|800x600 400 100" "-C|1002 abc -5 ok|shown radio=1000 density=400 highlight=100 *|1|1280x1024 0 0" \
    "/c|1001 7 7 cancel|*|0|1280x1024 0 0"; do
    IFS='|' read -r a in shown rc want <<<"$row"; saver $a; [[ $(probe dialog 10000 $in) == $shown ]] || fail "$a: shown"
    ends "$rc" "$a"; is "stored after $a $in" "$(stored)" "$(printf 'Resolution=%s Density=%s HighlightDensity=%s ' $want)"
  done
  old=$(host "$S/old.out" 60 | cut -d' ' -f1); new=$(host "$S/new.out" 60 | cut -d' ' -f1); sleep 0.3
  is "foreground" "$(probe foreground)" "$new"  # the owner: after "C:" that window, else the foreground one
  for a in "/c $old=$new" "/c:$dead=$new" "/c:$old=$old"; do
    saver ${a%=*}; [[ $(probe dialog 10000 cancel) == *" owner=${a#*=}" ]] || fail "owner for $a"; ends 0; done
  post "$old" "0x10 0"; post "$new" "0x10 0"; settings 1024x768 300 8
}

case_fullscreen_input() {
  use; settings 1024x768 300 8; park; saver /s; up; shot rain1; sleep 1; shot rain2
  a=$(compare -metric AE "$S/rain1.png" "$S/rain2.png" null: 2>&1 || true); between "${a%% *}" 2000 2e6 "changed pixels"
  between "$(green rain1 1024x768+0+0)" 0.03 0.7 "green share"; key
  is "log start" "$(head -2 "$W/$LOG"; echo .)" $'LOG_INFO: [InitErrorMsg] DEBUG SESSION STARTED\n\n.'
  is "log end" "$(tail -2 "$W/$LOG"; echo .)" $'LOG_INFO: \n[StopErrorMsg] DEBUG SESSION TERMINATED\n.'
  in_order "$W/$LOG" "LOG_INFO: [DEBUG] Got message WM_CREATE" "LOG_GOSSIP: [WM_CREATE] Fullscreen mode" \
    "LOG_INFO: [WM_CREATE] GraphicsLoader object allocated" "LOG_INFO: [WM_CREATE] Glyph images loaded" \
    "LOG_GOSSIP: [WM_CREATE] All object created, run Vorlex Emulator" "LOG_GOSSIP: [STATE] WM_CLOSE detected" \
    "LOG_GOSSIP: [STATE] WM_DESTROY detected" "LOG_INFO: [DrawVorlex] Thread ended"
  park; saver /s; up; xdotool click 1; ends 0 "after a click"
  park; saver /s; up; read -r x y < <(probe cursor)  # from there 2 pixels, then 4 (the limit) keep it; 5 end it
  xdotool mousemove $((x + 1)) "$y"; sleep 0.3; xdotool mousemove $((x + 2)) "$y"; sleep 1; runs
  xdotool mousemove $((x - 4)) "$y"; sleep 1; runs; xdotool mousemove $((x - 4)) $((y + 1)); ends 0 "after 5 pixels"
}

case_resolutions() {
  use; local before res; before=$(probe mode)
  for res in 800x600 1024x768 1280x1024; do settings "$res" 300 8; park; saver /s; up
    [[ $(probe mode) == "${res}x"* ]] || fail "$res gave $(probe mode)"; key; is "mode after $res" "$(probe mode)" "$before"; done
}

case_system_events() {  # Wine adds WS_SYSMENU and sizes the window to the mode; the saver's own bits must be there.
  use; settings 1024x768 300 8; park; saver /s; up; local h=$H m info; info=$(probe info "$H")
  [[ $info =~ ^visible=1\ style=([0-9a-f]{8})\ exstyle=([0-9a-f]{8})\ class=0000002b\ title=Screen\ Saver\  ]] &&
    (((0x${BASH_REMATCH[1]} & 0x96000000) == 0x96000000 && (0x${BASH_REMATCH[2]} & 8) == 8)) || fail "window: $info"
  EXIT=$S/exit2 saver /s; is "second /s" "$(harness_wait "$S/exit2" 10)" 0; runs; is "in front" "$(probe foreground)" "$h"
  # Releases, a double click, a character, the wheel, WM_POWER 1, activation, the AutoPlay query (NT): none closes.
  post "$h" "0x101 0x41" "0x105 0x12" "0x202 0" "0x203 0" "0x102 0x61" "0x20a 0x780000" "0x48 1" "0x1c 1"
  is "AutoPlay on NT" "$(probe send "$h" QueryCancelAutoPlay 0 0)" 0; sleep 1; runs
  is "WM_SETTEXT" "$(probe set-title "$h" Renamed)" 0; [[ $(probe info "$h") == *" title=Screen Saver rect="* ]] || fail title
  for m in "0x48 3" "0x218 7" "0x1c 0"; do  # WM_POWER 3, WM_POWERBROADCAST, deactivation end it
    [ "$m" = "0x48 3" ] || { saver /s; SETTLE=0.5 up; h=$H; }; post "$h" "$m"; ends 0 "after $m"; done
}

case_glyph_file() {
  use; settings 1024x768 300 8; mv "$W/glyph2.ani" "$W/system32/"; park; saver /s; up; shot sysdir
  between "$(green sysdir 1024x768+0+0)" 0.03 0.7 "green share"; key; ! grep LOG_ERROR "$W/$LOG" || fail "errors logged"
  rm -f "$W/system32/glyph2.ani"  # then missing, truncated, 54 frames (one short of the blank glyph), zero-width cells
  for c in "missing::" "truncated:5000:" "54 frames::5:\x36" "zero width::6:\x00\x00"; do
    IFS=: read -r what size at bytes <<<"$c"; cp "$VORLEX_ANI" "$W/glyph2.ani"; [ "$what" != missing ] || rm "$W/glyph2.ani"
    [ -z "$size" ] || truncate -s "$size" "$W/glyph2.ani"
    [ -z "$at" ] || printf "$bytes" | dd of="$W/glyph2.ani" bs=1 seek="$at" conv=notrunc status=none
    saver /s; is "$what: message" "$(probe msgbox "Vorlex Code Emulator" 20000)" \
      $'Unable to load glyph animation file.\n\nMake sure you have unzipped both the files\n(vorlex code emulator.scr and glyph2.ani)'
    rc=$(harness_wait "$S/exit" 10) && [ "$rc" != 0 ] || fail "$what: ended with ${rc:-nothing}"
    ! probe find 0 WindowsScreenSaverClass 0 || fail "$what: saver window left"; done; cp "$VORLEX_ANI" "$W/glyph2.ani"
}

case_password_9x() {
  use; settings 1024x768 300 8; local d=$WINEPREFIX/drive_c/pwtest o f pw='HKCU\Control Panel\Desktop'; rm -rf "$d"
  mkdir -p "$d"; cp "$VORLEX_SCR" "$VORLEX_PASSWORD_CPL" "$d/"; printf 01 >"$d/answers.txt"; export SAVER='C:\pwtest\vorlex.scr'
  harness_reg add 'HKCU\Software\Wine\AppDefaults\vorlex.scr' /v Version /d win98 /f
  AFTER_CASE="harness_reg delete 'HKCU\\Software\\Wine\\AppDefaults\\vorlex.scr' /f; harness_reg delete '$pw' /v ScreenSaveUsePassword /f"
  harness_reg add "$pw" /v ScreenSaveUsePassword /t REG_DWORD /d 0 /f; saver /s; SETTLE=0.5 up  # off: no verifier
  is "AutoPlay, no verifier" "$(probe send "$H" QueryCancelAutoPlay 0 0)" 0; ends 0 "after AutoPlay"
  [ ! -e "$d/calls.txt" ] || fail "verifier asked with protection off"
  harness_reg add "$pw" /v ScreenSaveUsePassword /t REG_DWORD /d 1 /f; park; saver /s; up; xdotool key a key b; sleep 1
  runs; is "verifier" "$(cut -d' ' -f2 "$d/calls.txt" | xargs)" refuse  # the second key, within 200 ms, is not asked
  is "AutoPlay, verifier" "$(probe send "$H" QueryCancelAutoPlay 0 0)" 1; ends 0 "after the password"
  is "verifier" "$(cut -d' ' -f2 "$d/calls.txt" | xargs)" "refuse accept"
  o=$(host "$S/owner.out" 60 | cut -d' ' -f1); f=$(host "$S/front.out" 60 | cut -d' ' -f1); cp "$VORLEX_PASSWORD_CPL" "$d/MPR.DLL"
  WINEDLLOVERRIDES="mscoree,mshtml=;mpr=n" saver /a "$o"; ends 0 "/a"  # MPR.DLL: the provider, for the given window
  is "password change" "$(tr -d '\r' <"$d/changes.txt")" "SCRSAVE $o 0 0"; post "$o" "0x10 0"; post "$f" "0x10 0"
}

case_preview() {
  use 16; settings 1024x768 300 8; LOG=vorlexcode.log; rm -f "$W/$LOG"; local h x y cw ch c
  read -r h x y cw ch < <(host "$S/host.out" 60 320 240); saver /p "$h"; up "$h"; c=$H
  is "preview" "$(probe info "$c")" "visible=1 style=52000000 exstyle=00000000 class=0000002b title=Preview rect=$x,$y,${cw}x$ch"
  ! grep "LOG_ERROR\|LOG_PANIC" "$W/$LOG" || fail "errors logged"
  shot preview; between "$(green preview "600x600+$((x + cw + 40))+0")" 0 0.0005 "green outside"  # Wine does not show it
  xdotool mousemove $((x + 50)) $((y + 50)); sleep 0.2; xdotool mousemove $((x + 150)) $((y + 120)) click 1
  post "$c" "0x100 0x41" "0x104 0x12" "0x1c 0" "0x218 7" "0x48 3"; sleep 1.5; runs
  is "WM_CONTEXTMENU" "$(probe send "$c" 0x7b 0 0x00780032)" 1
  for _ in $(seq 20); do grep -q "^contextmenu" "$S/host.out" && break; sleep 0.1; done
  is "the host got" "$(grep '^contextmenu' "$S/host.out" | tr -d '\r')" "contextmenu wParam=$h lParam=780032"
  post "$h" "0x10 0"; ends 0 "with the host window gone" 20
}

finish() {  # A failed case must not leave a saver for the next: end this prefix's programs, start its server again.
  local rc=$?; eval "$AFTER_CASE"; [ $rc != 0 ] || { echo "ok: $cmd"; return; }
  [ -z "${WINEPREFIX:-}" ] || { wineserver -k; wineserver -w; wineserver -p; } </dev/null >/dev/null 2>&1; }

cmd=${1:?usage: e2e.sh setup|cleanup|CASE}
if [ "$cmd" = setup ] || [ "$cmd" = cleanup ]; then
  for p in "" 16; do [ ! -d "$S/prefix$p" ] || WINEPREFIX=$S/prefix$p wineserver -k 2>/dev/null || true; done
  [ ! -f "$S/xvfb.pids" ] || xargs kill <"$S/xvfb.pids" 2>/dev/null || true; rm -f "$S/xvfb.pids"; [ "$cmd" = setup ] || exit 0
  mkdir -p "$S"; harness_start_xvfb 24 1600x1200; DISPLAYS[0]=$HARNESS_DISPLAY; harness_start_xvfb 16
  DISPLAYS[16]=$HARNESS_DISPLAY; echo "${HARNESS_PIDS[*]}" >"$S/xvfb.pids"; declare -p DISPLAYS >"$S/env"
  for p in "" 16; do use $p; wineserver -p </dev/null >/dev/null 2>&1; cp "$VORLEX_SCR" "$VORLEX_ANI" "$W/"
    rm -f "$W/system32/glyph2.ani"; cp "$VORLEX_PROBE" "$WINEPREFIX/drive_c/vorlex_probe.exe"; probe mode >/dev/null
    harness_wine_renderer gdi; done
else
  [ ! -f "$S/env" ] || . "$S/env"; declare -F "case_$cmd" >/dev/null || fail "no case $cmd"; trap finish EXIT; "case_$cmd"
fi
