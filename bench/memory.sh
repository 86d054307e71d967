#!/usr/bin/env bash
# Memory over a long run: the Release window on a virtual display reading the indicator
# simulator through ports/Com1, and scale-read reading another simulator, both in continuous mode
# at 256000 baud and the full line rate, for MINUTES (default 10). Prints each program's resident
# memory (VmRSS) at the start and after every minute, then the growth since the first minute.
# Target: growth of at most 1 MB (1024 kB) for each; exits 1 when it is more.
# Usage: bench/memory.sh [MINUTES]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_dependencies
minutes=${1:-10}
limit_kb=1024

source bench/common.sh
release_build scale-readout scale-read indicator-sim

mkdir -p "$work/ports"
cp "$bin/scale-readout" "$work/scale-readout"
# Com1, 256000 baud (position 12 of the baud list), N, 8, 1, continuous.
printf '0\r\n12\r\n2\r\n0\r\n0\r\n0\r\n' >"$work/Setting.ini"

# A display number nobody else uses, chosen by the server itself.
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 3>"$work/display" &
pids+=("$!")
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
display=":$(head -n1 "$work/display")"

start_sim() {  # LINK LOG
    "$bin/indicator-sim" --link "$1" --baud 256000 --rate 1000000 \
        --weight ramp:0:99.99:0.01 >"$2" 2>&1 &
    pids+=("$!")
    for _ in $(seq 50); do grep -q '^ready' "$2" && return; sleep 0.1; done
    echo "memory.sh: the simulator did not start" >&2
    exit 1
}
start_sim "$work/ports/Com1" "$work/sim1.log"
start_sim "$work/line2" "$work/sim2.log"

DISPLAY=$display "$work/scale-readout" >/dev/null 2>&1 &
window=$!
pids+=("$window")
"$bin/scale-read" --port "$work/line2" --settings 256000,N,8,1 >/dev/null 2>"$work/reader.err" &
reader=$!
pids+=("$reader")

rss_kb() {
    awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0
}

sleep 5  # start-up and the first frames
printf '%-8s %12s %12s\n' minute "window kB" "reader kB"
printf '%-8s %12s %12s\n' start "$(rss_kb "$window")" "$(rss_kb "$reader")"
first_window=0
first_reader=0
for minute in $(seq "$minutes"); do
    sleep 60
    if ! kill -0 "$window" 2>/dev/null || ! kill -0 "$reader" 2>/dev/null; then
        echo "memory.sh: a program ended early" >&2
        cat "$work/reader.err" >&2
        exit 1
    fi
    w=$(rss_kb "$window")
    r=$(rss_kb "$reader")
    printf '%-8s %12s %12s\n' "$minute" "$w" "$r"
    if [ "$minute" = 1 ]; then
        first_window=$w
        first_reader=$r
    fi
done
grown_window=$((w - first_window))
grown_reader=$((r - first_reader))
printf 'growth after minute 1: window %d kB, reader %d kB (target at most %d kB)\n' \
    "$grown_window" "$grown_reader" "$limit_kb"
if [ "$grown_window" -gt "$limit_kb" ] || [ "$grown_reader" -gt "$limit_kb" ]; then
    exit 1
fi
