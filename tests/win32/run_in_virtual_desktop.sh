#!/usr/bin/env bash
# Runs a Windows test program inside a Wine virtual desktop, where full-screen DirectDraw
# can switch display modes. Usage: run_in_virtual_desktop.sh PROGRAM [ARGS...]
# The desktop's exit status is not the program's, so the verdict comes from the
# program's XML report. VORLEX_WINE_RUN names cmake/wine-run.sh (which starts the X server).
set -euo pipefail

program=$1
shift
report=vorlex_desktop_report_$$.xml
rm -f "$report"
trap 'rm -f "$report"' EXIT

"${VORLEX_WINE_RUN:?}" explorer /desktop=vorlex_test,1280x1024 "$program" "$@" --gtest_output="xml:$report" || true

if [ ! -s "$report" ]; then
  echo "no test report: the program did not finish" >&2
  exit 1
fi
summary=$(grep -m1 '<testsuites ' "$report")
echo "$summary"
tests=$(sed -n 's/.* tests="\([0-9]*\)".*/\1/p' <<<"$summary")
failures=$(sed -n 's/.* failures="\([0-9]*\)".*/\1/p' <<<"$summary")
errors=$(sed -n 's/.* errors="\([0-9]*\)".*/\1/p' <<<"$summary")
[ "${tests:-0}" -gt 0 ] && [ "${failures:-1}" -eq 0 ] && [ "${errors:-1}" -eq 0 ]
