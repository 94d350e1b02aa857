#!/usr/bin/env bash
# Sets up the machine, builds every preset and runs every test:
#   native (Debug), native-asan (AddressSanitizer + UBSan), native-tsan (ThreadSanitizer),
#   windows64 (the same sources for x86_64: unit and end-to-end tests under Wine), windows
#   (mingw-w64 i686, the product: its Wine tests too where this machine runs 32-bit programs,
#   otherwise the module is built and the tests are skipped with one line), a short fuzzing run,
#   and the format check. Exits non-zero when anything fails.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh || exit 1

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1}
jobs=${JOBS:-2}
passed=0
failed=0
problems=()

# run_preset PRESET PARALLEL [TARGET [TEST-REGEX]]: build (everything, or one target) and test.
run_preset() {
  local preset=$1 parallel=$2 target=${3:-} only=${4:-}
  echo "=== $preset: configure and build (${SECONDS}s)"
  if ! cmake --preset "$preset" >"build/$preset.log" 2>&1 ||
    ! cmake --build --preset "$preset" -j"$jobs" ${target:+--target "$target"} >>"build/$preset.log" 2>&1; then
    tail -40 "build/$preset.log"
    problems+=("$preset: build failed")
    failed=$((failed + 1))
    return
  fi
  echo "=== $preset: test (${SECONDS}s)"
  local out
  out=$(ctest --preset "$preset" -j"$parallel" ${only:+-R "$only"} 2>&1)
  local rc=$?
  # Passed cases only as a count; anything else (failures, timeouts) in full.
  echo "$out" | grep -vE '^\s*(Start +[0-9]+:|[0-9]+/[0-9]+ Test +#[0-9]+: .*Passed)' | grep -v '^\s*$' | tail -40
  local line total nfail
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
  [ $rc -eq 0 ] || problems+=("$preset: $nfail of $total failed")
}

mkdir -p build
run_preset native "$jobs"
run_preset native-asan "$jobs"
# ThreadSanitizer is for the render thread's handshake with the window thread.
run_preset native-tsan "$jobs" vorlex_tests 'RenderLoop'
# The end-to-end cases share one X server and prefix (a resource lock keeps them in turn);
# the unit, Win32 and installer tests run beside them.
run_preset windows64 2
# The bootstrap installs Wine's 32-bit half only where the kernel runs 32-bit programs.
if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  run_preset windows 2
else
  echo "=== windows: i686 Wine tests skipped: this machine cannot execute 32-bit programs; the module is built"
  if cmake --preset windows >build/windows.log 2>&1 &&
    cmake --build --preset windows -j"$jobs" --target vorlex_scr glyph_set >>build/windows.log 2>&1; then
    passed=$((passed + 1))
  else
    tail -40 build/windows.log
    problems+=("windows: module build failed")
    failed=$((failed + 1))
  fi
fi

if [ -x scripts/fuzz.sh ]; then
  echo "=== fuzz: short run (${SECONDS}s)"
  if bash scripts/fuzz.sh "${FUZZ_SECONDS:-4}"; then
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

for p in "${problems[@]}"; do echo "FAILED: $p"; done
echo "all: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
