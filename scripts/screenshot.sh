#!/bin/sh
# Takes a screenshot of the real Skyfill window on a virtual X display:
#   ./scripts/screenshot.sh [output.png]   (default build/screenshots/skyfill.png)
# The window keeps its presets in a fresh folder, so no preset file of the user's is
# read or written.
set -eu
cd "$(dirname "$0")/.."
out="${1:-build/screenshots/skyfill.png}"
mkdir -p "$(dirname "$out")"
out="$(cd "$(dirname "$out")" && pwd)/$(basename "$out")"
./scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target skyfill
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cat > "$work/take.sh" <<INNER
#!/bin/sh
cd "$work"
"$(pwd)/build/default/app/skyfill" --presets-dir "$work" &
pid=\$!
sleep 4
xwd -root -silent | xwdtopnm 2>/dev/null | pnmcrop -black 2>/dev/null | pnmtopng > "$out"
kill -TERM \$pid
wait \$pid
INNER
chmod +x "$work/take.sh"
xvfb-run -a -s "-screen 0 1400x900x24" "$work/take.sh"
echo "screenshot: $out"
