#!/usr/bin/env bash
# Installs what is missing, builds the release program and runs the main job.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
install_dependencies

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCALE_BUILD_TESTS=OFF >/dev/null
ninja -C build -j2 scale-readout
exec build/bin/scale-readout
