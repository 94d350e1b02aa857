#!/usr/bin/env bash
# Runs a Windows program under Wine for CTest, in one prefix per build tree, on a virtual X server without a display.
# Environment: WINEPREFIX (default: <build dir>/wineprefix), VORLEX_XVFB_SCREEN (default 1280x1024x16: windowed
# DirectDraw needs a 16-bit desktop).
set -euo pipefail
# shellcheck source=../scripts/lib/harness.sh
. "$(dirname "$0")/../scripts/lib/harness.sh"

dir=$PWD
while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do
  dir=$(dirname "$dir")
done
[ -f "$dir/CMakeCache.txt" ] || dir=${TMPDIR:-/tmp}
export HARNESS_WINE_TEMPLATE=${HARNESS_WINE_TEMPLATE:-$dir/wine-template}
prefix=${WINEPREFIX:-$dir/wineprefix}
screen=${VORLEX_XVFB_SCREEN:-1280x1024x16}
# The prefix's wineserver outlives this run, for the next test; the X server does not.
trap 'harness_stop --x-only' EXIT
harness_use_display "${screen##*x}" "${screen%x*}"
harness_reg_view "$1"
harness_wine_prefix "$prefix"
wine "$@"
