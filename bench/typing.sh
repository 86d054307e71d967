#!/usr/bin/env bash
# The time from a weight settling to its last key typed, median and worst of 20 placements, with
# a Release build, under Xvfb (see bench/typing/typing.py). Usage: bench/typing.sh [PLACEMENTS]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_dependencies
build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCALE_BUILD_TESTS=ON \
    -DSCALE_BUILD_BENCH=ON >/dev/null
ninja -C "$build" -j2 scale-read type-target >/dev/null
python3 bench/typing/typing.py "$build/bin/scale-read" "$build/bin/type-target" "${1:-20}"
