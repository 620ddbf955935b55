#!/bin/sh
# Builds Skyfill and starts it.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset default
cmake --build --preset default --target skyfill skyfill-monitor skyfill-remote
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    # Skyfill runs without a window then and keeps publishing.
    echo "skyfill: no display, running without a visible window." >&2
    echo "skyfill: watch the output with ./build/default/tools/skyfill-monitor list;" >&2
    echo "skyfill: start sending with ./build/default/tools/skyfill-remote start" >&2
    echo "skyfill: Ctrl+C ends it and keeps the settings in last.skf." >&2
fi
exec ./build/default/app/skyfill "$@"
