#!/bin/sh
# Builds and runs every test: the whole suite in the default and the
# AddressSanitizer+UndefinedBehaviorSanitizer builds, and the threaded tests
# under ThreadSanitizer, the end-to-end tests with the vendor's NDI runtime among them.
# The default preset runs two tests at a time, the sanitizer ones three: their tests
# wait on processes, the bus and the runtime more than they compute. Tests that share
# something outside their own process take a RESOURCE_LOCK (see tests/).
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
THREADED_BINARIES="bus_tests e2e_session_tests engine_threaded_tests session_tests
ndi_threaded_tests preview_tests window_tests"

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

# Each build but the first runs while the tests of the one before run, at idle priority:
# it takes only the CPU time those tests leave unused (much of it, as they wait on
# processes, timers and the bus), so it does not slow them down or make them late.
log_dir=build/logs
mkdir -p "$log_dir"
background_build=""
# In a session of its own, so that a failed run stops the whole build with it.
build_in_background() {
    setsid sh -c 'cmake --preset "$1" && exec chrt --idle 0 cmake --build --preset "$1"' \
        sh "$1" >"$log_dir/$1-build.log" 2>&1 &
    background_build=$!
}
trap '[ -z "$background_build" ] || kill -- "-$background_build" 2>/dev/null || true' EXIT
finish_background_build() {
    if ! wait "$background_build"; then
        cat "$log_dir/$1-build.log" >&2
        echo "The $1 build failed." >&2
        exit 1
    fi
    background_build=""
    tail -n 1 "$log_dir/$1-build.log"
}
run_tests() {
    # Session-bus tests need a bus of their own; dbus-run-session gives one.
    dbus-run-session -- ctest --preset "$1"
}

echo "=== default ==="
cmake --preset default
cmake --build --preset default
build_in_background asan-ubsan
run_tests default

echo "=== asan-ubsan ==="
finish_background_build asan-ubsan
build_in_background tsan
run_tests asan-ubsan

echo "=== tsan ==="
finish_background_build tsan
check_threaded_run
run_tests tsan
echo "All test runs passed."
