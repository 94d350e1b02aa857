#!/usr/bin/env bash
# The Windows installer under Wine, in a fresh prefix of its own: a silent install that
# makes Vorlex the current saver, the installed saver running full-screen, an upgrade over
# it, a silent uninstall, and the module's version record.
set -euo pipefail
: "${VORLEX_RELEASE_DIR:?}" "${VORLEX_SETUP:?}" "${VORLEX_OUT_DIR:?}" "${VORLEX_VERSION:?}"
# shellcheck source=../../scripts/lib/harness.sh
. "$(dirname "$0")/../../scripts/lib/harness.sh"
trap harness_stop EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }

V=$VORLEX_VERSION
UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorlex'
SETTINGS='HKLM\Software\Zelvoran\Vorlex Code Emulator'
DESKTOP='HKCU\Control Panel\Desktop'
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX=$VORLEX_RELEASE_DIR/prefix
rm -rf "$VORLEX_RELEASE_DIR"
harness_start_xvfb 24 1280x1024
export DISPLAY=$HARNESS_DISPLAY
harness_wine_prefix "$WINEPREFIX"
[ -f "$WINEPREFIX/system.reg" ] || fail "Wine could not set up $WINEPREFIX (can this machine run 32-bit programs?)"
W=$WINEPREFIX/drive_c/windows
PF="$WINEPREFIX/drive_c/Program Files/Vorlex"
query() { wine reg query "$@" 2>/dev/null | tr -d '\r'; }
value() { query "$1" /v "$2" | sed -n "s/^    $2    REG_[A-Z_]*    //p"; }
install() {
  wine "$VORLEX_SETUP" /S "$@" || fail "installer $* ended with $?"
  cmp -s "$W/vorlex.scr" "$VORLEX_OUT_DIR/vorlex.scr" && cmp -s "$W/glyph2.ani" "$VORLEX_OUT_DIR/glyph2.ani" ||
    fail "installer $* did not put this build's files into C:\\windows"
}

# --- silent install, activated
install /ACTIVATE
[ -f "$PF/LICENSE.txt" ] && [ -f "$PF/DejaVu-LICENSE.txt" ] || fail "licences missing in $PF"
entry=$(query "$UNINSTALL")
for line in "DisplayName    REG_SZ    Vorlex Code Emulator" "DisplayVersion    REG_SZ    $V" \
  "Publisher    REG_SZ    Zelvoran" 'DisplayIcon    REG_SZ    C:\windows\vorlex.scr,0' \
  'UninstallString    REG_SZ    "C:\Program Files\Vorlex\uninstall.exe"' \
  'QuietUninstallString    REG_SZ    "C:\Program Files\Vorlex\uninstall.exe" /S' \
  "NoModify    REG_DWORD    0x1" "NoRepair    REG_DWORD    0x1"; do
  grep -qxF "    $line" <<<"$entry" || fail "uninstall entry lacks '$line': $entry"
done
size=$(($(value "$UNINSTALL" EstimatedSize)))
min=$((($(stat -c %s "$W/vorlex.scr") + $(stat -c %s "$W/glyph2.ani")) / 1024))
((size >= min && size < min + 1024)) || fail "EstimatedSize $size KiB, files $min KiB"
[ "$(value "$DESKTOP" SCRNSAVE.EXE)" = 'C:\windows\vorlex.scr' ] || fail "SCRNSAVE.EXE: $(value "$DESKTOP" SCRNSAVE.EXE)"
[ "$(value "$DESKTOP" ScreenSaveActive)" = 1 ] || fail "ScreenSaveActive: $(value "$DESKTOP" ScreenSaveActive)"
pass "/S /ACTIVATE: files in C:\\windows, licences, uninstall entry ($V, $size KiB), SCRNSAVE.EXE set"

# --- the installed saver, full-screen in a virtual desktop for two seconds
log=$W/vorlexcode_fs.log
xdotool mousemove 300 300 && sleep 0.2 && xdotool mousemove 301 300
wine explorer /desktop=vorlex_release,1280x1024 'C:\windows\vorlex.scr' /s >/dev/null 2>&1 &
saver=$!
for _ in $(seq 300); do grep -qF "[DrawVorlex] Thread created" "$log" 2>/dev/null && break; sleep 0.1; done
grep -qF "[DrawVorlex] Thread created" "$log" || fail "the installed saver did not start drawing"
sleep 2
kill -0 $saver 2>/dev/null || fail "the installed saver ended within two seconds"
xdotool mousemove 700 600 && sleep 0.3 && xdotool mousemove 200 150 key Escape
for _ in $(seq 150); do kill -0 $saver 2>/dev/null || break; sleep 0.1; done
! kill -0 $saver 2>/dev/null || fail "the installed saver did not end on input"
head -1 "$log" | grep -qxF "LOG_INFO: [InitErrorMsg] DEBUG SESSION STARTED" || fail "no start line: $(head -3 "$log")"
[ "$(tail -1 "$log")" = "[StopErrorMsg] DEBUG SESSION TERMINATED" ] || fail "no stop line: $(tail -3 "$log")"
grep -qxF "LOG_GOSSIP: [WM_CREATE] Fullscreen mode" "$log" || fail "not full-screen: $(cat "$log")"
! grep -q "LOG_ERROR\|LOG_PANIC" "$log" || fail "errors logged: $(grep "LOG_ERROR\|LOG_PANIC" "$log")"
pass "C:\\windows\\vorlex.scr /s ran full-screen for 2 s; the log has the start and stop lines, no errors"

# --- upgrade over it: files replaced, settings kept
wine reg add "$SETTINGS" /v Density /t REG_DWORD /d 123 /f >/dev/null 2>&1
echo damaged >"$W/glyph2.ani"
install
[ "$(value "$SETTINGS" Density)" = 0x7b ] || fail "Density after the upgrade: $(value "$SETTINGS" Density)"
pass "a second silent install replaces a damaged glyph2.ani and keeps Density 123"

# --- silent uninstall
touch "$W/vorlexcode.log"
desktop_before=$(query "$DESKTOP" /s | grep -v '^    SCRNSAVE.EXE    ')
wine "$PF/uninstall.exe" /S
wineserver -w
for f in vorlex.scr glyph2.ani vorlexcode.log vorlexcode_fs.log; do [ ! -e "$W/$f" ] || fail "$f left behind"; done
[ ! -e "$PF" ] || fail "$PF left behind: $(ls "$PF")"
! query "$UNINSTALL" >/dev/null || fail "uninstall entry left behind"
[ -z "$(value "$DESKTOP" SCRNSAVE.EXE)" ] || fail "SCRNSAVE.EXE left: $(value "$DESKTOP" SCRNSAVE.EXE)"
diff <(echo "$desktop_before") <(echo "$(query "$DESKTOP" /s)") || fail "other Control Panel\\Desktop values changed"
[ "$(value "$SETTINGS" Density)" = 0x7b ] || fail "silent uninstall removed the settings"
pass "/S uninstall: files, logs, licences and entry gone, SCRNSAVE.EXE cleared, the rest of Desktop and the settings kept"

# --- a current saver other than Vorlex: a silent install and an uninstall leave it alone
other='C:\windows\other.scr'
wine reg add "$DESKTOP" /v SCRNSAVE.EXE /d "$other" /f >/dev/null 2>&1
install
wine "$PF/uninstall.exe" /S
wineserver -w
[ "$(value "$DESKTOP" SCRNSAVE.EXE)" = "$other" ] || fail "SCRNSAVE.EXE $other became '$(value "$DESKTOP" SCRNSAVE.EXE)'"
pass "SCRNSAVE.EXE naming another saver survives /S install and uninstall"

# --- the version in the module is the project's
got=$(wrestool -x --raw -t16 "$VORLEX_OUT_DIR/vorlex.scr" | python3 -c 'import re, struct, sys
d = sys.stdin.buffer.read()
ms, ls = struct.unpack_from("<II", d, d.find(struct.pack("<I", 0xFEEF04BD)) + 8)
s = dict(re.findall("(FileVersion|ProductVersion)\0+([^\0]+)", d.decode("utf-16-le", "replace")))
print(ms >> 16, ms & 65535, ls >> 16, ls & 65535, s["FileVersion"], s["ProductVersion"])')
[ "$got" = "${V//./ } 0 $V $V" ] || fail "version record: $got, project $V"
pass "the module's version record says $V"
