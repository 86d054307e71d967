#!/usr/bin/env bash
# Start-up against its floor, in one run under Xvfb: the median time from exec to a mapped window
# and the resident memory of a bare Qt window with one 100-point bold label, and of the program
# (Release), seven runs each, alternating. The program reads Com1 through a ports/Com1 link, as
# an operator pins an adapter. Goal: at most 1.25 x the bare window's time and 1.2 x its memory.
# Usage: bench/startup.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_dependencies
runs=${1:-7}

build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCALE_BUILD_TESTS=OFF \
    -DSCALE_BUILD_BENCH=ON >/dev/null
ninja -C "$build" -j2 scale-readout bare-window map-timer >/dev/null

work=$(mktemp -d)
mkdir -p "$work/ports"
cp "$build/bin/scale-readout" "$work/scale-readout"
ln -s /dev/ptmx "$work/ports/Com1"
Xvfb :96 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
sleep 1
export DISPLAY=:96

bare=()
program=()
for _ in $(seq "$runs"); do
    bare+=("$("$build/bin/map-timer" "$build/bin/bare-window")")
    rm -f "$work/Setting.ini"
    program+=("$("$build/bin/map-timer" "$work/scale-readout")")
done
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
bare_ms=$(printf '%s\n' "${bare[@]}" | awk '{ print $1 }' | median)
bare_kib=$(printf '%s\n' "${bare[@]}" | awk '{ print $2 }' | median)
prog_ms=$(printf '%s\n' "${program[@]}" | awk '{ print $1 }' | median)
prog_kib=$(printf '%s\n' "${program[@]}" | awk '{ print $2 }' | median)
printf '%-14s %12s %14s\n' "" "median ms" "median RSS KiB"
printf '%-14s %12s %14s\n' "bare window" "$bare_ms" "$bare_kib"
printf '%-14s %12s %14s\n' "scale-readout" "$prog_ms" "$prog_kib"
awk -v a="$prog_ms" -v b="$bare_ms" -v c="$prog_kib" -v d="$bare_kib" \
    'BEGIN { printf "ratio          %12.2f %14.2f   (goal: 1.25, 1.20)\n", a / b, c / d }'
