#!/usr/bin/env bash
# What N headless copies cost while they send with the colours rotating and the clouds
# on: frames per second actually published, CPU share of one core, resident memory and
# of it the private anonymous part (RssAnon: heap, stacks, private mappings; not the
# program's files or shared memory) per copy, plus totals. The copies share a private
# session bus, each runs in its own temporary folder (its own "default.skf" and
# "last.skf") and publishes through the built-in stand-in, or through the vendor's NDI
# runtime with --runtime. Beside them, over the same window, bench/ndi_floor sends one
# unchanging frame of the same format through the same runtime: that floor's CPU share
# is printed, and each copy's as a ratio to it (/floor). A second floor sends the copies'
# own picture, drawn beforehand: the ratio to it (/look) is what Skyfill adds to what the
# runtime spends on that picture. Copies sending another format than BGRX have a BGRX
# floor beside them as well (/bgrx; in a BGRX run it is the floor). Usage:
#   scripts/load.sh N [--size WxH] [--rate RATE] [--pixel-format bgrx|uyvy]
#                     [--runtime DIR [--receive]] [--window SECONDS] [--warmup SECONDS]
#                     [--bin DIR]
#     N          1 to 8 copies
#     --size     output size as skyfill --size takes it, default 1280x720
#     --rate     frame rate as skyfill --rate takes it, default 25
#     --pixel-format  as skyfill --pixel-format takes it, default bgrx
#     --runtime  folder holding the vendor's libndi.so.6 (e.g. .cache/ndi-runtime)
#     --receive  with --runtime: one receiver (skyfill-monitor watch) on copy 1 while
#                measuring, over the loopback address
#     --window   measuring time, default 20
#     --warmup   sending time before measuring, default 5
#     --bin      build folder with app/skyfill and tools/, default build/default
set -euo pipefail
. "$(dirname "$0")/copies.sh"

usage() {
    echo "usage: scripts/load.sh N [--size WxH] [--rate RATE] [--pixel-format bgrx|uyvy]" \
        "[--runtime DIR [--receive]] [--window SECONDS] [--warmup SECONDS] [--bin DIR]" >&2
    exit 2
}

whole_number() {
    case $1 in
    '' | *[!0-9]*) return 1 ;;
    *) return 0 ;;
    esac
}

copies=""
window=20
warmup=5
size=1280x720
rate=25
pixels=bgrx
runtime=""
receive=0
bin="$(cd "$(dirname "$0")/.." && pwd)/build/default"
while [ $# -gt 0 ]; do
    case $1 in
    --window | --warmup | --bin | --size | --rate | --runtime | --pixel-format)
        [ $# -ge 2 ] || usage
        case $1 in
        --pixel-format) pixels=$2 ;;
        --window) window=$2 ;;
        --warmup) warmup=$2 ;;
        --bin) bin=$2 ;;
        --size) size=$2 ;;
        --rate) rate=$2 ;;
        --runtime) runtime=$2 ;;
        esac
        shift 2
        ;;
    --receive)
        receive=1
        shift
        ;;
    -*) usage ;;
    *)
        [ -z "$copies" ] || usage
        copies=$1
        shift
        ;;
    esac
done
if ! whole_number "$copies" || [ "$copies" -lt 1 ] || [ "$copies" -gt 8 ] ||
    ! whole_number "$window" || [ "$window" -lt 1 ] || ! whole_number "$warmup"; then
    usage
fi
if [ "$receive" -eq 1 ] && [ -z "$runtime" ]; then
    usage
fi
case $pixels in bgrx | uyvy) ;; *) usage ;; esac
bin=$(cd "$bin" && pwd)
if [ -n "$runtime" ]; then
    runtime=$(cd "$runtime" && pwd)
    [ -f "$runtime/libndi.so.6" ] || { echo "load.sh: no libndi.so.6 in $runtime" >&2; exit 1; }
fi
for program in app/skyfill tools/skyfill-remote tools/skyfill-monitor; do
    if [ ! -x "$bin/$program" ]; then
        echo "load.sh: $bin/$program is missing; build it first" >&2
        exit 1
    fi
done

# Everything below runs inside one private session bus, so the copies number
# themselves among themselves and the remote start reaches only them.
if [ -z "${SKYFILL_LOAD_BUS:-}" ]; then
    export SKYFILL_LOAD_BUS=1
    again=("$copies" --size "$size" --rate "$rate" --pixel-format "$pixels" --window "$window"
        --warmup "$warmup" --bin "$bin")
    [ -z "$runtime" ] || again+=(--runtime "$runtime")
    [ "$receive" -eq 0 ] || again+=(--receive)
    exec dbus-run-session -- bash "$0" "${again[@]}"
fi

# Headless, and no vendor runtime from the variables or a preloaded or extra library
# path unless asked for; one installed for the dynamic linker is caught from the
# copies' own words below.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM NDI_RUNTIME_DIR_V6 NDI_RUNTIME_DIR_V5 \
    LD_LIBRARY_PATH LD_PRELOAD
if [ -n "$runtime" ]; then
    export NDI_RUNTIME_DIR_V6="$runtime"
fi

skyfill="$bin/app/skyfill"
remote="$bin/tools/skyfill-remote"
monitor="$bin/tools/skyfill-monitor"
floor="$bin/bench/ndi_floor"
work=$(mktemp -d "${TMPDIR:-/tmp}/skyfill-load.XXXXXX")
pids=()

receiver=""
floorPid=""
lookPid=""
bgrxPid=""
cleanup() {
    local pid
    for pid in $floorPid $lookPid $bgrxPid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    if [ -n "$receiver" ]; then
        pkill -P "$receiver" 2>/dev/null || true
        kill "$receiver" 2>/dev/null || true
        wait "$receiver" 2>/dev/null || true
    fi
    stop_copies
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

fail() {
    echo "load.sh: $*" >&2
    exit 1
}

# A signal's trap runs at once in a wait, only after a plain sleep.
pause() {
    sleep "$1" &
    wait $!
}

# Stand-in sources of this user that would hold the names the copies want.
if [ -z "$runtime" ] && "$monitor" list | grep -q '^Kova Gradient [1-8]'; then
    fail "copies of this user are already publishing; stop them first"
fi

# Only asked for when not the default, so that builds without the option are measured too.
pixelOption=()
[ "$pixels" = bgrx ] || pixelOption=(--pixel-format "$pixels")
start_copies "$copies" "$work" "$skyfill" --size "$size" --rate "$rate" "${pixelOption[@]}"
settle_copies "$work"
for i in $(seq "$copies"); do
    log="$work/copy$i/err.log"
    if [ -z "$runtime" ]; then
        grep -q 'built-in stand-in is publishing' "$log" ||
            fail "copy $i loaded a vendor NDI runtime (see $skyfill --check)"
    elif grep -q 'built-in stand-in is publishing' "$log"; then
        fail "copy $i did not load the NDI runtime in $runtime"
    fi
done

uid=$(id -u)
ticks=$(getconf CLK_TCK)
declare -A segmentOf
for pid in "${pids[@]}"; do
    [ -z "$runtime" ] || break
    n=${numberOf[$pid]}
    segment="/dev/shm/skyfill-ndi.$uid.Kova%20Gradient%20$n"
    # The source must be this copy's, not another sender's under the same name.
    owner=$(od -An -t d4 -j 24 -N 4 "$segment" 2>/dev/null | tr -d ' ' || true)
    [ "$owner" = "$pid" ] || fail "\"Kova Gradient $n\" is not published by copy pid $pid"
    segmentOf[$pid]=$segment
done

"$remote" start
pause "$warmup"

# Without mDNS every copy answers discovery on the same loopback port and one search
# hears only the copy its connection was handed to, so the receiver tries again until
# it has copy 1; measuring starts once it receives. It receives for longer than the
# window, so that it is there throughout.
if [ "$receive" -eq 1 ]; then
    host=$(hostname | tr '[:lower:]' '[:upper:]')
    (
        until "$monitor" --extra-ips 127.0.0.1 watch "$host (Kova Gradient 1)" \
            "$((window + 5))" >"$work/receiver.out" 2>"$work/receiver.err"; do
            grep -q 'no live source' "$work/receiver.err" || exit 1
        done
    ) &
    receiver=$!
    # One search in eight finds it, and a miss costs the monitor's 10 s search.
    deadline=$((SECONDS + 300))
    until grep -q '^skyfill-monitor: receiving' "$work/receiver.err" 2>/dev/null; do
        kill -0 "$receiver" 2>/dev/null || fail "the receiver failed: $(cat "$work/receiver.err")"
        [ "$SECONDS" -lt "$deadline" ] || fail "no receiver found copy 1 in 300 s"
        sleep 0.2
    done
fi

# utime + stime in clock ticks; the name in brackets may hold spaces.
cpu_ticks() {
    local stat fields
    stat=$(cat "/proc/$1/stat")
    read -r -a fields <<<"${stat##*) }"
    echo $((fields[11] + fields[12]))
}

# "FRAMES NANOSECONDS": frames sent so far and when the latest went out by the sender's
# clock (header layout in ndi/standin_segment.h), so the rate does not depend on when
# this script looks. One 16-byte read: the sender stores the two back to back, and
# landing between them would cost one frame in the count.
segment_frames() {
    od -An -t u8 -j 4432 -N 16 "$1"
}

# One field of a copy's status, as skyfill-remote status --json prints it.
status_field() {
    "$remote" status --copy "$1" --json | sed 's/[,{}]/\n/g' |
        sed -n "s/^ *\"$2\": *\"\{0,1\}\([^\"]*\)\"\{0,1\} *$/\1/p"
}

# "FRAMES NANOSECONDS" as above; through the vendor's runtime there is no segment, so
# the copy's own count and this script's clock.
frames_of() {
    if [ -z "$runtime" ]; then
        segment_frames "${segmentOf[$1]}"
    else
        echo "$(status_field "${numberOf[$1]}" frames-sent) $(date +%s%N)"
    fi
}

# The floor measures over the same window, from its first frame, so the same host load
# falls on it and on the copies.
# The look's floor first draws its frames (well under a second), which shifts its window.
if [ -x "$floor" ]; then
    "$floor" "$size" "$rate" "$pixels" "$window" 0 >"$work/floor.out" 2>"$work/floor.err" &
    floorPid=$!
    "$floor" "$size" "$rate" "$pixels" "$window" 0 --look "$work/copy1/default.skf" \
        >"$work/look.out" 2>"$work/look.err" &
    lookPid=$!
    if [ "$pixels" != bgrx ]; then
        "$floor" "$size" "$rate" bgrx "$window" 0 >"$work/bgrx.out" 2>"$work/bgrx.err" &
        bgrxPid=$!
    fi
fi
declare -A cpuStart cpuEnd framesStart framesEnd
for pid in "${pids[@]}"; do
    cpuStart[$pid]=$(cpu_ticks "$pid")
    framesStart[$pid]=$(frames_of "$pid")
done
t0=$(date +%s.%N)
pause "$window"
for pid in "${pids[@]}"; do
    kill -0 "$pid" 2>/dev/null || fail "copy with pid $pid ended while measured"
    cpuEnd[$pid]=$(cpu_ticks "$pid")
    framesEnd[$pid]=$(frames_of "$pid")
done
t1=$(date +%s.%N)
floorCpu="" lookCpu="" bgrxCpu=""
floor_cpu() { sed -n 's/^floor .*: \([0-9.]*\)% of one core.*/\1/p' "$1"; }
if [ -n "$floorPid" ]; then
    wait "$floorPid" || fail "the floor failed: $(cat "$work/floor.err")"
    wait "$lookPid" || fail "the look's floor failed: $(cat "$work/look.err")"
    floorCpu=$(floor_cpu "$work/floor.out")
    lookCpu=$(floor_cpu "$work/look.out")
    bgrxCpu=$floorCpu
    if [ -n "$bgrxPid" ]; then
        wait "$bgrxPid" || fail "the BGRX floor failed: $(cat "$work/bgrx.err")"
        bgrxCpu=$(floor_cpu "$work/bgrx.out")
    fi
    floorPid="" lookPid="" bgrxPid=""
fi

listed=$("$monitor" list)
rows=""
for pid in "${pids[@]}"; do
    n=${numberOf[$pid]}
    if [ -z "$runtime" ]; then
        format=$(printf '%s\n' "$listed" |
            awk -F '\t' -v n="Kova Gradient $n" '$1 == n { print $2 " " $4 }')
    else
        format="$(status_field "$n" width)x$(status_field "$n" height)"
        format+=" $(status_field "$n" rate-numerator)/$(status_field "$n" rate-denominator)"
    fi
    [ -n "$format" ] || fail "\"Kova Gradient $n\" was not listed by skyfill-monitor"
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status")
    anon=$(awk '/^RssAnon:/ { print $2 }' "/proc/$pid/status")
    if [ -z "$rss" ] || [ -z "$anon" ]; then
        fail "no resident memory in /proc/$pid/status"
    fi
    rows+="$n $pid ${framesStart[$pid]} ${framesEnd[$pid]} ${cpuStart[$pid]} ${cpuEnd[$pid]}"
    rows+=" $rss $anon $format"$'\n'
done

# Fields: copy pid frames0 ns0 frames1 ns1 ticks0 ticks1 rssKiB anonKiB size rate
printf '%s' "$rows" | sort -n | awk -v hz="$ticks" -v t0="$t0" -v t1="$t1" -v floor="$floorCpu" \
    -v look="$lookCpu" -v bgrx="$bgrxCpu" '
    BEGIN {
        span = t1 - t0
        printf "%-5s %-8s %-19s %8s %8s %8s %8s %8s %8s %8s\n", "copy", "pid", "format", "fps",
            "cpu%", "/floor", "/look", "/bgrx", "rss MB", "anon MB"
    }
    {
        fps = $6 > $4 ? ($5 - $3) * 1e9 / ($6 - $4) : 0
        cpu = 100 * ($8 - $7) / hz / span
        rss = $9 / 1024
        anon = $10 / 1024
        ratio = floor > 0 ? sprintf("%.2f", cpu / floor) : "-"
        lookRatio = look > 0 ? sprintf("%.2f", cpu / look) : "-"
        bgrxRatio = bgrx > 0 ? sprintf("%.2f", cpu / bgrx) : "-"
        printf "%-5s %-8s %-19s %8.2f %8.1f %8s %8s %8s %8.1f %8.1f\n", $1, $2, $11 " " $12, fps,
            cpu, ratio, lookRatio, bgrxRatio, rss, anon
        tf += fps; tc += cpu; tr += rss; ta += anon
    }
    END {
        printf "%-5s %-8s %-19s %8.2f %8.1f %8s %8s %8s %8.1f %8.1f\n", "total", "", "", tf, tc,
            "", "", "", tr, ta
        printf "window %.2f s\n", span
    }'
model=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
avx512=no
grep -qw avx512f /proc/cpuinfo && avx512=yes
if [ "$receive" -eq 1 ]; then
    wait "$receiver" || fail "the receiver on copy 1 failed: $(cat "$work/receiver.err")"
    echo "receiver on copy 1 (over the window and 5 s more):"
    sed 's/^/  /' "$work/receiver.out"
fi
echo "look: full screen, rotating clockwise, clouds on, preview on; warm-up $warmup s"
echo "runtime: ${runtime:-built-in stand-in}; pixel format: $pixels"
if [ -n "$floorCpu" ]; then
    cat "$work/floor.out" "$work/look.out"
    [ "$pixels" = bgrx ] || cat "$work/bgrx.out"
else
    echo "floor: not measured ($floor is not built)"
fi
echo "cpu: $model; $(nproc) CPUs; AVX-512: $avx512"
