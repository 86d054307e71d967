#!/usr/bin/env bash
# What each outlet costs the reader: one Release scale-read on the indicator simulator at the full
# rate of 256000 baud (continuous, ramp weight), (a) writing a jsonl file alone, and (b) writing
# the file, publishing to a local mosquitto broker and serving ten WebSocket clients of
# /api/v1/events at once, for SECONDS (default 20) each, RUNS (default 1) times. Prints the frames
# the simulator sent in the measured span beside those kept in the file, received by a broker
# subscriber and by each WebSocket client (every one must be kept in all), and the reader's CPU
# time (user and system) per frame.
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


hz=$(getconf CLK_TCK)
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

# measure CONFIGURATION: prints "sent file broker ws-min ws-max ticks" for one run. Runs in this
# shell (not in $(...)), so that what it starts is in pids for the clean-up.
measure() {
    local config=$1 line=$work/line records=$work/records.jsonl
    rm -f "$work"/*.jsonl "$work"/*.log "$work"/*.err "$work"/ws.* "$work/ready"
    local more=() broker=() consumers=()
    if [ "$config" = b ]; then
        local broker_port
        broker_port=$(free_port)
        printf 'listener %s 127.0.0.1\nallow_anonymous true\n' "$broker_port" >"$work/mosquitto.conf"
        /usr/sbin/mosquitto -c "$work/mosquitto.conf" >"$work/broker.err" 2>&1 &
        broker=($!)
        pids+=("${broker[@]}")
        for _ in $(seq 50); do
            (exec 3<>"/dev/tcp/127.0.0.1/$broker_port") 2>/dev/null && break
            sleep 0.1
        done
        mosquitto_sub -p "$broker_port" -h 127.0.0.1 -t 'bench/+/reading' >"$work/broker.jsonl" &
        consumers=($!)
        pids+=($!)
        more=(--mqtt "mqtt://127.0.0.1:$broker_port" --mqtt-prefix bench --http 127.0.0.1:0)
    fi
    "$bin/indicator-sim" --link "$line" --baud 256000 --rate 1000000 \
        --weight ramp:0:9999.99:0.01 --verbose >"$work/sim.log" 2>"$work/sim.err" &
    local sim=$!
    pids+=("$sim")
    wait_for "$work/sim.log" '^ready'
    "$bin/scale-read" --station "s=$line,continuous" --output "$records" "${more[@]}" \
        2>"$work/reader.err" &
    local reader=$!
    pids+=("$reader")
    if [ "$config" = b ]; then
        wait_for "$work/reader.err" '127.0.0.1:[0-9]'
        local http_port
        http_port=$(grep -o '127.0.0.1:[0-9]*' "$work/reader.err" | head -1 | cut -d: -f2)
        python3 bench/fanout/wsclients.py "$http_port" "$clients" "$work/ready" "$work/ws" &
        consumers+=($!)
        pids+=($!)
        for _ in $(seq 100); do [ -e "$work/ready" ] && break; sleep 0.1; done
        [ -e "$work/ready" ] || { echo "fanout: the WebSocket clients did not connect" >&2; exit 1; }
    fi
    sleep 2  # warm-up: every outlet connected and taking records
    local before from
    before=$(cpu_ticks "$reader")
    from=$(tail -c 4096 "$records" | grep -o '"weight":[-0-9.]*' | tail -1 | cut -d: -f2)
    [ -n "$from" ] || { echo "fanout: no record in $records after the warm-up" >&2; exit 1; }
    sleep "$seconds"
    local after to
    after=$(cpu_ticks "$reader")
    to=$(sent_weights "$work/sim.log" | tail -1)
    # The span's last frames through every outlet before the simulator goes: closing a
    # pseudo-terminal discards what its other side has not read yet.
    sleep 1
    kill "$sim"
    wait "$sim" 2>/dev/null || true
    # The clients first, so that none sees the reader go before it has written what it kept.
    if [ "${#consumers[@]}" -gt 0 ]; then
        kill "${consumers[@]}"
        wait "${consumers[@]}" 2>/dev/null || true
    fi
    kill "$reader" "${broker[@]}" 2>/dev/null || true
    wait 2>/dev/null || true
    pids=()
    local sent file in_broker=- ws_min=- ws_max=-
    sent=$(sent_weights "$work/sim.log" | in_span "$from" "$to")
    file=$(weights "$records" | in_span "$from" "$to")
    if [ "$config" = b ]; then
        in_broker=$(weights "$work/broker.jsonl" | in_span "$from" "$to")
        local counts
        counts=$(for f in "$work"/ws.*; do in_span "$from" "$to" <"$f"; done | sort -n)
        [ "$(wc -l <<<"$counts")" -eq "$clients" ] ||
            { echo "fanout: a WebSocket client's weights are missing" >&2; exit 1; }
        ws_min=$(head -1 <<<"$counts")
        ws_max=$(tail -1 <<<"$counts")
    fi
    echo "$sent $file $in_broker $ws_min $ws_max $((after - before))"
}

printf '%-4s %-34s %8s %8s %8s %13s %8s %9s %7s\n' run configuration sent file broker \
    "ws each" "CPU s" "µs/frame" "b/a"
lost=no
a_all=()
b_all=()
for run in $(seq "$runs"); do
    for config in a b; do
        measure "$config" >"$work/result"
        read -r sent file broker ws_min ws_max ticks <"$work/result"
        per=$(awk -v t="$ticks" -v hz="$hz" -v n="$file" 'BEGIN { printf "%.2f", n ? t / hz * 1e6 / n : 0 }')
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
            -v t="$ticks" -v hz="$hz" -v p="$per" -v q="$ratio" \
            'BEGIN { printf "%-4s %-34s %8s %8s %8s %13s %8.2f %9s %7s\n", r, c, s, f, m, w, t / hz, p, q }'
    done
done
# A single pair swings with where the scheduler puts the reader and the simulator; over several
# runs the medians say more.
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
