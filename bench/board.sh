#!/usr/bin/env bash
# The live board's load on one machine: STATIONS (default 50) pseudo-terminal stations at 10
# frames/s each, read by one Release scale-read serving --http to CLIENTS (default 100)
# WebSocket clients, for SECONDS (default 30). Prints the reader's CPU as a share of one core and
# the time from each frame's write to its record's arrival at a client (p50, p99, max).
# Targets: at most 15 % of one core, p99 at most 50 ms.
# Usage: bench/board.sh [STATIONS [CLIENTS [SECONDS]]]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_dependencies

cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCALE_BUILD_TESTS=OFF \
    -DSCALE_BUILD_BENCH=ON >/dev/null
ninja -C build/bench -j2 scale-read board-bench >/dev/null
build/bench/bin/board-bench build/bench/bin/scale-read "${1:-50}" "${2:-100}" "${3:-30}"
