#!/usr/bin/env bash
# What skyfill-control costs: N headless copies sending (rotating colours, clouds on)
# and skyfill-control beside them, measured twice over the same window: first with no
# client (idle), then with what the control page does (its event socket open and one
# snapshot a second of each copy, 480 pixels wide). Prints the control program's CPU
# share of one core in each, and each copy's CPU with and without the page and the
# difference. A private session bus, the built-in stand-in unless --runtime. Usage:
#   scripts/control-load.sh N [--size WxH] [--window SECONDS] [--runtime DIR] [--bin DIR]
set -euo pipefail
. "$(dirname "$0")/settled_number.sh"

usage() {
    echo "usage: scripts/control-load.sh N [--size WxH] [--window SECONDS] [--runtime DIR]" \
        "[--bin DIR]" >&2
    exit 2
}
fail() { echo "control-load.sh: $*" >&2; exit 1; }

copies="" size=1280x720 window=20 runtime=""
bin="$(cd "$(dirname "$0")/.." && pwd)/build/default"
while [ $# -gt 0 ]; do
    case $1 in
    --size | --window | --runtime | --bin)
        [ $# -ge 2 ] || usage
        case $1 in --size) size=$2 ;; --window) window=$2 ;; --runtime) runtime=$2 ;;
        --bin) bin=$2 ;; esac
        shift ;;
    -*) usage ;;
    *) [ -z "$copies" ] || usage; copies=$1 ;;
    esac
    shift
done
case $copies in '' | *[!0-9]*) usage ;; esac
if [ "$copies" -lt 1 ] || [ "$copies" -gt 8 ]; then usage; fi
bin=$(cd "$bin" && pwd)
for program in app/skyfill control/skyfill-control; do
    [ -x "$bin/$program" ] || fail "$bin/$program is missing; build it first"
done

if [ -z "${SKYFILL_CONTROL_LOAD_BUS:-}" ]; then
    export SKYFILL_CONTROL_LOAD_BUS=1
    exec dbus-run-session -- bash "$0" "$copies" --size "$size" --window "$window" \
        --bin "$bin" ${runtime:+--runtime "$runtime"}
fi
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM NDI_RUNTIME_DIR_V6 NDI_RUNTIME_DIR_V5
if [ -n "$runtime" ]; then
    NDI_RUNTIME_DIR_V6=$(cd "$runtime" && pwd)
    export NDI_RUNTIME_DIR_V6
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/skyfill-control-load.XXXXXX")
export XDG_CONFIG_HOME=$work/config SKYFILL_STANDIN_SCOPE=controlload$$
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# The look load.sh measures: rotating clockwise, clouds on at speed 2.
slot='\275\265\000\377\277\000\306\377\000\271\276\377\000\000\314\377'
slot+='\000\000\000\000\001\000\000\000\001\000\002\000\202\000\000\000'
for i in $(seq "$copies"); do
    mkdir -p "$work/copy$i"
    { printf 'KOVSKCF1'; for _ in 1 2 3 4 5; do printf '%b' "$slot"; done
      printf '\000\000\000\000\002\000\000\000'; } >"$work/copy$i/default.skf"
    "$bin/app/skyfill" --headless --start --size "$size" --presets-dir "$work/copy$i" \
        2>"$work/copy$i/err.log" &
    pids+=($!)
done
copyPids=("${pids[@]}")
for i in $(seq "$copies"); do
    for _ in $(seq 300); do [ -n "$(settled_number "$work/copy$i/err.log")" ] && break; sleep 0.2; done
    [ -n "$(settled_number "$work/copy$i/err.log")" ] || fail "copy $i did not start"
done
port=$((20000 + $$ % 20000))
"$bin/control/skyfill-control" --listen "127.0.0.1:$port" 2>"$work/control.log" &
control=$!
pids+=("$control")
for _ in $(seq 100); do grep -q 'notice: http' "$work/control.log" && break; sleep 0.1; done
token=$("$bin/control/skyfill-control" --show-token)

ticks() {
    local stat fields
    stat=$(cat "/proc/$1/stat")
    read -r -a fields <<<"${stat##*) }"
    echo $((fields[11] + fields[12]))
}
hz=$(getconf CLK_TCK)
# "PID TICKS" for the control program and each copy.
sample() { for pid in "$control" "${copyPids[@]}"; do echo "$pid $(ticks "$pid")"; done; }
measure() {
    local before after
    before=$(sample)
    sleep "$window"
    after=$(sample)
    paste <(echo "$before") <(echo "$after") |
        awk -v hz="$hz" -v w="$window" '{ printf "%s %.2f\n", $1, 100 * ($4 - $2) / hz / w }'
}

sleep 3
idle=$(measure)

# The page's traffic: its event socket, and each copy's snapshot once a second.
/usr/bin/python3 - "$port" "$token" "$copies" "$((window + 4))" <<'PY' &
import http.client, sys, threading, time
import websocket
port, token, copies, seconds = sys.argv[1], sys.argv[2], int(sys.argv[3]), float(sys.argv[4])
headers = {"Authorization": "Bearer " + token}
socket = websocket.create_connection(f"ws://127.0.0.1:{port}/api/v1/events",
                                     subprotocols=["skyfill-events", "bearer." + token])
def drain():
    try:
        while True:
            socket.recv()
    except Exception:
        pass
threading.Thread(target=drain, daemon=True).start()
end = time.monotonic() + seconds
connection = http.client.HTTPConnection("127.0.0.1", int(port))
while time.monotonic() < end:
    started = time.monotonic()
    for n in range(1, copies + 1):
        connection.request("GET", f"/api/v1/copies/{n}/snapshot?width=480", headers=headers)
        response = connection.getresponse()
        response.read()
        if response.status != 200:
            sys.exit(f"snapshot of copy {n}: {response.status}")
    time.sleep(max(0.0, 1.0 - (time.monotonic() - started)))
PY
client=$!
pids+=("$client")
sleep 2
paged=$(measure)
wait "$client" || fail "the page's client failed"

echo "skyfill-control with $copies copies at $size, ${window} s windows"
paste -d ' ' <(echo "$idle") <(echo "$paged") | awk -v control="$control" '
    $1 == control { printf "control   idle %5.2f%%  with the page %5.2f%% of one core\n", $2, $4; next }
    { n++; printf "copy %-4d without %5.2f%%  with the page %5.2f%%  added %+5.2f%%\n", n, $2, $4, $4 - $2
      added += $4 - $2 }
    END { if (n) printf "added per copy, mean: %+.2f%% of one core\n", added / n }'
model=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
avx512=no; grep -qw avx512f /proc/cpuinfo && avx512=yes
echo "runtime: ${runtime:-built-in stand-in}; cpu: $model; $(nproc) CPUs; AVX-512: $avx512"
