#!/bin/sh
# Runs the multi-copy tests again and again in the AddressSanitizer build while two
# busy loops take both cores, to show they do not depend on timing. Usage:
#   scripts/stress-copies.sh [RUNS]     (default 20; build the asan-ubsan preset first)
set -eu
cd "$(dirname "$0")/../build/asan-ubsan"
runs=${1:-20}
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
yes > /dev/null & busy1=$!
yes > /dev/null & busy2=$!
trap 'kill $busy1 $busy2 2>/dev/null' EXIT INT TERM
failed=0
i=1
while [ "$i" -le "$runs" ]; do
    if dbus-run-session -- sh -c \
        './tests/bus/bus_tests --gtest_filter=BusCoordination* && ./tests/app/copies_tests' > "stress-$i.log" 2>&1; then
        echo "run $i: passed"
    else
        echo "run $i: FAILED (build/asan-ubsan/stress-$i.log)"
        failed=$((failed + 1))
    fi
    i=$((i + 1))
done
echo "$failed of $runs runs failed"
[ "$failed" -eq 0 ]
