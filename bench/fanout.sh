#!/usr/bin/env bash
# What each outlet costs the reader: two Release scale-reads, each on an indicator simulator of
# its own at the full rate of 256000 baud (continuous, ramp weight), (a) writing a jsonl file
# alone, and (b) writing the file, publishing to a local mosquitto broker and serving ten
# WebSocket clients of /api/v1/events at once. Both run side by side over the same SECONDS
# (default 20), RUNS (default 1) times, so that what the machine does meanwhile weighs on both
# alike. Prints the frames each simulator sent in the measured span beside those kept in the
# file, received by a broker subscriber and by each WebSocket client (every one must be kept in
# all), and each reader's CPU time (its threads' time on a processor) per frame.
# Target: b at most 1.6 times a, with every frame kept (exit status 1 when one was not). With
# several runs, the medians of a and b and their ratio follow the table.
# Usage: bench/fanout.sh [SECONDS [RUNS]]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_dependencies
seconds=${1:-20}
runs=${2:-1}
clients=10

source bench/common.sh
release_build scale-read indicator-sim


wait_for() {  # wait_for FILE PATTERN: up to 10 s for PATTERN to appear in FILE
    for _ in $(seq 100); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
    echo "fanout: timed out waiting for '$2' in $1" >&2
    exit 1
}
# The weights of a file of records (jsonl, broker messages) or of the simulator's "tx" lines.
weights() { grep -o '"weight":[-0-9.]*' "$1" | cut -d: -f2 || true; }
sent_weights() { awk '$2 == "tx" { sub(/kg$/, "", $NF); print $NF }' "$1"; }
# How many of the weights on standard input lie in the measured span (from, to].
in_span() { awk -v from="$1" -v to="$2" '$1 + 0 > from + 0 && $1 + 0 <= to + 0' | wc -l; }

# start CONFIGURATION: one configuration's simulator and reader (and for b its broker and
# clients), in $work/CONFIGURATION, warmed up; sets reader_CONFIGURATION and consumers.
start() {
    local config=$1 dir=$work/$1
    rm -rf "$dir"
    mkdir -p "$dir"
    local more=()
    if [ "$config" = b ]; then
        local broker_port
        broker_port=$(free_port)
        printf 'listener %s 127.0.0.1\nallow_anonymous true\n' "$broker_port" >"$dir/mosquitto.conf"
        /usr/sbin/mosquitto -c "$dir/mosquitto.conf" >"$dir/broker.err" 2>&1 &
        brokers+=($!)
        pids+=($!)
        for _ in $(seq 50); do
            (exec 3<>"/dev/tcp/127.0.0.1/$broker_port") 2>/dev/null && break
            sleep 0.1
        done
        mosquitto_sub -p "$broker_port" -h 127.0.0.1 -t 'bench/+/reading' >"$dir/broker.jsonl" &
        consumers+=($!)
        pids+=($!)
        more=(--mqtt "mqtt://127.0.0.1:$broker_port" --mqtt-prefix bench --http 127.0.0.1:0)
    fi
    "$bin/indicator-sim" --link "$dir/line" --baud 256000 --rate 1000000 \
        --weight ramp:0:9999.99:0.01 --verbose >"$dir/sim.log" 2>"$dir/sim.err" &
    sims+=($!)
    pids+=($!)
    wait_for "$dir/sim.log" '^ready'
    "$bin/scale-read" --station "s=$dir/line,continuous" --output "$dir/records.jsonl" \
        "${more[@]}" 2>"$dir/reader.err" &
    readers+=($!)
    pids+=($!)
    if [ "$config" = b ]; then
        wait_for "$dir/reader.err" '127.0.0.1:[0-9]'
        local http_port
        http_port=$(grep -o '127.0.0.1:[0-9]*' "$dir/reader.err" | head -1 | cut -d: -f2)
        python3 bench/fanout/wsclients.py "$http_port" "$clients" "$dir/ready" "$dir/ws" &
        consumers+=($!)
        pids+=($!)
        for _ in $(seq 100); do [ -e "$dir/ready" ] && break; sleep 0.1; done
        [ -e "$dir/ready" ] || { echo "fanout: the WebSocket clients did not connect" >&2; exit 1; }
    fi
}

# The last weight in a records file so far.
last_weight() {
    local weight
    weight=$(tail -c 4096 "$1" | grep -o '"weight":[-0-9.]*' | tail -1 | cut -d: -f2)
    [ -n "$weight" ] || { echo "fanout: no record in $1 after the warm-up" >&2; exit 1; }
    echo "$weight"
}

# measure: one run of both configurations side by side; writes "sent file broker ws-min ws-max
# CPU-µs" for each to $work/a.result and $work/b.result. Runs in this shell (not in $(...)), so
# that what it starts is in pids for the clean-up.
measure() {
    readers=() sims=() brokers=() consumers=()
    start a
    start b
    sleep 2  # warm-up: every outlet connected and taking records
    local from_a from_b before_a before_b
    from_a=$(last_weight "$work/a/records.jsonl")
    from_b=$(last_weight "$work/b/records.jsonl")
    before_a=$(cpu_micros "${readers[0]}")
    before_b=$(cpu_micros "${readers[1]}")
    sleep "$seconds"
    local after_a after_b to_a to_b
    after_a=$(cpu_micros "${readers[0]}")
    after_b=$(cpu_micros "${readers[1]}")
    to_a=$(sent_weights "$work/a/sim.log" | tail -1)
    to_b=$(sent_weights "$work/b/sim.log" | tail -1)
    # The span's last frames through every outlet before the simulators go: closing a
    # pseudo-terminal discards what its other side has not read yet.
    sleep 1
    kill "${sims[@]}"
    wait "${sims[@]}" 2>/dev/null || true
    # The clients first, so that none sees the reader go before it has written what it kept.
    kill "${consumers[@]}"
    wait "${consumers[@]}" 2>/dev/null || true
    kill "${readers[@]}" "${brokers[@]}" 2>/dev/null || true
    wait 2>/dev/null || true
    pids=()
    echo "$(sent_weights "$work/a/sim.log" | in_span "$from_a" "$to_a")" \
        "$(weights "$work/a/records.jsonl" | in_span "$from_a" "$to_a")" - - - \
        "$((after_a - before_a))" >"$work/a.result"
    local counts
    counts=$(for f in "$work"/b/ws.*; do in_span "$from_b" "$to_b" <"$f"; done | sort -n)
    [ "$(wc -l <<<"$counts")" -eq "$clients" ] ||
        { echo "fanout: a WebSocket client's weights are missing" >&2; exit 1; }
    echo "$(sent_weights "$work/b/sim.log" | in_span "$from_b" "$to_b")" \
        "$(weights "$work/b/records.jsonl" | in_span "$from_b" "$to_b")" \
        "$(weights "$work/b/broker.jsonl" | in_span "$from_b" "$to_b")" \
        "$(head -1 <<<"$counts")" "$(tail -1 <<<"$counts")" \
        "$((after_b - before_b))" >"$work/b.result"
}

printf '%-4s %-34s %8s %8s %8s %13s %8s %9s %7s\n' run configuration sent file broker \
    "ws each" "CPU s" "µs/frame" "b/a"
lost=no
a_all=()
b_all=()
for run in $(seq "$runs"); do
    measure
    for config in a b; do
        read -r sent file broker ws_min ws_max micros <"$work/$config.result"
        per=$(awk -v t="$micros" -v n="$file" 'BEGIN { printf "%.2f", n ? t / n : 0 }')
        if [ "$config" = a ]; then
            name="a: jsonl file"
            a_per=$per
            a_all+=("$per")
            ratio=-
        else
            name="b: file + mqtt + $clients WebSockets"
            b_all+=("$per")
            ratio=$(awk -v a="$a_per" -v b="$per" 'BEGIN { printf "%.2f", (a > 0 ? b / a : 0) }')
        fi
        for kept in "$file" "$broker" "$ws_min" "$ws_max"; do
            [ "$kept" = - ] || [ "$kept" = "$sent" ] || lost=yes
        done
        ws=$([ "$ws_min" = "$ws_max" ] && echo "$ws_min" || echo "$ws_min-$ws_max")
        awk -v r="$run" -v c="$name" -v s="$sent" -v f="$file" -v m="$broker" -v w="$ws" \
            -v t="$micros" -v p="$per" -v q="$ratio" \
            'BEGIN { printf "%-4s %-34s %8s %8s %8s %13s %8.2f %9s %7s\n", r, c, s, f, m, w, t / 1e6, p, q }'
    done
done
# A single pair still swings with where the scheduler puts the readers and the simulators; over
# several runs the medians say more.
if [ "$runs" -gt 1 ]; then
    median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
    a_median=$(median "${a_all[@]}")
    b_median=$(median "${b_all[@]}")
    awk -v a="$a_median" -v b="$b_median" -v n="$runs" \
        'BEGIN { printf "medians of %d runs: a %.2f µs/frame, b %.2f µs/frame, b/a %.2f\n", n, a, b, b / a }'
fi
if [ "$lost" = yes ]; then
    echo "fanout: frames were lost on the way to an outlet" >&2
    exit 1
fi
