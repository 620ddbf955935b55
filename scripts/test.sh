#!/bin/sh
# Builds and runs every test: the whole suite in the default and the
# AddressSanitizer+UndefinedBehaviorSanitizer builds, and the threaded tests
# under ThreadSanitizer, the end-to-end tests with the vendor's NDI runtime among them.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
# The vendor's NDI runtime for the end-to-end tests; they skip without it.
./scripts/fetch-ndi-runtime.sh
export QT_QPA_PLATFORM=offscreen
for preset in default asan-ubsan tsan; do
    echo "=== $preset ==="
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    # Session-bus tests need a bus of their own; dbus-run-session gives one.
    dbus-run-session -- ctest --preset "$preset"
done
echo "All test runs passed."
