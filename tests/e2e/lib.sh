# shellcheck shell=bash
# Helpers of the Wine tests (e2e.sh, soak.sh, installer_test.sh); source after harness.sh.
KEY='HKLM\Software\Zelvoran\Vorlex Code Emulator'
fail() {
  echo "FAIL: $*" >&2
  at=
  exit 1
}
trap 'at="line $LINENO: $BASH_COMMAND"' ERR  # said at the exit (failed_at), unless fail has
failed_at() { [ -z "${at:-}" ] || echo "FAIL: $at" >&2; }
is() { [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"; }
probe() { harness_out wine 'C:\vorlex_probe.exe' "$@"; }
settings() {  # RESOLUTION DENSITY HIGHLIGHT
  harness_reg add "$KEY" /v Resolution /d "$1" /f
  harness_reg add "$KEY" /v Density /t REG_DWORD /d "$2" /f
  harness_reg add "$KEY" /v HighlightDensity /t REG_DWORD /d "$3" /f
}
prepare() {  # [RENDERER]: the saver, its glyphs and the probe in the prefix; GDI by default
  W=$WINEPREFIX/drive_c/windows
  cp "$VORLEX_SCR" "$VORLEX_ANI" "$W/"
  cp "$VORLEX_PROBE" "$WINEPREFIX/drive_c/vorlex_probe.exe"
  harness_wine_renderer "${1:-gdi}"
}
drawing() {  # LOG EXIT: waits 15 s at most for the render thread, while the saver runs
  local _
  for _ in $(seq 300); do
    ! grep -qF "[DrawVorlex] Thread created" "$1" 2>/dev/null || return 0
    [ ! -s "$2" ] || return 1
    sleep 0.05
  done
  return 1
}
