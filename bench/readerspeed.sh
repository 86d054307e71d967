#!/usr/bin/env bash
# How fast scale-read decodes a recording: 10^6 continuous frames (one read each, ramp weight)
# decoded with --input to /dev/null in each format, beside its floor, the same decoding with
# --stable-only, which writes next to nothing. Target: at least 10^6 frames/s in jsonl.
# Usage: bench/readerspeed.sh [FRAMES]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_dependencies
frames=${1:-1000000}

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCALE_BUILD_TESTS=OFF >/dev/null
ninja -C build -j2 scale-read >/dev/null

work=build/readerspeed
mkdir -p "$work"
recording="$work/frames-$frames.rec"
[ -s "$recording" ] || python3 bench/makerecording.py "$frames" "$recording"
cat "$recording" >/dev/null  # into the page cache, so that every run reads from memory

seconds() {
    local start end
    start=$(date +%s.%N)
    build/bin/scale-read --input "$recording" "$@" >/dev/null
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

printf '%-28s %9s %14s %8s\n' run seconds frames/s ratio
floor=$(seconds --stable-only)
for run in "--stable-only" "--format jsonl" "--format csv" "--format text"; do
    # shellcheck disable=SC2086
    took=$([ "$run" = "--stable-only" ] && echo "$floor" || seconds $run)
    awk -v r="$run" -v t="$took" -v n="$frames" -v f="$floor" \
        'BEGIN { printf "%-28s %9.3f %14.0f %8.2f\n", r, t, n / t, t / f }'
done
