#!/usr/bin/env bash
# Builds vtk290 and runs all its tests: windows offscreen, devices simulated on pseudo-terminals.
# Then the same suite under AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzz
# targets for a bounded time. VTK290_QUICK=1 runs the first stage only.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
export QT_QPA_PLATFORM=offscreen
passed=0

# The end-to-end tests mostly wait for the paced serial line (the whole suite uses a few seconds
# of processor time): eight run side by side.
run_suite() {
    local dir="$1" log
    shift
    log="$(mktemp)"
    ctest --test-dir "$dir" --output-on-failure -j8 --timeout 400 "$@" | tee "$log"
    passed=$((passed + $(sed -n 's/.* 0 tests failed out of \([0-9]*\)$/\1/p' "$log")))
    rm -f "$log"
}

echo "== Tests"
# ser2net, a serial device server, for the tests of network ports only (the package does not
# need it).
"$root/scripts/install-deps.sh" ser2net
"$root/scripts/build.sh"
run_suite "$build"

if [ "${VTK290_QUICK:-0}" != 1 ]; then
    echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
    # The rows of devices answering 0.9 or 1.3 s late wait on the device, not on the program's
    # memory: the first stage runs them, the sanitizers see the same code in the faster rows.
    slow_rows='^tst_answers\.emptyLineAnswers_.*_(0_9|1_3)_s_'

    BUILD_DIR="$root/build-asan" BUILD_TYPE=Debug "$root/scripts/build.sh" -DVTK290_SANITIZE=ON
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp" run_suite "$root/build-asan" \
        -E "$slow_rows"

    echo "== Fuzzing"
    "$root/scripts/fuzz.sh"
    passed=$((passed + $(ls "$root"/fuzz/fuzz_*.cpp | wc -l)))
fi
echo "tests: $passed passed, 0 failed"
