#!/usr/bin/env bash
# A plant on one machine: STATIONS (default 50) pseudo-terminal stations at 10 frames/s each,
# read by one Release scale-read publishing to a local mosquitto broker, for SECONDS (default 30).
# Prints the reader's CPU as a share of one core and the time from each frame's write to its
# reading's arrival at a subscriber (p50, p99, max).
# Targets: at most 10 % of one core, p99 at most 20 ms.
# Usage: bench/plant.sh [STATIONS [SECONDS]]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_dependencies
stations=${1:-50}
seconds=${2:-30}

cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCALE_BUILD_TESTS=OFF \
    -DSCALE_BUILD_BENCH=ON >/dev/null
ninja -C build/bench -j2 scale-read plant-bench >/dev/null

work=$(mktemp -d)
chmod 777 "$work"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf 'listener %s 127.0.0.1\nallow_anonymous true\n' "$port" >"$work/mosquitto.conf"
/usr/sbin/mosquitto -c "$work/mosquitto.conf" >"$work/broker.log" 2>&1 &
broker=$!
trap 'kill $broker 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
done
build/bench/bin/plant-bench build/bench/bin/scale-read "$port" "$stations" "$seconds"
