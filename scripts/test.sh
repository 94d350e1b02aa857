#!/usr/bin/env bash
# Sets up the machine, builds every preset and runs every test:
#   native-asan (AddressSanitizer + UBSan: every native test), native (Debug: the X11 cases a sanitizer
#   slows too much, and the package), native-tsan (ThreadSanitizer), windows64 (the same sources for x86_64:
#   unit and end-to-end tests under Wine), windows (mingw-w64 i686, the product: its Wine tests too where this
#   machine runs 32-bit programs, otherwise the module is built and the tests are skipped with one line), a
#   short fuzzing run, and the format check. Exits non-zero when anything fails.
set -uo pipefail
cd "$(dirname "$0")/.."
mkdir -p build

# The Linux half first; the Windows toolchain and Wine install while the sanitizer build runs.
bash scripts/bootstrap.sh --linux || exit 1
bash scripts/bootstrap.sh >build/bootstrap.log 2>&1 &
bootstrap=$!

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1}
jobs=${JOBS:-2}
passed=0
failed=0
problems=()

# build_preset PRESET [TARGET...]: configure and build (everything, or the targets); a failure is
# counted and the log's end shown.
build_preset() {
  local preset=$1
  shift
  echo "=== $preset: configure and build (${SECONDS}s)"
  if cmake --preset "$preset" >"build/$preset.log" 2>&1 &&
    cmake --build --preset "$preset" -j"$jobs" ${1:+--target "$@"} >>"build/$preset.log" 2>&1; then
    return 0
  fi
  tail -40 "build/$preset.log"
  problems+=("$preset: build failed")
  failed=$((failed + 1))
  return 1
}

# ctest_preset PRESET PARALLEL [TEST-REGEX]: the tests, their output into build/PRESET.ctest.
ctest_preset() {
  ctest --preset "$1" -j"$2" ${3:+-R "$3"} >"build/$1.ctest" 2>&1
}

# count_preset PRESET RC: adds what build/PRESET.ctest says to the totals.
count_preset() {
  local preset=$1 rc=$2 out line total nfail
  out=$(cat "build/$preset.ctest")
  # Passed cases only as a count; anything else (failures, timeouts) in full.
  echo "$out" | grep -vE '^\s*(Start +[0-9]+:|[0-9]+/[0-9]+ Test +#[0-9]+: .*Passed)' | grep -v '^\s*$' | tail -40
  line=$(echo "$out" | grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' | tail -1)
  total=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
  nfail=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed.*/\1/')
  if [ -z "$line" ]; then
    problems+=("$preset: no test result")
    failed=$((failed + 1))
    return
  fi
  passed=$((passed + total - nfail))
  failed=$((failed + nfail))
  [ "$rc" -eq 0 ] || problems+=("$preset: $nfail of $total failed")
}

# run_preset PRESET PARALLEL [TARGET [TEST-REGEX]]: build, test, count.
run_preset() {
  # shellcheck disable=SC2086  # the targets: one word each
  build_preset "$1" ${3:-} || return
  echo "=== $1: test (${SECONDS}s)"
  local rc=0
  ctest_preset "$1" "$2" "${4:-}" || rc=$?
  count_preset "$1" "$rc"
}

run_preset native-asan "$jobs"
if ! wait "$bootstrap"; then
  cat build/bootstrap.log
  echo "FAILED: bootstrap"
  exit 1
fi
tail -1 build/bootstrap.log

# The Wine tests spend most of their time waiting on Wine and its X servers, so they run in the
# background while the sanitizer builds and the fuzzers use the processors. Within a preset the
# end-to-end cases share one X server and prefix (a resource lock keeps them in turn); the unit,
# Win32, platform and installer tests run beside them. The bootstrap installs Wine's 32-bit half
# only where the kernel runs 32-bit programs: there the i686 product's tests run too.
wine_presets=(windows64)
if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  wine_presets+=(windows)
else
  echo "=== windows: i686 Wine tests skipped: this machine cannot execute 32-bit programs; the module is built"
fi
wine_built=()
for preset in "${wine_presets[@]}"; do
  if build_preset "$preset"; then
    wine_built+=("$preset")
  fi
done
(
  for preset in "${wine_built[@]}"; do
    rc=0
    ctest_preset "$preset" 2 || rc=$?
    echo "$rc" >"build/$preset.rc"
  done
) &
wine_tests=$!
echo "=== ${wine_built[*]}: Wine tests started (${SECONDS}s)"

# The X11 cases whose frame rate a sanitizer cuts, and the package (its files only are built).
run_preset native "$jobs" "vorlex_x11_program glyph_set vorlex_man_page vorlex_changelog" 'x11_(settings|deb)'
# ThreadSanitizer is for the render thread's handshake with the window thread.
run_preset native-tsan "$jobs" vorlex_thread_tests 'RenderLoop'
# Where its Wine tests do not run, the i686 product is still built.
if [[ " ${wine_presets[*]} " != *" windows "* ]] && build_preset windows vorlex_scr glyph_set; then
  passed=$((passed + 1))
fi

if [ -x fuzz/run.sh ]; then
  echo "=== fuzz: short run (${SECONDS}s)"
  if bash fuzz/run.sh "${FUZZ_SECONDS:-4}"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    problems+=("fuzz")
  fi
fi

echo "=== format (${SECONDS}s)"
if bash scripts/format-check.sh; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  problems+=("format")
fi

echo "=== ${wine_built[*]}: waiting for the Wine tests (${SECONDS}s)"
wait "$wine_tests"
for preset in "${wine_built[@]}"; do
  echo "=== $preset: Wine test results (${SECONDS}s)"
  count_preset "$preset" "$(cat "build/$preset.rc" 2>/dev/null || echo 1)"
done

for p in "${problems[@]}"; do echo "FAILED: $p"; done
echo "all: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
