#!/usr/bin/env bash
# Installs what is missing, builds the program, the indicator simulator and scale-read, and shows the tool
# reading a simulated indicator (see scripts/demo.sh). `./run.sh package` makes the Debian package
# instead (see scripts/package.sh).
set -euo pipefail
cd "$(dirname "$0")"
if [ "${1:-}" = package ]; then
    exec scripts/package.sh
fi
source scripts/deps.sh
install_dependencies

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCALE_BUILD_TESTS=OFF >/dev/null
ninja -C build -j2 scale-readout indicator-sim scale-read
exec scripts/demo.sh build
