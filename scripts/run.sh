#!/bin/sh
# Builds Skyfill and starts it.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset default
cmake --build --preset default --target skyfill
exec ./build/default/app/skyfill "$@"
