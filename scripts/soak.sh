#!/usr/bin/env bash
# N headless copies under churn, to show whether they grow: every 100 ms one bus command
# to the next copy in turn, each cycling through selecting a slot, stop, a new output
# size and rate, start and loading a preset file. Every 10 s per copy: resident memory
# and its private anonymous part (RssAnon), open descriptors, threads, and frames sent
# since the last sample per second of sending by this script's start and stop commands
# (each start sends its first frame at once, so short spans read a little above the rate).
# At the end per copy the first, last and largest of each figure and how many commands
# failed (not fatal). The copies share a private session bus, each in its own temporary
# folder, publishing through the built-in stand-in. Usage:
#   scripts/soak.sh N SECONDS [--bin DIR] [--size WxH] [--rate RATE]
#     N          1 to 8 copies
#     SECONDS    churn time
#     --bin      build folder with app/skyfill and tools/, default build/default
#     --size     starting output size as skyfill --size takes it, default 1280x720
#     --rate     starting frame rate as skyfill --rate takes it, default 25
set -euo pipefail
. "$(dirname "$0")/copies.sh"

usage() {
    echo "usage: scripts/soak.sh N SECONDS [--bin DIR] [--size WxH] [--rate RATE]" >&2
    exit 2
}
fail() { echo "soak.sh: $*" >&2; exit 1; }
whole_number() { case $1 in '' | *[!0-9]*) return 1 ;; *) return 0 ;; esac }

copies="" seconds="" size=1280x720 rate=25
bin="$(cd "$(dirname "$0")/.." && pwd)/build/default"
while [ $# -gt 0 ]; do
    case $1 in
    --bin | --size | --rate)
        [ $# -ge 2 ] || usage
        case $1 in --bin) bin=$2 ;; --size) size=$2 ;; --rate) rate=$2 ;; esac
        shift ;;
    -*) usage ;;
    *) if [ -z "$copies" ]; then copies=$1; elif [ -z "$seconds" ]; then seconds=$1; else usage; fi ;;
    esac
    shift
done
if ! whole_number "$copies" || [ "$copies" -lt 1 ] || [ "$copies" -gt 8 ] ||
    ! whole_number "$seconds" || [ "$seconds" -lt 1 ]; then
    usage
fi
bin=$(cd "$bin" && pwd)
for program in app/skyfill tools/skyfill-remote tools/skyfill-monitor; do
    [ -x "$bin/$program" ] || fail "$bin/$program is missing; build it first"
done

# Everything below runs inside one private session bus, so the copies number
# themselves among themselves and the commands reach only them.
if [ -z "${SKYFILL_SOAK_BUS:-}" ]; then
    export SKYFILL_SOAK_BUS=1
    exec dbus-run-session -- bash "$0" "$copies" "$seconds" --bin "$bin" --size "$size" --rate "$rate"
fi
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM NDI_RUNTIME_DIR_V6 NDI_RUNTIME_DIR_V5 \
    LD_LIBRARY_PATH LD_PRELOAD

skyfill="$bin/app/skyfill"
remote="$bin/tools/skyfill-remote"
work=$(mktemp -d "${TMPDIR:-/tmp}/skyfill-soak.XXXXXX")
pids=()

trap 'stop_copies; rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP
# The script forks tens of processes a second, so process ids come round within half an
# hour; bash then once waited for ever on a long-gone child. Hence no background jobs or
# process substitutions here, and the copies are not this script's children (copies.sh).
pause() { sleep "$1"; }
now_us() { echo "${EPOCHREALTIME/./}"; }

if "$bin/tools/skyfill-monitor" list | grep -q '^Kova Gradient [1-8]'; then
    fail "copies of this user are already publishing; stop them first"
fi
write_look_presets "$work/churn.skf"
start_copies "$copies" "$work" "$skyfill" --size "$size" --rate "$rate"
settle_copies "$work"

# From here on in number order.
declare -a order
for i in "${!pids[@]}"; do
    pid=${pids[$i]} n=${numberOf[${pids[$i]}]}
    grep -q 'built-in stand-in is publishing' "$work/copy$((i + 1))/err.log" ||
        fail "copy $((i + 1)) loaded a vendor NDI runtime (see $skyfill --check)"
    [ -z "${order[n]:-}" ] || fail "copies with pids ${order[n]} and $pid both took number $n"
    order[n]=$pid
done
pids=("${order[@]}") numbers=("${!order[@]}")

# One field of a status --json answer.
field() {
    printf '%s' "$1" | sed 's/[,{}]/\n/g' | sed -n "s/^ *\"$2\": *\"\{0,1\}\([^\"]*\)\"\{0,1\} *$/\1/p"
}

# Per copy index c (0-based): when its sending began by this script's commands (empty
# while stopped), microseconds sent since the last sample, frames at the last sample.
declare -a since sentUs frames
samples="$work/samples"
sample() {
    local c n pid json rss anon threads fds f
    for c in "${!pids[@]}"; do
        n=${numbers[$c]} pid=${pids[$c]}
        kill -0 "$pid" 2>/dev/null || { echo "soak.sh: copy $n (pid $pid) ended" >&2; return 1; }
        read -r rss anon threads <<<"$(awk '/^VmRSS:/ { r = $2 } /^RssAnon:/ { a = $2 }
            /^Threads:/ { t = $2 } END { print r, a, t }' "/proc/$pid/status")"
        # shellcheck disable=SC2012 # only counted
        fds=$(ls "/proc/$pid/fd" | wc -l)
        json=$("$remote" status --copy "$n" --json 2>>"$work/remote.err") || json=""
        f=$(field "$json" frames-sent)
        [ -z "${since[$c]}" ] || sentUs[c]=$((sentUs[c] + $(now_us) - since[c])) since[c]=$(now_us)
        # In MB and seconds; frames per second of sending, "-" when not known.
        echo "$1 $n $pid $rss $anon $fds $threads ${f:-?} $((${f:-0} - ${frames[$c]:-${f:-0}}))" \
            "${sentUs[$c]} $(field "$json" sending) $(field "$json" width)x$(field "$json" height)" |
            awk -v known="${f:+${frames[$c]:+1}}" -v to="$samples" '{
                fps = known && $10 > 0 ? sprintf("%.2f", $9 * 1e6 / $10) : "-"
                line = sprintf("%5s %-4s %-8s %8.1f %8.1f %5s %7s %9s %6.1f %7s %-7s %s", $1, $2,
                    $3, $4 / 1024, $5 / 1024, $6, $7, $8, $10 / 1e6, fps, $11 ? $11 : "?", $12)
                print line; print line >>to
            }'
        frames[c]=$f sentUs[c]=0
    done
}

sizes=(1920x1080 1280x720 960x540 720x576 720x480 640x360)
rates=(25 29.97 30)
declare -a step slot combo current
for c in "${!pids[@]}"; do
    step[c]=0 slot[c]=0 combo[c]=0 current[c]="$size $rate" sentUs[c]=0 frames[c]=""
done
"$remote" start >/dev/null || fail "the copies did not start"
for c in "${!pids[@]}"; do since[c]=$(now_us); done

printf '%5s %-4s %-8s %8s %8s %5s %7s %9s %6s %7s %-7s %s\n' time copy pid "rss MB" "anon MB" \
    fds threads frames "send s" fps sending format
sample 0
start=$(now_us) next=$start tick=0 nextSample=10 status=0
while [ $(($(now_us) - start)) -lt $((seconds * 1000000)) ]; do
    c=$((tick % copies)) n=${numbers[$((tick % copies))]}
    case $((step[c] % 5)) in
    0) kind=slot args=(slot "$((slot[c] % 5 + 1))") slot[c]=$((slot[c] + 1)) ;;
    1) kind=stop args=(stop) ;;
    2) # The next of the 18 formats that differs from the copy's own.
        while s=${sizes[$((combo[c] % 6))]} r=${rates[$((combo[c] / 6 % 3))]}
            combo[c]=$((combo[c] + 1)) && [ "$s $r" = "${current[$c]}" ]; do :; done
        kind=output args=(output "$s" "$r") ;;
    3) kind=start args=(start) ;;
    4) kind=load args=(load "$work/churn.skf") ;;
    esac
    step[c]=$((step[c] + 1))
    # Sending counts from before a start is asked for to after a stop is answered.
    before=$(now_us)
    if "$remote" "${args[@]}" --copy "$n" >/dev/null 2>>"$work/remote.err"; then
        case $kind in
        stop) [ -z "${since[$c]}" ] || sentUs[c]=$((sentUs[c] + $(now_us) - since[c])) since[c]= ;;
        start) [ -n "${since[$c]}" ] || since[c]=$before ;;
        output) current[c]="$s $r" ;;
        esac
    else
        echo "$n $kind" >>"$work/failed"
    fi
    tick=$((tick + 1)) next=$((next + 100000))
    if [ "$nextSample" -lt "$seconds" ] && [ $(($(now_us) - start)) -ge $((nextSample * 1000000)) ]
    then
        sample "$nextSample" || { status=1; break; }
        nextSample=$((nextSample + 10))
    fi
    # Behind time (a slow command or a sample) skips the lost ticks instead of bursting.
    left=$((next - $(now_us)))
    if [ "$left" -gt 0 ]; then pause "$(printf '%d.%06d' $((left / 1000000)) $((left % 1000000)))"
    else next=$(now_us); fi
done
[ "$status" -ne 0 ] || sample "$seconds" || status=1

echo
echo "summary: first/last/largest"
touch "$work/failed"
for c in "${!pids[@]}"; do
    n=${numbers[$c]}
    awk -v n="$n" '$2 == n { for (i = 4; i <= 10; i++) if ($i != "-") {
            if (!(i in first)) first[i] = $i
            if (!(i in most) || $i + 0 > most[i] + 0) most[i] = $i
            last[i] = $i } }
        function show(name, i) {
            if (i in first) printf "  %s %s/%s/%s", name, first[i], last[i], most[i]
        }
        END { printf "copy %s:", n; show("rss MB", 4); show("anon MB", 5); show("fds", 6)
            show("threads", 7); show("fps", 10); printf "\n" }' "$samples"
    awk -v n="$n" -v sent="${step[$c]}" '$1 == n { k[$2]++; all++ }
        END { printf "  commands: %d sent, %d failed", sent, all
            for (x in k) { printf "%s%s %d", s ? ", " : " (", x, k[x]; s = 1 }
            print s ? ")" : "" }' "$work/failed"
done
if [ -s "$work/remote.err" ]; then
    echo "messages from skyfill-remote, most frequent first:"
    sort "$work/remote.err" | uniq -c | sort -rn | head -n 5 | sed 's/^/  /'
fi
[ "$status" -eq 0 ]
