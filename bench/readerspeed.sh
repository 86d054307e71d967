#!/usr/bin/env bash
# How fast scale-read decodes a recording: 10^6 frames of each built-in format (one read each,
# ramp weight) decoded with --input to /dev/null in each output format, beside its floor, the
# same decoding with --stable-only, which writes next to nothing. One column per format, in
# millions of frames a second of the reader's own CPU time (user and system), so that other work
# on a shared machine does not count. Target: at least 1.00 (10^6 frames/s on one core) in jsonl
# for every format.
# Usage: bench/readerspeed.sh [FRAMES] [FORMAT...]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_dependencies
frames=${1:-1000000}
shift || true
formats=("$@")
if [ "${#formats[@]}" -eq 0 ]; then
    formats=(continuous command shentong toledo sics ad sbi sma rice-lake cardinal weigh-tronix
             8217)
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCALE_BUILD_TESTS=OFF >/dev/null
ninja -C build -j2 scale-read >/dev/null

work=build/readerspeed
mkdir -p "$work"
recording() { echo "$work/$1-$frames.rec"; }
for format in "${formats[@]}"; do
    [ -s "$(recording "$format")" ] ||
        python3 bench/readerspeed/makerecording.py "$frames" "$(recording "$format")" "$format"
done

seconds() {
    local file=$1 TIMEFORMAT='%3U %3S'
    shift
    cat "$file" >/dev/null  # into the page cache, so that every run reads from memory
    { time build/bin/scale-read --input "$file" "$@" >/dev/null 2>&1; } 2>&1 |
        awk '{ printf "%.3f", $1 + $2 }'
}

printf '%-15s' "10^6 frames/s"
for format in "${formats[@]}"; do
    printf ' %12s' "$format"
done
printf '\n'
for run in "--stable-only" "--format jsonl" "--format csv" "--format text"; do
    printf '%-15s' "$run"
    for format in "${formats[@]}"; do
        # shellcheck disable=SC2086
        took=$(seconds "$(recording "$format")" $run)
        awk -v t="$took" -v n="$frames" 'BEGIN { printf " %12.2f", n / t / 1e6 }'
    done
    printf '\n'
done
