#!/usr/bin/env bash
# WebSocket clients of a sanitized scale-read that come and go at once, six at a time, for
# SECONDS (default 120) while a station reads at full rate. Exits non-zero when the reader died.
# Usage: scripts/soak-events.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_dependencies

build=build/sanitize
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSCALE_SANITIZE=ON \
    -DSCALE_BUILD_TESTS=ON >/dev/null
ninja -C "$build" -j2 scale-read indicator-sim

export ASAN_OPTIONS="detect_leaks=0:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
exec python3 tests/http/soak/clients_churn.py "$build/bin/scale-read" "$build/bin/indicator-sim" \
    "${1:-120}"
