#!/usr/bin/env bash
# What reading costs: the Release program on a virtual display, reading the indicator simulator
# in continuous mode, at 10 frames/s and at the full line rate, at 9600 and 256000 baud. Prints
# the program's CPU time as a share of one core over SECONDS (default 20) per case.
# Targets: at most 1 % at 10 frames/s, at most 5 % at full rate at 9600 baud.
# Usage: bench/readcost.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_dependencies
seconds=${1:-20}

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCALE_BUILD_TESTS=OFF >/dev/null
ninja -C build -j2 scale-readout indicator-sim >/dev/null

work=build/readcost
rm -rf "$work"
mkdir -p "$work/ports"
cp build/bin/scale-readout "$work/scale-readout"

Xvfb :97 -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
pids=()
cleanup() {
    kill "${pids[@]}" "$xvfb" 2>/dev/null || true
    wait 2>/dev/null || true
}
trap cleanup EXIT
sleep 1

# Clock ticks of CPU (user + system) the process has used.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)

printf '%-8s %-10s %10s %8s\n' baud rate frames/s "CPU %"
for baud in 9600 256000; do
    position=$([ "$baud" = 9600 ] && echo 4 || echo 12)
    for rate in 10 full; do
        printf '0\r\n%s\r\n2\r\n0\r\n0\r\n0\r\n' "$position" >"$work/Setting.ini"
        requested=$([ "$rate" = full ] && echo 1000000 || echo 10)
        build/bin/indicator-sim --link "$work/ports/Com1" --baud "$baud" --rate "$requested" \
            --weight "${SCALE_BENCH_WEIGHT:-ramp:0:99.99:0.01}" >"$work/sim.log" 2>&1 &
        sim=$!
        pids=("$sim")
        for _ in $(seq 50); do grep -q '^ready' "$work/sim.log" && break; sleep 0.1; done
        DISPLAY=:97 "$work/scale-readout" >/dev/null 2>&1 &
        app=$!
        pids+=("$app")
        sleep 2  # start-up and the first frames
        before=$(cpu_ticks "$app")
        sleep "$seconds"
        after=$(cpu_ticks "$app")
        sent=$(grep -o 'sending [0-9.]* frames' "$work/sim.log" | grep -o '[0-9][0-9.]*' || echo "$requested")
        awk -v b="$baud" -v r="$rate" -v f="$sent" -v t=$((after - before)) -v hz="$hz" \
            -v s="$seconds" 'BEGIN { printf "%-8s %-10s %10s %8.2f\n", b, r, f, 100 * t / hz / s }'
        kill "$app" "$sim" 2>/dev/null || true
        wait "$app" "$sim" 2>/dev/null || true
    done
done
