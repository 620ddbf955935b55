#!/bin/sh
# Builds and runs every test: the whole suite in the default and the
# AddressSanitizer+UndefinedBehaviorSanitizer builds, and the threaded tests
# under ThreadSanitizer, the end-to-end tests with the vendor's NDI runtime among them.
# The test presets run two tests at a time; tests that share something outside their
# own process take a RESOURCE_LOCK (see tests/).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
# The vendor's NDI runtime for the end-to-end tests; they skip without it.
./scripts/fetch-ndi-runtime.sh
export QT_QPA_PLATFORM=offscreen

# The tsan build makes only the test binaries registered THREADED; each must have tests
# in the labelled run, or a binary whose label got lost would drop out of it unseen.
check_threaded_run() {
    run=build/tsan/threaded-run.txt
    ctest --preset tsan --show-only | sed -n 's/^ *Test *#[0-9]*: //p' | sort >"$run"
    find build/tsan/tests -name '*_tests.cmake' | sort | while IFS= read -r list; do
        if ! grep -o 'gtest_filter=[^] ]*' "$list" | sed 's/^gtest_filter=//' | sort |
            comm -12 "$run" - | grep -q .; then
            echo "No test of $(basename "$list" | sed 's/\[.*//') is in the ThreadSanitizer run" >&2
            exit 1
        fi
    done
    echo "ThreadSanitizer run: $(wc -l <"$run") tests"
}

for preset in default asan-ubsan tsan; do
    echo "=== $preset ==="
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    if [ "$preset" = tsan ]; then
        check_threaded_run
    fi
    # Session-bus tests need a bus of their own; dbus-run-session gives one.
    dbus-run-session -- ctest --preset "$preset"
done
echo "All test runs passed."
