#!/usr/bin/env bash
# What live reading costs scale-read: the Release reader on the indicator simulator in continuous
# mode at 256000 baud, at 10 frames/s and at the full line rate, for SECONDS (default 20) each.
# Prints the reader's CPU time as a share of one core, and the frames the simulator sent beside
# the records the reader wrote over the same span: equal counts mean it keeps up, with no backlog.
# Target: at most 2 % at 10 frames/s.
# Usage: bench/readercost.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_dependencies
seconds=${1:-20}

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCALE_BUILD_TESTS=OFF >/dev/null
ninja -C build -j2 scale-read indicator-sim >/dev/null

work=build/readercost
rm -rf "$work"
mkdir -p "$work"
pids=()
cleanup() {
    kill "${pids[@]}" 2>/dev/null || true
    wait 2>/dev/null || true
}
trap cleanup EXIT

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
count() { grep -c "$2" "$1" || true; }

printf '%-8s %-6s %10s %8s %8s %8s\n' baud rate frames/s "CPU %" sent records
for rate in 10 full; do
    requested=$([ "$rate" = full ] && echo 1000000 || echo 10)
    build/bin/indicator-sim --link "$work/Com1" --baud 256000 --rate "$requested" \
        --weight ramp:0:99.99:0.01 --verbose >"$work/sim.log" 2>"$work/sim.err" &
    sim=$!
    pids=("$sim")
    for _ in $(seq 50); do grep -q '^ready' "$work/sim.log" && break; sleep 0.1; done
    build/bin/scale-read --port "$work/Com1" --output "$work/records.jsonl" &
    reader=$!
    pids+=("$reader")
    sleep 2
    before=$(cpu_ticks "$reader")
    sent_before=$(count "$work/sim.log" ' tx ')
    written_before=$(count "$work/records.jsonl" '"weight"')
    sleep "$seconds"
    after=$(cpu_ticks "$reader")
    sent_after=$(count "$work/sim.log" ' tx ')
    written_after=$(count "$work/records.jsonl" '"weight"')
    sent=$(grep -o 'sending [0-9.]* frames' "$work/sim.err" | grep -o '[0-9][0-9.]*' || echo "$requested")
    awk -v r="$rate" -v f="$sent" -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
        -v a=$((sent_after - sent_before)) -v w=$((written_after - written_before)) \
        'BEGIN { printf "%-8s %-6s %10s %8.2f %8d %8d\n", 256000, r, f, 100 * t / hz / s, a, w }'
    kill "$reader" "$sim" 2>/dev/null || true
    wait "$reader" "$sim" 2>/dev/null || true
    rm -f "$work/records.jsonl"
done
