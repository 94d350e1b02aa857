# Shared harness for the scripts and tests that need a virtual X server or Wine.
# Source it; it defines functions only. Every process it starts is recorded by id and
# ended by harness_stop, so callers never end processes they did not start.
#
#   harness_start_xvfb DEPTH [SIZE]   start Xvfb on a free display; sets HARNESS_DISPLAY (":N")
#   harness_wine_prefix DIR           make DIR a ready Wine prefix (idempotent, locked)
#   harness_stop                      end the recorded X servers and the prefixes' wineservers

HARNESS_PIDS=()
HARNESS_PREFIXES=()

harness_free_display() {
  local n
  for n in $(seq 91 199); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || { echo "$n"; return 0; }
  done
  return 1
}

harness_start_xvfb() {  # DEPTH [SIZE]
  local depth=$1 size=${2:-1280x1024} n pid try
  # Two callers may pick the same free number; the loser's Xvfb exits and we try the next.
  for try in 1 2 3 4 5; do
    n=$(harness_free_display) || return 1
    Xvfb ":$n" -screen 0 "${size}x$depth" -nolisten tcp >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 100); do
      if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$pid" 2>/dev/null; then
        HARNESS_PIDS+=("$pid")
        HARNESS_DISPLAY=":$n"
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
    kill "$pid" 2>/dev/null || true
  done
  echo "harness: no virtual X server could be started" >&2
  return 1
}

harness_wine_prefix() {  # DIR
  local prefix=$1
  mkdir -p "$(dirname "$prefix")"
  HARNESS_PREFIXES+=("$prefix")
  (
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
      WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i </dev/null >/dev/null 2>&1 || true
      WINEPREFIX=$prefix WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
        /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 || true
      WINEPREFIX=$prefix wineserver -w
    fi
  ) 9>"$prefix.lock"
}

harness_stop() {
  local p
  for p in "${HARNESS_PREFIXES[@]}"; do
    [ -d "$p" ] && WINEPREFIX=$p wineserver -k 2>/dev/null || true
  done
  for p in "${HARNESS_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  HARNESS_PIDS=()
  HARNESS_PREFIXES=()
}
