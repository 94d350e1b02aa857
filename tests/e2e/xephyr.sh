# shellcheck shell=bash
# Two monitors for Wine: Xephyr with Xinerama inside an Xvfb (Xvfb's own Xinerama puts every screen at 0,0, and
# Wine then sees one monitor). Source after harness.sh; harness_stop ends both servers.
#
#   harness_start_xephyr DEPTH SCREEN...   e.g. 24 1024x768+0+0 800x600+1024+0; sets HARNESS_DISPLAY (":N")

harness_start_xephyr() {  # DEPTH SCREEN...
  local depth=$1 s args=()
  shift
  harness_start_xvfb "$depth" 2048x1536 || return 1
  for s; do
    args+=(-screen "$s")
  done
  # Without RandR Wine cannot change modes here, but it sees each Xinerama screen as a monitor.
  args+=(+xinerama -extension RANDR -nolisten tcp)
  harness_start_server Xephyr env DISPLAY="$HARNESS_DISPLAY" Xephyr "${args[@]}"
}
