# shellcheck shell=bash
# Sourced by the measuring scripts (load.sh, soak.sh): N headless copies with the look
# they measure, each in its own folder, started, settled on their numbers and stopped.
# The caller defines fail. The copies are started detached, not as this shell's children:
# soak.sh forks so much that process ids come round while it runs, and bash once waited
# for ever on a long-gone child.
. "$(dirname "${BASH_SOURCE[0]}")/settled_number.sh"

# The preset block (see presets/preset_block.h) into file $1: five equal slots, each the
# built-in corner colours, full screen, rotating clockwise at slider position 130, clouds
# of set 1 on at speed 2, no mask; slot 0 selected, preview always on.
write_look_presets() {
    local slot='\275\265\000\377\277\000\306\377\000\271\276\377\000\000\314\377'
    slot+='\000\000\000\000\001\000\000\000\001\000\002\000\202\000\000\000'
    {
        printf 'KOVSKCF1'
        for _ in 1 2 3 4 5; do printf '%b' "$slot"; done
        printf '\000\000\000\000\002\000\000\000'
    } >"$1"
}

# start_copies N WORK SKYFILL [OPTION...]: copy i runs in WORK/copy$i with the look as
# its default presets, its output in out.log and err.log there. Sets pids, in start order.
start_copies() {
    local count=$1 work=$2 skyfill=$3 i dir
    shift 3
    pids=()
    for i in $(seq "$count"); do
        dir="$work/copy$i"
        mkdir "$dir"
        write_look_presets "$dir/default.skf"
        (cd "$dir" && { exec "$skyfill" --headless --presets-dir "$dir" "$@" \
            >"$dir/out.log" 2>"$dir/err.log" </dev/null & echo $! >"$dir/pid"; })
        pids+=("$(cat "$dir/pid")")
    done
}

# Waits until each copy of start_copies WORK names its number (60 s at most) and sets
# numberOf[pid]; a copy that ends or does not settle fails the script.
# shellcheck disable=SC2034 # numberOf is the caller's
settle_copies() {
    local work=$1 i pid log deadline=$((SECONDS + 60))
    declare -gA numberOf=()
    for i in "${!pids[@]}"; do
        log="$work/copy$((i + 1))/err.log"
        pid=${pids[$i]}
        while [ -z "$(settled_number "$log")" ]; do
            kill -0 "$pid" 2>/dev/null || { cat "$log" >&2; fail "copy $((i + 1)) (pid $pid) ended while starting"; }
            [ "$SECONDS" -lt "$deadline" ] || fail "copy $((i + 1)) (pid $pid) did not settle its number"
            sleep 0.2
        done
        numberOf[$pid]=$(settled_number "$log")
    done
}

# Each copy saves "last.skf" on its way out; one still there after 10 s is killed.
stop_copies() {
    local pid deadline=$((SECONDS + 10))
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do
        while kill -0 "$pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null || true
    done
    pids=()
}
