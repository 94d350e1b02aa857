#!/usr/bin/env bash
# Runs a Windows test program inside a Wine virtual desktop, where full-screen DirectDraw
# can switch display modes. Usage: run_in_virtual_desktop.sh PROGRAM [ARGS...]
# The desktop's exit status is not the program's, so the verdict comes from the
# program's XML report. VORLEX_WINE_RUN names cmake/wine-run.sh (X server and prefix).
set -euo pipefail

program=$1
shift
report=vorlex_desktop_report_$$.xml
rm -f "$report"
trap 'rm -f "$report"' EXIT

"${VORLEX_WINE_RUN:?}" explorer /desktop=vorlex_test,1280x1024 "$program" "$@" --gtest_output="xml:$report" || true

[ -s "$report" ] || { echo "no test report: the program did not finish" >&2; exit 1; }
summary=$(grep -m1 '<testsuites ' "$report")
echo "$summary"
count() { sed -n "s/.* $1=\"\([0-9]*\)\".*/\1/p" <<<"$summary"; }
[ "$(count tests)" -gt 0 ] 2>/dev/null && [ "$(count failures)" = 0 ] && [ "$(count errors)" = 0 ]
