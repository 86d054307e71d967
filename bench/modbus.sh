#!/usr/bin/env bash
# Modbus for a plant's PLCs on one machine: STATIONS (default 50) simulated continuous
# indicators at 10 frames/s each, read by one Release scale-read serving --modbus, and CLIENTS
# (default 10) Modbus TCP clients each reading all 24 registers of every station every 100 ms,
# for SECONDS (default 30). Prints the reader's CPU as a share of one core, the polls made and
# the answers, and the age register (ms since the station's last frame) at each poll: p50, p99,
# max. Targets: at most 10 % of one core, p99 at most 150 ms; exit status 1 when a poll went
# unanswered.
# Usage: bench/modbus.sh [STATIONS [CLIENTS [SECONDS]]]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_dependencies
stations=${1:-50}
clients=${2:-10}
seconds=${3:-30}

source bench/common.sh
release_build scale-read indicator-sim

arguments=()
for k in $(seq "$stations"); do
    "$bin/indicator-sim" --link "$work/s$k" --rate 10 --weight "walk:$k:50" >/dev/null 2>&1 &
    pids+=($!)
    arguments+=(--station "s$k=$work/s$k,continuous")
done
for k in $(seq "$stations"); do
    for _ in $(seq 100); do [ -e "$work/s$k" ] && break; sleep 0.1; done
done
"$bin/scale-read" "${arguments[@]}" --modbus 127.0.0.1:0 --quiet 2>"$work/reader.err" &
reader=$!
pids+=("$reader")
for _ in $(seq 100); do grep -q 'Modbus TCP on' "$work/reader.err" && break; sleep 0.1; done
port=$(grep -o 'Modbus TCP on [0-9.]*:[0-9]*' "$work/reader.err" | cut -d: -f2)
[ -n "$port" ] || { echo "modbus: the reader did not listen" >&2; cat "$work/reader.err" >&2; exit 1; }
sleep 3  # warm-up: every station read

before=$(cpu_ticks "$reader")
started=$(date +%s.%N)
python3 bench/modbus/pollers.py "$port" "$stations" "$clients" "$seconds" >"$work/polls"
after=$(cpu_ticks "$reader")
ended=$(date +%s.%N)
read -r polls due answers missing p50 p99 max <"$work/polls"
cpu=$(awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" -v from="$started" -v to="$ended" \
    'BEGIN { printf "%.2f", t / hz / (to - from) * 100 }')

echo "| stations | clients | requests/s | CPU % | polls made/due | answers | missing | age p50 ms | age p99 ms | age max ms |"
echo "| --- | --- | --- | --- | --- | --- | --- | --- | --- | --- |"
echo "| $stations | $clients | $((clients * 10 * stations)) | $cpu | $polls/$due | $answers | $missing | $p50 | $p99 | $max |"
[ "$missing" -eq 0 ]
