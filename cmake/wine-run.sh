#!/usr/bin/env bash
# Runs a Windows program under Wine for CTest and the scripts.
# Keeps one Wine prefix per build tree and starts a virtual X server when there is none.
# Environment: WINEPREFIX (default: <build dir>/wineprefix), VORLEX_XVFB_SCREEN
# (default 1280x1024x16: windowed DirectDraw needs a 16-bit desktop).
set -euo pipefail

if [ -z "${DISPLAY:-}" ] && [ -z "${VORLEX_IN_XVFB:-}" ]; then
  export VORLEX_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 ${VORLEX_XVFB_SCREEN:-1280x1024x16} -nolisten tcp" "$0" "$@"
fi

if [ -z "${WINEPREFIX:-}" ]; then
  dir=$PWD
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ -f "$dir/CMakeCache.txt" ] || dir=${TMPDIR:-/tmp}
  export WINEPREFIX="$dir/wineprefix"
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

# First use of a prefix takes a few seconds; a lock keeps parallel tests from racing.
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
    wineserver -w
  fi
) 9>"$WINEPREFIX.lock"

exec wine "$@"
