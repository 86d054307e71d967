#!/usr/bin/env bash
# Each attack of tests/http/attacks for longer, against a Release scale-read: one table row per
# attack with the honest WebSocket client's record rate and p99 delay during it, the reader's CPU
# (share of one core) and its resident memory. Nothing is asserted, so that an older build can be
# measured the same way.
# Usage: bench/attacks.sh [SECONDS [READER [SIMULATOR]]]
#   (default 20 s, and this tree's Release build, made in build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
reader="${2:-}"
simulator="${3:-}"
if [ -z "$reader" ]; then
    source scripts/deps.sh
    install_dependencies
    cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCALE_BUILD_TESTS=OFF >/dev/null
    ninja -C build/release -j2 scale-read indicator-sim >/dev/null
    reader=build/release/bin/scale-read
    simulator=build/release/bin/indicator-sim
fi
echo "attack | honest client's records, p99 delay | reader CPU | reader RSS (peak) | faults"
echo "--- | --- | --- | --- | ---"
for attack in upgrade_elsewhere idle_connections pipelined long_polls strict_http; do
    python3 tests/http/attacks/"$attack".py --reader "$reader" --simulator "$simulator" \
        --seconds "$seconds" --report 2>/dev/null || echo "$attack | (the attack script failed) | - | -"
done
