# shellcheck shell=bash
# Shared harness for the scripts and tests that need a virtual X server or Wine.
# Source it; it defines functions only. Every process it starts is recorded by id and
# ended by harness_stop, so callers never end processes they did not start.
#
#   harness_start_xvfb DEPTH [SIZE]    start Xvfb on a free display; sets HARNESS_DISPLAY (":N");
#                                      HARNESS_XVFB_ARGS are added to its command line
#   harness_use_display DEPTH [SIZE]   keep $DISPLAY if there is one, else start Xvfb and export it
#   harness_reg_view MODULE            the registry view of MODULE (x86_64: /reg:64, i686: /reg:32) for
#                                      every harness_reg after it; call it before harness_wine_prefix
#   harness_reg ARGS...                `wine reg ARGS` in that view, quietly; a query prints what it read
#                                      and fails as reg does
#   harness_out COMMAND...             run COMMAND, print its standard output without CRs, return its code
#   harness_wine_prefix DIR [DESKTOP]  make DIR a ready Wine prefix (idempotent, locked) and export
#                                      WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES; with DESKTOP (WxH)
#                                      every program of a new prefix runs in a virtual desktop
#                                      copied from HARNESS_WINE_TEMPLATE (a prefix booted once) if set
#   harness_wine_renderer gdi|gl       Wine's Direct3D renderer for the current prefix (below)
#   harness_bg FILE COMMAND...         run COMMAND in the background; its exit code goes to FILE
#   harness_wait FILE SECONDS          print the exit code in FILE once it is there; fail after SECONDS
#   harness_wine_pid PATTERN           print the id of the newest process whose command matches
#   harness_stop [--x-only]            end the recorded X servers and (unless --x-only) the
#                                      prefixes' wineservers

HARNESS_PIDS=()
HARNESS_PREFIXES=()

# Starts an X server (COMMAND, to which -displayfd is added) and waits until it listens; sets
# HARNESS_DISPLAY. The server picks the display itself: it takes the lock file atomically, where
# a number we chose could be taken by a concurrent test between our look and its start.
harness_start_server() {  # WHAT COMMAND...
  local what=$1 file pid n _
  shift
  file=$(mktemp) || return 1
  "$@" -displayfd 9 9>"$file" >/dev/null 2>&1 &
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
  echo "harness: no $what could be started" >&2
  return 1
}

harness_start_xvfb() {  # DEPTH [SIZE]
  local depth=$1 size=${2:-1280x1024}
  harness_start_server "virtual X server" Xvfb -screen 0 "${size}x$depth" -nolisten tcp ${HARNESS_XVFB_ARGS:-}
}

harness_use_display() {  # DEPTH [SIZE]
  [ -n "${DISPLAY:-}" ] && return 0
  harness_start_xvfb "$@" || return 1
  export DISPLAY=$HARNESS_DISPLAY
}

harness_wine_prefix() {  # DIR [DESKTOP]
  local prefix=$1 desktop=${2:-}
  export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
  mkdir -p "$(dirname "$prefix")"
  [[ " ${HARNESS_PREFIXES[*]} " == *" $prefix "* ]] || HARNESS_PREFIXES+=("$prefix")
  (
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
      if [ -n "${HARNESS_WINE_TEMPLATE:-}" ]; then
        harness_wine_template "$prefix"
      else
        harness_wine_boot
      fi
      if [ -n "$desktop" ]; then
        harness_reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
        harness_reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$desktop" /f
      fi
      wineserver -w
    fi
  ) 9>"$prefix.lock"
}

harness_wine_boot() {  # in WINEPREFIX
  wineboot -i </dev/null >/dev/null 2>&1 || true
  harness_reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
}

# Booting a prefix takes 10 to 30 s; one booted prefix is copied instead. The Windows folder's system32 is
# most of its size and is only read, so its files are linked, not copied.
harness_wine_template() {  # DIR
  local t=$HARNESS_WINE_TEMPLATE
  mkdir -p "$(dirname "$t")"
  (
    flock 8
    if [ ! -f "$t/system.reg" ]; then
      WINEPREFIX=$t harness_wine_boot
      WINEPREFIX=$t wineserver -w
    fi
  ) 8>"$t.lock"
  mkdir -p "$1"
  tar -C "$t" --exclude=./drive_c/windows/system32 -cf - . | tar -C "$1" -xf -
  cp -al "$t/drive_c/windows/system32" "$1/drive_c/windows/"
}

# On multiarch Wine `wine reg` is the 32-bit reg.exe and sees the 32-bit view, while an x86_64
# module uses the 64-bit one: every call names the view of the module under test.
harness_reg_view() {  # MODULE: by its PE header's machine field
  local at
  at=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  case $(od -An -tx2 -j$((at + 4)) -N2 "$1" | tr -d ' ') in
    8664) HARNESS_REG_VIEW=/reg:64 ;;
    014c) HARNESS_REG_VIEW=/reg:32 ;;
    *) echo "harness: $1 is neither an x86_64 nor an i686 module" >&2 && return 1 ;;
  esac
}

harness_reg() {  # ARGS...
  if [ "$1" = query ]; then
    harness_out wine reg "$@" "${HARNESS_REG_VIEW:?harness_reg_view first}"
  else
    wine reg "$@" "${HARNESS_REG_VIEW:?harness_reg_view first}" </dev/null >/dev/null 2>&1 || true
  fi
}

# Through a file: a Wine server that the command starts would hold a pipe open.
harness_out() {  # COMMAND...
  local file rc=0
  file=$(mktemp)
  "$@" </dev/null >"$file" 2>/dev/null || rc=$?
  tr -d '\r' <"$file"
  rm -f "$file"
  return $rc
}

# Wine's OpenGL renderer on a virtual X server (Mesa's software driver) grows by about 380 KiB
# a minute on its own (a program with the same display set-up, render loop and flips that draws
# nothing grows alike: bench/empty_effect_win32.cpp) and crashes in about 3 % of preview closes, in
# the C library's thread exit after the saver's teardown (exit 139; the saver's log has its stop
# line). Neither happens with the GDI renderer, which the soak and the e2e tests take.
harness_wine_renderer() {  # gdi|gl
  if [ "$1" = gdi ]; then
    harness_reg add 'HKCU\Software\Wine\Direct3D' /v renderer /d gdi /f
  else
    harness_reg delete 'HKCU\Software\Wine\Direct3D' /v renderer /f
  fi
}

harness_bg() {  # FILE COMMAND...
  local file=$1
  shift
  rm -f "$file"
  (
    rc=0
    "$@" || rc=$?
    echo "$rc" >"$file"
  ) </dev/null >/dev/null 2>&1 &
}

harness_wait() {  # FILE SECONDS
  local _
  for _ in $(seq $(($2 * 20))); do
    if [ -s "$1" ]; then
      cat "$1"
      return 0
    fi
    sleep 0.05
  done
  return 1
}

# The Linux process running a Windows program, by a pattern of its path inside the prefix.
harness_wine_pid() {  # PATTERN
  local pid _
  for _ in $(seq 200); do
    if pid=$(pgrep -n -f "$1"); then
      echo "$pid"
      return 0
    fi
    sleep 0.05
  done
  echo "harness: $1 did not start" >&2
  return 1
}

harness_stop() {  # [--x-only]
  local p
  if [ "${1:-}" != --x-only ]; then
    for p in "${HARNESS_PREFIXES[@]}"; do
      [ -d "$p" ] && WINEPREFIX=$p wineserver -k 2>/dev/null || true
    done
  fi
  for p in "${HARNESS_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  HARNESS_PIDS=()
  HARNESS_PREFIXES=()
}
