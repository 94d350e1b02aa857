#!/usr/bin/env bash
# The Windows installer under Wine in a prefix of its own: install, failed upgrades that leave the installed
# version whole, an upgrade, uninstalls.
set -Eeuo pipefail
: "${VORLEX_RELEASE_DIR:?}" "${VORLEX_SETUP:?}" "${VORLEX_OUT_DIR:?}" "${VORLEX_VERSION:?}"
. "$(dirname "$0")/../../scripts/lib/harness.sh"
. "$(dirname "$0")/../e2e/lib.sh"
trap 'rc=$? && harness_stop && [ $rc = 0 ] || failed_at' EXIT

V=$VORLEX_VERSION
OUT=$VORLEX_OUT_DIR
UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorlex'
DESKTOP='HKCU\Control Panel\Desktop'
rm -rf "$VORLEX_RELEASE_DIR"
harness_start_xvfb 24 1280x1024
export DISPLAY=$HARNESS_DISPLAY
harness_reg_view "$OUT/vorlex.scr"
harness_wine_prefix "$VORLEX_RELEASE_DIR/prefix"
W=$WINEPREFIX/drive_c/windows
value() { harness_reg query "$1" /v "$2" | sed -n "s/^    $2    REG_[A-Z_]*    //p"; }
install() {
  wine "$VORLEX_SETUP" /S "$@" || fail "installer $* ended with $?"
  cmp "$W/vorlex.scr" "$OUT/vorlex.scr" && cmp "$W/glyph2.ani" "$OUT/glyph2.ani" || fail "installer $*: other files"
}
uninstall() {
  wine "$PF/uninstall.exe" /S
  wineserver -w
}
installed() {  # the files, any beside them, the uninstall entry
  (cd "$W" && ls -l --full-time -- *.scr* *.ani* && md5sum vorlex.scr glyph2.ani)
  harness_reg query "$UNINSTALL"
}
refused() {  # WHAT COMMAND...: a silent install that must fail and change nothing
  local before rc=0
  before=$(installed)
  "${@:2}" "$VORLEX_SETUP" /S || rc=$?
  [ $rc != 0 ] || fail "$1: the install ended with 0"
  diff <(echo "$before") <(echo "$(installed)") || fail "$1: the installed version changed"
}
# 400 KiB of file size stand in for a full disk; the Wine server, which writes the registry, is out of the limit.
full_disk() {
  wineserver -p3 </dev/null >/dev/null 2>&1 || true
  (trap '' XFSZ && ulimit -f 400 && wine "$@")
}

# Silent install, activated, into the entry's folder (Program Files (x86) for i686 on x64).
install /ACTIVATE
loc=$(value "$UNINSTALL" InstallLocation)
[[ $loc == 'C:\Program Files'*'\Vorlex' ]] || fail "InstallLocation: '$loc'"
PF=$WINEPREFIX/drive_c/$(tr '\\' / <<<"${loc#C:\\}")
ls "$PF/LICENSE.txt" "$PF/DejaVu-LICENSE.txt"
entry=$(harness_reg query "$UNINSTALL")
for line in "DisplayName    REG_SZ    Vorlex Code Emulator" "DisplayVersion    REG_SZ    $V" \
  "Publisher    REG_SZ    Zelvoran" 'DisplayIcon    REG_SZ    C:\windows\vorlex.scr,0' \
  "UninstallString    REG_SZ    \"$loc\\uninstall.exe\"" \
  "QuietUninstallString    REG_SZ    \"$loc\\uninstall.exe\" /S" \
  "NoModify    REG_DWORD    0x1" "NoRepair    REG_DWORD    0x1"; do
  grep -qxF "    $line" <<<"$entry" || fail "uninstall entry lacks '$line': $entry"
done
is SCRNSAVE.EXE "$(value "$DESKTOP" SCRNSAVE.EXE)" 'C:\windows\vorlex.scr'
is ScreenSaveActive "$(value "$DESKTOP" ScreenSaveActive)" 1

# Failed upgrades of an older version (entry 0.9, older files): a full disk, then the saver running.
harness_reg add "$UNINSTALL" /v DisplayVersion /d 0.9 /f
touch -d 2001-01-01 "$W/vorlex.scr" "$W/glyph2.ani"
refused "a full disk" full_disk
log=$W/vorlexcode_fs.log
exit=$VORLEX_RELEASE_DIR/exit
xdotool mousemove 300 300
harness_bg "$exit" wine explorer /desktop=vorlex_release,1280x1024 'C:\windows\vorlex.scr' /s
drawing "$log" "$exit" || fail "the installed saver did not start drawing"
refused "the saver running" wine
[ ! -s "$exit" ] || fail "the saver ended during the install"
xdotool mousemove 700 600 key Escape
harness_wait "$exit" 15 >/dev/null || fail "the installed saver did not end on input"

# Upgrade over it: files replaced, settings kept.
harness_reg add "$KEY" /v Density /t REG_DWORD /d 123 /f
echo damaged >"$W/glyph2.ani"
install
is DisplayVersion "$(value "$UNINSTALL" DisplayVersion)" "$V"
is Density "$(value "$KEY" Density)" 0x7b

# Silent uninstall: the settings and the rest of Control Panel\Desktop stay.
touch "$W/vorlexcode.log"
desktop=$(harness_reg query "$DESKTOP" /s | grep -v '^    SCRNSAVE.EXE    ')
uninstall
for f in "$W/vorlex.scr" "$W/glyph2.ani" "$W/vorlexcode.log" "$log" "$PF"; do
  [ ! -e "$f" ] || fail "$f left behind"
done
! harness_reg query "$UNINSTALL" || fail "uninstall entry left behind"
is Desktop "$(harness_reg query "$DESKTOP" /s)" "$desktop"
is "Density after uninstall" "$(value "$KEY" Density)" 0x7b

# What is not Vorlex's stays: another current saver, a glyph file of the user's own.
other='C:\windows\other.scr'
harness_reg add "$DESKTOP" /v SCRNSAVE.EXE /d "$other" /f
install
echo "the user's own" >>"$W/glyph2.ani"
uninstall
is "another saver" "$(value "$DESKTOP" SCRNSAVE.EXE)" "$other"
[ ! -e "$W/vorlex.scr" ] || fail "vorlex.scr left behind"
is "the user's glyph file" "$(tail -c 15 "$W/glyph2.ani")" "the user's own"
