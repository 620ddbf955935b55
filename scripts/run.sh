#!/bin/sh
# Builds Skyfill and starts it.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset default
cmake --build --preset default --target skyfill skyfill-monitor
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    # A server without a desktop still publishes the source; the window is just not shown.
    echo "skyfill: no display, running without a visible window." >&2
    echo "skyfill: watch the output with ./build/default/tools/skyfill-monitor list;" >&2
    echo "skyfill: start sending with: dbus-send --session --type=signal /KovaCo/UK/Skyfill uk.KovaCo.Skyfill.Post int32:1 int64:1" >&2
    echo "skyfill: Ctrl+C ends it and keeps the settings in last.skf." >&2
    export QT_QPA_PLATFORM=offscreen
fi
exec ./build/default/app/skyfill "$@"
