#!/bin/sh
# Fetches the NDI 6 runtime for Linux x86-64 (libndi.so.6 and its licence text) from the
# npm package @grandi/linux-x64 into .cache/ndi-runtime, once, checks the library against
# the SHA-256 recorded in scripts/ndi-runtime.sha256, and installs what it links against.
# Nothing else from the package is used. The runtime is under its vendor's licence
# (.cache/ndi-runtime/libndi_licenses.txt); it is not part of Skyfill.
#
# Without npm or the registry it says so in one line and exits 0: the real-runtime tests
# then skip, and everything else still runs.
set -eu
cd "$(dirname "$0")/.."
PACKAGE="@grandi/linux-x64@1.3.0"
CACHE=".cache/ndi-runtime"
EXPECTED="$(cut -d' ' -f1 scripts/ndi-runtime.sha256)"

skip() {
    echo "NDI runtime not available ($1): the real-runtime tests will be skipped."
    exit 0
}

have_library() {
    [ -f "$CACHE/libndi.so.6" ] &&
        [ "$(sha256sum "$CACHE/libndi.so.6" | cut -d' ' -f1)" = "$EXPECTED" ]
}

if ! have_library; then
    command -v npm >/dev/null 2>&1 || skip "npm is not installed"
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    (cd "$work" && npm pack --loglevel=error "$PACKAGE" >/dev/null 2>"$work/npm.log") ||
        skip "npm could not fetch $PACKAGE: $(grep -m 1 "npm error" "$work/npm.log")"
    tar -xzf "$work"/*.tgz -C "$work" package/libndi.so.6 package/libndi_licenses.txt ||
        skip "$PACKAGE does not hold libndi.so.6"
    actual="$(sha256sum "$work/package/libndi.so.6" | cut -d' ' -f1)"
    if [ "$actual" != "$EXPECTED" ]; then
        echo "NDI runtime from $PACKAGE has SHA-256 $actual, not the recorded $EXPECTED: refused." >&2
        exit 1
    fi
    mkdir -p "$CACHE"
    chmod 644 "$work/package/libndi.so.6" "$work/package/libndi_licenses.txt"
    mv "$work/package/libndi_licenses.txt" "$CACHE/"
    mv "$work/package/libndi.so.6" "$CACHE/"
fi

# What the library links against beyond the base system.
if ! dpkg-query -W -f='${Status}' libavahi-client3 2>/dev/null | grep -q "install ok installed"; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends libavahi-client3 ||
        skip "libavahi-client3 could not be installed"
fi
echo "NDI runtime: $(pwd)/$CACHE/libndi.so.6"
