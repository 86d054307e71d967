#!/usr/bin/env bash
# The soak group run long: full-rate streams for 30 s in each mode at 57600 and 256000 baud, 100
# pulls and replugs of the cable, 60 s of random bytes. ./test.sh runs the same tests briefly.
# Then WebSocket clients of scale-read come and go at once, six at a time, for SECONDS too.
# Usage: scripts/soak.sh [SECONDS [CYCLES [NOISE_SECONDS]]]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_dependencies

build=build/sanitize
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSCALE_SANITIZE=ON \
    -DSCALE_BUILD_TESTS=ON >/dev/null
ninja -C "$build" -j2 e2e-tests indicator-sim scale-read

export SCALE_SOAK_SECONDS="${1:-30}"
export SCALE_SOAK_CYCLES="${2:-100}"
export SCALE_NOISE_SECONDS="${3:-60}"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
"$build/bin/e2e-tests" --gtest_filter='SoakTest.*'
python3 tests/http/soak/clients_churn.py "$build/bin/scale-read" "$build/bin/indicator-sim" \
    "$SCALE_SOAK_SECONDS"
