# shellcheck shell=bash
# Two monitors for Wine: Xephyr with Xinerama inside an Xvfb (Xvfb's own Xinerama puts every screen at 0,0, and
# Wine then sees one monitor). Source after harness.sh; harness_stop ends both servers.
#
#   harness_start_xephyr DEPTH SCREEN...   e.g. 24 1024x768+0+0 800x600+1024+0; sets HARNESS_DISPLAY (":N")

harness_start_xephyr() {  # DEPTH SCREEN...
  local depth=$1 file pid n s args=() _
  shift
  harness_start_xvfb "$depth" 2048x1536 || return 1
  for s; do args+=(-screen "$s"); done
  file=$(mktemp) || return 1
  # Without RandR Wine cannot change modes here, but it sees each Xinerama screen as a monitor.
  DISPLAY=$HARNESS_DISPLAY Xephyr -displayfd 9 +xinerama -extension RANDR -nolisten tcp "${args[@]}" \
    9>"$file" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 200); do
    n=$(head -1 "$file" 2>/dev/null) || true
    if [[ $n =~ ^[0-9]+$ ]] && [ -e "/tmp/.X11-unix/X$n" ]; then
      rm -f "$file"
      HARNESS_PIDS+=("$pid")
      HARNESS_DISPLAY=":$n"
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  kill "$pid" 2>/dev/null || true
  rm -f "$file"
  echo "harness: no Xephyr server could be started" >&2
  return 1
}
