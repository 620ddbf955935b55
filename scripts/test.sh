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

# The test binaries whose tests run under ThreadSanitizer: those registered THREADED in
# tests/. The tsan build makes only these; each must be built and have tests in the
# labelled run, and no other may be built, so a lost label stops the run, and so does a
# new THREADED binary until it is named here.
THREADED_BINARIES="e2e_window_tests engine_threaded_tests mask_window_tests ndi_threaded_tests
preview_tests window_tests"

check_threaded_run() {
    run=build/tsan/threaded-run.txt
    ctest --preset tsan --show-only | sed -n 's/^ *Test *#[0-9]*: //p' | sort >"$run"
    built=$(find build/tsan/tests -name '*_tests.cmake' | sed 's|.*/||; s/\[.*//' | sort)
    # shellcheck disable=SC2086
    expected=$(printf '%s\n' $THREADED_BINARIES | sort)
    if [ "$built" != "$expected" ]; then
        echo "ThreadSanitizer test binaries built:" $built "; expected:" $expected >&2
        exit 1
    fi
    for list in build/tsan/tests/*/*_tests.cmake; do
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
